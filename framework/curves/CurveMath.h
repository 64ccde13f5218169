#pragma once

#include <cmath>

// The arithmetic of curve evaluation, shared by the curve's locked
// evaluation and its published copy that other threads read: no state, no
// allocation, inline.
namespace CurveMath {

// A segment ready to evaluate: start, absolute control point, end.
struct Segment {
  float x0 = 0, y0 = 0, qx = 0, qy = 0, x2 = 1, y2 = 1;
  bool bent = false;
};

// Where a segment was evaluated and its raw value there.
struct Sample {
  float x = 0;
  float y = 0;
};

// A phase outside 0..1 keeps its fraction (computed in double); exactly 1
// stays 1.
inline float wrappedPhase(double u) {
  if (u > 1.0 || u < 0.0) u -= std::floor(u);
  return static_cast<float>(u);
}

// The horizontal position of a point drawn at phase `x` with the phase
// offset `hOffset`: hOffset + x, wrapped into 0..1 the same way.
inline float wrappedPosition(float hOffset, float x) { return wrappedPhase(double(hOffset) + x); }

inline bool contains(const Segment& s, float u) { return s.x0 <= u && u <= s.x2; }

// The straight line, or the cubic whose two inner control points are both
// the control point, its t found by fifteen steps of bisection from 0.5
// (steps 1/4 down to 1/65536); the result is the fifteenth evaluation.
[[gnu::always_inline]] inline Sample rawValue(const Segment& s, float u) {
  if (!s.bent) {
    const float m = (s.y2 - s.y0) / (s.x2 - s.x0);
    return {u, m * u + s.y0 - s.x0 * m};
  }
  const float k1x = 3.0f * (s.qx - s.x0);
  const float k1y = 3.0f * (s.qy - s.y0);
  const float k2x = -k1x;
  const float k2y = -k1y;
  // (P3 − P0) − k1 − k2, which is P3 − P0 since k2 = −k1.
  const float k3x = s.x2 - s.x0;
  const float k3y = s.y2 - s.y0;
  float t = 0.5f;
  float step = 0.25f;
  Sample b;
  for (int i = 0; i < 15; ++i) {
    const float t2 = t * t;
    const float t3 = t2 * t;
    b.x = s.x0 + k3x * t3 + k2x * t2 + k1x * t;
    b.y = s.y0 + k3y * t3 + k2y * t2 + k1y * t;
    if (b.x > u)
      t -= step;
    else if (b.x < u)
      t += step;
    step *= 0.5f;
  }
  return b;
}

// What the curve shows for a raw value: vOffset + amplitude × y, clamped to
// 0..1.
inline float output(float raw, float vOffset, float amplitude) {
  const float v = vOffset + amplitude * raw;
  if (v > 1.0f) return 1.0f;
  if (v < 0.0f) return 0.0f;
  return v;
}

}  // namespace CurveMath
