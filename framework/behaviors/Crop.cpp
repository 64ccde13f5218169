#include "framework/behaviors/Crop.h"

#include "framework/behaviors/BehaviorFormulas.h"
#include "framework/controls/QKSliderCell.h"

// Between the first and the last mark; with fewer than two marks, or two
// equal ones, the value stays.
void Crop::processPassedPtr(void* passed) {
  if (bypass()) return;
  QKSliderCell* slider = sliderFrom(passed);
  const QList<float> marks = slider->interestingPoints();
  if (marks.size() < 2) return;
  if (const std::optional<float> out =
          BehaviorFormulas::crop(slider->value(), marks.first(), marks.last()))
    slider->justSetValue(*out);
}
