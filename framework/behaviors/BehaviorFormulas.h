#pragma once

#include <optional>

// The number formulas of the behaviours, on a slider's normalised value.
// An empty result leaves the value as it is. None gives a value that is
// not a finite number for finite arguments: the divisions that could be by
// zero are answered without dividing.
namespace BehaviorFormulas {

float averageWith(float v, float avgVal, float wetDry);
// Marks closer together than a float can tell leave the value alone.
std::optional<float> crop(float v, float firstMark, float lastMark);
float invert(float v);
float minMax(float v, float min, float max);
float modulus(float v, float modVal);
float multiply(float v, float factor);
float offset(float v, float val);
float offsetWrap(float v, float val);
// `random01` is uniform in [0, 1).
float randomize(float v, float randomFactor, float random01);
float scale(float v, float minEnv, float maxEnv);
// `closestMark` is empty on a slider without marks.
std::optional<float> snap(float v, std::optional<float> closestMark, float proximity);
float threshold(float v, float thresh);
// A falling edge that would divide by zero (centre 1, value above it) gives 0.
float trianglize(float v, float center, float height);

// The eased value of a slider whose last output was `last`.
float smooth(float v, float last, float factor);
// The same on a circle of circumference 1 (the short way across the 0/1 seam).
float smoothWrap(float v, float last, float factor);

}  // namespace BehaviorFormulas
