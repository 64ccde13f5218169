#include "framework/behaviors/Scale.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderCell.h"

// Onto the slider's envelope.
void Scale::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  slider->justSetValue(
      BehaviorFormulas::scale(slider->value(), slider->minEnv(), slider->maxEnv()));
}
