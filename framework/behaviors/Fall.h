#pragma once

#include "framework/behaviors/Behavior.h"
#include "framework/behaviors/FallElement.h"
#include "framework/behaviors/PerSliderStates.h"

#include <atomic>

// A peak that falls: a new input above the output is taken at once,
// otherwise the output is multiplied by the factor on every pass, also
// while the input stands still. State per slider as Smooth's.
class Fall : public Behavior {
 public:
  explicit Fall(const QString& name);
  QString className() const override { return QStringLiteral("Fall"); }
  void processPassedPtr(void* passed) override;

  void smoothingSliderUsed(float factor);
  float smoothingFactor() const { return smoothingFactor_.load(); }
  std::size_t sliderStateCount() const { return recentValues_.size(); }

 protected:
  void wakeUp() override;
  void sliderDeleted(long sliderID) override { recentValues_.remove(sliderID); }

 private:
  std::atomic<float> smoothingFactor_{0.5f};
  PerSliderStates<FallElement> recentValues_;
};
