#pragma once

#include <atomic>

// A reader/writer lock made of atomics, taken by spinning on the try
// operations with a yield between attempts. Any number of readers or one
// writer. Readers are re-entrant: a thread that holds the read lock may take
// it again (a subscriber's action may read the tree it is called from), and
// such a re-entering reader is never held back by a waiting writer, so
// re-entry cannot deadlock. A new reader (one not holding it yet) lets a
// waiting writer in first, so that readers coming back to back cannot
// starve a writer. Writers are not re-entrant, and a thread must not ask for
// the write lock while it holds the read lock: `writeLock` refuses that
// (logs and returns false) instead of spinning forever.
class RWTryLock {
 public:
  RWTryLock() = default;
  RWTryLock(const RWTryLock&) = delete;
  RWTryLock& operator=(const RWTryLock&) = delete;

  // False while a writer holds the lock, or waits for it and this thread
  // does not hold the read lock yet.
  bool tryReadLock();
  void readLock();
  void readUnlock();

  bool tryWriteLock();
  // Spins until it has the lock; false only when this thread holds a read
  // lock on it (which would never be released).
  bool writeLock();
  void writeUnlock();

  // Releases whichever kind this thread holds.
  void unlock();

  bool isWriteLocked() const { return state_.load(std::memory_order_relaxed) == kWriter; }
  int readerCount() const;
  int writersWaiting() const { return writersWaiting_.load(std::memory_order_relaxed); }
  bool heldForReadingByThisThread() const;

  class ReadGuard {
   public:
    explicit ReadGuard(RWTryLock& lock) : lock_(lock) { lock_.readLock(); }
    ~ReadGuard() { lock_.readUnlock(); }
    ReadGuard(const ReadGuard&) = delete;
    ReadGuard& operator=(const ReadGuard&) = delete;

   private:
    RWTryLock& lock_;
  };

  class WriteGuard {
   public:
    explicit WriteGuard(RWTryLock& lock) : lock_(lock), owns_(lock_.writeLock()) {}
    ~WriteGuard() {
      if (owns_) lock_.writeUnlock();
    }
    bool ownsLock() const { return owns_; }
    WriteGuard(const WriteGuard&) = delete;
    WriteGuard& operator=(const WriteGuard&) = delete;

   private:
    RWTryLock& lock_;
    bool owns_;
  };

 private:
  static constexpr int kWriter = -1;
  std::atomic<int> state_{0};           // kWriter, or the number of read holds
  std::atomic<int> writersWaiting_{0};  // in writeLock, not yet in
};
