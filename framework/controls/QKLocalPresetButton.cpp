#include "framework/controls/QKLocalPresetButton.h"

#include "framework/controls/QKLocalPresetButtonCell.h"

#include <QPainter>

QKLocalPresetButton::QKLocalPresetButton(QWidget* parent)
    : QKButton(QKLocalPresetButtonCell::create(), parent) {}

QKLocalPresetButton* QKLocalPresetButton::createWithFrame(const QRectF& frame, QWidget* parent) {
  auto* button = new QKLocalPresetButton(parent);
  button->setFrame(frame);
  return button;
}

QKLocalPresetButtonCell& QKLocalPresetButton::presetCell() const {
  return static_cast<QKLocalPresetButtonCell&>(*cell());
}

std::optional<QVariantMap> QKLocalPresetButton::storedSnapshot() const {
  return presetCell().storedSnapshot();
}

void QKLocalPresetButton::setStoredSnapshot(std::optional<QVariantMap> snapshot) {
  if (deleted()) return;
  presetCell().setStoredSnapshot(std::move(snapshot));
  update();
}

void QKLocalPresetButton::drawCell(QPainter& painter, const QRectF& frame) {
  QKButton::drawCell(painter, frame);
  if (storedSnapshot()) painter.fillRect(QRectF(0, 0, width(), 1), Qt::red);
}
