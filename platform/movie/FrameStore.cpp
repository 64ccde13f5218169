#include "platform/movie/FrameStore.h"

#include <algorithm>

std::shared_ptr<const VideoFrame> FrameStore::tryFind(int64_t index) const {
  std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
  if (!lock.owns_lock()) return nullptr;
  auto it = frames_.find(index);
  return it == frames_.end() ? nullptr : it->second;
}

bool FrameStore::contains(int64_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_.count(index) != 0;
}

void FrameStore::insert(int64_t index, const std::shared_ptr<const VideoFrame>& frame,
                        int64_t playHead, int direction) {
  if (!frame) return;
  // Frames leave the store outside the lock: freeing them takes a while.
  std::vector<std::shared_ptr<const VideoFrame>> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& slot = frames_[index];
    if (slot) {
      bytes_ -= slot->byteSize();
      dropped.push_back(std::move(slot));
    }
    slot = frame;
    bytes_ += frame->byteSize();
    trim(playHead, direction, dropped);
  }
}

void FrameStore::trim(int64_t playHead, int direction,
                      std::vector<std::shared_ptr<const VideoFrame>>& out) {
  // Cost of losing a frame: its distance from the play head, four times
  // higher ahead of it than behind it.
  auto distance = [&](int64_t index) {
    const int64_t d = index - playHead;
    const bool ahead = direction >= 0 ? d >= 0 : d <= 0;
    return ahead ? std::abs(d) * 4 : std::abs(d) * 4 + 2;  // behind: a little farther
  };
  while (bytes_ > byteLimit_ && frames_.size() > 1) {
    auto far = frames_.begin();
    auto back = std::prev(frames_.end());
    auto victim = distance(far->first) >= distance(back->first) ? far : back;
    // Only the two ends can be the farthest; a play head inside them is kept.
    if (victim->first == playHead) victim = victim == far ? back : far;
    bytes_ -= victim->second->byteSize();
    out.push_back(std::move(victim->second));
    frames_.erase(victim);
  }
}

void FrameStore::keepOnly(int64_t first, int64_t last) {
  std::vector<std::shared_ptr<const VideoFrame>> dropped;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = frames_.begin(); it != frames_.end();) {
    if (it->first >= first && it->first <= last) {
      ++it;
      continue;
    }
    bytes_ -= it->second->byteSize();
    dropped.push_back(std::move(it->second));
    it = frames_.erase(it);
  }
}

void FrameStore::clear() { keepOnly(1, 0); }

std::size_t FrameStore::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_.size();
}
