#pragma once

#include "framework/behaviors/Behavior.h"

#include <atomic>

// Adds an offset of −1 to 1 (the slider's ranged value) and clamps to [0, 1].
class QKOffsetBehavior : public Behavior {
 public:
  explicit QKOffsetBehavior(const QString& name)
      : Behavior(name, QStringLiteral("QKOffsetBehavior")) {}
  QString className() const override { return QStringLiteral("QKOffsetBehavior"); }
  void processPassedPtr(void* passed) override;

  void sliderUsed(float val);
  float offset() const { return val_.load(); }

 protected:
  void wakeUp() override;
  QString layoutErrorLine() const override;

  std::atomic<float> val_{0.0f};
};
