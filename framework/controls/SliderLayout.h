#pragma once

#include <QRectF>

#include <vector>

// Where the parts of a slider lie, in the slider's own coordinates: x runs
// along the slider (to the right, or upwards on a vertical slider) and y
// across it, upwards from 0 at its bottom edge. Kept by the cell, recomputed
// when the value, the envelope, the frame or the toggle buttons change, and
// only read while drawing and tracking.
struct SliderLayout {
  QRectF controlFrame;     // the slider's bounds: (0, 0, length, thickness)
  QRectF absControlFrame;  // the control in its window's coordinates
  QRectF track;            // the bar; starts after the toggle column
  QRectF leftEnv;
  QRectF leftEnvHandle;
  QRectF rightEnv;
  QRectF rightEnvHandle;
  QRectF sliderHead;
  QRectF sliderBG;                  // the fill; empty when the value is the fill value
  std::vector<QRectF> markHandles;  // the 4 x 4 handle at the top of each mark
  QRectF syncToggleFrame;           // null when the "S" button is not shown
  QRectF behavToggleFrame;          // null when the "B" button is not shown
  bool clipToTrack = false;         // a toggle button is shown
};
