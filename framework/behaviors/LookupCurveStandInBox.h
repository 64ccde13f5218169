#pragma once

#include <QVariantMap>

#include <mutex>

// Stands in for the curve box of LookupCurve until the spline curves
// exist: it evaluates the default falling ramp (1 − v) and keeps the curve
// snapshot it was given, to write it back unchanged, so no stored curve is
// lost. Evaluation may run on any thread.
class LookupCurveStandInBox {
 public:
  float evaluateAt(float v) const { return 1.0f - v; }

  // Empty until a snapshot was loaded.
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);

  void clearTrackingRects() {}
  void resetTrackingRects() {}

 private:
  mutable std::mutex mutex_;
  QVariantMap loaded_;
};
