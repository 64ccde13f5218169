#pragma once

#include "framework/controls/QKSliderCell.h"

#include <QPolygonF>

// The movie panel's time slider: the movie's position with a play head, a
// triangle at the top edge over a line across the slider. The play head
// can be grabbed over a square as wide as the slider is thick.
class MovieSourceTimeSliderCell : public QKSliderCell {
 public:
  static std::shared_ptr<MovieSourceTimeSliderCell> create();

  // The play head's triangle in the slider's coordinates: its base along the
  // top edge (y = frame height), half as wide as a fifth of the height but
  // at least 7, its apex below.
  static QPolygonF playHead(const QRectF& track, const QRectF& frame, float value);
  static double playHeadHalfWidth(double height);

  void drawWithFrame(QPainter& painter, bool vertical, bool enabled,
                     const QSizeF& widgetSize) const override;

 protected:
  MovieSourceTimeSliderCell() = default;
  friend class QKSliderCell;

  QKSliderCell::Ptr createEmptyOfSameKind() const override;
  void layOutValueRects(SliderLayout& layout, float value, float fillValue) const override;
};
