#pragma once

#include <atomic>
#include <mutex>
#include <thread>

// Keeps restores and frames apart. A frame only tries the gate and is
// skipped while a restore holds it; a restore takes it, waiting for the
// frame in progress to end. begin and end are called on the same thread
// (the main thread), never from inside a frame.
//
// Restores nest on the thread that holds the gate: work that runs inside a
// restore (queued calls served while a restore's alert waits for an answer)
// may begin one of its own, and the gate opens at the outermost end.
class RestoreGate {
 public:
  void beginRestore() {
    if (holder_.load() == std::this_thread::get_id()) {
      ++depth_;
      return;
    }
    mutex_.lock();
    holder_.store(std::this_thread::get_id());
    depth_ = 1;
    restoring_.store(true);
  }
  // An end on a thread that holds no restore changes nothing.
  void endRestore() {
    if (holder_.load() != std::this_thread::get_id() || --depth_ > 0) return;
    restoring_.store(false);
    holder_.store(std::thread::id());
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
  std::atomic<std::thread::id> holder_{};
  int depth_ = 0;  // the holder's only
};
