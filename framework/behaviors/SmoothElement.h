#pragma once

// What Smooth keeps for one slider: its last output.
struct SmoothElement {
  explicit SmoothElement(float last) : lastValue(last) {}
  float lastValue;
};
