#pragma once

#include <cstdint>

// A movie time: `value` units of 1/`scale` second. A scale of 0 marks a time
// that was never set (it reads as zero seconds). `flags` carries the movie
// layer's own markers (indefinite and the like) untouched.
struct QKTime {
  int64_t value = 0;
  int32_t scale = 0;
  int32_t flags = 0;

  double seconds() const { return scale == 0 ? 0.0 : double(value) / double(scale); }
  bool operator==(const QKTime&) const = default;
};

// A stretch of movie time from `start` lasting `duration`.
struct QKTimeRange {
  QKTime start;
  QKTime duration;

  bool operator==(const QKTimeRange&) const = default;
};
