#pragma once

#include <atomic>

// The one counter of unique IDs for plug-ins, media files, folders and pages:
// `next` hands out the counter's value and then raises it (the first ID is
// 0); `recovered` keeps later IDs above an ID restored from a snapshot.
// Lock-free and safe from any thread.
class UniqueIDCounter {
 public:
  long next() { return counter_.fetch_add(1); }
  void recovered(long uniqueID);
  long peek() const { return counter_.load(); }

 private:
  std::atomic<long> counter_{0};
};
