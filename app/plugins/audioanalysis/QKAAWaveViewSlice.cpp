#include "app/plugins/audioanalysis/QKAAWaveViewSlice.h"

#include "app/plugins/audioanalysis/QKBiquadOpt.h"
#include "framework/datasource/DataSource.h"
#include "platform/foundation/VariantNumbers.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

const QString kBqFreq = QStringLiteral("bqFreq");
const QString kBqBandwidth = QStringLiteral("bqBandwidth");
const QString kSmoothingFactor = QStringLiteral("smoothingFactor");
const QString kFreqText = QStringLiteral("freqText");

QPointF bezier(const QPointF& p0, const QPointF& p1, const QPointF& p2, const QPointF& p3,
               double t) {
  const double u = 1 - t;
  return p0 * (u * u * u) + p1 * (3 * u * u * t) + p2 * (3 * u * t * t) + p3 * (t * t * t);
}

std::optional<float> finiteNumber(const QVariantMap& map, const QString& key) {
  const auto found = map.constFind(key);
  if (found == map.constEnd()) return std::nullopt;
  if (!VariantNumbers::isNumber(*found)) return std::nullopt;
  const double value = found->toDouble();
  if (!std::isfinite(value)) return std::nullopt;
  return float(value);
}

}  // namespace

QKAAWaveViewSlice::QKAAWaveViewSlice(const QString& name, float frequency, float bandwidth,
                                     float sampleRate, const QRectF& area)
    : freqText_(name),
      bqFreq_(frequency),
      bqBandwidth_(bandwidth),
      sampleRate_(sampleRate),
      fillArea_(area) {
  for (auto& c : coeffs_) c.store(0.0f);
  recomputeCoefficients();
}

float QKAAWaveViewSlice::clampFrequency(float frequency, float sampleRate) {
  const float top = std::max(kMinFrequency, std::min(kMaxFrequency, 0.45f * sampleRate));
  return std::clamp(frequency, kMinFrequency, top);
}

float QKAAWaveViewSlice::clampBandwidth(float bandwidth) {
  return std::clamp(bandwidth, kMinBandwidth, kMaxBandwidth);
}

void QKAAWaveViewSlice::setBqFreq(float frequency) {
  bqFreq_ = frequency;
  recomputeCoefficients();
}

void QKAAWaveViewSlice::setBqBandwidth(float bandwidth) {
  bqBandwidth_ = bandwidth;
  recomputeCoefficients();
}

void QKAAWaveViewSlice::setSampleRate(float sampleRate) {
  if (sampleRate == sampleRate_ || !(sampleRate > 0)) return;
  sampleRate_ = sampleRate;
  recomputeCoefficients();
}

void QKAAWaveViewSlice::recomputeCoefficients() {
  float c[5];
  QKBiquadOpt::bandPassCoefficients(bqFreq_, sampleRate_, bqBandwidth_, c);
  for (int i = 0; i < 5; ++i) coeffs_[std::size_t(i)].store(c[i], std::memory_order_relaxed);
}

void QKAAWaveViewSlice::coefficients(float out[5]) const {
  for (int i = 0; i < 5; ++i) out[i] = coeffs_[std::size_t(i)].load(std::memory_order_relaxed);
}

void QKAAWaveViewSlice::raiseTempPeak(float value) { raiseHeldPeak(tempPeak_, value); }

// --- Tick ------------------------------------------------------------------------------------

float QKAAWaveViewSlice::tick() {
  lastPeak_ = currentPeak_.load(std::memory_order_relaxed);
  float current = tempPeak_.exchange(0.0f);
  if (recentPeakAge_ > 30) recentPeak_.store(0.0f, std::memory_order_relaxed);
  if (current >= recentPeak_.load(std::memory_order_relaxed)) {
    recentPeak_.store(current, std::memory_order_relaxed);
    recentPeakAge_ = 0;
  } else {
    ++recentPeakAge_;
  }
  const float smoothing = smoothingFactor_.load(std::memory_order_relaxed);
  current = (1 - smoothing) * current + smoothing * lastPeak_;
  currentPeak_.store(current, std::memory_order_relaxed);
  return normalizedPeak();
}

void QKAAWaveViewSlice::setDataSource(DataSource* source) {
  const float value = tick();
  if (source) source->setValue(value);
}

