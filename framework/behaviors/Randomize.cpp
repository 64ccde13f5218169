#include "framework/behaviors/Randomize.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderControl.h"

void Randomize::wakeUp() {
  QKSliderControl* slider = panelSlider(QStringLiteral("randomizeSlider"));
  if (!slider) return;
  slider->setSliderName(QStringLiteral("Random Factor"));
  slider->setValue(randomFactor_.load(), false);
  addParameter(slider, QStringLiteral("randomizeSlider"),
               [this](QKSliderCell& sender) { setRandomFactor(sender.value()); });
}

void Randomize::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(
      BehaviorFormulas::randomize(slider->value(), randomFactor_.load(), random_.next01()));
}
