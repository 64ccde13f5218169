#include "framework/curves/QKSingleSplineOpenGLView.h"

#include "framework/curves/CurveColors.h"
#include "framework/curves/QKSingleSpline.h"
#include "framework/curves/QKSingleSplineView.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/ThemeDict.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMarkerRadius = 4.0;
constexpr double kHandleRadius = 6.0;

QPolygonF diamond(QPointF centre, double radius) {
  return QPolygonF(
      {QPointF(centre.x() - radius, centre.y()), QPointF(centre.x(), centre.y() + radius),
       QPointF(centre.x() + radius, centre.y()), QPointF(centre.x(), centre.y() - radius)});
}

void drawDiamond(QPainter& painter, QPointF centre, double radius, const QColor& fill,
                 const QColor& outline) {
  const QPolygonF corners = diamond(centre, radius);
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawPolygon(corners);
  if (outline.isValid()) {
    painter.setPen(QPen(outline, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(corners);
  }
}

QColor timeColor() {
  const QVariantMap sequencer =
      ThemeDict::map(ThemeDict::pluginColors(), QStringLiteral("StepSequencer"));
  return ThemeDict::color(sequencer, QStringLiteral("timeColor"),
                          QColor::fromRgbF(0.4009f, 0.9769f, 0.1447f));
}

QColor levelColor() {
  const QVariantMap simple =
      ThemeDict::map(ThemeDict::levelViewColors(), QStringLiteral("simpleLevelView"));
  return ThemeDict::color(simple, QStringLiteral("levelColor"), QColor(Qt::green));
}

double wrapped(double x, double w) { return w > 0 ? x - w * std::floor(x / w) : x; }

}  // namespace

QKSingleSplineOpenGLView::QKSingleSplineOpenGLView(QWidget* parent)
    : QWidget(parent),
      spline_(std::make_shared<QKSingleSpline>()),
      mouse_(this, spline_),
      repaint_(this) {
  spline_->setUseGLMode(true);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  observers_.observe(QKSingleSplineView::kRedrawNotification, nullptr,
                     [this](const Notification&) { update(); });
}

QKSingleSplineOpenGLView::~QKSingleSplineOpenGLView() = default;

float QKSingleSplineOpenGLView::evaluateAt(float phase) {
  setTimeVal(phase);
  const float value = spline_->evaluateAt(phase);
  lastValue_.store(value, std::memory_order_relaxed);
  return value;
}

QRectF QKSingleSplineOpenGLView::curveArea() const {
  return QRectF(0, 0, std::max(0.0, width() - kLevelViewWidth), height());
}

int QKSingleSplineOpenGLView::sampleCountFor(double width) {
  const double count = std::ceil(width / 3.0);
  if (!(count > kMinCurvePoints - 1)) return kMinCurvePoints;
  if (count > kMaxCurvePoints) return kMaxCurvePoints;
  return static_cast<int>(count);
}

void QKSingleSplineOpenGLView::prepareCurvePoints() {
  curvePointsCount_ = sampleCountFor(curveArea().width());
  for (int i = 0; i < curvePointsCount_; ++i)
    curvePoints_[i] = spline_->evaluateAt(static_cast<float>(i) / (curvePointsCount_ - 1));
}

void QKSingleSplineOpenGLView::prepareTrackingRects() {
  if (!deleted_) spline_->prepareTrackingRects();
}

void QKSingleSplineOpenGLView::clearTrackingRects() {
  spline_->setBounds(curveArea());
  didResize_ = true;
  spline_->clearTrackingRects();
}

void QKSingleSplineOpenGLView::resetCursorRects() {
  clearTrackingRects();
  prepareTrackingRects();
  update();
}

QVariantMap QKSingleSplineOpenGLView::createSnapshot() const { return spline_->createSnapshot(); }

bool QKSingleSplineOpenGLView::loadSnapshot(const QVariantMap& snapshot) {
  const bool loaded = spline_->loadSnapshot(snapshot);
  resetCursorRects();
  didResize_ = true;
  update();
  return loaded;
}

void QKSingleSplineOpenGLView::prepareToBeDeleted() {
  deleted_ = true;
  spline_->prepareToBeDeleted();
  spline_->clearTrackingRects();
}

std::vector<QLineF> QKSingleSplineOpenGLView::gridLines(double w, double h, float divisions) {
  std::vector<QLineF> lines;
  const int d = static_cast<int>(divisions);
  if (d <= 1) return lines;
  for (int i = 0; i <= d; ++i) lines.emplace_back(i * w / d, 0, i * w / d, h);
  for (int i = 0; i <= d; ++i) lines.emplace_back(0, i * h / d, w, i * h / d);
  return lines;
}

std::vector<QLineF> QKSingleSplineOpenGLView::wrappedLine(QPointF start, QPointF end, double w) {
  if (start.x() <= end.x()) return {QLineF(start, end)};
  return {QLineF(start, QPointF(end.x() + w, end.y())),
          QLineF(QPointF(start.x() - w, start.y()), end)};
}

QKSingleSplineOpenGLView::SegmentMarks QKSingleSplineOpenGLView::segmentMarks() const {
  const QRectF area = curveArea();
  const double w = area.width();
  const double h = area.height();
  const double hOffset = spline_->hOffset();
  const double shift = (hOffset - std::floor(hOffset)) * w;
  const double amplitude = spline_->amplitude();
  const double vOffset = spline_->vOffset();
  auto y = [&](float raw) { return h - (raw * amplitude + vOffset) * h; };
  SegmentMarks marks;
  for (const QKQuadraticSpline& segment : spline_->splineArray()) {
    QPointF a(segment.start().x * w + shift, y(segment.start().y));
    QPointF b(segment.end().x * w + shift, y(segment.end().y));
    QPointF c(a.x() + std::fabs(b.x() - a.x()) * segment.control().x, y(segment.control().y));
    a.setX(wrapped(a.x(), w));
    b.setX(wrapped(b.x(), w));
    c.setX(wrapped(c.x(), w));
    if (segment.useControlPoint()) {
      for (const QLineF& line : wrappedLine(a, c, w)) marks.handleLines.push_back(line);
      for (const QLineF& line : wrappedLine(c, b, w)) marks.handleLines.push_back(line);
      marks.controlPoints.push_back(c);
    }
    marks.endPoints.push_back(a);
    marks.endPoints.push_back(b);
  }
  return marks;
}

void QKSingleSplineOpenGLView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawMonitor(painter);
}

