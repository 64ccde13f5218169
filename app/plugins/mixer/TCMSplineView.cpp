#include "app/plugins/mixer/TCMSplineView.h"

#include "framework/curves/CurveCursors.h"
#include "framework/curves/QKSingleSpline.h"
#include "framework/toolkit/ModifierKeys.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

const QString TCMSplineView::kLeftSpline = QStringLiteral("leftSpline");
const QString TCMSplineView::kRightSpline = QStringLiteral("rightSpline");

namespace {

// The rising line from (0, 0) to (1, 1), its middle point at (0.5, 0.5).
void makeRising(QKSingleSpline& curve) {
  using P = QKQuadraticSpline::Point;
  curve.setSplineArray({QKQuadraticSpline(P{0, 0}, P{0.5f, 0}, P{0.5f, 0.5f}),
                        QKQuadraticSpline(P{0.5f, 0.5f}, P{1, 0}, P{1, 1})});
}

double snapAxis(double p, double length, double divisions, double sensitivity) {
  if (!(length > 0) || !(divisions > 0)) return p;
  const double step = length / divisions;
  const double s = step * std::round(p / step);  // halves away from zero
  return (p >= s - sensitivity && p <= s + sensitivity) ? s : p;
}

}  // namespace

TCMSplineView::TCMSplineView(QWidget* parent)
    : QWidget(parent),
      leftSpline_(std::make_shared<QKSingleSpline>()),
      rightSpline_(std::make_shared<QKSingleSpline>()) {
  makeRising(*rightSpline_);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TCMSplineView::~TCMSplineView() = default;

void TCMSplineView::awakeFromNib() {
  giveCurvesBounds();
  update();
}

void TCMSplineView::prepareToBeDeleted() {
  deleted_ = true;
  clickedSpline_ = nullptr;
  mousedOverSpline_ = nullptr;
  for (const auto& curve : {leftSpline_, rightSpline_}) {
    curve->prepareToBeDeleted();
    curve->clearTrackingRects();
  }
}

QPointF TCMSplineView::evaluateAt(float x) const {
  return {leftSpline_->evaluateAt(x), rightSpline_->evaluateAt(x)};
}

QVariantMap TCMSplineView::createSnapshot() const {
  QVariantMap snapshot;
  const QVariantMap left = leftSpline_->createSnapshot();
  const QVariantMap right = rightSpline_->createSnapshot();
  if (!left.isEmpty()) snapshot.insert(kLeftSpline, left);
  if (!right.isEmpty()) snapshot.insert(kRightSpline, right);
  return snapshot;
}

void TCMSplineView::loadSnapshot(const QVariantMap& snapshot) {
  const auto load = [&snapshot](const QString& key, QKSingleSpline& curve) {
    const QVariant stored = snapshot.value(key);
    if (stored.typeId() == QMetaType::QVariantMap) curve.loadSnapshot(stored.toMap(), key);
  };
  load(kLeftSpline, *leftSpline_);
  load(kRightSpline, *rightSpline_);
  resetTrackingRects();
  update();
}

QPointF TCMSplineView::snapPoint(QPointF point, QSizeF size, float divisions, float sensitivity) {
  return {snapAxis(point.x(), size.width(), divisions, sensitivity),
          snapAxis(point.y(), size.height(), divisions, sensitivity)};
}

void TCMSplineView::giveCurvesBounds() {
  const QRectF bounds(QPointF(0, 0), QSizeF(size()));
  leftSpline_->setBounds(bounds);
  rightSpline_->setBounds(bounds);
}

void TCMSplineView::resetTrackingRects() {
  giveCurvesBounds();
  for (const auto& curve : {leftSpline_, rightSpline_}) {
    curve->clearTrackingRects();
    if (!deleted_) curve->prepareTrackingRects();
  }
  hoveredLeftTag_ = hoveredRightTag_ = -1;
}

// --- Drawing ---------------------------------------------------------------------------------

void TCMSplineView::paintEvent(QPaintEvent*) {
  if (deleted_) return;
  QPainter painter(this);
  const QRectF area(QPointF(0, 0), QSizeF(size()));
  painter.fillRect(area, bgColor_);
  // Curve coordinates grow upwards.
  painter.translate(0, area.height());
  painter.scale(1, -1);
  painter.setPen(QPen(snapLinesColor_, 0));
  const int lines = int(std::ceil(snapDivisions_));
  for (int i = 0; i <= lines; ++i) {
    const double x = std::min(i * area.width() / snapDivisions_, area.width() - 0.5);
    const double y = std::min(i * area.height() / snapDivisions_, area.height() - 0.5);
    painter.drawLine(QPointF(x, 0), QPointF(x, area.height()));
    painter.drawLine(QPointF(0, y), QPointF(area.width(), y));
  }
  for (const auto& curve : {leftSpline_, rightSpline_}) {
    if (curve->bounds() != area) curve->setBounds(area);
    if (!curve->hasCurvePath()) curve->prepareCurvePath();
  }
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(controlPtLineDefaultColor_, 1));
  for (const auto& curve : {leftSpline_, rightSpline_})
    if (curve->hasCurvePath()) painter.drawPath(curve->controlPointsPath());
  drawCurve(painter, *rightSpline_, rightCurveFillColor_);
  drawCurve(painter, *leftSpline_, leftCurveFillColor_);
}

