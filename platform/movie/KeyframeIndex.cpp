#include "platform/movie/KeyframeIndex.h"

void KeyframeIndex::add(int64_t index) {
  std::lock_guard<std::mutex> lock(mutex_);
  frames_.insert(index);
}

int64_t KeyframeIndex::atOrBefore(int64_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = frames_.upper_bound(index);
  if (it == frames_.begin()) return -1;
  return *std::prev(it);
}

bool KeyframeIndex::anyIn(int64_t after, int64_t upTo) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = frames_.upper_bound(after);
  return it != frames_.end() && *it <= upTo;
}
