#pragma once

#include "framework/behaviors/Behavior.h"

#include <atomic>

// Multiplies the value by a factor of 0 to 10 (the slider's ranged value).
class Multiply : public Behavior {
 public:
  explicit Multiply(const QString& name) : Behavior(name, name) {}
  QString className() const override { return QStringLiteral("Multiply"); }
  void processPassedPtr(void* passed) override;

  void setMultiplyFactor(float factor);
  float multiplyFactor() const { return multiplyFactor_.load(); }

 protected:
  void wakeUp() override;

  std::atomic<float> multiplyFactor_{5.0f};
};
