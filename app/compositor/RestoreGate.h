#pragma once

#include <atomic>
#include <mutex>

// Keeps restores and frames apart. A frame only tries the gate and is
// skipped while a restore holds it; a restore takes it, waiting for the
// frame in progress to end. begin and end are called on the same thread
// (the main thread), never from inside a frame.
class RestoreGate {
 public:
  void beginRestore() {
    mutex_.lock();
    restoring_.store(true);
  }
  void endRestore() {
    restoring_.store(false);
    mutex_.unlock();
  }
  bool restoring() const { return restoring_.load(); }

  // For the frame: true when it may render (release with endFrame).
  bool tryBeginFrame() { return mutex_.try_lock(); }
  void endFrame() { mutex_.unlock(); }

  // A restore for the length of a scope.
  class Scope {
   public:
    explicit Scope(RestoreGate& gate) : gate_(gate) { gate_.beginRestore(); }
    ~Scope() { gate_.endRestore(); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    RestoreGate& gate_;
  };

 private:
  std::mutex mutex_;
  std::atomic<bool> restoring_{false};
};
