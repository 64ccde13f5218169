#pragma once

#include <array>
#include <atomic>

// The recent raw peaks of one analysis band (500 slots, circular) and their
// running maximum, which the band divides its level by. Fed by the input IO
// thread; `max` is read by the data-source tick.
class QKAALevelNormalizer {
 public:
  static constexpr int kSlots = 500;
  static constexpr float kDecay = 0.97f;

  QKAALevelNormalizer() { init(); }
  // max 1.0 in slot 0, the rest 0.
  void init();
  // The value goes in the next slot. A value at or above the maximum becomes
  // it at once; when the slot of the maximum is overwritten, the largest of
  // all slots becomes the maximum, times 0.97.
  void addValue(float value);
  float max() const { return max_.load(std::memory_order_relaxed); }

 private:
  std::array<float, kSlots> b_{};
  int index_ = 0;
  int maxIndex_ = 0;
  std::atomic<float> max_{1.0f};
};
