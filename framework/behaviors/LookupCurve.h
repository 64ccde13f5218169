#pragma once

#include "framework/behaviors/Behavior.h"
#include "framework/behaviors/LookupCurveStandInBox.h"

// Maps the value through a curve drawn in the panel's curve box.
class LookupCurve : public Behavior {
 public:
  static const QString kSplineViewKey;  // "splineView"

  explicit LookupCurve(const QString& name) : Behavior(name, name) {}
  QString className() const override { return QStringLiteral("LookupCurve"); }
  void processPassedPtr(void* passed) override;

  std::optional<QVariantMap> createSnapshot() const override;
  // A snapshot without "splineView" is the older form, whose curve keys
  // stand at the top level.
  void loadSnapshot(const QVariantMap& snapshot) override;

  void clearTrackingRects() override { waveformBox_.clearTrackingRects(); }
  void resetTrackingRects() override { waveformBox_.resetTrackingRects(); }

 private:
  LookupCurveStandInBox waveformBox_;
};