void TCMSplineView::drawCurve(QPainter& painter, QKSingleSpline& curve, const QColor& fill) {
  if (!curve.hasCurvePath()) return;
  // The path spans two periods; the mixer's curves have no phase offset, so
  // only the first is in view.
  painter.fillPath(curve.curvePath(), fill);
  painter.setPen(QPen(curveLineColor_, 1));
  painter.drawPath(curve.curvePath());
  painter.setPen(QPen(handleRectDefaultColor_, 1));
  painter.drawPath(curve.curveHandlesPath());
}

// --- Mouse -----------------------------------------------------------------------------------

QPointF TCMSplineView::viewPoint(const QMouseEvent* event) const {
  return {event->position().x(), height() - event->position().y()};
}

void TCMSplineView::mousePressEvent(QMouseEvent* event) {
  if (deleted_ || event->button() != Qt::LeftButton) return;
  const QPointF point = viewPoint(event);
  const int flags = ModifierKeys::fromEvent(event).flags();
  clickedSpline_ = nullptr;
  if (leftSpline_->handleClick(point, flags))
    clickedSpline_ = leftSpline_.get();
  else if (rightSpline_->handleClick(point, flags))
    clickedSpline_ = rightSpline_.get();
  lastPoint_ = point;
  if (clickedSpline_) {
    clickedSpline_->doCursorState(clickedSpline_->handleMousedOverTag(), lastPoint_, flags);
    mousedOverSpline_ = clickedSpline_;
    showCursor();
    update();
  }
}

void TCMSplineView::mouseMoveEvent(QMouseEvent* event) {
  if (deleted_) return;
  const QPointF point = viewPoint(event);
  if (event->buttons() & Qt::LeftButton) {
    if (!clickedSpline_ || width() <= 0 || height() <= 0) return;
    const QPointF snapped = snapPoint(point, QSizeF(size()), snapDivisions_, snapSensitivity_);
    clickedSpline_->selectedPointMovedTo(QPointF(std::clamp(snapped.x() / width(), 0.0, 1.0),
                                                 std::clamp(snapped.y() / height(), 0.0, 1.0)));
    update();
    return;
  }
  const int flags = ModifierKeys::fromEvent(event).flags();
  hoverAt(point, flags);
  lastPoint_ = point;
  cursorStateAt(point, flags, false);
}

void TCMSplineView::mouseReleaseEvent(QMouseEvent* event) {
  if (deleted_ || event->button() != Qt::LeftButton) return;
  leftSpline_->setDragMode(1);
  rightSpline_->setDragMode(1);
  lastPoint_ = viewPoint(event);
  if (clickedSpline_) {
    clickedSpline_->setHandleMousedOverTag(-1);
    clickedSpline_->prepareTrackingRects();
    clickedSpline_->doCursorState(clickedSpline_->handleMousedOverTag(), lastPoint_,
                                  ModifierKeys::fromEvent(event).flags());
    showCursor();
  }
  hoveredLeftTag_ = hoveredRightTag_ = -1;
  clickedSpline_ = nullptr;
  update();
}

void TCMSplineView::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  if (deleted_) return;
  if (mousedOverSpline_) {
    mousedOverSpline_->setHandleMousedOverTag(-1);
    mousedOverSpline_->setDragMode(1);
  }
  hoveredLeftTag_ = hoveredRightTag_ = -1;
  cursorStateAt(QPointF(-1, -1), 0, true);  // outside the view
}

void TCMSplineView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  resetTrackingRects();
}

void TCMSplineView::hoverAt(QPointF point, int flags) {
  const int leftTag = leftSpline_->trackingTagAt(point);
  const int rightTag = rightSpline_->trackingTagAt(point);
  if (leftTag == hoveredLeftTag_ && rightTag == hoveredRightTag_) return;
  hoveredLeftTag_ = leftTag;
  hoveredRightTag_ = rightTag;
  // Each curve is asked with its own square's tag: the tags of the two
  // curves are counted apart and may coincide.
  if (leftTag != -1 && leftSpline_->handleMouseEnteredForTrackingRectTag(leftTag, point, flags)) {
    rightSpline_->setHandleMousedOverTag(-1);
    mousedOverSpline_ = leftSpline_.get();
  } else if (rightTag != -1 &&
             rightSpline_->handleMouseEnteredForTrackingRectTag(rightTag, point, flags)) {
    leftSpline_->setHandleMousedOverTag(-1);
    mousedOverSpline_ = rightSpline_.get();
  } else {
    leftSpline_->setHandleMousedOverTag(-1);
    rightSpline_->setHandleMousedOverTag(-1);
    mousedOverSpline_ = nullptr;
  }
}

void TCMSplineView::cursorStateAt(QPointF point, int flags, bool clearWhenNone) {
  if (leftSpline_->doCursorState(leftSpline_->handleMousedOverTag(), point, flags))
    mousedOverSpline_ = leftSpline_.get();
  else if (rightSpline_->doCursorState(rightSpline_->handleMousedOverTag(), point, flags))
    mousedOverSpline_ = rightSpline_.get();
  else if (clearWhenNone)
    mousedOverSpline_ = nullptr;
  showCursor();
}

void TCMSplineView::showCursor() {
  const QKSingleSpline* shown = mousedOverSpline_ ? mousedOverSpline_ : leftSpline_.get();
  setCursor(CurveCursors::cursorFor(shown->cursor()));
}
