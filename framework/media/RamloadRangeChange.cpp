#include "framework/media/RamloadRangeChange.h"

#include <algorithm>

namespace {
int64_t endOf(const QKTimeRange& r) { return r.start.value + r.duration.value; }

QKTimeRange span(int64_t start, int64_t end, int32_t scale) {
  return QKTimeRange{QKTime{start, scale, 0}, QKTime{std::max<int64_t>(end - start, 0), scale, 0}};
}
}  // namespace

bool RamloadRangeChange::sameRange(const QKTimeRange& a, const QKTimeRange& b) {
  return a.start.value == b.start.value && a.duration.value == b.duration.value;
}

RamloadRangeChange RamloadRangeChange::between(const QKTimeRange& old, const QKTimeRange& wanted) {
  RamloadRangeChange change;
  const int32_t scale = old.start.scale ? old.start.scale : wanted.start.scale;
  change.kept = span(0, 0, scale);
  if (sameRange(old, wanted)) {
    change.kept = old;
    return change;
  }
  const int64_t overlapStart = std::max(old.start.value, wanted.start.value);
  const int64_t overlapEnd = std::min(endOf(old), endOf(wanted));
  if (overlapEnd <= overlapStart) {
    if (old.duration.value > 0) change.flush.push_back(old);
  } else {
    if (old.start.value < overlapStart)
      change.flush.push_back(span(old.start.value, overlapStart, scale));
    if (overlapEnd < endOf(old)) change.flush.push_back(span(overlapEnd, endOf(old), scale));
    change.kept = span(overlapStart, overlapEnd, scale);
  }
  change.load = wanted.duration.value > 0;
  return change;
}
