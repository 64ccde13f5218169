#include "framework/curves/CurveMouseForwarder.h"

#include "framework/curves/CurveCursors.h"
#include "framework/curves/QKSingleSpline.h"
#include "framework/toolkit/ModifierKeys.h"

#include <QMouseEvent>
#include <QWidget>

CurveMouseForwarder::CurveMouseForwarder(QWidget* view, std::shared_ptr<QKSingleSpline> curve)
    : view_(view), curve_(std::move(curve)) {}

QPointF CurveMouseForwarder::curvePoint(QPointF position, double height) {
  return {position.x(), height - position.y()};
}

QPointF CurveMouseForwarder::pointOf(const QMouseEvent* event) const {
  return curvePoint(event->position(), curve_->bounds().height());
}

bool CurveMouseForwarder::press(const QMouseEvent* event) {
  const QPointF point = pointOf(event);
  const int flags = ModifierKeys::fromEvent(event).flags();
  if (curve_->handleClick(point, flags)) return true;
  if (curve_->dragMode() == 2) {
    lastPoint_ = point;
    showCursor(point, flags);
  }
  return false;
}

bool CurveMouseForwarder::drag(const QMouseEvent* event) {
  const QPointF point = pointOf(event);
  const QRectF area = curve_->bounds();
  if (!(area.width() > 0) || !(area.height() > 0)) return false;
  curve_->selectedPointMovedTo(QPointF(point.x() / area.width(), point.y() / area.height()));
  return true;
}

bool CurveMouseForwarder::release(const QMouseEvent* event) {
  const QPointF point = pointOf(event);
  curve_->setDragMode(0);
  curve_->setHandleMousedOverTag(-1);
  hoveredTag_ = -1;
  curve_->prepareTrackingRects();
  lastPoint_ = point;
  showCursor(point, ModifierKeys::fromEvent(event).flags());
  return true;
}

void CurveMouseForwarder::move(const QMouseEvent* event) {
  const QPointF point = pointOf(event);
  const int flags = ModifierKeys::fromEvent(event).flags();
  const int tag = curve_->trackingTagAt(point);
  if (tag != hoveredTag_) {
    hoveredTag_ = tag;
    if (tag != -1)
      curve_->handleMouseEnteredForTrackingRectTag(tag, point, flags);
    else
      curve_->setHandleMousedOverTag(-1);
  }
  lastPoint_ = point;
  showCursor(point, flags);
}

void CurveMouseForwarder::leave() {
  hoveredTag_ = -1;
  curve_->setHandleMousedOverTag(-1);
  showCursor(QPointF(-1, -1), 0);  // outside the view
}

void CurveMouseForwarder::showCursor(QPointF point, int flags) {
  curve_->doCursorState(curve_->handleMousedOverTag(), point, flags);
  const CurveCursor chosen = curve_->cursor();
  if (cursorShown_ && chosen == shown_) return;
  shown_ = chosen;
  cursorShown_ = true;
  view_->setCursor(CurveCursors::cursorFor(chosen));
}
