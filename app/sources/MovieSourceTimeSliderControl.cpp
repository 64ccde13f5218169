#include "app/sources/MovieSourceTimeSliderControl.h"

MovieSourceTimeSliderControl::MovieSourceTimeSliderControl(QWidget* parent)
    : QKSliderControl(MovieSourceTimeSliderCell::create(), parent) {}

MovieSourceTimeSliderControl* MovieSourceTimeSliderControl::createWithFrame(const QRectF& frame,
                                                                            QWidget* parent) {
  auto* control = new MovieSourceTimeSliderControl(parent);
  control->setFrame(frame);
  return control;
}
