#include "framework/behaviors/TriangleView.h"

#include "framework/behaviors/Trianglize.h"
#include "framework/controls/QKSliderControl.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

TriangleView::TriangleView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TriangleView::setTrianglize(Trianglize* behavior, QKSliderControl* centerSlider,
                                 QKSliderControl* heightSlider) {
  myFXObject_ = behavior;
  centerSlider_ = centerSlider;
  heightSlider_ = heightSlider;
  update();
}

void TriangleView::rebuildGrid(const QSizeF& size) {
  const double w = size.width();
  const double h = size.height();
  gridPath_ = QPainterPath();
  for (int i = 0; i <= 10; ++i) {
    gridPath_.addRect(QRectF(0, i * h / 10 - 1, w, h / 10));
    gridPath_.addRect(QRectF(i * w / 10 - 1, 0, w / 10, h));
  }
  gridPath_.closeSubpath();
  lastRenderedDimensions_ = size;
  hasGrid_ = true;
}

void TriangleView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QSizeF size(width(), height());
  if (!hasGrid_ || size != lastRenderedDimensions_) rebuildGrid(size);

  // The design's coordinates: origin at the bottom left, y up.
  painter.translate(0, size.height());
  painter.scale(1, -1);

  const float center = myFXObject_ ? myFXObject_->centerVal() : 0.5f;
  const float peak = myFXObject_ ? myFXObject_->heightVal() : 1.0f;
  QPainterPath triangle;
  triangle.moveTo(0, 0);
  triangle.lineTo((size.width() - 1) * center, (size.height() - 1) * peak);
  triangle.lineTo(size.width(), 0);
  triangle.closeSubpath();

  QPen pen;
  pen.setWidthF(1.0);
  pen.setCapStyle(Qt::RoundCap);
  pen.setColor(QColor::fromRgbF(1, 1, 1, 0.75f));
  painter.strokePath(gridPath_, pen);
  painter.fillPath(triangle, QColor::fromRgbF(0, 0.25f, 0.5f, 0.3f));
  pen.setColor(Qt::red);
  painter.strokePath(triangle, pen);
}

void TriangleView::mousePressEvent(QMouseEvent* event) { dragTo(event->position()); }

void TriangleView::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) dragTo(event->position());
}

// Outside the graph the point is held at its edges.
void TriangleView::dragTo(const QPointF& point) {
  if (width() <= 0 || height() <= 0) return;
  const float x = std::clamp(static_cast<float>(point.x() / width()), 0.0f, 1.0f);
  const float y = std::clamp(static_cast<float>((height() - point.y()) / height()), 0.0f, 1.0f);
  if (myFXObject_) myFXObject_->setCenterVal(x);
  if (centerSlider_) centerSlider_->setValue(x, false);
  if (myFXObject_) myFXObject_->setHeightVal(y);
  if (heightSlider_) heightSlider_->setValue(y, false);
  update();
}
