#include "framework/behaviors/NumberDelayBehavior.h"

#include "framework/controls/QKSliderControl.h"

#include <chrono>

double NumberDelayBehavior::steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

NumberDelayBehavior::NumberDelayBehavior(const QString& name)
    : Behavior(name, QStringLiteral("NumberDelayBehavior")) {
  observeSliderDeletion();
}

QString NumberDelayBehavior::layoutErrorLine() const {
  return QStringLiteral("\t\terror while loading the NumberDelayBehavior.nib");
}

void NumberDelayBehavior::wakeUp() {
  QKSliderControl* slider = panelSlider(QStringLiteral("delaySlider"));
  if (!slider) return;
  slider->setSliderName(QStringLiteral("Delay (s)"));
  slider->setMaxRange(10.0f);
  slider->setValueWithRangedValue(1.0f, false);
  delaySlider_ = slider->cellPtr();
  addParameter(slider, QStringLiteral("delaySlider"), [](QKSliderCell&) {});
}

float NumberDelayBehavior::delay() const {
  return delaySlider_ ? delaySlider_->rangedValue() : 0.0f;
}

void NumberDelayBehavior::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  const auto ring = delayElements_.find(*slider);
  const double now = clock_();
  if (!ring) {
    delayElements_.start(*slider, std::make_shared<NumberDelayElement>(slider->value(), now));
    return;
  }
  ring->pushFloat(slider->value(), now);
  slider->justSetValue(ring->valueForTime(now - static_cast<double>(delay())));
}
