#pragma once

#include <QImage>

// The seven wave shapes of the waveform plug-in, as pure functions of the
// position in the cycle, and the pictures of their buttons.
namespace WaveShapes {

enum Type { Square = 0, Saw = 1, Triangle = 2, Sine = 3, Cosine = 4, Random = 5, Drunk = 6 };
constexpr int kCount = 7;

// The output for `type` at the position f (0 <= f < 1), before nothing and
// after clamping to 0..1. `u` is a fresh uniform draw in 0..1 (random and
// drunk), `last` the previous output and `rate` the rate slider's
// normalised value (drunk's step). Types outside 0..6 give 0.
float value(int type, double f, double u, float last, float rate);

// A strip of three 14 × 14 tiles (normal, pressed, on) drawing the shape.
QImage buttonStrip(int type);

}  // namespace WaveShapes
