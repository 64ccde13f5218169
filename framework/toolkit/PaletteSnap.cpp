#include "framework/toolkit/PaletteSnap.h"

#include <QPointF>

#include <algorithm>
#include <cstdlib>

namespace {

double left(const QRectF& r) { return r.x(); }
double right(const QRectF& r) { return r.x() + r.width(); }
double bottom(const QRectF& r) { return r.y(); }
double top(const QRectF& r) { return r.y() + r.height(); }

// The whole points of a difference, and whether they lie within the snap
// distance.
struct Gap {
  int d;
  bool near;
};
Gap gap(double a, double b) {
  const int d = static_cast<int>(a - b);
  return {d, std::abs(d) < PaletteSnap::kSnapDistance};
}

// Ranges in whole, non-negative points, as the extents are compared.
bool extentsOverlap(double pos1, double len1, double pos2, double len2) {
  const auto whole = [](double v) { return std::max<long long>(0, static_cast<long long>(v)); };
  const long long a = whole(pos1), b = whole(pos2);
  const long long aEnd = a + whole(len1), bEnd = b + whole(len2);
  return std::max(a, b) < std::min(aEnd, bEnd);
}

// Phase 1: O's sides pulled to overlap S's by kOverlap. Answers whether any
// side snapped.
bool sideSnap(const QRectF& o, const QRectF& s, QPointF& adj) {
  const bool vertical = extentsOverlap(o.y(), o.height(), s.y(), s.height());
  const bool horizontal = extentsOverlap(o.x(), o.width(), s.x(), s.width());
  bool snapped = false;
  if (const Gap g = gap(right(o), left(s)); g.near && vertical) {
    adj.rx() += -g.d + PaletteSnap::kOverlap;
    snapped = true;
  }
  if (const Gap g = gap(left(o), right(s)); g.near && vertical) {
    adj.rx() += -g.d - PaletteSnap::kOverlap;
    snapped = true;
  }
  if (const Gap g = gap(top(o), bottom(s)); g.near && horizontal) {
    adj.ry() += -g.d + PaletteSnap::kOverlap;
    snapped = true;
  }
  if (const Gap g = gap(bottom(o), top(s)); g.near && horizontal) {
    adj.ry() += -g.d - PaletteSnap::kOverlap;
    snapped = true;
  }
  return snapped;
}

// Phase 2: O's edges aligned with S's. Answers whether any edge matched.
bool edgeAlign(const QRectF& o, const QRectF& s, bool resize, QPointF& adj) {
  bool matched = false;
  const Gap l = gap(left(o), left(s));
  if (l.near) adj.rx() += l.d;
  if (const Gap r = gap(right(o), right(s)); r.near && (!l.near || resize)) {
    adj.rx() += r.d;
    matched = true;
  }
  const Gap b = gap(bottom(o), bottom(s));
  if (b.near) adj.ry() += b.d;
  if (const Gap t = gap(top(o), top(s)); t.near && (!b.near || resize)) {
    adj.ry() += t.d;
    matched = true;
  }
  return matched || l.near || b.near;
}

}  // namespace

QRectF PaletteSnap::snap(const QRectF& oFrame, const QRectF& s, Drag drag, bool sAffected) {
  const bool resize = drag == Drag::Resize;
  QRectF o = oFrame;
  QPointF adj;
  bool snapped = false;
  if (!sAffected) {
    snapped = sideSnap(o, s, adj);
    if (resize) {
      o.setRect(o.x(), o.y() + adj.y(), o.width() + adj.x(), o.height() - adj.y());
    } else {
      o.translate(adj);
    }
    adj = {};
  }
  if (!snapped && !(sAffected && resize)) return oFrame;
  if (edgeAlign(o, s, resize, adj)) {
    if (resize) {
      o.setRect(o.x(), o.y() - adj.y(), o.width() - adj.x(), o.height() + adj.y());
    } else {
      o.translate(-adj);
    }
  }
  return o;
}

bool PaletteSnap::joinsGroup(const QRectF& object, const QRectF& own, bool optClick,
                             bool cmdClick) {
  const QRectF i = object.intersected(own);
  if (i.isEmpty()) return false;
  if (optClick)
    return (i.height() == kOverlap && i.width() > kOverlap) ||
           (i.width() == kOverlap && i.height() > kOverlap);
  if (cmdClick) return i.height() == kOverlap && i.width() > kOverlap && i.y() == object.y();
  return false;
}
