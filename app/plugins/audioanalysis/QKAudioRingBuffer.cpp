#include "app/plugins/audioanalysis/QKAudioRingBuffer.h"

#include <algorithm>
#include <cstring>

void QKAudioRingBuffer::allocate(int channels, std::uint32_t totalFrames) {
  std::lock_guard lock(lock_);
  channels_ = std::max(0, channels);
  totalFrames_ = totalFrames;
  data_.assign(std::size_t(channels_) * totalFrames_, 0.0f);
  lastStartWriteTime_ = lastEndWriteTime_ = 0;
}

void QKAudioRingBuffer::deallocate() {
  std::lock_guard lock(lock_);
  data_ = {};
  channels_ = 0;
  totalFrames_ = 0;
}

void QKAudioRingBuffer::clear() {
  std::lock_guard lock(lock_);
  std::fill(data_.begin(), data_.end(), 0.0f);
}

void QKAudioRingBuffer::copy(float* to, const float* from, std::uint32_t frames,
                             std::uint64_t startTime, bool intoRing) {
  const std::size_t c = std::size_t(channels_);
  const std::uint64_t slot = slotOf(startTime);
  const std::uint64_t first = std::min<std::uint64_t>(frames, totalFrames_ - slot);
  float* ring = data_.data();
  if (intoRing) {
    std::memcpy(ring + slot * c, from, first * c * sizeof(float));
    std::memcpy(ring, from + first * c, (frames - first) * c * sizeof(float));
  } else {
    std::memcpy(to, ring + slot * c, first * c * sizeof(float));
    std::memcpy(to + first * c, ring, (frames - first) * c * sizeof(float));
  }
}

bool QKAudioRingBuffer::store(const float* samples, std::uint32_t frames, std::uint64_t startTime) {
  if (frames >= totalFrames_ || !samples) return false;
  std::unique_lock lock(lock_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  copy(nullptr, samples, frames, startTime, true);
  lastStartWriteTime_ = startTime;
  lastEndWriteTime_ = startTime + frames;
  return true;
}

bool QKAudioRingBuffer::retrieve(float* destination, std::uint32_t frames,
                                 std::uint64_t startTime) {
  if (frames > totalFrames_ || !destination || totalFrames_ == 0) return false;
  std::unique_lock lock(lock_, std::try_to_lock);
  if (!lock.owns_lock()) {
    std::fill_n(destination, std::size_t(frames) * std::size_t(channels_), 0.0f);
    return false;
  }
  copy(destination, nullptr, frames, startTime, false);
  return true;
}
