#pragma once

#include "framework/behaviors/Behavior.h"

#include <atomic>

// Mixes the value with a second input: wetDry × avgVal + (1 − wetDry) × v.
class AverageWith : public Behavior {
 public:
  explicit AverageWith(const QString& name) : Behavior(name, name) {}
  QString className() const override { return QStringLiteral("AverageWith"); }
  void processPassedPtr(void* passed) override;

  void setAvgWithVal(float avgVal);
  void setWetDry(float wetDry);
  float avgVal() const { return avgVal_.load(); }
  float wetDry() const { return wetDry_.load(); }

 protected:
  void wakeUp() override;

 private:
  std::atomic<float> avgVal_{0.0f};
  std::atomic<float> wetDry_{0.0f};
};
