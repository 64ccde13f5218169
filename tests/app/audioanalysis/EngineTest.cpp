// The analysis engine on synthetic buffers: the mix, a band against the
// recurrence computed directly, held peaks, the ring, the preview bank, the
// normaliser, pause and pass-through.
#include "app/plugins/audioanalysis/AudioAnalysisEngine.h"
#include "app/plugins/audioanalysis/QKAALevelNormalizer.h"
#include "app/plugins/audioanalysis/QKAAWaveViewSlice.h"
#include "app/plugins/audioanalysis/QKAudioRingBuffer.h"
#include "app/plugins/audioanalysis/QKBiquadOpt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr float kRate = 48000.0f;

std::shared_ptr<QKAAWaveViewSlice> band(float frequency, float bandwidth = 1.0f) {
  return std::make_shared<QKAAWaveViewSlice>(QStringLiteral("b"), frequency, bandwidth, kRate,
                                             QRectF());
}

// A running engine on `channels` inputs with one band.
struct Fixture {
  AudioAnalysisEngine engine;
  std::shared_ptr<QKAAWaveViewSlice> slice = band(1000);
  explicit Fixture(int channels, std::uint32_t frames = 256) {
    engine.setInputFormat(channels, kRate);
    engine.setBands({slice});
    engine.setNormalizeLevels(false);
    engine.attachInput(frames);
  }
  void cycle(std::vector<float>& data, int channels) {
    AudioStreamBuffer in{data.data(), channels, int(data.size()) / channels};
    engine.inputCycle(&in);
  }
};

std::vector<float> sine(float frequency, int frames, int channels = 1, float amplitude = 0.5f,
                        const std::vector<float>& perChannel = {}) {
  std::vector<float> data(std::size_t(frames) * channels);
  for (int n = 0; n < frames; ++n)
    for (int c = 0; c < channels; ++c)
      data[std::size_t(n) * channels + c] =
          amplitude * (perChannel.empty() ? 1.0f : perChannel[std::size_t(c)]) *
          std::sin(2 * float(M_PI) * frequency * n / kRate);
  return data;
}

// The band's peak computed here, straight from the recurrence.
float directPeak(const std::vector<float>& x, const float c[5], float gain = 1) {
  double y1 = 0, y2 = 0, most = 0;
  for (std::size_t n = 2; n < x.size(); ++n) {
    const double y = c[0] * x[n] * gain + c[1] * x[n - 1] * gain + c[2] * x[n - 2] * gain -
                     c[3] * y1 - c[4] * y2;
    y2 = y1;
    y1 = y;
    most = std::max(most, std::fabs(y));
  }
  return float(most);
}

TEST(AnalysisEngine, ABandsPeakFollowsTheRecurrenceAndIsHeldInItsPower) {
  Fixture f(1);
  f.engine.setGain(2.0f);
  std::vector<float> x = sine(1000, 256);
  f.cycle(x, 1);
  float c[5];
  f.slice->coefficients(c);
  const float peak = directPeak(x, c, 2.0f);
  EXPECT_NEAR(f.slice->tempPeak(), std::pow(peak, 1.5f), 1e-4f);
}

// Weighted sum, not an average: two equal channels give twice one.
TEST(AnalysisEngine, MixesChannelsByTheirWeights) {
  struct Case {
    std::vector<float> weights;
    float factor;  // of one channel's peak
  };
  const std::vector<Case> cases = {{{1, 0}, 1}, {{1, 1}, 2}, {{1, 0.5f}, 1.5f}, {{0, 0}, 0}};
  Fixture one(1);
  std::vector<float> mono = sine(1000, 256);
  one.cycle(mono, 1);
  const float single = std::cbrt(one.slice->tempPeak() * one.slice->tempPeak());
  for (const Case& c : cases) {
    Fixture f(2);
    f.engine.setChannelWeight(0, c.weights[0]);
    f.engine.setChannelWeight(1, c.weights[1]);
    std::vector<float> stereo = sine(1000, 256, 2);
    f.cycle(stereo, 2);
    const float raw = std::cbrt(f.slice->tempPeak() * f.slice->tempPeak());
    EXPECT_NEAR(raw, single * c.factor, 1e-4f) << c.weights[0] << "," << c.weights[1];
  }
}

