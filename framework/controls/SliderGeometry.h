#pragma once

#include "framework/controls/SliderLayout.h"

#include <QList>
#include <QRectF>

// The layout of a slider as pure functions of its bounds, toggle buttons,
// value, fill value, envelope and marks (see SliderLayout for the
// coordinates). Fractional parts are truncated toward zero where the bar's
// pixels must line up: the head and the envelope edges.
class SliderGeometry {
 public:
  // The bar: the whole bounds, or with a toggle button shown, the bounds
  // less a square column of half the thickness at the left end.
  static QRectF track(const QRectF& bounds, bool toggleShown);
  // 5 wide, centred on the value along the track less one point.
  static QRectF sliderHead(const QRectF& track, float value);
  // From the fill value to the value (either side); empty when equal.
  static QRectF sliderBG(const QRectF& track, float value, float fillValue);
  static QRectF leftEnv(const QRectF& track, float minEnv);
  static QRectF leftEnvHandle(const QRectF& track, const QRectF& leftEnv);
  static QRectF rightEnv(const QRectF& track, float maxEnv);
  static QRectF rightEnvHandle(const QRectF& rightEnv);
  // The 4 x 4 handle of each mark, at the top of the bar.
  static std::vector<QRectF> markHandles(const QRectF& track, const QList<float>& marks);
  // The x of a mark's line.
  static double markLineX(const QRectF& track, float mark);

  // The toggle column: one button fills it; two share it, "S" above "B".
  struct ToggleFrames {
    QRectF sync;
    QRectF behav;
  };
  static ToggleFrames toggleFrames(const QRectF& bounds, bool syncShown, bool behavShown);

  // Fills in every rectangle of `layout` from its controlFrame.
  static void layOut(SliderLayout& layout, bool syncShown, bool behavShown, float value,
                     float fillValue, float minEnv, float maxEnv, const QList<float>& marks);
};
