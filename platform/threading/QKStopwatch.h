#pragma once

#include <chrono>

// Measures elapsed time on the steady clock.
class QKStopwatch {
 public:
  QKStopwatch() { start(); }
  void start() { start_ = std::chrono::steady_clock::now(); }
  // Seconds since the last start.
  double timeSinceStart() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};
