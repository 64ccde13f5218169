#include "framework/behaviors/LookupCurve.h"

#include "framework/controls/QKSliderCell.h"
#include "framework/fx/FXChain.h"

const QString LookupCurve::kSplineViewKey = QStringLiteral("splineView");

void LookupCurve::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(waveformBox_.evaluateAt(slider->value()));
}

std::optional<QVariantMap> LookupCurve::createSnapshot() const {
  std::optional<QVariantMap> snapshot = Behavior::createSnapshot();
  if (!snapshot) return snapshot;
  const QVariantMap curve = waveformBox_.createSnapshot();
  if (!curve.isEmpty()) snapshot->insert(kSplineViewKey, curve);
  return snapshot;
}

void LookupCurve::loadSnapshot(const QVariantMap& snapshot) {
  Behavior::loadSnapshot(snapshot);
  const QVariant curve = snapshot.value(kSplineViewKey);
  if (curve.typeId() == QMetaType::QVariantMap) {
    waveformBox_.loadSnapshot(curve.toMap());
    return;
  }
  if (snapshot.contains(kSplineViewKey)) return;  // mistyped: the curve stays
  QVariantMap legacy = snapshot;
  for (const QString& key :
       {FXObject::kBypassButtonKey, FXChain::kNameKey, FXChain::kFrameHeightKey})
    legacy.remove(key);
  waveformBox_.loadSnapshot(legacy);
}
