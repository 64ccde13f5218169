#pragma once

// What Fall keeps for one slider: its last output and the last input seen.
struct FallElement {
  FallElement(float last, float lastInput) : lastValue(last), lastInputValue(lastInput) {}
  float lastValue;
  float lastInputValue;
};
