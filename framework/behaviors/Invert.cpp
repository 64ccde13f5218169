#include "framework/behaviors/Invert.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderCell.h"

void Invert::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(BehaviorFormulas::invert(slider->value()));
}
