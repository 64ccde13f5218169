#pragma once

#include "framework/controls/QKLogSliderCell.h"

#include <QPolygonF>

// The movie panel's speed slider: a logarithmic slider whose marker is an
// arrow at the value end of the bar that grows from the fill value,
// pointing the way the clip runs; both ways at the fill value itself, where
// the bar has no width.
class MovieSourceSpeedSliderCell : public QKLogSliderCell {
 public:
  static std::shared_ptr<MovieSourceSpeedSliderCell> create();

  // The arrow for the bar `bar` (the laid-out `sliderBG`), in the slider's
  // coordinates: a triangle to the left or right, or the four-sided shape
  // at the fill value.
  static QPolygonF arrow(const QRectF& bar, float value, float fillValue);
  // A quarter of the bar's height but at least 7.
  static double arrowLength(double barHeight);

  void drawWithFrame(QPainter& painter, bool vertical, bool enabled,
                     const QSizeF& widgetSize) const override;

 protected:
  MovieSourceSpeedSliderCell() = default;
  friend class QKSliderCell;

  QKSliderCell::Ptr createEmptyOfSameKind() const override;
  void layOutValueRects(SliderLayout& layout, float value, float fillValue) const override;
};
