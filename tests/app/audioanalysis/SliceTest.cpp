// Analysis bands: coefficients, the tick's level, hold and normalising,
// the curve points and snapshots.
#include "app/plugins/audioanalysis/QKAAWaveViewSlice.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(WaveViewSlice, CoefficientsAreTheConstantGainBandPass) {
  for (float fs : {44100.0f, 48000.0f, 96000.0f})
    for (float f : {40.0f, 440.0f, 5000.0f, 19000.0f})
      for (float bw : {0.01f, 0.5f, 2.0f, 4.0f}) {
        QKAAWaveViewSlice slice(QStringLiteral("b"), f, bw, fs, {});
        float c[5];
        slice.coefficients(c);
        const float w0 = 2 * float(M_PI) * f / fs;
        const float alpha =
            float(std::sin(w0) * std::sinh(std::log(2.0) / 2 * bw * w0 / std::sin(w0)));
        EXPECT_EQ(c[1], 0.0f);
        EXPECT_EQ(c[2], -c[0]);
        EXPECT_NEAR(c[0], alpha / (1 + alpha), 1e-6f) << f << " " << bw << " " << fs;
        EXPECT_NEAR(c[4], 1 - 2 * c[0], 1e-6f);
        EXPECT_NEAR(c[3], -2 * std::cos(w0) / (1 + alpha), 1e-6f);
      }
}

// The bands follow the input's rate: a band made at 44.1 kHz on a 48 kHz
// device has the 48 kHz coefficients.
TEST(WaveViewSlice, ARateChangeRecomputesTheCoefficients) {
  QKAAWaveViewSlice moved(QStringLiteral("b"), 1280, 1, 44100, {});
  moved.setSampleRate(48000);
  QKAAWaveViewSlice made(QStringLiteral("b"), 1280, 1, 48000, {});
  float a[5], b[5];
  moved.coefficients(a);
  made.coefficients(b);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(a[i], b[i]);
}

TEST(WaveViewSlice, TheTickSmoothsClampsAndNormalises) {
  struct Case {
    const char* name;
    bool normalize;
    float normaliserMax;  // fed as one raw peak
    float tempPeak;
    float published;
  };
  const Case cases[] = {
      {"plain", false, 0, 0.5f, 0.45f},
      {"clamped", false, 0, 1.4f, 1.0f},
      {"max above 1.15", true, 2.0f, 0.5f, 0.45f / 1.15f},
      {"max between", true, 0.5f, 0.2f, 0.18f / 0.5f},
      {"max below 0.05", true, 0.01f, 0.02f, 0.018f / 0.05f},
  };
  for (const Case& c : cases) {
    QKAAWaveViewSlice slice(QStringLiteral("b"), 1000, 1, 48000, {});
    slice.setNormalize(c.normalize);
    if (c.normalize) {
      // A value above the first maximum (1.0) takes over at once; lower
      // ones once the first slot is overwritten, less the decay.
      if (c.normaliserMax >= 1.0f)
        slice.levelNormalizer().addValue(c.normaliserMax);
      else
        for (int i = 0; i < 500; ++i) slice.levelNormalizer().addValue(c.normaliserMax / 0.97f);
      ASSERT_NEAR(slice.levelNormalizer().max(), c.normaliserMax, 1e-5f) << c.name;
    }
    slice.tick();  // a silent tick
    slice.raiseTempPeak(c.tempPeak);
    EXPECT_NEAR(slice.tick(), c.published, 1e-5f) << c.name;
    EXPECT_EQ(slice.tempPeak(), 0.0f);
  }
}

TEST(WaveViewSlice, HoldsAPeakFor31TicksAndDropsItOnThe32nd) {
  QKAAWaveViewSlice slice(QStringLiteral("b"), 1000, 1, 48000, {});
  slice.setNormalize(false);
  slice.raiseTempPeak(0.8f);
  slice.tick();
  for (int t = 1; t <= 31; ++t) {
    slice.tick();
    EXPECT_EQ(slice.recentPeak(), 0.8f) << t;
  }
  slice.tick();
  EXPECT_EQ(slice.recentPeak(), 0.0f);
}

TEST(WaveViewSlice, CurvePointsFollowTheAreaWidth) {
  struct Case {
    double width;
    int points;
  };
  for (const Case& c : {Case{16, 5}, Case{10, 5}, Case{100, 25}, Case{600, 101}}) {
    QKAAWaveViewSlice slice(QStringLiteral("b"), 1000, 1, 48000, QRectF(50, 0, c.width, 80));
    slice.prepareDrawPath();
    EXPECT_EQ(slice.curvePointsCount(), c.points) << c.width;
    EXPECT_NEAR(slice.curvePoints()[0], 0.0f, 1e-3f);
    EXPECT_NEAR(slice.curvePoints()[c.points / 2], 80.0f, 0.5f);
    EXPECT_NEAR(slice.curvePoints()[c.points - 1], 0.0f, 1e-3f);
    EXPECT_EQ(slice.handleRect(), QRectF(50 + c.width / 2 - 6, 0, 11, 80));
  }
}

// Snapshots bring frequency and bandwidth back within their ranges; values
// of the wrong type are ignored.
TEST(WaveViewSlice, SnapshotsAreClampedAndMistypedValuesIgnored) {
  QKAAWaveViewSlice slice(QStringLiteral("b"), 1000, 1, 48000, {});
  slice.loadSnapshot(
      {{"bqFreq", 0.0}, {"bqBandwidth", 9.0}, {"smoothingFactor", QStringLiteral("x")}});
  EXPECT_EQ(slice.bqFreq(), 40.0f);
  EXPECT_EQ(slice.bqBandwidth(), 4.0f);
  EXPECT_FLOAT_EQ(slice.smoothingFactor(), 0.1f);
  slice.loadSnapshot({{"bqFreq", 30000.0}, {"bqBandwidth", QStringLiteral("wide")}});
  EXPECT_FLOAT_EQ(slice.bqFreq(), 20000.0f);
  EXPECT_EQ(slice.bqBandwidth(), 4.0f);
  float c[5];
  slice.coefficients(c);
  for (float v : c) EXPECT_TRUE(std::isfinite(v));
  QKAAWaveViewSlice copy(QStringLiteral("other"), 500, 0.5f, 48000, {});
  copy.loadSnapshot(slice.createSnapshot());
  EXPECT_EQ(copy.freqText(), QStringLiteral("b"));
  EXPECT_EQ(copy.bqFreq(), slice.bqFreq());
}

}  // namespace
