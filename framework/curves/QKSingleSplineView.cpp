#include "framework/curves/QKSingleSplineView.h"

#include "framework/curves/CurveColors.h"
#include "framework/curves/QKSingleSpline.h"
#include "platform/foundation/NotificationCenter.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

const QString QKSingleSplineView::kRedrawNotification =
    QStringLiteral("QKRedrawBeziersNotification");
const QString QKSingleSplineView::kWaveformMenuNeedsUpdateNotification =
    QStringLiteral("QKWaveformMenuNeedsUpdateNotification");

QKSingleSplineView::QKSingleSplineView(QWidget* parent)
    : QKSingleSplineView(std::make_shared<QKSingleSpline>(), parent) {}

QKSingleSplineView::QKSingleSplineView(std::shared_ptr<QKSingleSpline> spline, QWidget* parent)
    : QWidget(parent), spline_(std::move(spline)), mouse_(this, spline_) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  observers_.observe(kRedrawNotification, nullptr, [this](const Notification&) { update(); });
}

QKSingleSplineView::~QKSingleSplineView() = default;

void QKSingleSplineView::awakeFromNib() {
  spline_->setBounds(QRectF(QPointF(0, 0), QSizeF(size())));
  update();
}

void QKSingleSplineView::prepareToBeDeleted() {
  deleted_ = true;
  spline_->prepareToBeDeleted();
  spline_->clearTrackingRects();
}

void QKSingleSplineView::prepareTrackingRects() {
  if (!deleted_ && window()) spline_->prepareTrackingRects();
}

void QKSingleSplineView::clearTrackingRects() {
  spline_->setBounds(QRectF(QPointF(0, 0), QSizeF(size())));
  spline_->clearTrackingRects();
}

void QKSingleSplineView::resetCursorRects() {
  clearTrackingRects();
  prepareTrackingRects();
  update();
}

float QKSingleSplineView::evaluateAt(float phase) const { return spline_->evaluateAt(phase); }

QVariantMap QKSingleSplineView::createSnapshot() const { return spline_->createSnapshot(); }

bool QKSingleSplineView::loadSnapshot(const QVariantMap& snapshot) {
  const bool loaded = spline_->loadSnapshot(snapshot);
  resetCursorRects();
  return loaded;
}

QString QKSingleSplineView::saveToDisk(const QString& name) {
  const QString error = spline_->saveWaveformToDiskWithName(name);
  NotificationCenter::defaultCenter().post(kWaveformMenuNeedsUpdateNotification);
  return error;
}

void QKSingleSplineView::loadFromDisk(const QString& title) {
  if (!title.isEmpty()) spline_->loadWaveformFromDisk(title);
  resetCursorRects();
}

void QKSingleSplineView::paintEvent(QPaintEvent*) {
  if (deleted_) return;
  QPainter painter(this);
  drawEditor(painter);
}

void QKSingleSplineView::drawEditor(QPainter& painter) {
  const QRectF area(QPointF(0, 0), QSizeF(size()));
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(area, CurveColors::background(this));
  // The curve's coordinates grow upwards.
  painter.save();
  painter.translate(0, area.height());
  painter.scale(1, -1);
  QKSingleSpline& curve = *spline_;
  if (!curve.hasGridPath() || curve.bounds() != area) curve.prepareGridPath();
  painter.setBrush(Qt::NoBrush);
  if (curve.hasGridPath()) {
    painter.setPen(QPen(CurveColors::division(), 1));
    painter.drawPath(curve.gridPath());
  }
  if (!curve.hasCurvePath()) curve.prepareCurvePath();
  if (curve.bounds() != area) curve.setBounds(area);
  painter.setRenderHint(QPainter::Antialiasing, true);
  if (curve.hasCurvePath()) {
    painter.setPen(QPen(CurveColors::handle(), 1));
    painter.drawPath(curve.controlPointsPath());
    painter.fillPath(curve.curvePath(), CurveColors::curve());
    painter.setPen(QPen(CurveColors::line(), 1));
    painter.drawPath(curve.curvePath());
    painter.drawPath(curve.curveHandlesPath());
  }
  painter.setPen(QPen(CurveColors::line(), 1));
  const double h = curve.hOffset();
  const double v = curve.vOffset();
  const double originX = (h - std::floor(h)) * area.width();
  painter.drawLine(QPointF(originX, 0), QPointF(originX, area.height()));
  if (v >= 0 && v <= 1) {
    const double offsetY = (v - std::floor(v)) * area.height();
    painter.drawLine(QPointF(0, offsetY), QPointF(area.width(), offsetY));
  }
  painter.restore();
}

void QKSingleSplineView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (mouse_.press(event)) update();
}

void QKSingleSplineView::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) {
    if (mouse_.drag(event)) update();
  } else {
    mouse_.move(event);
  }
}

void QKSingleSplineView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (mouse_.release(event)) update();
}

void QKSingleSplineView::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  mouse_.leave();
}

void QKSingleSplineView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  resetCursorRects();
}
