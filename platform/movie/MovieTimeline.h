#pragma once

#include <cstdint>
#include <memory>

class MovieTimeMap;

// Where a playing movie is at a host time: the movie time runs from an anchor
// at the rate, inside the play bounds (the selection when it plays alone,
// else the whole movie), and at a bound it stops, wraps (looping) or turns
// back (looping back and forth). A pure value: the render thread, the decode
// worker and the main thread all work out the same position from it.
struct MovieTimeline {
  int64_t anchorValue = 0;  // movie time (in the movie's scale) at anchorHost
  int64_t anchorHost = 0;  // nanoseconds
  double rate = 0.0;
  int32_t scale = 600;
  int64_t boundStart = 0;
  int64_t boundEnd = 0;
  bool loops = false;
  bool backAndForth = false;
  // A time warp: the position runs in warped time and the map says which
  // movie time shows (null: none).
  std::shared_ptr<const MovieTimeMap> timeMap;

  struct Position {
    int64_t value = 0;
    bool ended = false;  // a bound was reached without looping: the movie stops there
    int direction = 0;  // -1, 0 or 1: which way the time runs now
  };

  Position at(int64_t hostNanos) const;
  // The movie time the anchor would reach, ignoring the bounds.
  long double unbounded(int64_t hostNanos) const;
  int64_t length() const { return boundEnd - boundStart; }
  // Moves the anchor to `hostNanos` keeping the position and, looping back
  // and forth, the direction (before a change of rate).
  void reanchor(int64_t hostNanos);
};
