#include "platform/movie/MovieTimeline.h"

#include <algorithm>
#include <cmath>

namespace {
long double positiveModulo(long double a, long double m) {
  long double r = std::fmod(a, m);
  return r < 0 ? r + m : r;
}
}  // namespace

long double MovieTimeline::unbounded(int64_t hostNanos) const {
  const long double elapsed = static_cast<long double>(hostNanos - anchorHost) / 1e9L;
  return static_cast<long double>(anchorValue) + static_cast<long double>(rate) * elapsed * scale;
}

MovieTimeline::Position MovieTimeline::at(int64_t hostNanos) const {
  Position p;
  const long double u = unbounded(hostNanos);
  const int sign = rate > 0 ? 1 : (rate < 0 ? -1 : 0);
  const int64_t len = length();
  if (len <= 0) {
    p.value = boundStart;
    p.ended = sign != 0;
    return p;
  }
  if (sign == 0 || (!loops && !backAndForth)) {
    const long double clamped =
        std::clamp<long double>(u, static_cast<long double>(boundStart), static_cast<long double>(boundEnd));
    p.value = static_cast<int64_t>(std::floor(clamped));
    p.ended = (sign > 0 && u >= boundEnd) || (sign < 0 && u <= boundStart);
    p.direction = p.ended ? 0 : sign;
    return p;
  }
  const long double offset = u - boundStart;
  if (loops && !backAndForth) {
    p.value = boundStart + static_cast<int64_t>(std::floor(positiveModulo(offset, len)));
    p.direction = sign;
    return p;
  }
  const long double folded = positiveModulo(offset, 2.0L * len);
  if (folded <= len) {
    p.value = boundStart + static_cast<int64_t>(std::floor(folded));
    p.direction = sign;
  } else {
    p.value = boundStart + static_cast<int64_t>(std::floor(2.0L * len - folded));
    p.direction = -sign;
  }
  return p;
}

void MovieTimeline::reanchor(int64_t hostNanos) {
  const int64_t len = length();
  if (backAndForth && rate != 0.0 && len > 0) {
    // Keep the phase of the back-and-forth cycle, so the direction survives.
    const long double folded = positiveModulo(unbounded(hostNanos) - boundStart, 2.0L * len);
    anchorValue = boundStart + static_cast<int64_t>(std::floor(folded));
  } else {
    anchorValue = at(hostNanos).value;
  }
  anchorHost = hostNanos;
}
