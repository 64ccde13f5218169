#pragma once

#include "app/sources/MovieSourceSpeedSliderCell.h"
#include "framework/controls/QKLogSliderControl.h"

// The movie panel's speed slider: a logarithmic slider drawn with an arrow
// (MovieSourceSpeedSliderCell).
class MovieSourceSpeedSliderControl : public QKLogSliderControl {
  Q_OBJECT
 public:
  explicit MovieSourceSpeedSliderControl(QWidget* parent = nullptr);
  static MovieSourceSpeedSliderControl* createWithFrame(const QRectF& frame,
                                                        QWidget* parent = nullptr);
};
