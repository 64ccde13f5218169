#include "framework/datasource/DeliveryEpoch.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// One per thread that has read; kept for good and handed to a later thread
// once its thread ends.
struct ThreadRecord {
  std::atomic<std::uint64_t> state{0};  // 0 outside, else epoch << 1 | 1
  std::atomic<bool> taken{true};
  ThreadRecord* next = nullptr;  // fixed once the record is listed
};

struct Retired {
  std::uint64_t epoch;
  std::shared_ptr<const void> object;
};

// All sequentially consistent: a reader's mark, a writer's swap of a pointer
// and the collector's scan of the marks must fall in one order (see
// DeliveryEpoch.h).
std::atomic<ThreadRecord*> records{nullptr};
std::atomic<std::uint64_t> epoch{1};
std::atomic<bool> hasRetired{false};

// Never destroyed: threads may still read or retire while statics go.
struct Collector {
  std::mutex mutex;
  std::vector<Retired> retired;  // under mutex
};
Collector& collector() {
  static Collector* const shared = new Collector;
  return *shared;
}

// Initial-exec: the library is loaded at start-up, so a reader reaches these
// without a call into the dynamic linker.
thread_local ThreadRecord* ownRecord __attribute__((tls_model("initial-exec"))) = nullptr;
thread_local int readerDepth __attribute__((tls_model("initial-exec"))) = 0;

// Gives the record back when its thread ends.
struct RecordRelease {
  bool armed = false;
  ~RecordRelease() {
    if (!armed || !ownRecord) return;
    ownRecord->state.store(0);
    ownRecord->taken.store(false, std::memory_order_release);
    ownRecord = nullptr;
  }
};
thread_local RecordRelease recordRelease;

ThreadRecord* registerThread() {
  ThreadRecord* found = nullptr;
  for (ThreadRecord* r = records.load(); r && !found; r = r->next) {
    bool free = false;
    if (!r->taken.load(std::memory_order_relaxed) &&
        r->taken.compare_exchange_strong(free, true, std::memory_order_acquire))
      found = r;
  }
  if (!found) {
    found = new ThreadRecord;
    found->next = records.load();
    while (!records.compare_exchange_weak(found->next, found)) {
    }
  }
  ownRecord = found;
  recordRelease.armed = true;
  return found;
}

// Under the collector's lock: moves the epoch on when every reader inside
// entered in the current one.
bool tryAdvance() {
  const std::uint64_t now = epoch.load();
  for (ThreadRecord* r = records.load(); r; r = r->next) {
    const std::uint64_t state = r->state.load();
    if ((state & 1) && (state >> 1) != now) return false;
  }
  epoch.store(now + 1);
  return true;
}

// Under the collector's lock: takes out what no reader can see any more (to
// be destroyed after the lock).
std::vector<Retired> takeFreeable(Collector& c) {
  std::vector<Retired> freeable;
  if (c.retired.empty()) return freeable;
  if (tryAdvance()) tryAdvance();
  const std::uint64_t now = epoch.load();
  std::size_t kept = 0;
  for (auto& item : c.retired) {
    if (item.epoch + 2 <= now)
      freeable.push_back(std::move(item));
    else
      c.retired[kept++] = std::move(item);
  }
  c.retired.resize(kept);
  hasRetired.store(kept != 0, std::memory_order_relaxed);
  return freeable;
}

void collectAfterLastReader() {
  Collector& c = collector();
  std::vector<Retired> freeable;  // destroyed after the lock
  std::unique_lock<std::mutex> lock(c.mutex, std::try_to_lock);
  if (!lock.owns_lock()) return;
  freeable = takeFreeable(c);
  lock.unlock();
}

}  // namespace

DeliveryEpoch::Reader::Reader() {
  if (readerDepth++ > 0) return;
  ThreadRecord* record = ownRecord ? ownRecord : registerThread();
  record->state.store(epoch.load() << 1 | 1);
}

DeliveryEpoch::Reader::~Reader() {
  if (--readerDepth > 0) return;
  ownRecord->state.store(0, std::memory_order_release);
  if (hasRetired.load(std::memory_order_relaxed)) collectAfterLastReader();
}

void DeliveryEpoch::retire(std::shared_ptr<const void> garbage) {
  if (!garbage) return;
  Collector& c = collector();
  std::vector<Retired> freeable;  // destroyed after the lock
  {
    std::lock_guard<std::mutex> lock(c.mutex);
    c.retired.push_back({epoch.load(), std::move(garbage)});
    hasRetired.store(true, std::memory_order_relaxed);
    freeable = takeFreeable(c);
  }
}

std::size_t DeliveryEpoch::collect() {
  Collector& c = collector();
  std::vector<Retired> freeable;  // destroyed after the lock
  std::lock_guard<std::mutex> lock(c.mutex);
  freeable = takeFreeable(c);
  return c.retired.size();
}
