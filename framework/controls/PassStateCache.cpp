#include "framework/controls/PassStateCache.h"

#include <atomic>
#include <utility>

void PassStateCache::store(std::uint64_t owner, std::uint64_t version,
                           std::shared_ptr<void> state) {
  if (Entry* entry = find(owner)) {
    entry->version = version;
    entry->state = std::move(state);
    return;
  }
  Entry* slot;
  if (used_ < kSlots) {
    slot = &entries_[used_++];
  } else {
    slot = &entries_[nextReused_];
    nextReused_ = (nextReused_ + 1) % kSlots;
  }
  *slot = Entry{owner, version, std::move(state)};
}

void PassStateCache::clear() {
  for (Entry& entry : entries_) entry = Entry{};
  used_ = 0;
  nextReused_ = 0;
}

std::uint64_t PassStateCache::newOwner() {
  static std::atomic<std::uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}
