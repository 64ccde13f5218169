#pragma once

// Folds a flag of several selected controls into what an inspector shows:
// 1 when every one has it, 0 when none has it (or there are none), -1 when
// they differ. Shared by the slider and button inspectors.
class TriStateAccumulator {
 public:
  void add(bool on) { (on ? anyOn_ : anyOff_) = true; }
  bool empty() const { return !anyOn_ && !anyOff_; }
  int value() const {
    if (anyOn_ && anyOff_) return -1;
    return anyOn_ ? 1 : 0;
  }

 private:
  bool anyOn_ = false;
  bool anyOff_ = false;
};
