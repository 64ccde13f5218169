#include "framework/behaviors/BehaviorRandom.h"

#include <random>

BehaviorRandom::BehaviorRandom()
    : state_((std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}()) {}

float BehaviorRandom::next01() {
  std::uint64_t z =
      state_.fetch_add(0x9E3779B97F4A7C15ull, std::memory_order_relaxed) + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<float>(z >> 40) * (1.0f / 16777216.0f);
}
