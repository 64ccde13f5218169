#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

// The recent interleaved input kept for pass-through: frame time t (a 64-bit
// count of frames, so it never wraps) lives in slot t mod totalFrames. The
// input thread stores, the output thread retrieves; each only tries the
// lock: a store that finds it busy is dropped and a read that finds it busy
// gives silence, so neither IO thread ever waits for the other.
// Allocation and clearing run on the main thread while neither IO thread
// uses the ring (the device controllers' locks are held).
class QKAudioRingBuffer {
 public:
  void allocate(int channels, std::uint32_t totalFrames);
  void deallocate();
  void clear();

  int channels() const { return channels_; }
  std::uint32_t totalFrames() const { return totalFrames_; }
  std::uint64_t slotOf(std::uint64_t frameTime) const {
    return totalFrames_ ? frameTime % totalFrames_ : 0;
  }

  // Refused (false) when frames >= totalFrames, or the ring is busy.
  bool store(const float* samples, std::uint32_t frames, std::uint64_t startTime);
  // Refused when frames > totalFrames (a read of the whole ring is allowed);
  // a busy ring gives silence.
  bool retrieve(float* destination, std::uint32_t frames, std::uint64_t startTime);

  std::uint64_t lastStartWriteTime() const { return lastStartWriteTime_; }
  std::uint64_t lastEndWriteTime() const { return lastEndWriteTime_; }

 private:
  void copy(float* to, const float* from, std::uint32_t frames, std::uint64_t startTime,
            bool intoRing);

  std::vector<float> data_;
  int channels_ = 0;
  std::uint32_t totalFrames_ = 0;
  std::uint64_t lastStartWriteTime_ = 0;
  std::uint64_t lastEndWriteTime_ = 0;
  std::mutex lock_;
};
