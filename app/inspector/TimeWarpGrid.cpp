#include "app/inspector/TimeWarpGrid.h"

#include <algorithm>
#include <cmath>

namespace TimeWarpGrid {

int Layer::lines() const {
  if (!(count > 0.0f) || !std::isfinite(count)) return 0;
  return int(std::floor(count)) + 1;
}

namespace {

int metre(int beatsPerMeasure) { return beatsPerMeasure < 1 ? 4 : beatsPerMeasure; }

}  // namespace

Layers layers(float width, int beatsPerMeasure, int subdivisions, float rangeShare,
              float measures) {
  Layers out;
  const float beats = measures * rangeShare * float(metre(beatsPerMeasure));
  if (!(width > 0.0f) || !(beats > 0.0f) || !std::isfinite(beats)) return out;
  const float budget = width / 10.0f;
  const int q = subdivisions;
  const float thin = float(std::max(q, 2));
  float count = beats * float(std::max(q, 1));
  while (budget < count && count > 1.0f) count = std::max(1.0f, count / thin);
  out.finest = {count, width / count};
  float count2 = q > 0 ? count / float(q) : beats;
  while (budget < count2 && count2 > 1.0f) count2 = std::max(1.0f, count2 * 0.5f);
  out.fine = {count2, width / count2};
  const float b = float(metre(beatsPerMeasure));
  out.coarse = {count2 / b, b * out.fine.spacing};
  return out;
}

float snap(float x, float width, int beatsPerMeasure, int subdivisions, float rangeShare,
           float measures, float tolerance) {
  const float exact =
      measures * rangeShare * float(metre(beatsPerMeasure)) * float(std::max(subdivisions, 1));
  if (!(exact >= 1.0f) || !std::isfinite(exact) || !(width > 0.0f)) return x;
  long n = long(exact);
  const long budget = long(width / 10.0f);
  const long thin = std::max(subdivisions, 2);
  while (budget < n && n > 1) n = std::max(1L, n / thin);
  const float spacing = width / float(n);
  const float k = std::round(x / spacing);
  if (std::abs(long(x - spacing * k)) <= long(tolerance)) return spacing * k;
  return x;
}

float boundedBeat(float beat, float lower, float upper) {
  const float margin = std::min(0.02f, (upper - lower) / 2.0f);
  if (beat < lower) beat = lower + margin;
  if (beat > upper) beat = upper - margin;
  return beat;
}

}  // namespace TimeWarpGrid
