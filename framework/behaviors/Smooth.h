#pragma once

#include "framework/behaviors/Behavior.h"
#include "framework/behaviors/PerSliderStates.h"
#include "framework/behaviors/SmoothElement.h"

#include <atomic>

// Eases each slider's value towards its input: out = (1 − f) × v + f × last.
// A slider's first pass leaves its value as it is and starts its state,
// which goes when the slider is deleted. Runs on every tick in its chain.
class Smooth : public Behavior {
 public:
  explicit Smooth(const QString& name);
  QString className() const override { return QStringLiteral("Smooth"); }
  void processPassedPtr(void* passed) override;

  // Smooth runs on every tick anyway: a new factor needs no extra pass.
  void smoothingSliderUsed(float factor) { smoothingFactor_.store(factor); }
  float smoothingFactor() const { return smoothingFactor_.load(); }
  std::size_t sliderStateCount() const { return recentValues_.size(); }

 protected:
  void wakeUp() override;
  void sliderDeleted(long sliderID) override { recentValues_.remove(sliderID); }
  // The next output from the input, the last output and the factor.
  virtual float ease(float v, float last, float factor) const;

 private:
  std::atomic<float> smoothingFactor_{0.5f};
  PerSliderStates<SmoothElement> recentValues_;
};
