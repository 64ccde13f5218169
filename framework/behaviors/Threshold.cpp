#include "framework/behaviors/Threshold.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderControl.h"

void Threshold::wakeUp() {
  parameterSlider(QStringLiteral("threshSlider"), QStringLiteral("Threshold"),
                  QStringLiteral("threshSlider"),
                  [this](QKSliderCell& sender) { setThreshold(sender.value()); });
}

void Threshold::setThreshold(float thresh) {
  thresh_.store(thresh);
  markNeedsEvaluation();
}

void Threshold::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(BehaviorFormulas::threshold(slider->value(), thresh_.load()));
}
