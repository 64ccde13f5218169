#pragma once

// Soft takeover keeps a hardware controller from making a slider jump after
// the user moved the slider by mouse: while it is engaged, a value from the
// bound source reaches the slider's input by the slider's mode:
//   0 off:      the takeover just ends; the input stays for this update;
//   1 jump:     the input takes the source's value at once;
//   2 pick up:  the input stays until the source comes within the
//               tolerance, then takes its value;
//   3 glide:    the input moves one speed step towards the source's value
//               per update and stops on it.
// Any other mode leaves the input alone and keeps the takeover engaged.
class SoftTakeover {
 public:
  enum Mode { Off = 0, Jump = 1, PickUp = 2, Glide = 3 };

  struct Step {
    float input;  // the slider's input after the step
    bool ended;   // the takeover is over
  };

  // A value arrived from the source.
  static Step valueArrived(int mode, float input, float target, float tolerance, float speed);
  // A tick passed; `target` is the last value received. Pick-up acts only
  // when a value arrives, so it waits here.
  static Step tick(int mode, float input, float target, float speed);

  // One glide step from `input` towards `target`. An input that is not a
  // finite number lands on the target at once.
  static Step glide(float input, float target, float speed);
};
