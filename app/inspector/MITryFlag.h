#pragma once

#include <atomic>

// A try-lock that never waits and that its own holder may try again (and
// be refused): the preview's locks drop a call that overlaps another of its
// kind, on any thread, including a notice that arrives while the same
// thread holds the lock.
class MITryFlag {
 public:
  bool tryLock() { return !held_.exchange(true, std::memory_order_acquire); }
  void unlock() { held_.store(false, std::memory_order_release); }

 private:
  std::atomic<bool> held_{false};
};
