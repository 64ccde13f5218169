#include "framework/behaviors/Randomize.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderControl.h"

void Randomize::wakeUp() {
  if (QKSliderControl* slider =
          parameterSlider(QStringLiteral("randomizeSlider"), QStringLiteral("Random Factor"),
                          QStringLiteral("randomizeSlider"),
                          [this](QKSliderCell& sender) { setRandomFactor(sender.value()); }))
    slider->setValue(randomFactor_.load(), false);
}

void Randomize::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(
      BehaviorFormulas::randomize(slider->value(), randomFactor_.load(), random_.next01()));
}
