#pragma once

#include "framework/behaviors/Behavior.h"
#include "framework/curves/QKSplineViewBox.h"

#include <QPointer>

#include <memory>

class QKSingleSpline;

// Maps the value through a curve drawn in the panel's curve box
// ("waveformBox"). The behaviour owns the curve and the box edits it; the
// curve is evaluated on whichever thread passes the slider.
class LookupCurve : public Behavior {
 public:
  static const QString kSplineViewKey;    // "splineView"
  static const QString kWaveformBoxName;  // "waveformBox"

  explicit LookupCurve(const QString& name);
  ~LookupCurve() override;
  QString className() const override { return QStringLiteral("LookupCurve"); }
  void processPassedPtr(void* passed) override;

  std::optional<QVariantMap> createSnapshot() const override;
  // A snapshot without "splineView" is the older form, whose curve keys
  // stand at the top level.
  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;

  void clearTrackingRects() override;
  void resetTrackingRects() override;

  const std::shared_ptr<QKSingleSpline>& curve() const { return curve_; }
  QKSplineViewBox* waveformBox() const { return waveformBox_.data(); }

 protected:
  void wakeUp() override;

 private:
  void curveLoaded();

  const std::shared_ptr<QKSingleSpline> curve_;
  QPointer<QKSplineViewBox> waveformBox_;
};
