#pragma once

#include "platform/movie/QKTime.h"

#include <cstdint>

// Exact arithmetic on movie times. Values are carried over between scales
// with 128-bit intermediates, truncating toward zero as the movie layer's
// callers expect (a time scaled down never lands after the original).
namespace QKTimeMath {

QKTime make(int64_t value, int32_t scale);
// `t` in `scale` units, truncated toward zero. A time without a scale reads
// as zero.
int64_t valueIn(const QKTime& t, int32_t scale);
QKTime convert(const QKTime& t, int32_t scale);
// Negative, zero or positive as a is before, at or after b (exact, across
// scales).
int compare(const QKTime& a, const QKTime& b);
QKTime add(const QKTime& a, const QKTime& b);  // in a's scale (b's when a has none)
QKTime subtract(const QKTime& a, const QKTime& b);
QKTime fromSeconds(double seconds, int32_t scale);  // truncated
QKTime rangeEnd(const QKTimeRange& r);
bool rangeContains(const QKTimeRange& r, const QKTime& t);  // start <= t < end

}  // namespace QKTimeMath
