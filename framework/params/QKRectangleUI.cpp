#include "framework/params/QKRectangleUI.h"

#include <QPainter>

#include <algorithm>

QKRectangleUI::QKRectangleUI(QWidget* parent, float aspectRatio)
    : QKAspectPad(parent, aspectRatio) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void QKRectangleUI::setXPos(float x) {
  left_.store(std::clamp(x, 0.0f, std::max(0.0f, right_.load())));
  requestRepaint();
}

void QKRectangleUI::setYPos(float y) {
  bottom_.store(std::clamp(y, 0.0f, std::max(0.0f, top_.load())));
  requestRepaint();
}

void QKRectangleUI::setWidth(float right) {
  right_.store(std::clamp(right, std::min(1.0f, left_.load()), 1.0f));
  requestRepaint();
}

void QKRectangleUI::setHeight(float top) {
  top_.store(std::clamp(top, std::min(1.0f, bottom_.load()), 1.0f));
  requestRepaint();
}

void QKRectangleUI::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paintBackground(painter);
  const QPointF topLeft = toView(xPos(), topEdge());
  const QPointF bottomRight = toView(rightEdge(), yPos());
  painter.fillRect(QRectF(topLeft, bottomRight), Qt::red);
}
