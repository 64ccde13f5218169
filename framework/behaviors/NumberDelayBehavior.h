#pragma once

#include "framework/behaviors/Behavior.h"
#include "framework/behaviors/NumberDelayElement.h"
#include "framework/behaviors/PerSliderStates.h"

#include <functional>
#include <memory>

// Outputs what each slider's value was a chosen time ago (0 to 10 s, the
// delay slider's ranged value), from a ring per slider sampled every
// 0.01 s. Time is read from a steady clock (replaceable in tests). A
// slider's first pass leaves its value as it is and starts its ring,
// filled with that value; the ring goes when the slider is deleted.
class NumberDelayBehavior : public Behavior {
 public:
  // Seconds on a steady clock.
  using Clock = std::function<double()>;
  static double steadySeconds();

  explicit NumberDelayBehavior(const QString& name);
  QString className() const override { return QStringLiteral("NumberDelayBehavior"); }
  void processPassedPtr(void* passed) override;

  // Set before the behaviour is used.
  void setClock(Clock clock) { clock_ = std::move(clock); }
  // The delay in seconds (0 without a panel).
  float delay() const;
  QKSliderCell* delaySlider() const { return delaySlider_.get(); }
  std::shared_ptr<NumberDelayElement> ringFor(long sliderID) const {
    return delayElements_.find(sliderID);
  }
  std::size_t sliderStateCount() const { return delayElements_.size(); }

 protected:
  void wakeUp() override;
  QString layoutErrorLine() const override;
  void sliderDeleted(long sliderID) override { delayElements_.remove(sliderID); }

 private:
  Clock clock_ = &NumberDelayBehavior::steadySeconds;
  std::shared_ptr<QKSliderCell> delaySlider_;
  PerSliderStates<NumberDelayElement> delayElements_;
};
