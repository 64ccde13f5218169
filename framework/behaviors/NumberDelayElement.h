#pragma once

#include <array>
#include <cstdint>

// The recent values of one slider on a grid of 0.01 s: a ring of 1001
// slots covering 10.01 s. Times are seconds on a steady clock, passed in
// by the caller, so a change of the wall clock never freezes or floods the
// ring. A push after a pause fills every slot the pause spans with the new
// value, and writes at most the whole ring once however long the pause.
class NumberDelayElement {
 public:
  static constexpr int kSlots = 1001;
  static constexpr double kStep = 0.01;
  static constexpr double kHorizon = kSlots * kStep;

  // Every slot holds `value`; the newest slot is index 0 at `now`.
  NumberDelayElement(float value, double now);

  void pushFloat(float value, double now);
  // The value recorded for time `time`: the last pushed for now or later,
  // the oldest slot for a time older than the ring reaches.
  float valueForTime(double time) const;

  float lastValue() const { return lastValue_; }
  double lastTime() const { return lastTime_; }
  int lastTimeIndex() const { return lastTimeIndex_; }
  float slot(int index) const { return values_[static_cast<std::size_t>(index)]; }
  // Slot writes since creation (the cost of pushes).
  std::uint64_t slotWrites() const { return slotWrites_; }

 private:
  std::array<float, kSlots> values_;
  float lastValue_ = 0.0f;
  double lastTime_;
  int lastTimeIndex_ = 0;
  std::uint64_t slotWrites_ = 0;
};
