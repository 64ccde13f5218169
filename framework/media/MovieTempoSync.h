#pragma once

#include <optional>

// A movie's length in measures and its own tempo, so that its speed can
// follow the master clock. With a default tempo and sync on, the tempo is
// the default (60 for a value of 0 or less) and the length follows from it.
// Otherwise the length at 60 beats per minute is snapped to 0.25, 0.5 or a
// whole number of measures and the tempo is the one at which the movie lasts
// exactly that long. A movie of no length has the smallest length at 60
// beats per minute, so that a tempo never divides by zero.
struct MovieTempoSync {
  float beatsPerMinute = 0.0f;
  float durationInMeasures = 0.0f;

  // `beatsPerMeasure` below 1 counts as 4.
  static MovieTempoSync compute(float durationSeconds, int beatsPerMeasure, bool syncOn,
                                std::optional<float> defaultTempo);
};