// A new peak lower than the held one leaves it: the two are compared in the
// held (1.5 power) scale.
TEST(AnalysisEngine, AHeldPeakIsNotLoweredByASmallerOne) {
  auto slice = band(1000);
  slice->raiseTempPeak(std::pow(0.5f, 1.5f));
  slice->raiseTempPeak(std::pow(0.4f, 1.5f));
  EXPECT_NEAR(slice->tempPeak(), std::pow(0.5f, 1.5f), 1e-6f);
  slice->raiseTempPeak(std::pow(0.6f, 1.5f));
  EXPECT_NEAR(slice->tempPeak(), std::pow(0.6f, 1.5f), 1e-6f);
}

// Silence is judged by the largest magnitude: a block of negative samples
// with one zero is filtered, not taken for silence.
TEST(AnalysisEngine, OnlyATrulySilentBlockSkipsTheFilters) {
  struct Case {
    const char* name;
    float offset;
    bool silent;
  };
  for (const Case& c : {Case{"zeros", 0, true}, Case{"negative with a zero", -1, false}}) {
    Fixture f(1);
    std::vector<float> x(256, 0.0f);
    for (std::size_t n = 1; n < x.size(); ++n)
      x[n] = c.offset * float(std::fabs(std::sin(0.13 * double(n))));
    f.cycle(x, 1);
    EXPECT_EQ(f.slice->tempPeak() == 0.0f, c.silent) << c.name;
  }
}

TEST(AnalysisEngine, PauseAndPresetLoadingStopTheAnalysis) {
  Fixture f(1);
  std::vector<float> x = sine(1000, 256);
  f.engine.setPause(true);
  f.cycle(x, 1);
  EXPECT_EQ(f.slice->tempPeak(), 0.0f);
  EXPECT_EQ(f.engine.lastWriteTime(), 0u);
  f.engine.setPause(false);
  f.engine.setPresetIsLoading(true);
  f.cycle(x, 1);
  EXPECT_EQ(f.slice->tempPeak(), 0.0f);
  EXPECT_EQ(f.engine.lastWriteTime(), 256u);  // pass-through goes on
}

// A cycle longer than the buffers were made for is cut to their size.
TEST(AnalysisEngine, ACycleLongerThanTheBuffersIsBounded) {
  Fixture f(1, 64);
  std::vector<float> x = sine(1000, 512);
  f.cycle(x, 1);
  EXPECT_EQ(f.engine.lastWriteTime(), 64u);
  EXPECT_GT(f.slice->tempPeak(), 0.0f);
}

// The preview bank spans 40 Hz to 20 kHz geometrically.
TEST(AnalysisEngine, PreviewBandsSpanTheAxis) {
  AudioAnalysisEngine engine;
  engine.setInputFormat(1, kRate);
  engine.setPreviewBandCount(40);
  EXPECT_FLOAT_EQ(engine.previewBQ().centre(0), 40.0f);
  EXPECT_NEAR(engine.previewBQ().centre(1) / engine.previewBQ().centre(0),
              std::pow(500.0, 1 / 39.0), 1e-5);
  EXPECT_NEAR(engine.previewBQ().centre(39), 20000.0f, 2.0f);
  for (int count : {0, -4, 500}) {
    engine.setPreviewBandCount(count);
    EXPECT_GE(engine.previewBandCount(), 1);
    EXPECT_LE(engine.previewBandCount(), 128);
  }
  QKBiquadOpt bank;
  bank.setOptimizedFilterArray(0, 4, 2, 1, 0.0f, 20000, kRate, 1);
  float c[5];
  bank.coefficients(0, c);
  EXPECT_EQ(c[0], 0.0f);  // a low frequency of 0 changes nothing
  bank.setOptimizedFilterArray(0, 1, 2, 1, 100, 20000, kRate, 1);
  EXPECT_FLOAT_EQ(bank.centre(0), 100.0f);
}

TEST(AnalysisEngine, PreviewPeaksAreHeldUntilTaken) {
  Fixture f(1);
  f.engine.setPreviewRunning(true);
  std::vector<float> x = sine(1000, 256);
  f.cycle(x, 1);
  float most = 0;
  int loudest = -1;
  for (int i = 0; i < f.engine.previewBandCount(); ++i)
    if (f.engine.previewBQ().peak(i) > most) most = f.engine.previewBQ().peak(i), loudest = i;
  EXPECT_NEAR(f.engine.previewBQ().centre(loudest), 1000.0f, 200.0f);
  EXPECT_EQ(f.engine.previewBQ().takePeak(loudest), most);
  EXPECT_EQ(f.engine.previewBQ().peak(loudest), 0.0f);
  f.engine.setCollapsed(true);
  f.cycle(x, 1);
  EXPECT_EQ(f.engine.previewBQ().peak(loudest), 0.0f);
}

// --- Normaliser ----------------------------------------------------------------------------

