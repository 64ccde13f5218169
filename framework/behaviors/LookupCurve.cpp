#include "framework/behaviors/LookupCurve.h"

#include "framework/controls/QKSliderCell.h"
#include "framework/curves/QKSingleSpline.h"
#include "framework/curves/QKSingleSplineView.h"
#include "framework/curves/QKSplineViewBox.h"
#include "framework/fx/FXChain.h"

#include <QWidget>

const QString LookupCurve::kSplineViewKey = QStringLiteral("splineView");
const QString LookupCurve::kWaveformBoxName = QStringLiteral("waveformBox");

LookupCurve::LookupCurve(const QString& name)
    : Behavior(name, name), curve_(std::make_shared<QKSingleSpline>()) {}

LookupCurve::~LookupCurve() = default;

void LookupCurve::wakeUp() {
  if (QWidget* panel = myPanel())
    waveformBox_ = panel->findChild<QKSplineViewBox*>(kWaveformBoxName);
  if (waveformBox_) waveformBox_->showSpline(curve_);
}

void LookupCurve::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(curve_->evaluateAt(slider->value()));
}

std::optional<QVariantMap> LookupCurve::createSnapshot() const {
  std::optional<QVariantMap> snapshot = Behavior::createSnapshot();
  if (snapshot) snapshot->insert(kSplineViewKey, curve_->createSnapshot());
  return snapshot;
}

void LookupCurve::loadSnapshot(const QVariantMap& snapshot) {
  Behavior::loadSnapshot(snapshot);
  const QVariant curve = snapshot.value(kSplineViewKey);
  if (curve.typeId() == QMetaType::QVariantMap) {
    curve_->loadSnapshot(curve.toMap());
    curveLoaded();
    return;
  }
  if (snapshot.contains(kSplineViewKey)) return;  // mistyped: the curve stays
  QVariantMap legacy = snapshot;
  for (const QString& key :
       {FXObject::kBypassButtonKey, FXChain::kNameKey, FXChain::kFrameHeightKey})
    legacy.remove(key);
  curve_->loadSnapshot(legacy);
  curveLoaded();
}

void LookupCurve::curveLoaded() {
  if (waveformBox_ && waveformBox_->splineView()) waveformBox_->splineView()->resetCursorRects();
}

void LookupCurve::prepareToBeDeleted() {
  if (waveformBox_) waveformBox_->prepareToBeDeleted();
  Behavior::prepareToBeDeleted();
}

void LookupCurve::clearTrackingRects() {
  if (waveformBox_) waveformBox_->clearTrackingRects();
}

void LookupCurve::resetTrackingRects() {
  if (waveformBox_) waveformBox_->resetTrackingRects();
}
