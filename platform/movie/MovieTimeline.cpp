#include "platform/movie/MovieTimeline.h"

#include <algorithm>
#include <cmath>

namespace {
long double positiveModulo(long double a, long double m) {
  long double r = std::fmod(a, m);
  return r < 0 ? r + m : r;
}

__int128 positiveModulo(__int128 a, __int128 m) {
  const __int128 r = a % m;
  return r < 0 ? r + m : r;
}

__int128 floorDivide(__int128 a, __int128 b) {
  const __int128 q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}
}  // namespace

long double MovieTimeline::runSince(int64_t hostNanos) const {
  return static_cast<long double>(rate) * static_cast<long double>(hostNanos - anchorHost) * scale;
}

__int128 MovieTimeline::fineAt(int64_t hostNanos) const {
  return __int128(anchorValue) * kFraction + anchorFraction +
         static_cast<__int128>(std::roundl(runSince(hostNanos)));
}

long double MovieTimeline::phaseAt(int64_t hostNanos) const {
  const long double offset = static_cast<long double>(anchorValue - boundStart) +
                             static_cast<long double>(anchorFraction) / kFraction;
  const long double start = returning ? 2.0L * length() - offset : offset;
  return positiveModulo(start + runSince(hostNanos) / kFraction, 2.0L * length());
}

MovieTimeline::Position MovieTimeline::at(int64_t hostNanos) const {
  Position p;
  const int sign = rate > 0 ? 1 : (rate < 0 ? -1 : 0);
  const int64_t len = length();
  if (len <= 0) {
    p.value = boundStart;
    p.ended = sign != 0;
    return p;
  }
  if (sign != 0 && backAndForth) {
    const long double phase = phaseAt(hostNanos);
    const bool back = phase > len;
    p.value = boundStart + static_cast<int64_t>(std::floor(back ? 2.0L * len - phase : phase));
    p.direction = back ? -sign : sign;
    return p;
  }
  const long double u =
      static_cast<long double>(anchorValue) +
      (static_cast<long double>(anchorFraction) + runSince(hostNanos)) / kFraction;
  if (sign != 0 && loops) {
    p.value = boundStart + static_cast<int64_t>(std::floor(positiveModulo(u - boundStart, len)));
    p.direction = sign;
    return p;
  }
  const long double clamped = std::clamp<long double>(u, static_cast<long double>(boundStart),
                                                      static_cast<long double>(boundEnd));
  p.value = static_cast<int64_t>(std::floor(clamped));
  p.ended = (sign > 0 && u >= boundEnd) || (sign < 0 && u <= boundStart);
  p.direction = p.ended ? 0 : sign;
  return p;
}

void MovieTimeline::setAnchor(int64_t value, int64_t hostNanos) {
  anchorValue = value;
  anchorFraction = 0;
  anchorHost = hostNanos;
}

void MovieTimeline::reanchor(int64_t hostNanos) {
  const int64_t len = length();
  const __int128 start = __int128(boundStart) * kFraction;
  const __int128 end = __int128(boundEnd) * kFraction;
  __int128 fine = fineAt(hostNanos);
  if (len > 0 && rate != 0.0 && backAndForth) {
    // Work in the phase of the cycle (0 … 2·length), so the leg survives.
    const __int128 cycle = 2 * (end - start);
    const __int128 offset = __int128(anchorValue - boundStart) * kFraction + anchorFraction;
    const __int128 run = fine - (__int128(anchorValue) * kFraction + anchorFraction);
    const __int128 phase = positiveModulo((returning ? cycle - offset : offset) + run, cycle);
    returning = phase > end - start;
    fine = start + (returning ? cycle - phase : phase);
  } else if (len > 0 && rate != 0.0 && loops) {
    fine = start + positiveModulo(fine - start, end - start);
  } else {
    fine = std::clamp(fine, start, std::max(start, end));
  }
  if (!backAndForth) returning = false;
  anchorValue = static_cast<int64_t>(floorDivide(fine, kFraction));
  anchorFraction = static_cast<int64_t>(fine - __int128(anchorValue) * kFraction);
  anchorHost = hostNanos;
}
