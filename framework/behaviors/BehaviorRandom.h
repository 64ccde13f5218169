#pragma once

#include <atomic>
#include <cstdint>

// A generator of uniform numbers that several threads may draw from at
// once without a lock (SplitMix64 over an atomic counter). Each behaviour
// that needs chance owns one; tests seed it.
class BehaviorRandom {
 public:
  BehaviorRandom();
  explicit BehaviorRandom(std::uint64_t seed) : state_(seed) {}

  void seed(std::uint64_t seed) { state_.store(seed, std::memory_order_relaxed); }
  // Uniform in [0, 1), with the 24 bits a float holds.
  float next01();

 private:
  std::atomic<std::uint64_t> state_;
};
