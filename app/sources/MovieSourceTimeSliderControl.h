#pragma once

#include "app/sources/MovieSourceTimeSliderCell.h"
#include "framework/controls/QKSliderControl.h"

// The movie panel's time slider, drawn with a play head
// (MovieSourceTimeSliderCell).
class MovieSourceTimeSliderControl : public QKSliderControl {
  Q_OBJECT
 public:
  explicit MovieSourceTimeSliderControl(QWidget* parent = nullptr);
  static MovieSourceTimeSliderControl* createWithFrame(const QRectF& frame,
                                                       QWidget* parent = nullptr);
};
