#include "framework/behaviors/Snap.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderControl.h"

void Snap::wakeUp() {
  QKSliderControl* slider = panelSlider(QStringLiteral("proximitySlider"));
  if (!slider) return;
  slider->setSliderName(QStringLiteral("Proximity"));
  slider->setValue(0.1f, false);
  proximity_ = slider->cellPtr();
  addParameter(slider, QStringLiteral("proximitySlider"), [](QKSliderCell&) {});
}

float Snap::proximity() const { return proximity_ ? proximity_->value() : 0.0f; }

void Snap::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  const float v = slider->value();
  const std::optional<float> closest = slider->findInterestingPointClosestToValue(v);
  if (const std::optional<float> out = BehaviorFormulas::snap(v, closest, proximity()))
    slider->justSetValue(*out);
}
