#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

// Guards a stress run that may deadlock: when the run has not ended (the
// watchdog destroyed) within the time given, it reports what hung and ends
// the test program with a failure. A deadlock cannot be unwound from inside,
// and a test that hangs would only be stopped by CI's time-out.
class HangWatchdog {
 public:
  HangWatchdog(std::string what, double seconds)
      : what_(std::move(what)), thread_([this, seconds] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (ended_.wait_for(lock, std::chrono::duration<double>(seconds),
                              [this] { return done_; }))
            return;
          std::fprintf(stderr, "HANG: %s did not end within %.0f s (a deadlock?)\n", what_.c_str(),
                       seconds);
          std::fflush(stderr);
          std::_Exit(EXIT_FAILURE);
        }) {}
  ~HangWatchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    ended_.notify_all();
    thread_.join();
  }
  HangWatchdog(const HangWatchdog&) = delete;
  HangWatchdog& operator=(const HangWatchdog&) = delete;

 private:
  const std::string what_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;
  std::thread thread_;  // last: starts once the rest exists
};
