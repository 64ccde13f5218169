#include "framework/behaviors/BehaviorFormulas.h"

#include <algorithm>
#include <cmath>

namespace BehaviorFormulas {

float averageWith(float v, float avgVal, float wetDry) {
  const double w = wetDry;
  return static_cast<float>(w * avgVal + static_cast<double>(v) * (1.0 - w));
}

std::optional<float> crop(float v, float firstMark, float lastMark) {
  const float span = lastMark - firstMark;
  if (!(span > 0.0f)) return std::nullopt;
  const float out = (v - firstMark) / span;
  if (!std::isfinite(out)) return std::nullopt;
  return out;
}

float invert(float v) { return 1.0f - v; }

float minMax(float v, float min, float max) {
  if (min > v) return min;
  if (v > max) return max;
  return v;
}

float modulus(float v, float modVal) {
  float s = v + modVal;
  if (s > 1.0f) s -= 1.0f;
  return s;
}

float multiply(float v, float factor) { return factor * v; }

float offset(float v, float val) { return std::clamp(v + val, 0.0f, 1.0f); }

float offsetWrap(float v, float val) {
  const float s = v + val;
  if (s < 0.0f) return s + std::ceil(std::fabs(s));
  if (s > 1.0f) return s - std::floor(s);
  return s;
}

float randomize(float v, float randomFactor, float random01) {
  return randomFactor * random01 + (1.0f - randomFactor) * v;
}

float scale(float v, float minEnv, float maxEnv) { return minEnv + (maxEnv - minEnv) * v; }

std::optional<float> snap(float v, std::optional<float> closestMark, float proximity) {
  if (!closestMark) {
    if (v == 0.0f || v == 1.0f) return std::nullopt;
    return v <= 0.5f ? 0.0f : 1.0f;
  }
  const float p = *closestMark;
  if (p == v) return std::nullopt;
  if (proximity >= std::fabs(p - v)) return p;
  return std::nullopt;
}

float threshold(float v, float thresh) { return v > thresh ? 1.0f : 0.0f; }

float trianglize(float v, float center, float height) {
  float t;
  if (v <= center) {
    if (center == 0.0f) return height;
    t = v / center;
  } else {
    const float rest = 1.0f - center;
    if (rest == 0.0f) return 0.0f;
    t = 1.0f - (v - center) / rest;
  }
  const float out = height * t;
  return std::isfinite(out) ? out : 0.0f;
}

float smooth(float v, float last, float factor) {
  const double f = factor;
  return static_cast<float>((1.0 - f) * v + f * last);
}

float smoothWrap(float v, float last, float factor) {
  const bool rising = v > last;
  const float direct = rising ? v - last : last - v;
  const float around = rising ? 1.0f - v + last : 1.0f - last + v;
  if (around > direct) return last + (v - last) * (1.0f - factor);
  if (rising) {
    float out = last - (1.0f - factor) * around;
    if (out < 0.0f) out += 1.0f;
    return out;
  }
  float out = last + (1.0f - factor) * around;
  if (out > 1.0f) out -= 1.0f;
  return out;
}

}  // namespace BehaviorFormulas
