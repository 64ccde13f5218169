#include "framework/media/MovieTempoSync.h"

#include <cmath>

MovieTempoSync MovieTempoSync::compute(float durationSeconds, int beatsPerMeasure, bool syncOn,
                                       std::optional<float> defaultTempo) {
  const int beats = beatsPerMeasure < 1 ? 4 : beatsPerMeasure;
  const float seconds = std::isfinite(durationSeconds) ? durationSeconds : 0.0f;
  MovieTempoSync result;
  if (defaultTempo && syncOn) {
    const float tempo = *defaultTempo > 0.0f ? *defaultTempo : 60.0f;
    result.beatsPerMinute = tempo;
    result.durationInMeasures = seconds * tempo / (float(beats) * 60.0f);
    return result;
  }
  float measures = seconds / float(beats);
  if (measures < 0.25f)
    measures = 0.25f;
  else if (measures < 0.75f)
    measures = 0.5f;
  else
    measures = std::round(measures);
  result.durationInMeasures = measures;
  result.beatsPerMinute =
      seconds > 0.0f ? float(double(measures) * 60.0 * beats / double(seconds)) : 60.0f;
  return result;
}
