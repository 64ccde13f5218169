#include "platform/threading/RWTryLock.h"

#include "platform/foundation/Log.h"

#include <thread>

namespace {

// Read holds of this thread, per lock. Threads rarely hold more than a few
// locks at once, so a small flat table is enough and allocates nothing.
struct ReadHolds {
  static constexpr int kSlots = 32;
  const RWTryLock* lock[kSlots] = {};
  int count[kSlots] = {};
  int used = 0;  // slots at or past this index are free: scans stop here

  int* find(const RWTryLock* l) {
    for (int i = 0; i < used; ++i)
      if (lock[i] == l) return &count[i];
    return nullptr;
  }
  void add(const RWTryLock* l) {
    if (int* c = find(l)) {
      ++*c;
      return;
    }
    for (int i = 0; i < kSlots; ++i) {
      if (!lock[i]) {
        lock[i] = l;
        count[i] = 1;
        if (i >= used) used = i + 1;
        return;
      }
    }
    // Table full: the hold is counted but not tracked; the self-deadlock
    // check of writeLock loses its protection for this lock, and while it
    // lasts every read of this thread counts as re-entering.
    ++untracked;
  }
  void remove(const RWTryLock* l) {
    for (int i = 0; i < used; ++i) {
      if (lock[i] == l) {
        if (--count[i] == 0) lock[i] = nullptr;
        while (used > 0 && !lock[used - 1]) --used;
        return;
      }
    }
    if (untracked > 0) --untracked;
  }
  int untracked = 0;
};

// Initial-exec: the library is loaded at start-up, so the table is reached
// without a call into the dynamic linker on every lock and unlock.
thread_local ReadHolds readHolds __attribute__((tls_model("initial-exec")));

}  // namespace

bool RWTryLock::tryReadLock() {
  // A waiting writer goes before new readers; a thread already reading
  // re-enters at once (the writer waits for it anyway).
  if (writersWaiting_.load(std::memory_order_relaxed) > 0 && !heldForReadingByThisThread() &&
      readHolds.untracked == 0)
    return false;
  int current = state_.load(std::memory_order_relaxed);
  while (current != kWriter) {
    if (state_.compare_exchange_weak(current, current + 1, std::memory_order_acquire,
                                     std::memory_order_relaxed)) {
      readHolds.add(this);
      return true;
    }
  }
  return false;
}

void RWTryLock::readLock() {
  while (!tryReadLock()) std::this_thread::yield();
}

void RWTryLock::readUnlock() {
  readHolds.remove(this);
  state_.fetch_sub(1, std::memory_order_release);
}

bool RWTryLock::tryWriteLock() {
  int expected = 0;
  return state_.compare_exchange_strong(expected, kWriter, std::memory_order_acquire,
                                        std::memory_order_relaxed);
}

bool RWTryLock::writeLock() {
  if (heldForReadingByThisThread()) {
    Log::line("\t\terr: write lock asked for by a thread that holds the read lock");
    return false;
  }
  if (tryWriteLock()) return true;
  writersWaiting_.fetch_add(1, std::memory_order_relaxed);
  while (!tryWriteLock()) std::this_thread::yield();
  writersWaiting_.fetch_sub(1, std::memory_order_relaxed);
  return true;
}

void RWTryLock::writeUnlock() { state_.store(0, std::memory_order_release); }

void RWTryLock::unlock() {
  if (state_.load(std::memory_order_relaxed) == kWriter)
    writeUnlock();
  else
    readUnlock();
}

int RWTryLock::readerCount() const {
  const int s = state_.load(std::memory_order_relaxed);
  return s == kWriter ? 0 : s;
}

bool RWTryLock::heldForReadingByThisThread() const { return readHolds.find(this) != nullptr; }
