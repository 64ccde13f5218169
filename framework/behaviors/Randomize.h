#pragma once

#include "framework/behaviors/Behavior.h"
#include "framework/behaviors/BehaviorRandom.h"

#include <atomic>

// Mixes the value with chance: factor × r + (1 − factor) × v.
class Randomize : public Behavior {
 public:
  explicit Randomize(const QString& name) : Behavior(name, name) {}
  QString className() const override { return QStringLiteral("Randomize"); }
  void processPassedPtr(void* passed) override;

  // Chance does not need the chain to run again.
  void setRandomFactor(float factor) { randomFactor_.store(factor); }
  float randomFactor() const { return randomFactor_.load(); }
  BehaviorRandom& generator() { return random_; }

 protected:
  void wakeUp() override;

 private:
  std::atomic<float> randomFactor_{0.5f};
  BehaviorRandom random_;
};
