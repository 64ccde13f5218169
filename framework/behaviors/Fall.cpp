#include "framework/behaviors/Fall.h"

#include "framework/controls/QKSliderControl.h"

Fall::Fall(const QString& name) : Behavior(name, name) { observeSliderDeletion(); }

void Fall::wakeUp() {
  if (QKSliderControl* slider =
          parameterSlider(QStringLiteral("smoothAmtSlider"), QStringLiteral("Smoothing factor"),
                          QStringLiteral("smoothAmtSlider"),
                          [this](QKSliderCell& sender) { smoothingSliderUsed(sender.value()); }))
    slider->setValue(smoothingFactor_.load(), false);
}

void Fall::smoothingSliderUsed(float factor) {
  smoothingFactor_.store(factor);
  markNeedsEvaluation();
}

void Fall::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  const auto state = recentValues_.find(*slider);
  if (!state) {
    recentValues_.start(*slider,
                        std::make_shared<FallElement>(slider->value(), slider->lastInputValue()));
    return;
  }
  const float v = slider->value();
  const float decayed = smoothingFactor_.load() * state->lastValue;
  float out = decayed;
  if (!(v == state->lastInputValue)) {  // a NaN on either side counts as a change
    state->lastInputValue = v;
    if (v > decayed) out = v;
  }
  state->lastValue = out;
  slider->justSetValue(out);
}
