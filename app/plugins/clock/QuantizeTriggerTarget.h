#pragma once

// What a quantize picker sends its trigger to: called at once (Immediately),
// from the manual button on the main thread, or from a clock bump on the
// clock or MIDI thread; work that belongs on the main thread hops there.
class QuantizeTriggerTarget {
 public:
  virtual ~QuantizeTriggerTarget() = default;
  virtual void trigger() = 0;
};
