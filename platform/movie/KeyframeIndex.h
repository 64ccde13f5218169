#pragma once

#include <cstdint>
#include <mutex>
#include <set>

// The frame numbers known to be key frames: seeded from the container's index
// where it can be trusted and filled in as frames are decoded. A seek lands on
// the nearest known key frame at or before its target.
class KeyframeIndex {
 public:
  void add(int64_t index);
  // The nearest known key frame at or before `index`, or -1.
  int64_t atOrBefore(int64_t index) const;
  // Whether a key frame is known in (after, upTo].
  bool anyIn(int64_t after, int64_t upTo) const;

 private:
  mutable std::mutex mutex_;
  std::set<int64_t> frames_;
};
