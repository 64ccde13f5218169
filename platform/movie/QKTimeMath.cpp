#include "platform/movie/QKTimeMath.h"

#include <cmath>

namespace QKTimeMath {

QKTime make(int64_t value, int32_t scale) { return QKTime{value, scale, 0}; }

int64_t valueIn(const QKTime& t, int32_t scale) {
  if (t.scale == 0 || scale == 0) return 0;
  if (t.scale == scale) return t.value;
  const __int128 v = static_cast<__int128>(t.value) * scale / t.scale;
  return static_cast<int64_t>(v);
}

QKTime convert(const QKTime& t, int32_t scale) { return QKTime{valueIn(t, scale), scale, t.flags}; }

int compare(const QKTime& a, const QKTime& b) {
  const __int128 left = static_cast<__int128>(a.scale == 0 ? 0 : a.value) * (b.scale == 0 ? 1 : b.scale);
  const __int128 right = static_cast<__int128>(b.scale == 0 ? 0 : b.value) * (a.scale == 0 ? 1 : a.scale);
  return left < right ? -1 : (left > right ? 1 : 0);
}

QKTime add(const QKTime& a, const QKTime& b) {
  const int32_t scale = a.scale != 0 ? a.scale : b.scale;
  return QKTime{valueIn(a, scale) + valueIn(b, scale), scale, 0};
}

QKTime subtract(const QKTime& a, const QKTime& b) {
  const int32_t scale = a.scale != 0 ? a.scale : b.scale;
  return QKTime{valueIn(a, scale) - valueIn(b, scale), scale, 0};
}

QKTime fromSeconds(double seconds, int32_t scale) {
  if (!std::isfinite(seconds)) seconds = 0.0;
  return QKTime{static_cast<int64_t>(seconds * scale), scale, 0};
}

QKTime rangeEnd(const QKTimeRange& r) { return add(r.start, r.duration); }

bool rangeContains(const QKTimeRange& r, const QKTime& t) {
  return compare(t, r.start) >= 0 && compare(t, rangeEnd(r)) < 0;
}

}  // namespace QKTimeMath
