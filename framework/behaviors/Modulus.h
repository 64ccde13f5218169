#pragma once

#include "framework/behaviors/Behavior.h"

#include <atomic>

// Adds an amount and wraps a sum above 1 once.
class Modulus : public Behavior {
 public:
  explicit Modulus(const QString& name) : Behavior(name, name) {}
  QString className() const override { return QStringLiteral("Modulus"); }
  void processPassedPtr(void* passed) override;

  void setModulusAmount(float modVal);
  float modulusAmount() const { return modVal_.load(); }

 protected:
  void wakeUp() override;

 private:
  std::atomic<float> modVal_{0.0f};
};
