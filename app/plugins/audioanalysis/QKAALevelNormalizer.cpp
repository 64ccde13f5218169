#include "app/plugins/audioanalysis/QKAALevelNormalizer.h"

void QKAALevelNormalizer::init() {
  b_.fill(0.0f);
  b_[0] = 1.0f;
  index_ = maxIndex_ = 0;
  max_.store(1.0f);
}

void QKAALevelNormalizer::addValue(float value) {
  index_ = index_ + 1 >= kSlots ? 0 : index_ + 1;
  b_[std::size_t(index_)] = value;
  if (value >= max_.load(std::memory_order_relaxed)) {
    max_.store(value, std::memory_order_relaxed);
    maxIndex_ = index_;
    return;
  }
  if (maxIndex_ != index_) return;
  float most = b_[0];
  int at = 0;
  for (int i = 1; i < kSlots; ++i)
    if (b_[std::size_t(i)] > most) {
      most = b_[std::size_t(i)];
      at = i;
    }
  maxIndex_ = at;
  max_.store(most * kDecay, std::memory_order_relaxed);
}
