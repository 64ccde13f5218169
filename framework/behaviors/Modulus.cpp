#include "framework/behaviors/Modulus.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderControl.h"

void Modulus::wakeUp() {
  QKSliderControl* slider = panelSlider(QStringLiteral("modSlider"));
  if (!slider) return;
  slider->setSliderName(QStringLiteral("testSliderName"));
  slider->setMaxRange(1.0f);
  addParameter(slider, QStringLiteral("modulusSlider"),
               [this](QKSliderCell& sender) { setModulusAmount(sender.value()); });
  slider->setValue(0.5f);
  modVal_.store(slider->value());
}

void Modulus::setModulusAmount(float modVal) {
  modVal_.store(modVal);
  markNeedsEvaluation();
}

void Modulus::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(BehaviorFormulas::modulus(slider->value(), modVal_.load()));
}
