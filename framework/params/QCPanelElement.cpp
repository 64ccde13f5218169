#include "framework/params/QCPanelElement.h"

#include <QWidget>

QVariant QCPanelElement::filterValue() const {
  const std::optional<composition::PortValue> handed = value();
  return handed ? handed->toVariant() : QVariant();
}

void QCPanelElement::setFrame(const QRectF& frame) {
  if (QWidget* widget = view()) widget->setGeometry(frame.toRect());
}

int QCPanelElement::rowHeight(Row row) {
  switch (row) {
    case Row::Slider:
      return 20;
    case Row::Button:
      return 30;
    case Row::String:
      return 60;
    case Row::Text:
      return 200;
    case Row::Color:
    case Row::Rectangle:
      return 90;
    case Row::Position:
      return 48;
    case Row::Tap:
    case Row::PopUp:
      return 34;
    case Row::None:
      break;
  }
  return 0;
}

int QCPanelElement::rowInset(Row row) { return row == Row::Tap || row == Row::PopUp ? 10 : 0; }

QRectF QCPanelElement::rowFrame(Row row, double panelWidth) {
  constexpr int kNarrower = 25;
  const bool wholeWidth = row == Row::Slider || row == Row::String || row == Row::Text;
  return QRectF(0, 0, wholeWidth ? panelWidth : panelWidth - kNarrower, rowHeight(row));
}
