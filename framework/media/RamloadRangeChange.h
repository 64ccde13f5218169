#pragma once

#include "platform/movie/QKTime.h"

#include <vector>

// What moving a movie's RAM range from `old` to `wanted` flushes and loads:
// the parts of the old range that the new one does not cover are flushed,
// and the whole new range is loaded (nothing for an empty one). Ranges are
// compared by their time values; both share the movie's time scale.
struct RamloadRangeChange {
  std::vector<QKTimeRange> flush;
  bool load = false;
  // The part of the old range that stays in memory.
  QKTimeRange kept;

  static RamloadRangeChange between(const QKTimeRange& old, const QKTimeRange& wanted);
  static bool sameRange(const QKTimeRange& a, const QKTimeRange& b);
};
