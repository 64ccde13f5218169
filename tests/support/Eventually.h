#pragma once

#include <chrono>
#include <functional>
#include <thread>

// Waits, polling every few milliseconds, until `done` answers true or the
// time runs out; answers `done()`. For results that arrive on other threads.
inline bool waitFor(const std::function<bool()>& done, double seconds = 3.0) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Sends again and again until something arrives: a new JACK connection
// carries data only from a later process cycle, and a message sent before
// that is lost. Use it to prime a connection, then send what is tested.
inline bool sendUntil(const std::function<void()>& send, const std::function<bool()>& arrived,
                      double seconds = 5.0) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    send();
    if (waitFor(arrived, 0.05)) return true;
  }
  return false;
}