TEST(LevelNormalizer, FollowsTheRecentMaximumWithDecay) {
  QKAALevelNormalizer n;
  EXPECT_EQ(n.max(), 1.0f);
  for (int i = 0; i < 499; ++i) n.addValue(0.1f);
  EXPECT_EQ(n.max(), 1.0f);
  n.addValue(0.1f);  // overwrites the initial 1.0
  EXPECT_FLOAT_EQ(n.max(), 0.097f);
  n.addValue(0.5f);
  EXPECT_EQ(n.max(), 0.5f);
}

// The maximum after an overwrite is searched over all 500 slots: a loud
// value in slot 300 still counts.
TEST(LevelNormalizer, SearchesEverySlotWhenTheMaximumIsOverwritten) {
  QKAALevelNormalizer n;
  for (int i = 1; i < 500; ++i) n.addValue(i == 300 ? 0.8f : 0.1f);
  EXPECT_EQ(n.max(), 1.0f);
  n.addValue(0.1f);
  EXPECT_FLOAT_EQ(n.max(), 0.8f * 0.97f);
}

// --- Ring ------------------------------------------------------------------------------------

TEST(RingBuffer, WrapsRefusesAFullStoreAndAllowsAFullRead) {
  QKAudioRingBuffer ring;
  ring.allocate(2, 8);
  std::vector<float> five(10);
  for (int i = 0; i < 10; ++i) five[std::size_t(i)] = float(i + 1);
  struct Case {
    std::uint64_t start;
  };
  for (std::uint64_t start : {std::uint64_t(5), (std::uint64_t(1) << 32) + 5}) {
    ASSERT_TRUE(ring.store(five.data(), 5, start));
    EXPECT_EQ(ring.slotOf(start), 5u);
    std::vector<float> back(10);
    ASSERT_TRUE(ring.retrieve(back.data(), 5, start));
    EXPECT_EQ(back, five) << start;
    EXPECT_EQ(ring.lastEndWriteTime(), start + 5);
    std::vector<float> whole(16);
    ASSERT_TRUE(ring.retrieve(whole.data(), 8, start + 3));  // slot 0 on
    EXPECT_EQ(whole[0], 7.0f);
    EXPECT_EQ(whole[4 * 2 + 0], 0.0f);
  }
  std::vector<float> eight(16, 1.0f);
  EXPECT_FALSE(ring.store(eight.data(), 8, 0));
  std::vector<float> nine(18);
  EXPECT_FALSE(ring.retrieve(nine.data(), 9, 0));
}

// --- Pass-through ------------------------------------------------------------------------------

// The input comes back out at the output's rate and channel count, added to
// what the output held.
TEST(AnalysisEngine, PassesTheInputThroughToTheOutput) {
  AudioAnalysisEngine engine;
  engine.setInputFormat(2, kRate);
  engine.attachInput(256);
  engine.setPassThruAudio(true);
  engine.attachOutput(2, kRate, 256);
  ASSERT_TRUE(engine.passThruRunning());
  std::vector<float> out(512);
  double energy = 0;
  for (int cycle = 0; cycle < 8; ++cycle) {
    std::vector<float> in = sine(1000, 256, 2, 0.5f, {1, 0});
    AudioStreamBuffer inBuffer{in.data(), 2, 256};
    engine.inputCycle(&inBuffer);
    std::fill(out.begin(), out.end(), 0.0f);
    AudioStreamBuffer outBuffer{out.data(), 2, 256};
    engine.outputCycle(&outBuffer);
    if (cycle > 2)
      for (int k = 0; k < 256; ++k) {
        energy += out[std::size_t(2 * k)] * out[std::size_t(2 * k)];
        EXPECT_EQ(out[std::size_t(2 * k + 1)], 0.0f);  // channel 1 was silent
      }
  }
  EXPECT_GT(energy / (5 * 256), 0.1);  // a 0.5 sine has a mean square of 0.125
  engine.setPause(true);
  std::fill(out.begin(), out.end(), 0.25f);
  AudioStreamBuffer outBuffer{out.data(), 2, 256};
  engine.outputCycle(&outBuffer);
  for (float sample : out) EXPECT_EQ(sample, 0.25f);
}

TEST(AnalysisEngine, AConverterThatCannotBeMadeLeavesPassThroughOff) {
  AudioAnalysisEngine engine;
  engine.setInputFormat(2, kRate);
  engine.attachInput(256);
  engine.attachOutput(0, 0, 256);
  EXPECT_FALSE(engine.passThruRunning());
}

}  // namespace
