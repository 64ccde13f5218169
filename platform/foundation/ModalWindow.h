#pragma once

#include <optional>

// Whether the application shows a modal window (a modal dialog or alert).
// Controls ask it before they send their action: nothing is sent while a
// modal window is open. `isOpen` may be asked from any thread; the answer is
// kept by a watcher on the main thread's window events, installed by
// `install` (the first call of `isOpen` on the main thread installs it too).
class ModalWindow {
 public:
  static bool isOpen();
  // Installs the watcher; on the main thread only, once an application
  // object exists. Further calls do nothing.
  static void install();
  // Tests: answer this instead of the watched state (nullopt: watch again).
  static void setOverride(std::optional<bool> open);
};
