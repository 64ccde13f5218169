#pragma once

#include <mutex>

// The oscillator's phase, in cycles, advanced by the master clock's reading
// (in measures) times the frequency (cycles per measure). Loop mode 0 stops
// at a whole cycle, 1 loops, 2 bounces between 0 and 1. Phases are doubles;
// in loop mode they are kept near zero by whole cycles (the difference of
// their whole parts kept), so a wave after millions of cycles resolves as
// finely as the first.
//
// Read and changed by the tick and the main thread: a small mutex, held for
// a few operations only.
class OscillatorPhase {
 public:
  enum LoopMode { Stop = 0, Loop = 1, ReverseLoop = 2 };

  struct Tick {
    bool publish = false;   // false: the tick crossed the stop boundary
    bool paused = false;    // this tick paused the oscillator
    double position = 0.0;  // where in the wave, 0 ≤ position < 1
  };

  // The phase and the clock both start from this clock reading.
  void resync(double clock, double frequency);
  Tick advance(double clock, double frequency);

  // The pause switch: on stops; off resumes, and in loop mode 0 a phase
  // standing past the boundary that stopped it starts the cycle again.
  void setPaused(bool paused);
  void setLoopMode(int mode);
  void flipDirection();

  double currentTime() const;
  double lastCurrentTime() const;
  double lastClockTime() const;
  int loopMode() const;
  bool stopped() const;
  bool playingForward() const;
  // Tests and restores.
  void setState(double current, double lastCurrent, double lastClock, bool forward);

 private:
  mutable std::mutex mutex_;
  double currentTime_ = 0.0;
  double lastCurrentTime_ = 0.0;
  double lastClockTime_ = 0.0;
  int loopMode_ = Loop;
  bool stopped_ = false;
  bool playingFwd_ = true;
};
