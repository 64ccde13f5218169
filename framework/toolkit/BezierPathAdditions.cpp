#include "framework/toolkit/BezierPathAdditions.h"

#include <QPainter>

#include <cmath>
#include <numbers>

namespace BezierPathAdditions {

namespace {

QPointF unit(QPointF v) {
  const double length = std::hypot(v.x(), v.y());
  return length > 0 ? v / length : QPointF();
}

double cross(QPointF a, QPointF b) { return a.x() * b.y() - a.y() * b.x(); }

// One cubic for an arc of at most 90° around `centre`, ending exactly on `to`.
void appendShortArc(QPainterPath& path, QPointF centre, QPointF from, QPointF to) {
  const QPointF a = from - centre;
  const QPointF b = to - centre;
  const double angle = std::atan2(std::abs(cross(a, b)), a.x() * b.x() + a.y() * b.y());
  const double k = 4.0 / 3.0 * std::tan(angle / 4.0);
  const double turn = cross(a, b) >= 0 ? 1.0 : -1.0;
  const QPointF alongFrom = QPointF(-a.y(), a.x()) * turn;
  const QPointF alongTo = QPointF(-b.y(), b.x()) * turn;
  path.cubicTo(from + alongFrom * k, to - alongTo * k, to);
}

void fillWithBand(QPainter& painter, const QRectF& rect, double whole, double band) {
  painter.fillRect(rect, QColor::fromRgbF(whole, whole, whole));
  painter.fillRect(QRectF(rect.x(), rect.y(), rect.width(), rect.height() * 0.4),
                   QColor::fromRgbF(band, band, band));
}

}  // namespace

void appendArcFromPointToPoint(QPainterPath& path, QPointF p1, QPointF p2, qreal radius) {
  const QPointF p0 = path.elementCount() > 0 ? path.currentPosition() : p1;
  const QPointF toP0 = unit(p0 - p1);
  const QPointF toP2 = unit(p2 - p1);
  const double cosine = toP0.x() * toP2.x() + toP0.y() * toP2.y();
  if (path.elementCount() == 0 || radius <= 0 || std::abs(cross(toP0, toP2)) < 1e-9) {
    if (path.elementCount() == 0)
      path.moveTo(p1);
    else
      path.lineTo(p1);
    return;
  }
  // Half the angle between the two lines at P1.
  const double half = std::acos(std::clamp(cosine, -1.0, 1.0)) / 2.0;
  const double tangentDistance = radius / std::tan(half);
  const QPointF t1 = p1 + toP0 * tangentDistance;
  const QPointF t2 = p1 + toP2 * tangentDistance;
  const QPointF centre = p1 + unit(toP0 + toP2) * (radius / std::sin(half));
  path.lineTo(t1);
  // The arc turns by 180° less the angle at P1; past 90° it is cut in two at
  // its middle, which lies towards P1.
  if (half < std::numbers::pi / 4) {
    const QPointF middle = centre + unit(p1 - centre) * radius;
    appendShortArc(path, centre, t1, middle);
    appendShortArc(path, centre, middle, t2);
  } else {
    appendShortArc(path, centre, t1, t2);
  }
}

QPainterPath roundRectPath(const QRectF& r, qreal radius) {
  const double midX = r.x() + r.width() / 2;
  QPainterPath path;
  path.moveTo(midX, r.y());
  appendArcFromPointToPoint(path, {r.right(), r.y()}, {r.right(), r.bottom()}, radius);
  appendArcFromPointToPoint(path, {r.right(), r.bottom()}, {midX, r.bottom()}, radius);
  appendArcFromPointToPoint(path, {r.x(), r.bottom()}, {r.x(), r.y()}, radius);
  appendArcFromPointToPoint(path, {r.x(), r.y()}, {midX, r.y()}, radius);
  return path;
}

QPainterPath halfRoundRectPath(const QRectF& r, qreal radius) {
  const double midX = r.x() + r.width() / 2;
  QPainterPath path;
  path.moveTo(r.right(), r.y());
  appendArcFromPointToPoint(path, {r.right(), r.y()}, {r.right(), r.bottom()}, radius);
  appendArcFromPointToPoint(path, {r.right(), r.bottom()}, {midX, r.bottom()}, radius);
  appendArcFromPointToPoint(path, {r.x(), r.bottom()}, {r.x(), r.y()}, radius);
  path.lineTo(r.x(), r.y());
  path.lineTo(r.right(), r.y());
  return path;
}

QPainterPath popUpArrowBoxPath(const QRectF& r, qreal radius) {
  const double h = r.height();
  const double midX = r.x() + r.width() / 2;
  QPainterPath path;
  path.moveTo(r.right() - h, r.y());
  appendArcFromPointToPoint(path, {r.right(), r.y()}, {r.right(), r.bottom()}, radius);
  appendArcFromPointToPoint(path, {r.right(), r.bottom()}, {midX, r.bottom()}, radius);
  path.lineTo(r.right() - h, r.bottom());
  return path;
}

QPainterPath popUpArrowPath(const QRectF& r) {
  const double h = r.height();
  QPainterPath path;
  path.moveTo(r.right() - h / 2, r.bottom() - h / 4);
  path.lineTo(r.right() - h / 4, r.y() + h / 4);
  path.lineTo(r.right() - 3 * h / 4, r.y() + h / 4);
  path.closeSubpath();
  return path;
}

void drawDarkGradientInRect(QPainter& painter, const QRectF& rect) {
  fillWithBand(painter, rect, 0.4, 0.46);
}

void drawLightGradientInRect(QPainter& painter, const QRectF& rect) {
  fillWithBand(painter, rect, 0.91, 0.97);
}

}  // namespace BezierPathAdditions
