#pragma once

#include <optional>

// The arithmetic of the time-warp editor, in single precision like the
// view: the three grid layers over the range, the snap of a drag to the
// finest layer, and the bounds a dragged marker is kept in.
namespace TimeWarpGrid {

struct Layer {
  float count = 0;    // steps across the view; lines at i = 0, 1, … while i <= count
  float spacing = 0;  // points between lines
  int lines() const;  // how many lines that makes
};

struct Layers {
  Layer finest;  // subdivisions
  Layer fine;    // beats
  Layer coarse;  // measures
  bool empty() const { return finest.lines() == 0; }
};

// The layers for a view `width` wide, `beatsPerMeasure` (B), `subdivisions`
// (Q), the range's share of the movie (D / L0) and the movie's length in
// measures (M). No more than one line per 10 points per layer: a layer
// thins by max(Q, 2) (the finest) or by half (the beats) until it fits, and
// stops at one step. No length (M <= 0), no width or no range: no lines.
Layers layers(float width, int beatsPerMeasure, int subdivisions, float rangeShare, float measures);

// The x a drag at `x` snaps to (the nearest finest line within `tolerance`
// points, distance truncated to whole points), or `x` itself; no snap
// without a grid.
float snap(float x, float width, int beatsPerMeasure, int subdivisions, float rangeShare,
           float measures, float tolerance);

// A dragged marker's beat position kept between its neighbours: below the
// lower bound it goes to lower + m, above the upper to upper - m, with
// m = min(0.02, (upper - lower) / 2), so close neighbours never swap. A
// position on a bound stays.
float boundedBeat(float beat, float lower, float upper);

}  // namespace TimeWarpGrid
