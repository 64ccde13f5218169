#include "framework/behaviors/Smooth.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderControl.h"

Smooth::Smooth(const QString& name) : Behavior(name, name) { observeSliderDeletion(); }

void Smooth::wakeUp() {
  if (QKSliderControl* slider =
          parameterSlider(QStringLiteral("smoothAmtSlider"), QStringLiteral("Smoothing factor"),
                          QStringLiteral("smoothAmtSlider"),
                          [this](QKSliderCell& sender) { smoothingSliderUsed(sender.value()); }))
    slider->setValue(smoothingFactor_.load(), false);
}

float Smooth::ease(float v, float last, float factor) const {
  return BehaviorFormulas::smooth(v, last, factor);
}

void Smooth::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  const auto state = recentValues_.find(*slider);
  if (!state) {
    recentValues_.start(*slider, std::make_shared<SmoothElement>(slider->value()));
    return;
  }
  const float out = ease(slider->value(), state->lastValue, smoothingFactor_.load());
  state->lastValue = out;
  slider->justSetValue(out);
}
