#pragma once

#include <QSlider>
#include <QTimer>

#include <functional>

// The clock palette's spring-back tempo nudge. While the knob is held the
// action repeats every 0.03 s (a main-thread timer), so the tempo keeps
// bending as long as the knob is off centre. Releasing the knob sends the
// action once more with `mouseUpFlag` set (the action springs the slider
// back); the timer's next firing sends it once more and stops.
class NudgeSlider : public QSlider {
  Q_OBJECT
 public:
  static constexpr int kRepeatMilliseconds = 30;
  using Action = std::function<void(NudgeSlider&)>;

  explicit NudgeSlider(QWidget* parent = nullptr);

  void setAction(Action action) { action_ = std::move(action); }
  // The range of floatValue (-1 … 1 at first).
  void setRange(double minimum, double maximum);
  double floatValue() const;
  void setFloatValue(double value);
  bool mouseUpFlag() const { return mouseUpFlag_; }
  void setMouseUpFlag(bool up) { mouseUpFlag_ = up; }
  bool repeating() const { return timer_.isActive(); }

  // The knob taken and let go (mouse presses call them; tests too).
  void knobPressed();
  void knobReleased();
  // One firing of the repeat timer.
  void repeatFired();

 private:
  void sendAction();

  static constexpr int kSteps = 1000;  // integer steps of the whole range
  double minimum_ = -1.0;
  double maximum_ = 1.0;
  bool mouseUpFlag_ = true;
  Action action_;
  QTimer timer_;
};
