// One input cycle of the audio analysis (2 channels, 256 frames at 48 kHz,
// 4 analysis bands and the 40-band preview) through the engine, beside a
// bare loop doing the same mix, gain and 44 biquad recurrences with peak
// magnitudes over plain arrays. Our cycle's allocations are counted (there
// must be none), and its share of the 5.3 ms period is reported.
#include "app/plugins/audioanalysis/AudioAnalysisEngine.h"
#include "app/plugins/audioanalysis/QKAAWaveViewSlice.h"
#include "app/plugins/audioanalysis/QKBiquadOpt.h"
#include "bench/AllocationCount.h"
#include "bench/CoreBenchMain.h"
#include "bench/SideBySide.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kFrames = 256;
constexpr int kChannels = 2;
constexpr float kRate = 48000.0f;
constexpr int kBands = 4;
constexpr int kPreview = 40;

std::vector<float> noise() {
  std::vector<float> block(std::size_t(kFrames) * kChannels);
  unsigned state = 12345;
  for (float& sample : block) {
    state = state * 1664525u + 1013904223u;
    sample = float(state >> 8) / float(1u << 24) - 0.5f;
  }
  return block;
}

// The least code doing the same work: coefficients in a plain array.
struct Bare {
  float coeffs[kBands + kPreview][5];
  float peaks[kBands + kPreview] = {};
  float weights[kChannels] = {1, 1};
  float gain = 2;
  std::vector<float> mixed = std::vector<float>(kFrames);

  Bare() {
    const float centres[kBands] = {80, 320, 1280, 5120};
    for (int b = 0; b < kBands; ++b)
      QKBiquadOpt::bandPassCoefficients(centres[b], kRate, 0.25f * float(b + 2), coeffs[b]);
    const float ratio = float(std::pow(500.0, 1.0 / (kPreview - 1)));
    float f = 40;
    for (int b = 0; b < kPreview; ++b, f *= ratio)
      QKBiquadOpt::bandPassCoefficients(f, kRate, 0.23f, coeffs[kBands + b]);
  }

  void cycle(const float* in) {
    for (int n = 0; n < kFrames; ++n)
      mixed[std::size_t(n)] = (in[2 * n] * weights[0] + in[2 * n + 1] * weights[1]) * gain;
    for (int b = 0; b < kBands + kPreview; ++b) {
      const float* c = coeffs[b];
      float y1 = 0, y2 = 0, most = 0;
      for (int n = 2; n < kFrames; ++n) {
        const float y = c[0] * mixed[std::size_t(n)] + c[1] * mixed[std::size_t(n - 1)] +
                        c[2] * mixed[std::size_t(n - 2)] - c[3] * y1 - c[4] * y2;
        y2 = y1;
        y1 = y;
        most = std::fmax(most, std::fabs(y));
      }
      peaks[b] = std::fmax(peaks[b], most);
    }
    benchmark::DoNotOptimize(peaks);
  }
};

void BM_InputCycle_VsBareLoop(benchmark::State& state) {
  AudioAnalysisEngine engine;
  engine.setInputFormat(kChannels, kRate);
  AudioAnalysisEngine::BandList bands;
  const float centres[kBands] = {80, 320, 1280, 5120};
  for (int b = 0; b < kBands; ++b)
    bands.push_back(std::make_shared<QKAAWaveViewSlice>(
        QStringLiteral("band-%1").arg(b), centres[b], 0.25f * float(b + 2), kRate, QRectF()));
  engine.setBands(bands);
  engine.setGain(2);
  engine.setPreviewBandCount(kPreview);
  engine.setPreviewRunning(true);
  engine.setPassThruAudio(false);
  engine.attachInput(kFrames);
  std::vector<float> block = noise();
  AudioStreamBuffer input{block.data(), kChannels, kFrames};
  Bare bare;
  long allocations = 0;
  const bench::SideBySideSeconds total = bench::sideBySide(
      state,
      [&] {
        bench::startCountingAllocations();
        engine.inputCycle(&input);
        allocations += bench::stopCountingAllocations();
      },
      [&] { bare.cycle(block.data()); });
  const double iterations = double(state.iterations());
  const double ours = total.first / iterations;
  state.counters["cycle_us"] = ours * 1e6;
  state.counters["bare_us"] = total.second / iterations * 1e6;
  state.counters["ratio"] = total.first / total.second;
  state.counters["period_share_pct"] = ours / (kFrames / double(kRate)) * 100;
  state.counters["allocations"] = double(allocations);
}

BENCHMARK(BM_InputCycle_VsBareLoop)->UseManualTime();

}  // namespace

int main(int argc, char** argv) { return bench::runInTestEnvironment(argc, argv); }
