#include "platform/gl/FramePacer.h"

#include <cmath>

namespace gl {

FramePacer::Duration FramePacer::periodForRate(double hertz) {
  if (!std::isfinite(hertz) || hertz < 1.0 || hertz > 1000.0) hertz = 60.0;
  return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(1.0 / hertz));
}

std::int64_t FramePacer::frameDone(TimePoint now) {
  const Duration elapsed = now - deadline_;
  std::int64_t steps = 1;
  if (elapsed > period_) steps = (elapsed + period_ - Duration(1)) / period_;
  deadline_ += steps * period_;
  return steps - 1;
}

}  // namespace gl
