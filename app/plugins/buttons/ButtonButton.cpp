#include "app/plugins/buttons/ButtonButton.h"

ButtonButton::ButtonButton(QWidget* parent) : QKButton(ButtonButtonCell::create(), parent) {}

ButtonButton* ButtonButton::createWithFrame(const QRectF& frame, QWidget* parent) {
  auto* button = new ButtonButton(parent);
  button->setFrame(frame);
  return button;
}
