#include "framework/splitview/SplitAnimation.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

SplitAnimation::Clock& installedClock() {
  static SplitAnimation::Clock c;
  return c;
}

}  // namespace

double SplitAnimation::now() {
  if (installedClock()) return installedClock()();
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void SplitAnimation::setClock(Clock c) { installedClock() = std::move(c); }

SplitAnimation::SplitAnimation(const void* owner, float dimension, double duration, bool collapsing,
                               bool resize)
    : owner_(owner),
      dimension_(dimension),
      finish_(now() + duration),
      total_(duration),
      collapsing_(collapsing),
      resize_(resize) {}

SplitAnimation::Step SplitAnimation::plan(double at) const {
  Step step;
  const double remaining = finish_ - at;
  if (remaining < kFrame) return step;
  const double average = steps_ > 0 ? timeSpent_ / steps_ : timeSpent_;
  const double next = std::floor(dimension_ * (remaining - average) / total_);
  if (!(next > kLastStep)) return step;
  step.finished = false;
  step.size = static_cast<float>(collapsing_ ? next : dimension_ - next);
  step.delay = std::max(0.0, kFrame - average);
  return step;
}

void SplitAnimation::stepTook(double seconds) {
  timeSpent_ += seconds;
  ++steps_;
}
