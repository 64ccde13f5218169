#pragma once

#include <cstdint>
#include <vector>

// A time warp: a piecewise-linear map from the time a movie plays at
// (warped time) to the time in the movie as it was made (original time),
// both in the movie's time scale. The map runs through its points in order;
// a stretch whose warped length is zero is skipped when playing, and a
// stretch whose original length is zero holds its frame. Immutable; shared
// by the threads that play the movie.
class MovieTimeMap {
 public:
  struct Point {
    int64_t warped = 0;
    int64_t original = 0;
    bool operator==(const Point&) const = default;
  };

  // The points are taken in order; a point that would go back in either
  // time is moved up to its predecessor, so the map never runs backwards.
  // Without points the map is the identity at zero.
  explicit MovieTimeMap(std::vector<Point> points);
  // The identity over [0, duration].
  static MovieTimeMap identity(int64_t duration);

  // The original time shown at a warped time (the value at a jump is the one
  // after it; times outside the map take its ends).
  int64_t originalAt(int64_t warped) const;
  // The first warped time at which an original time shows (a time that is
  // skipped maps to where the skip happens).
  int64_t warpedAt(int64_t original) const;
  int64_t warpedDuration() const { return points_.back().warped; }
  int64_t originalDuration() const { return points_.back().original; }
  bool isIdentity() const;

  // The map after the stretch of warped time [start, start + length) is
  // played in `newLength` instead (later times move by the difference). An
  // empty stretch given a length holds the frame shown at `start`; negative
  // lengths count as zero.
  MovieTimeMap scaled(int64_t start, int64_t length, int64_t newLength) const;
  const std::vector<Point>& points() const { return points_; }

 private:
  std::vector<Point> points_;
};
