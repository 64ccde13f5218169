#include "framework/behaviors/QKMinMaxBehavior.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderControl.h"

QString QKMinMaxBehavior::layoutErrorLine() const {
  return QStringLiteral("\t\terror while loading the QKMinMaxBehavior.nib");
}

void QKMinMaxBehavior::wakeUp() {
  if (QKSliderControl* min = panelSlider(QStringLiteral("minSlider"))) {
    min->setValue(min_.load(), false);
    addParameter(min, QStringLiteral("minSlider"),
                 [this](QKSliderCell& sender) { setMinValue(sender.value()); });
  }
  if (QKSliderControl* max = panelSlider(QStringLiteral("maxSlider"))) {
    max->setValue(max_.load(), false);
    addParameter(max, QStringLiteral("maxSlider"),
                 [this](QKSliderCell& sender) { setMaxValue(sender.value()); });
  }
}

void QKMinMaxBehavior::setMinValue(float min) {
  min_.store(min);
  markNeedsEvaluation();
}

void QKMinMaxBehavior::setMaxValue(float max) {
  max_.store(max);
  markNeedsEvaluation();
}

void QKMinMaxBehavior::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(BehaviorFormulas::minMax(slider->value(), min_.load(), max_.load()));
}
