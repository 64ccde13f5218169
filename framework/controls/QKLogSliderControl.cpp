#include "framework/controls/QKLogSliderControl.h"

#include "framework/controls/QKLogSliderCell.h"

QKLogSliderControl::QKLogSliderControl(QWidget* parent)
    : QKLogSliderControl(QKLogSliderCell::create(), parent) {}

QKLogSliderControl::QKLogSliderControl(std::shared_ptr<QKLogSliderCell> cell, QWidget* parent)
    : QKSliderControl(std::move(cell), parent) {}

QKLogSliderControl* QKLogSliderControl::createWithFrame(const QRectF& frame, QWidget* parent) {
  auto* control = new QKLogSliderControl(parent);
  control->setFrame(frame);
  return control;
}

float QKLogSliderControl::valueForRangedValue(float ranged) const {
  return ask(0.0f, [ranged](QKSliderCell& c) {
    return static_cast<QKLogSliderCell&>(c).valueForRangedValue(ranged);
  });
}

float QKLogSliderControl::rangedValueForValue(float normalised) const {
  return ask(0.0f, [normalised](QKSliderCell& c) {
    return static_cast<QKLogSliderCell&>(c).rangedValueForValue(normalised);
  });
}
