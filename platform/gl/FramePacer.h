#pragma once

#include <chrono>
#include <cstdint>

namespace gl {

// The arithmetic of a display link: frames are due on the boundaries
// start + k × period of a steady clock. After a frame that ran late the next
// one is due on the first boundary not yet passed: missed boundaries are
// skipped, never caught up with a burst of frames.
class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;
  using TimePoint = Clock::time_point;
  using Duration = Clock::duration;

  // The period of a refresh rate in Hz; an unknown or absurd rate (not
  // between 1 and 1000 Hz) counts as 60 Hz.
  static Duration periodForRate(double hertz);

  explicit FramePacer(Duration period = periodForRate(60.0)) : period_(period) {}

  Duration period() const { return period_; }
  // Takes effect from the next frame on.
  void setPeriod(Duration period) { period_ = period > Duration::zero() ? period : period_; }

  void reset(TimePoint firstDeadline) { deadline_ = firstDeadline; }
  TimePoint deadline() const { return deadline_; }
  bool isDue(TimePoint now) const { return now >= deadline_; }

  // Called when the frame due at deadline() has finished at `now`; moves the
  // deadline to the first boundary at or after `now` (at least one period
  // on) and answers how many boundaries were skipped.
  std::int64_t frameDone(TimePoint now);

 private:
  Duration period_;
  TimePoint deadline_{};
};

}  // namespace gl
