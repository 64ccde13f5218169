#include "app/sources/MovieSourceSpeedSliderControl.h"

MovieSourceSpeedSliderControl::MovieSourceSpeedSliderControl(QWidget* parent)
    : QKLogSliderControl(MovieSourceSpeedSliderCell::create(), parent) {}

MovieSourceSpeedSliderControl* MovieSourceSpeedSliderControl::createWithFrame(const QRectF& frame,
                                                                              QWidget* parent) {
  auto* control = new MovieSourceSpeedSliderControl(parent);
  control->setFrame(frame);
  return control;
}
