#include "framework/controls/SoftTakeover.h"

#include <cmath>

// Pick-up acts only here, when a value arrives; the other modes step as on a
// tick.
SoftTakeover::Step SoftTakeover::valueArrived(int mode, float input, float target, float tolerance,
                                              float speed) {
  if (mode != PickUp) return tick(mode, input, target, speed);
  if (std::fabs(input - target) <= tolerance) return {target, true};
  return {input, false};
}

SoftTakeover::Step SoftTakeover::tick(int mode, float input, float target, float speed) {
  switch (mode) {
    case Off:
      return {input, true};
    case Jump:
      return {target, true};
    case Glide:
      return glide(input, target, speed);
    default:
      return {input, false};
  }
}

SoftTakeover::Step SoftTakeover::glide(float input, float target, float speed) {
  if (!std::isfinite(input)) return {target, true};
  const bool up = target > input;
  const float moved = up ? input + speed : input - speed;
  if (moved == target) return {moved, true};
  const bool passed = up ? moved > target : moved < target;
  if (passed) return {target, true};
  return {moved, false};
}
