#pragma once

#include "framework/behaviors/Behavior.h"

#include <atomic>

// Holds the value inside [min, max]; the lower bound is tested first.
class QKMinMaxBehavior : public Behavior {
 public:
  explicit QKMinMaxBehavior(const QString& name)
      : Behavior(name, QStringLiteral("QKMinMaxBehavior")) {}
  QString className() const override { return QStringLiteral("QKMinMaxBehavior"); }
  void processPassedPtr(void* passed) override;

  void setMinValue(float min);
  void setMaxValue(float max);
  float minValue() const { return min_.load(); }
  float maxValue() const { return max_.load(); }

 protected:
  void wakeUp() override;
  QString layoutErrorLine() const override;

 private:
  std::atomic<float> min_{0.0f};
  std::atomic<float> max_{1.0f};
};
