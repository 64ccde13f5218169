#include "app/shell/ThemeColorWell.h"

#include <QColorDialog>
#include <QPainter>

ThemeColorWell::ThemeColorWell(QWidget* parent) : QToolButton(parent) {
  setFixedSize(44, 20);
  connect(this, &QToolButton::clicked, this, &ThemeColorWell::openDialog);
}

void ThemeColorWell::setColor(const QColor& color) {
  if (!color.isValid()) return;
  color_ = color;
  update();
}

void ThemeColorWell::choose(const QColor& color) {
  if (!color.isValid()) return;
  setColor(color);
  Q_EMIT colorChosen();
}

void ThemeColorWell::openDialog() {
  const QColor chosen =
      QColorDialog::getColor(color_, this, toolTip(), QColorDialog::ShowAlphaChannel);
  if (chosen.isValid()) choose(chosen);
}

void ThemeColorWell::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect box = rect().adjusted(2, 2, -2, -2);
  for (int y = box.top(); y <= box.bottom(); y += 5)
    for (int x = box.left(); x <= box.right(); x += 5)
      painter.fillRect(
          QRect(x, y, 5, 5).intersected(box),
          ((x - box.left()) / 5 + (y - box.top()) / 5) % 2 ? Qt::lightGray : Qt::white);
  painter.fillRect(box, color_);
  painter.setPen(palette().color(QPalette::Mid));
  painter.drawRect(box.adjusted(0, 0, -1, -1));
}