bool QKSingleSplineOpenGLView::drawMonitor(QPainter& painter) {
  if (const QKWindowContentView* content = QKWindowContentView::enclosing(this))
    if (content->collapsed()) return false;
  const QRectF area = curveArea();
  painter.fillRect(rect(), CurveColors::background(this));
  if (spline_->bounds() != area) {
    spline_->setBounds(area);
    spline_->prepareCurvePath();
  }
  // Before any resampling asked for, the first draw samples.
  if (didResize_ || curvePointsCount_ == 0) prepareCurvePoints();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(CurveColors::division(), 1));
  for (const QLineF& line : gridLines(area.width(), area.height(), spline_->snapDivisions()))
    painter.drawLine(line);
  painter.setRenderHint(QPainter::Antialiasing, true);
  drawCurve(painter, area);

  const double w = area.width();
  const double h = area.height();
  const double time = timeVal();
  const double value = lastValue();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(timeColor(), 1));
  painter.drawLine(QPointF(time * w, 0), QPointF(time * w, h));
  painter.setRenderHint(QPainter::Antialiasing, true);
  drawDiamond(painter, QPointF(time * w, h - value * h), kMarkerRadius, timeColor(), {});
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(QRectF(QPointF(w + 3, h - value * h), QPointF(width(), h)), levelColor());
  didResize_ = false;
  return true;
}

void QKSingleSplineOpenGLView::drawCurve(QPainter& painter, const QRectF& area) const {
  const double w = area.width();
  const double h = area.height();
  const int count = curvePointsCount_;
  QPolygonF line;
  for (int i = 0; i < count; ++i)
    line << QPointF(double(i) / (count - 1) * w, h - curvePoints_[i] * h);
  QPolygonF fill = line;
  fill.prepend(QPointF(0, h));
  fill.append(QPointF(w, h));
  painter.setPen(Qt::NoPen);
  painter.setBrush(CurveColors::curve());
  painter.drawPolygon(fill);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(CurveColors::line(), 2.0));
  painter.drawPolyline(line);

  const SegmentMarks marks = segmentMarks();
  painter.setPen(QPen(CurveColors::handle(), 1));
  for (const QLineF& handleLine : marks.handleLines) painter.drawLine(handleLine);
  for (QPointF c : marks.controlPoints)
    drawDiamond(painter, c, kHandleRadius, CurveColors::handle(), CurveColors::line());
  for (QPointF p : marks.endPoints)
    drawDiamond(painter, p, kHandleRadius, CurveColors::handle(), CurveColors::line());

  painter.setPen(QPen(CurveColors::line(), 1));
  const double hOffset = spline_->hOffset();
  const double start = (hOffset - std::floor(hOffset)) * w;
  painter.drawLine(QPointF(start, 0), QPointF(start, h));
  const double v = spline_->vOffset();
  if (v >= 0 && v <= 1) painter.drawLine(QPointF(0, (1 - v) * h), QPointF(w, (1 - v) * h));
}

void QKSingleSplineOpenGLView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (mouse_.press(event)) update();
}

void QKSingleSplineOpenGLView::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) {
    mouse_.drag(event);
    didResize_ = true;
    update();
  } else {
    mouse_.move(event);
  }
}

void QKSingleSplineOpenGLView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  mouse_.release(event);
  didResize_ = true;
  update();
}

void QKSingleSplineOpenGLView::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  mouse_.leave();
}

void QKSingleSplineOpenGLView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  resetCursorRects();
}