float QKAAWaveViewSlice::scaled(float level) const {
  if (normalize_.load(std::memory_order_relaxed)) {
    const float m = levelNormalizer_.max();
    if (m > 1.15f)
      level /= 1.15f;
    else if (m > 0.05f)
      level /= m;
    else
      level /= 0.05f;
  }
  return std::clamp(level, 0.0f, 1.0f);
}

float QKAAWaveViewSlice::normalizedPeak() const {
  return scaled(currentPeak_.load(std::memory_order_relaxed));
}

float QKAAWaveViewSlice::recentPeak() const {
  return scaled(recentPeak_.load(std::memory_order_relaxed));
}

// --- Shape -------------------------------------------------------------------------------------

QPointF QKAAWaveViewSlice::evaluateAt(float x) const {
  const double x0 = fillArea_.x(), y0 = 0, w = fillArea_.width(), h = fillArea_.height();
  const double cx = x0 + w / 2;
  QPointF p0, p1, p2, p3;
  if (x <= cx) {
    p0 = {x0, y0};
    p1 = {cx - w / 3, y0};
    p2 = {cx - w / 6, y0 + h};
    p3 = {cx, y0 + h};
  } else {
    p0 = {cx, y0 + h};
    p1 = {cx + w / 6, y0 + h};
    p2 = {cx + w / 3, y0};
    p3 = {x0 + w, y0};
  }
  QPointF point = p0;
  for (int step = 0; step <= 200; ++step) {
    point = bezier(p0, p1, p2, p3, step * 0.005);
    if (point.x() >= x) break;
  }
  return point;
}

void QKAAWaveViewSlice::prepareDrawPath() {
  const double w = fillArea_.width();
  const double x0 = fillArea_.x();
  int count = int(std::ceil(w / 4));
  if (count <= 4) count = 5;
  if (count > kMaxCurvePoints) count = kMaxCurvePoints;
  curvePointsCount_ = count;
  for (int i = 0; i < count; ++i)
    curvePoints_[std::size_t(i)] = float(evaluateAt(float(x0 + i * w / (count - 1))).y());
  handleRect_ = QRectF(x0 + w / 2 - 6, fillArea_.y(), 11, fillArea_.height());
}

QPainterPath QKAAWaveViewSlice::curvePath(float bottom) const {
  QPainterPath path;
  const double x0 = fillArea_.x(), w = fillArea_.width();
  const int n = curvePointsCount_;
  path.moveTo(x0, bottom);
  for (int i = 0; i < n; ++i)
    path.lineTo(x0 + i * w / (n - 1), bottom - curvePoints_[std::size_t(i)]);
  path.lineTo(x0 + w, bottom);
  return path;
}

void QKAAWaveViewSlice::fillToPainter(QPainter& painter, float bottom) const {
  QPainterPath path = curvePath(bottom);
  path.closeSubpath();
  painter.fillPath(path, painter.brush());
}

void QKAAWaveViewSlice::strokeToPainter(QPainter& painter, float bottom) const {
  painter.strokePath(curvePath(bottom), painter.pen());
}

// --- Snapshot ----------------------------------------------------------------------------------

QVariantMap QKAAWaveViewSlice::createSnapshot() const {
  return {{kBqFreq, double(bqFreq_)},
          {kBqBandwidth, double(bqBandwidth_)},
          {kSmoothingFactor, double(smoothingFactor())},
          {kFreqText, freqText_}};
}

void QKAAWaveViewSlice::loadSnapshot(const QVariantMap& snapshot) {
  if (const auto frequency = finiteNumber(snapshot, kBqFreq))
    setBqFreq(clampFrequency(*frequency, sampleRate_));
  if (const auto bandwidth = finiteNumber(snapshot, kBqBandwidth))
    setBqBandwidth(clampBandwidth(*bandwidth));
  const QVariant name = snapshot.value(kFreqText);
  if (name.typeId() == QMetaType::QString && !name.toString().isEmpty())
    freqText_ = name.toString();
  if (const auto smoothing = finiteNumber(snapshot, kSmoothingFactor))
    setSmoothingFactor(std::clamp(*smoothing, 0.0f, 1.0f));
}
