#pragma once

#include <functional>

// The one collapse or expand animation of the program: its record and the
// arithmetic of each step. The clock (seconds) can be replaced, so tests
// drive the steps.
class SplitAnimation {
 public:
  using Clock = std::function<double()>;
  static constexpr double kSecondsPerPoint = 0.0013333333333333335;
  static constexpr double kFrame = 1.0 / 60.0;
  // Below this many points a step is not worth making: the animation ends.
  static constexpr double kLastStep = 4.0;

  static double now();
  // An empty clock brings back the steady clock.
  static void setClock(Clock clock);

  static double defaultDuration(float dimension) { return kSecondsPerPoint * dimension; }
  // An animation of a frame or less is not run: the change is made at once.
  static bool worthRunning(double duration) { return duration > kFrame; }

  SplitAnimation(const void* owner, float dimension, double duration, bool collapsing, bool resize);

  struct Step {
    bool finished = true;
    float size = 0.0f;   // the pane's dimension for this step
    double delay = 0.0;  // until the next step
  };
  // The step due at `now` (pure).
  Step plan(double now) const;
  void stepTook(double seconds);

  const void* owner() const { return owner_; }
  float dimension() const { return dimension_; }
  bool collapsing() const { return collapsing_; }
  bool resize() const { return resize_; }
  int steps() const { return steps_; }

 private:
  const void* owner_;
  float dimension_;
  int steps_ = 0;
  double timeSpent_ = 0.0;
  double finish_;
  double total_;
  bool collapsing_;
  bool resize_;
};
