#include "app/plugins/oscillator/OscillatorPhase.h"

#include <cmath>

void OscillatorPhase::resync(double clock, double frequency) {
  std::lock_guard<std::mutex> lock(mutex_);
  currentTime_ = clock * frequency;
  lastCurrentTime_ = currentTime_;
  lastClockTime_ = clock;
}

OscillatorPhase::Tick OscillatorPhase::advance(double clock, double frequency) {
  std::lock_guard<std::mutex> lock(mutex_);
  Tick tick;
  if (stopped_) {
    // Nothing moves.
  } else if (clock < lastClockTime_) {
    currentTime_ = 0.0;  // the clock was restarted
  } else {
    const double step = (clock - lastClockTime_) * frequency;
    currentTime_ += playingFwd_ ? step : -step;
  }
  lastClockTime_ = clock;

  if (!stopped_) {
    if (loopMode_ == Stop) {
      const double crossed = playingFwd_ ? std::floor(currentTime_) - std::floor(lastCurrentTime_)
                                         : std::floor(lastCurrentTime_) - std::floor(currentTime_);
      if (crossed >= 1.0) {
        stopped_ = true;
        tick.paused = true;
        return tick;
      }
    } else if (loopMode_ == ReverseLoop) {
      if (playingFwd_ && currentTime_ > 1.0) {
        const double remainder = currentTime_ - std::ceil(currentTime_ - 1.0);
        currentTime_ = 1.0 - remainder;
        playingFwd_ = false;
      } else if (!playingFwd_ && currentTime_ < 0.0) {
        const double remainder = currentTime_ + std::ceil(-currentTime_);
        currentTime_ = 1.0 - remainder;
        playingFwd_ = true;
      }
    }
  }
  tick.publish = true;
  tick.position = currentTime_ - std::floor(currentTime_);
  lastCurrentTime_ = currentTime_;
  if (loopMode_ == Loop) {
    const double whole = std::floor(currentTime_);
    currentTime_ -= whole;
    lastCurrentTime_ -= whole;
  }
  return tick;
}

void OscillatorPhase::setPaused(bool paused) {
  std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = paused;
  if (paused || loopMode_ != Stop) return;
  if (std::fabs(std::floor(currentTime_) - std::floor(lastCurrentTime_)) >= 1.0) {
    currentTime_ = playingFwd_ ? 0.0 : 0.99;
    lastCurrentTime_ = currentTime_;
  }
}

void OscillatorPhase::setLoopMode(int mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  loopMode_ = mode;
}

void OscillatorPhase::flipDirection() {
  std::lock_guard<std::mutex> lock(mutex_);
  playingFwd_ = !playingFwd_;
}

double OscillatorPhase::currentTime() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return currentTime_;
}
double OscillatorPhase::lastCurrentTime() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastCurrentTime_;
}
double OscillatorPhase::lastClockTime() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastClockTime_;
}
int OscillatorPhase::loopMode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return loopMode_;
}
bool OscillatorPhase::stopped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopped_;
}
bool OscillatorPhase::playingForward() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return playingFwd_;
}

void OscillatorPhase::setState(double current, double lastCurrent, double lastClock, bool forward) {
  std::lock_guard<std::mutex> lock(mutex_);
  currentTime_ = current;
  lastCurrentTime_ = lastCurrent;
  lastClockTime_ = lastClock;
  playingFwd_ = forward;
}
