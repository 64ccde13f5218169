#include "app/plugins/wiimote/ColorChangePanel.h"

#include <QPainter>

ColorChangePanel::ColorChangePanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ColorChangePanel::setVal(double level) {
  val_ = level;
  update();
}

QString ColorChangePanel::text(double level) {
  return QStringLiteral("%1%").arg(static_cast<long>(level * 100.0));
}

void ColorChangePanel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = rect();
  const QColor red(Qt::red), yellow(Qt::yellow), green(Qt::green);
  if (val_ >= 0.5) {
    painter.fillRect(area, yellow);
    QColor over = green;
    over.setAlphaF(float(std::clamp(2.0 * (val_ - 0.5), 0.0, 1.0)));
    painter.fillRect(area, over);
  } else {
    painter.fillRect(area, red);
    QColor over = yellow;
    over.setAlphaF(float(std::clamp(2.0 * val_, 0.0, 1.0)));
    painter.fillRect(area, over);
  }
  QFont font = painter.font();
  font.setPointSizeF(9);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(area.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text(val_));
}
