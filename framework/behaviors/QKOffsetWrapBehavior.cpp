#include "framework/behaviors/QKOffsetWrapBehavior.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderCell.h"

void QKOffsetWrapBehavior::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(BehaviorFormulas::offsetWrap(slider->value(), val_.load()));
}
