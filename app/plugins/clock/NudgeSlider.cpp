#include "app/plugins/clock/NudgeSlider.h"

#include <algorithm>
#include <cmath>

NudgeSlider::NudgeSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setTracking(false);
  QSlider::setRange(0, kSteps);
  setFloatValue(0);
  setTickPosition(QSlider::TicksBelow);
  setTickInterval(kSteps / 4);  // five marks
  setFocusPolicy(Qt::NoFocus);
  timer_.setInterval(kRepeatMilliseconds);
  connect(&timer_, &QTimer::timeout, this, &NudgeSlider::repeatFired);
  connect(this, &QSlider::sliderPressed, this, &NudgeSlider::knobPressed);
  connect(this, &QSlider::sliderReleased, this, &NudgeSlider::knobReleased);
}

void NudgeSlider::setRange(double minimum, double maximum) {
  const double value = floatValue();
  minimum_ = minimum;
  maximum_ = maximum;
  setFloatValue(value);
}

double NudgeSlider::floatValue() const {
  return minimum_ + (maximum_ - minimum_) * sliderPosition() / double(kSteps);
}

void NudgeSlider::setFloatValue(double value) {
  const double span = maximum_ - minimum_;
  const double clamped =
      std::clamp(value, std::min(minimum_, maximum_), std::max(minimum_, maximum_));
  const int position = span == 0 ? 0 : int(std::lround((clamped - minimum_) / span * kSteps));
  setSliderPosition(position);
  setValue(position);
}

void NudgeSlider::knobPressed() {
  mouseUpFlag_ = false;
  timer_.start();
}

// A slider that is not continuous sends its action once more on release.
void NudgeSlider::knobReleased() {
  mouseUpFlag_ = true;
  sendAction();
}

void NudgeSlider::repeatFired() {
  sendAction();
  if (mouseUpFlag_) timer_.stop();
}

void NudgeSlider::sendAction() {
  if (action_) action_(*this);
}
