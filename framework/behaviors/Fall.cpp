#include "framework/behaviors/Fall.h"

#include "framework/controls/QKSliderControl.h"

Fall::Fall(const QString& name) : Behavior(name, name) { observeSliderDeletion(); }

void Fall::wakeUp() {
  QKSliderControl* slider = panelSlider(QStringLiteral("smoothAmtSlider"));
  if (!slider) return;
  slider->setSliderName(QStringLiteral("Smoothing factor"));
  slider->setValue(smoothingFactor_.load(), false);
  addParameter(slider, QStringLiteral("smoothAmtSlider"),
               [this](QKSliderCell& sender) { smoothingSliderUsed(sender.value()); });
}

void Fall::smoothingSliderUsed(float factor) {
  smoothingFactor_.store(factor);
  markNeedsEvaluation();
}

void Fall::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  const std::shared_ptr<FallElement> state = recentValues_.find(slider->uniqueID());
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
