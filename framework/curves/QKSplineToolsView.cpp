#include "framework/curves/QKSplineToolsView.h"

#include "platform/foundation/Paths.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

QKSplineToolsView::QKSplineToolsView(QWidget* parent)
    : QWidget(parent),
      handleToolImage_(
          Paths::resourcePath(QStringLiteral("images/QKSplineIcons"), QStringLiteral("xpm"))) {}

void QKSplineToolsView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRectF area(rect());
  painter.fillRect(area, bgColor_);
  if (!handleToolImage_.isNull()) painter.drawImage(area, handleToolImage_);
  // The highlight square sits at the bottom, as drawn with y up.
  const double side = area.width() / 3.0;
  painter.fillRect(QRectF((dragMode_ - 1) * side, area.height() - side, side, side),
                   highlightColor_);
  painter.setPen(QPen(frameColor_, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(area.adjusted(0, 0, -1, -1));
}

void QKSplineToolsView::mousePressEvent(QMouseEvent* event) {
  if (width() <= 0) return;
  const int tool = 1 + static_cast<int>(std::floor(3.0 * event->position().x() / width()));
  dragMode_ = std::clamp(tool, 1, 3);
  update();
}
