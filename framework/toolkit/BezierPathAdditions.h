#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>

class QPainter;

// Shapes and fills shared by the themed controls. Coordinates are taken as
// given: "larger y" is whatever the caller's y grows towards (down in a Qt
// widget).
namespace BezierPathAdditions {

// PostScript's arct, which QPainterPath lacks: from the current point P0,
// the arc of `radius` tangent to the lines P0→P1 and P1→P2, joined to P0 by
// a straight line; the current point ends on P1→P2. With no current point,
// collinear points or a radius ≤ 0 it draws a line to P1.
void appendArcFromPointToPoint(QPainterPath& path, QPointF p1, QPointF p2, qreal radius);

// A rectangle with all four corners rounded (not closed; callers close it).
QPainterPath roundRectPath(const QRectF& rect, qreal radius);
// A rectangle with its two corners at the larger y rounded, the others square.
QPainterPath halfRoundRectPath(const QRectF& rect, qreal radius);
// The square of side h at the trailing end of a pop-up, its two outer corners
// rounded (not closed).
QPainterPath popUpArrowBoxPath(const QRectF& rect, qreal radius);
// The pop-up's arrow: a closed triangle, base h/2 wide, apex at the larger y.
QPainterPath popUpArrowPath(const QRectF& rect);

// Grey fills with a lighter band over the top 40 % of the rectangle (by the
// larger y of a bottom-left system: the band is at the smaller y in Qt's).
void drawDarkGradientInRect(QPainter& painter, const QRectF& rect);
void drawLightGradientInRect(QPainter& painter, const QRectF& rect);

}  // namespace BezierPathAdditions
