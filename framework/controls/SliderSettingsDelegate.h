#pragma once

#include "framework/controls/QKSliderCellDelegate.h"

#include <functional>
#include <utility>

// A slider delegate that reports every change a stored slider setting cares
// about (marks, binding, behaviour, envelope) to one function, on the
// thread the cell sends its notices from.
class SliderSettingsDelegate : public QKSliderCellDelegate {
 public:
  explicit SliderSettingsDelegate(std::function<void(QKSliderCell&)> changed)
      : changed_(std::move(changed)) {}
  void QKSliderInterestingPointsChanged(QKSliderCell& s) override { changed_(s); }
  void QKSliderSyncFlagChanged(QKSliderCell& s) override { changed_(s); }
  void QKSliderBehavFlagChanged(QKSliderCell& s) override { changed_(s); }
  void QKSliderMaxEnvChanged(QKSliderCell& s) override { changed_(s); }
  void QKSliderMinEnvChanged(QKSliderCell& s) override { changed_(s); }

 private:
  std::function<void(QKSliderCell&)> changed_;
};
