#include "framework/behaviors/Multiply.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderControl.h"

void Multiply::wakeUp() {
  QKSliderControl* slider = panelSlider(QStringLiteral("multiplySlider"));
  if (!slider) return;
  slider->setSliderName(QStringLiteral("multiply by"));
  slider->setMaxRange(10.0f);
  slider->setValueWithRangedValue(multiplyFactor_.load(), false);
  addParameter(slider, QStringLiteral("multiplySlider"),
               [this](QKSliderCell& sender) { setMultiplyFactor(sender.rangedValue()); });
}

void Multiply::setMultiplyFactor(float factor) {
  multiplyFactor_.store(factor);
  markNeedsEvaluation();
}

void Multiply::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(BehaviorFormulas::multiply(slider->value(), multiplyFactor_.load()));
}
