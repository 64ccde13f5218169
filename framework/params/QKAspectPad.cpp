#include "framework/params/QKAspectPad.h"

#include <QPainter>
#include <QResizeEvent>

#include <cmath>

QKAspectPad::QKAspectPad(QWidget* parent, float aspectRatio)
    : QWidget(parent), aspectRatio_(aspectRatio), repaint_(this) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QRectF QKAspectPad::activeRectFor(const QSizeF& size, float ratio) {
  const double w = size.width(), h = size.height();
  if (ratio <= 0 || h <= 0 || w <= 0) return QRectF(0, 0, std::max(0.0, w), std::max(0.0, h));
  if (ratio >= w / h) {
    const double width = std::floor(w);
    const double height = std::floor(width / ratio);
    return QRectF(0, (h - height) / 2, width, height);
  }
  const double height = std::floor(h);
  const double width = std::floor(ratio * height);
  return QRectF((w - width) / 2, 0, width, height);
}

void QKAspectPad::calculateActiveRect() { activeRect_ = activeRectFor(size(), aspectRatio()); }

void QKAspectPad::setAspectRatio(float ratio) {
  aspectRatio_.store(ratio);
  calculateActiveRect();
  update();
  sendAction();
}

void QKAspectPad::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  calculateActiveRect();
}

QPointF QKAspectPad::toView(double x, double y) const {
  return QPointF(activeRect_.x() + x * activeRect_.width(),
                 activeRect_.y() + (1 - y) * activeRect_.height());
}

void QKAspectPad::paintBackground(QPainter& painter) const {
  painter.fillRect(rect(), palette().color(QPalette::Window));
  painter.setPen(Qt::darkGray);
  painter.setBrush(Qt::lightGray);
  painter.drawRect(activeRect_.adjusted(0, 0, -1, -1));
  painter.setClipRect(activeRect_);
}
