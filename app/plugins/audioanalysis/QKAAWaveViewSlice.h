#pragma once

#include "app/plugins/audioanalysis/QKAALevelNormalizer.h"
#include "framework/datasource/DataSourceTarget.h"

#include <QRectF>
#include <QString>
#include <QVariantMap>

#include <array>
#include <atomic>

class QPainter;
class QPainterPath;

// One analysis band: a band-pass filter (centre in Hz, bandwidth in
// octaves), the peak the engine measured through it, and the control value
// made of that peak on every data-source tick (smoothed, held, optionally
// normalised, always within 0..1). It also knows its bell on the wave view
// (two smoothstep halves over its fill area) and draws it.
//
// Threads: the main thread edits and draws; the input IO thread reads the
// coefficients and raises `tempPeak` and the normaliser; the tick thread
// (`setDataSource`) takes `tempPeak` with one exchange and publishes. Values
// shared between threads are atomics.
class QKAAWaveViewSlice : public DataSourceTarget {
 public:
  static constexpr int kMaxCurvePoints = 101;
  static constexpr float kMinFrequency = 40.0f;
  static constexpr float kMaxFrequency = 20000.0f;
  static constexpr float kMinBandwidth = 0.01f;
  static constexpr float kMaxBandwidth = 4.0f;

  QKAAWaveViewSlice(const QString& name, float frequency, float bandwidth, float sampleRate,
                    const QRectF& area);

  // The frequency a band may take at a sample rate: [40, min(20000, 0.45 fs)].
  static float clampFrequency(float frequency, float sampleRate);
  static float clampBandwidth(float bandwidth);

  float bqFreq() const { return bqFreq_; }
  float bqBandwidth() const { return bqBandwidth_; }
  // Each stores and recomputes the coefficients.
  void setBqFreq(float frequency);
  void setBqBandwidth(float bandwidth);
  // The input's rate changed: the coefficients follow it.
  void setSampleRate(float sampleRate);
  float sampleRate() const { return sampleRate_; }
  float smoothingFactor() const { return smoothingFactor_.load(); }
  void setSmoothingFactor(float factor) { smoothingFactor_.store(factor); }
  bool selected() const { return selected_; }
  void setSelected(bool selected) { selected_ = selected; }
  QString freqText() const { return freqText_; }
  void setFreqText(const QString& name) { freqText_ = name; }
  void setNormalize(bool on) { normalize_.store(on); }

  void recomputeCoefficients();
  void coefficients(float out[5]) const;

  // --- Engine side (input IO thread) ---
  void raiseTempPeak(float value);
  float tempPeak() const { return tempPeak_.load(); }
  QKAALevelNormalizer& levelNormalizer() { return levelNormalizer_; }

  // --- Tick ---
  // The set call of the band's data source: one tick of level, hold and
  // smoothing, then the source's value.
  void setDataSource(class DataSource* source);
  // The tick without a source (tests, benchmarks): answers the value.
  float tick();
  float currentPeak() const { return currentPeak_.load(); }
  float normalizedPeak() const;
  float recentPeak() const;

  // --- Shape (main thread) ---
  QRectF fillArea() const { return fillArea_; }
  void setfillArea(const QRectF& area) { fillArea_ = area; }
  QRectF handleRect() const { return handleRect_; }
  // The bell's point at x, y measured up from the area's bottom.
  QPointF evaluateAt(float x) const;
  void prepareDrawPath();
  int curvePointsCount() const { return curvePointsCount_; }
  const float* curvePoints() const { return curvePoints_.data(); }
  // Fill and outline in view coordinates (y down), `bottom` the view's
  // bottom edge.
  void fillToPainter(QPainter& painter, float bottom) const;
  void strokeToPainter(QPainter& painter, float bottom) const;

  // {"bqFreq", "bqBandwidth", "smoothingFactor", "freqText"}.
  QVariantMap createSnapshot() const;
  // Mistyped or missing values leave the band as it is; frequency and
  // bandwidth are clamped.
  void loadSnapshot(const QVariantMap& snapshot);

 private:
  float scaled(float level) const;
  // The bell's outline from the bottom-left corner to the bottom-right one.
  QPainterPath curvePath(float bottom) const;

  QString freqText_;
  float bqFreq_;
  float bqBandwidth_;
  float sampleRate_;
  std::atomic<float> smoothingFactor_{0.1f};
  std::atomic<bool> normalize_{true};
  bool selected_ = false;
  QRectF fillArea_;
  QRectF handleRect_;
  std::array<std::atomic<float>, 5> coeffs_;
  std::atomic<float> tempPeak_{0.0f};
  std::atomic<float> currentPeak_{0.0f};
  float lastPeak_ = 0;
  std::atomic<float> recentPeak_{0.0f};
  int recentPeakAge_ = 0;
  QKAALevelNormalizer levelNormalizer_;
  int curvePointsCount_ = 5;
  std::array<float, kMaxCurvePoints> curvePoints_{};
};
