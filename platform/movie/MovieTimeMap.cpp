#include "platform/movie/MovieTimeMap.h"

#include <algorithm>

namespace {
// a + (b - a) * (x - x0) / (x1 - x0), exact in 128 bits, truncating.
int64_t interpolate(int64_t a, int64_t b, int64_t x, int64_t x0, int64_t x1) {
  if (x1 == x0) return a;
  const __int128 span = __int128(b) - a;
  return int64_t(a + span * (__int128(x) - x0) / (__int128(x1) - x0));
}

// The same, rounded up: the first time at which the other side is reached.
int64_t interpolateUp(int64_t a, int64_t b, int64_t x, int64_t x0, int64_t x1) {
  if (x1 == x0) return a;
  const __int128 num = (__int128(b) - a) * (__int128(x) - x0);
  const __int128 den = __int128(x1) - x0;
  __int128 q = num / den;
  if (q * den != num && ((num > 0) == (den > 0))) ++q;
  return int64_t(a + q);
}
}  // namespace

MovieTimeMap::MovieTimeMap(std::vector<Point> points) : points_(std::move(points)) {
  if (points_.empty()) points_.push_back(Point{});
  for (std::size_t i = 1; i < points_.size(); ++i) {
    points_[i].warped = std::max(points_[i].warped, points_[i - 1].warped);
    points_[i].original = std::max(points_[i].original, points_[i - 1].original);
  }
}

MovieTimeMap MovieTimeMap::identity(int64_t duration) {
  return MovieTimeMap({Point{0, 0}, Point{duration, duration}});
}

int64_t MovieTimeMap::originalAt(int64_t warped) const {
  if (warped <= points_.front().warped) {
    // At the very start several points may share the time: the last holds.
    auto last = std::upper_bound(points_.begin(), points_.end(), points_.front().warped,
                                 [](int64_t t, const Point& p) { return t < p.warped; });
    return std::prev(last)->original;
  }
  if (warped >= points_.back().warped) return points_.back().original;
  auto after = std::upper_bound(points_.begin(), points_.end(), warped,
                                [](int64_t t, const Point& p) { return t < p.warped; });
  const Point& p0 = *std::prev(after);
  const Point& p1 = *after;
  return interpolate(p0.original, p1.original, warped, p0.warped, p1.warped);
}

int64_t MovieTimeMap::warpedAt(int64_t original) const {
  if (original <= points_.front().original) return points_.front().warped;
  if (original > points_.back().original) return points_.back().warped;
  auto reach = std::lower_bound(points_.begin(), points_.end(), original,
                                [](const Point& p, int64_t t) { return p.original < t; });
  const Point& p1 = *reach;
  const Point& p0 = *std::prev(reach);
  if (p1.original == original) return p1.warped;  // a hold shows it from its start
  return interpolateUp(p0.warped, p1.warped, original, p0.original, p1.original);
}

bool MovieTimeMap::isIdentity() const {
  return std::all_of(points_.begin(), points_.end(),
                     [](const Point& p) { return p.warped == p.original; });
}

MovieTimeMap MovieTimeMap::scaled(int64_t start, int64_t length, int64_t newLength) const {
  length = std::max<int64_t>(length, 0);
  newLength = std::max<int64_t>(newLength, 0);
  start = std::clamp(start, points_.front().warped, points_.back().warped);
  const int64_t end = std::min(start + length, points_.back().warped);
  length = end - start;
  const int64_t shift = newLength - length;
  const int64_t heldOriginal = originalAt(start);

  std::vector<Point> result;
  result.reserve(points_.size() + 3);
  bool startSeen = false;
  bool endSeen = false;
  for (const Point& p : points_) {
    if (p.warped < start) {
      result.push_back(p);
      continue;
    }
    if (p.warped == start) {
      result.push_back(p);
      startSeen = true;
      if (length == 0) continue;
    }
    if (!startSeen) {
      result.push_back(Point{start, heldOriginal});
      startSeen = true;
    }
    if (length == 0) {
      if (!endSeen) result.push_back(Point{start + newLength, heldOriginal});
      endSeen = true;
      result.push_back(Point{p.warped + shift, p.original});
      continue;
    }
    if (p.warped == start) continue;
    if (p.warped > end && !endSeen) {
      result.push_back(Point{start + newLength, originalAt(end)});
      endSeen = true;
    }
    if (p.warped <= end) {
      if (p.warped == end) endSeen = true;
      const int64_t moved =
          start + int64_t(__int128(p.warped - start) * newLength / __int128(length));
      result.push_back(Point{moved, p.original});
    } else {
      result.push_back(Point{p.warped + shift, p.original});
    }
  }
  if (!startSeen) result.push_back(Point{start, heldOriginal});
  if (length == 0 && !endSeen) result.push_back(Point{start + newLength, heldOriginal});
  return MovieTimeMap(std::move(result));
}
