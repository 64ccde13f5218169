#pragma once

#include <cstdint>
#include <memory>

class MovieTimeMap;

// Where a playing movie is at a host time: the movie time runs from an anchor
// at the rate, inside the play bounds (the selection when it plays alone,
// else the whole movie), and at a bound it stops, wraps (looping) or turns
// back (looping back and forth). A pure value: the render thread, the decode
// worker and the main thread all work out the same position from it.
//
// The anchor is exact: its position keeps the fraction of a unit that the
// time run since the last anchor left (in billionths of a unit, which is
// what nanoseconds times the scale give), so moving the anchor never moves
// the play head, however coarse the scale.
struct MovieTimeline {
  static constexpr int64_t kFraction = 1'000'000'000;  // parts of a unit in anchorFraction

  int64_t anchorValue = 0;     // movie time (in the movie's scale) at anchorHost
  int64_t anchorFraction = 0;  // and the part of a unit beyond it, in [0, kFraction)
  int64_t anchorHost = 0;      // nanoseconds
  // Looping back and forth: the anchor lies on the way back (time runs
  // against the rate there).
  bool returning = false;
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
    int direction = 0;   // -1, 0 or 1: which way the time runs now
  };

  Position at(int64_t hostNanos) const;
  int64_t length() const { return boundEnd - boundStart; }
  // Puts the anchor at a whole movie time (a jump; the leg of a back-and-forth
  // loop stays).
  void setAnchor(int64_t value, int64_t hostNanos);
  // Moves the anchor to `hostNanos` keeping the exact position and, looping
  // back and forth, the leg (before a change of rate or loop mode).
  void reanchor(int64_t hostNanos);

 private:
  // How far the time ran since the anchor, in billionths of a unit.
  long double runSince(int64_t hostNanos) const;
  // The position, leaving aside the bounds, in billionths of a unit.
  __int128 fineAt(int64_t hostNanos) const;
  // Where the back-and-forth cycle is (0 … 2·length units, as a real).
  long double phaseAt(int64_t hostNanos) const;
};
