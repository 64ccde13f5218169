#include "framework/behaviors/QKRangedMultiplyBehavior.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderCell.h"

QKRangedMultiplyBehavior::QKRangedMultiplyBehavior(const QString& name)
    : Multiply(QStringLiteral("Multiply")) {
  setMyName(name);
}

void QKRangedMultiplyBehavior::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValueWithRangedValue(
      BehaviorFormulas::multiply(slider->rangedValue(), multiplyFactor_.load()));
}
