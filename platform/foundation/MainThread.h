#pragma once

#include <functional>

// Work handed to the main thread (the Qt event loop of the application).
// Every function here may be called from any thread. Work that throws is
// caught and logged.
class MainThread {
 public:
  using Work = std::function<void()>;

  static bool isMainThread();

  // Runs `work` on the main thread: inline when already there, otherwise
  // queued; returns at once.
  static void run(Work work);
  // Always queued, even on the main thread (runs on a later event-loop pass).
  static void post(Work work);
  // Runs `work` on the main thread and waits for it: inline when already
  // there. Never call it while holding a lock the main thread may take.
  static void runAndWait(Work work);

  // Runs `work` after `delaySeconds` on the main thread. `target` identifies
  // the caller so that its pending calls can be cancelled together.
  static void runLater(const void* target, double delaySeconds, Work work);
  static void cancel(const void* target);

  // Coalesced request: while one request for `key` is pending, further ones
  // are dropped (the pending one runs the latest `work`). Used for view
  // refreshes requested from the tick, MIDI, OSC and audio threads.
  static void coalesce(const void* key, Work work);

  // Runs the main thread's pending work until `done` answers true or the
  // time runs out; answers `done()`. For tests and synchronous shutdown.
  static bool processUntil(const std::function<bool()>& done, double timeoutSeconds);
};
