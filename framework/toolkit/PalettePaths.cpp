#include "framework/toolkit/PalettePaths.h"

#include "framework/toolkit/PaletteGeometry.h"

namespace {

// A closed triangle: from the box's origin move by `start`, then two lines.
QPainterPath triangle(const QRectF& box, QPointF start, QPointF line1, QPointF line2) {
  QPainterPath path;
  const QPointF a = box.topLeft() + start;  // QRectF's topLeft is our bottom-left
  const QPointF b = a + line1;
  path.moveTo(a);
  path.lineTo(b);
  path.lineTo(b + line2);
  path.closeSubpath();
  return path;
}

}  // namespace

PalettePaths PalettePaths::build(const QSizeF& expandedSize, double width, bool collapsed) {
  const double w = expandedSize.width();
  const double h = expandedSize.height();
  PalettePaths paths;
  paths.outline = collapsed
                      ? QRectF(0, h - PaletteGeometry::kBarHeight, w, PaletteGeometry::kBarHeight)
                      : QRectF(0, 0, w, h);
  paths.framePath.addRect(paths.outline);
  const double t = paths.outline.y() + paths.outline.height() - PaletteGeometry::kTitleHeight;
  paths.titleRect =
      QRectF(paths.outline.x(), t, paths.outline.width(), PaletteGeometry::kTitleHeight);
  paths.titlePath.addRect(paths.titleRect);
  paths.collapseToggleRect = QRectF(5, t + 1, 12, 12);
  paths.resizeHandleRect = QRectF(width - 16, 4, 12, 12);
  paths.collapsedPath =
      triangle(paths.collapseToggleRect, {2.006, 1.389}, {0, 9.222}, {7.988, -4.611});
  paths.expandedPath =
      triangle(paths.collapseToggleRect, {6.0, 2.006}, {-4.611, 7.987}, {9.222, 0});
  paths.resizePath =
      triangle(paths.resizeHandleRect, {0.915, 4.563}, {6.522, 6.522}, {2.387, -8.908});
  return paths;
}
