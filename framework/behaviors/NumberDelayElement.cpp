#include "framework/behaviors/NumberDelayElement.h"

#include <cmath>

namespace {
// Times are large (seconds since boot) and steps small: a gap of exactly one
// step may come out a hair short of it in double precision, and would then
// overwrite the newest slot instead of filling the next.
constexpr double kSlack = 1e-7;
}  // namespace

NumberDelayElement::NumberDelayElement(float value, double now) : lastTime_(now) {
  values_.fill(value);
}

void NumberDelayElement::pushFloat(float value, double now) {
  const double elapsed = now - lastTime_;
  lastValue_ = value;
  if (!(elapsed >= kStep - kSlack)) {
    values_[static_cast<std::size_t>(lastTimeIndex_)] = value;
    ++slotWrites_;
    return;
  }
  const double steps = std::ceil(elapsed / kStep - kSlack / kStep);
  if (steps >= kSlots) {
    // The pause spans the whole ring: every slot holds the new value, and
    // the newest slot stands where stepping one by one would have left it.
    values_.fill(value);
    slotWrites_ += kSlots;
    const auto advance = static_cast<long long>(std::fmod(steps, static_cast<double>(kSlots)));
    lastTimeIndex_ = static_cast<int>((lastTimeIndex_ + advance) % kSlots);
    lastTime_ += steps * kStep;
    return;
  }
  for (int i = 0; i < static_cast<int>(steps); ++i) {
    lastTimeIndex_ = (lastTimeIndex_ + 1) % kSlots;
    values_[static_cast<std::size_t>(lastTimeIndex_)] = value;
    lastTime_ += kStep;
  }
  slotWrites_ += static_cast<std::uint64_t>(steps);
}

float NumberDelayElement::valueForTime(double time) const {
  if (time >= lastTime_) return lastValue_;
  if (time <= lastTime_ - kHorizon)
    return values_[static_cast<std::size_t>((lastTimeIndex_ + 1) % kSlots)];
  int index = lastTimeIndex_ - static_cast<int>(std::floor((lastTime_ - time + kSlack) / kStep));
  if (index > kSlots - 1) index %= kSlots;
  if (index < 0) index += kSlots;
  return values_[static_cast<std::size_t>(index)];
}
