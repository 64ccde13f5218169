#include "framework/behaviors/SmoothWrap.h"

#include "framework/behaviors/BehaviorFormulas.h"

float SmoothWrap::ease(float v, float last, float factor) const {
  return BehaviorFormulas::smoothWrap(v, last, factor);
}
