#pragma once

#include <functional>

// Delayed calls on the main thread, grouped by a key so that a caller can
// cancel its pending ones together. Objects that pace themselves with delays
// and time-outs take one of these, so that tests can move time by hand
// (tests/support/ManualDelayedCalls); the program hands them `mainThread()`.
class DelayedCalls {
 public:
  using Work = std::function<void()>;

  virtual ~DelayedCalls() = default;
  // Runs `work` on the main thread `seconds` from now.
  virtual void callLater(const void* key, double seconds, Work work) = 0;
  // Drops every pending call made with `key`.
  virtual void cancel(const void* key) = 0;

  // The real one, on the Qt event loop (MainThread::runLater).
  static DelayedCalls& mainThread();
};
