#include "app/plugins/auxdisplay/AuxWindowGeometry.h"

#include "framework/toolkit/PaletteGeometry.h"

#include <algorithm>
#include <cmath>

QRectF AuxWindowGeometry::moved(const QRectF& clickFrame, QPointF delta) {
  return clickFrame.translated(std::trunc(delta.x()), std::trunc(delta.y()));
}

QRectF AuxWindowGeometry::resized(const QRectF& clickFrame, QPointF delta, double mainScreenWidth,
                                  const QSizeF& minSize) {
  const double dx = std::trunc(delta.x());
  double dy = std::trunc(delta.y());
  const double x = clickFrame.x();
  double y = clickFrame.y() + dy;
  double width = clickFrame.width() + dx;
  double height = clickFrame.height() - dy;
  if (x + width > mainScreenWidth) width = mainScreenWidth - x;
  if (y < 0) {
    y = 0;
    dy = std::trunc(-clickFrame.y());
    height = clickFrame.height() - dy;
  }
  width = std::max(width, minSize.width());
  if (height < minSize.height()) {
    dy = std::trunc(dy - (minSize.height() - height));
    y = clickFrame.y() + dy;
    height = clickFrame.height() - dy;
  }
  return {x, y, width, height};
}

bool AuxWindowGeometry::touches(const QRectF& object, const QRectF& own, bool optClick,
                                bool cmdClick) {
  const QRectF strip = object.intersected(own);
  if (strip.isEmpty()) return false;
  if (optClick)
    return (strip.height() == 3 && strip.width() > 3) || (strip.width() == 3 && strip.height() > 3);
  if (cmdClick) return strip.height() == 3 && strip.width() > 3 && strip.y() == object.y();
  return false;
}

bool AuxWindowGeometry::near(double a, double b) {
  const double d = std::trunc(a - b);
  return d > -kSnapDistance && d < kSnapDistance;
}

bool AuxWindowGeometry::spansOverlap(double origin1, double length1, double origin2,
                                     double length2) {
  const double o1 = std::floor(origin1);
  const double o2 = std::floor(origin2);
  const double l1 = std::trunc(length1);
  const double l2 = std::trunc(length2);
  if (l1 <= 0 || l2 <= 0) return false;
  return std::max(o1, o2) < std::min(o1 + l1, o2 + l2);
}

std::optional<QRectF> AuxWindowGeometry::snapped(const QRectF& frame, const QRectF& s, Drag drag,
                                                 bool sAffected) {
  QRectF r = frame;
  const auto right = [](const QRectF& f) { return f.x() + f.width(); };
  const auto top = [](const QRectF& f) { return f.y() + f.height(); };
  if (!sAffected) {
    const bool verticalOverlap = spansOverlap(r.y(), r.height(), s.y(), s.height());
    const bool horizontalOverlap = spansOverlap(r.x(), r.width(), s.x(), s.width());
    double xOff = 0;
    double yOff = 0;
    bool snappedX = false;
    bool snappedY = false;
    if (verticalOverlap && near(right(r), s.x())) {
      xOff = -(right(r) - s.x());
      snappedX = true;
    }
    if (verticalOverlap && near(r.x(), right(s))) {
      xOff -= r.x() - right(s);
      snappedX = true;
    }
    if (horizontalOverlap && near(top(r), s.y())) {
      yOff = -(top(r) - s.y());
      snappedY = true;
    }
    if (horizontalOverlap && near(r.y(), top(s))) {
      yOff -= r.y() - top(s);
      snappedY = true;
    }
    if (drag == Drag::Move) {
      r.translate(xOff, yOff);
    } else {
      r.setY(r.y() + yOff);  // moves the bottom edge, keeps the top
      r.setWidth(r.width() + xOff);
    }
    if (!snappedX && !snappedY) return std::nullopt;
  } else if (drag != Drag::Resize) {
    return std::nullopt;
  }

  const bool leftNear = near(r.x(), s.x());
  double xAl = leftNear ? r.x() - s.x() : 0;
  const bool rightNear = near(right(r), right(s));
  if (rightNear && (!leftNear || drag == Drag::Resize)) xAl += right(r) - right(s);
  const bool bottomNear = near(r.y(), s.y());
  double yAl = bottomNear ? r.y() - s.y() : 0;
  const bool topNear = near(top(r), top(s));
  if (topNear && (!bottomNear || drag == Drag::Resize)) yAl += top(r) - top(s);
  if (leftNear || rightNear || bottomNear || topNear) {
    if (drag == Drag::Move) {
      r.translate(-xAl, -yAl);
    } else {
      r.setY(r.y() - yAl);
      r.setWidth(r.width() - xAl);
    }
  }
  return r;
}

std::optional<QRectF> AuxWindowGeometry::fullscreenFrame(const QRectF& windowFrame,
                                                         const QList<QRect>& screens) {
  if (screens.isEmpty()) return std::nullopt;
  const double primaryHeight = screens.front().height();
  const QRectF window = PaletteGeometry::toQt(windowFrame, primaryHeight);
  std::optional<QRectF> only;
  int found = 0;
  for (int i = 1; i < screens.size(); ++i) {
    if (!QRectF(screens[i]).intersects(window)) continue;
    ++found;
    only = PaletteGeometry::fromQt(QRectF(screens[i]), primaryHeight);
  }
  if (found != 1) return std::nullopt;
  return only;
}
