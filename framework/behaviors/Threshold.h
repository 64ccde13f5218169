#pragma once

#include "framework/behaviors/Behavior.h"

#include <atomic>

// 1 above the threshold, else 0.
class Threshold : public Behavior {
 public:
  explicit Threshold(const QString& name) : Behavior(name, name) {}
  QString className() const override { return QStringLiteral("Threshold"); }
  void processPassedPtr(void* passed) override;

  void setThreshold(float thresh);
  float threshold() const { return thresh_.load(); }

 protected:
  void wakeUp() override;

 private:
  std::atomic<float> thresh_{0.5f};
};
