#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

// Host time for playback, in nanoseconds on a steady clock. Tests and
// benchmarks hand a movie a clock they move by hand.
class MovieClock {
 public:
  virtual ~MovieClock() = default;
  virtual int64_t nowNanos() const = 0;

  static MovieClock& steady();
};

// A clock that stands until it is moved.
class ManualMovieClock : public MovieClock {
 public:
  int64_t nowNanos() const override { return now_.load(); }
  void set(int64_t nanos) { now_ = nanos; }
  void advance(double seconds) { now_ += int64_t(seconds * 1e9); }

 private:
  std::atomic<int64_t> now_{1'000'000'000};
};
