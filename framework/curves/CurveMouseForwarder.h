#pragma once

#include "framework/curves/CurveCursor.h"

#include <QPointF>

#include <memory>

class QKSingleSpline;
class QMouseEvent;
class QWidget;

// What a curve editor does with the mouse: converts Qt's points into the
// curve's y-up coordinates over the curve area, hands presses, drags,
// releases and moves to the curve's editing protocol, stands in for the
// point tracking rectangles by hit-testing each move (the view has mouse
// tracking on) and shows the cursor the curve chooses. Main thread.
class CurveMouseForwarder {
 public:
  CurveMouseForwarder(QWidget* view, std::shared_ptr<QKSingleSpline> curve);

  // A Qt position in the view as a point of the curve (y up from the bottom
  // of a curve area `height` high).
  static QPointF curvePoint(QPointF position, double height);

  // Each answers whether the view must redraw.
  bool press(const QMouseEvent* event);
  bool drag(const QMouseEvent* event);
  bool release(const QMouseEvent* event);
  void move(const QMouseEvent* event);
  void leave();

  QPointF lastPoint() const { return lastPoint_; }

 private:
  QPointF pointOf(const QMouseEvent* event) const;
  void showCursor(QPointF point, int flags);

  QWidget* const view_;
  const std::shared_ptr<QKSingleSpline> curve_;
  QPointF lastPoint_;
  int hoveredTag_ = -1;
  bool cursorShown_ = false;
  CurveCursor shown_ = CurveCursor::Arrow;
};
