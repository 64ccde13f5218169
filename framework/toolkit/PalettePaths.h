#pragma once

#include <QPainterPath>
#include <QRectF>
#include <QSizeF>

// The outline of a palette in its own bottom-left view coordinates (y grows
// upwards; the expanded palette spans {0, 0, W, H} and its collapsed bar
// {0, H − 19, W, 19}): the frame, the title strip, the disclosure triangle
// and the resize handle.
struct PalettePaths {
  static constexpr double kFrameLineWidth = 6.0;

  QRectF outline;  // the frame path's rectangle
  QPainterPath framePath;
  QPainterPath titlePath;
  QRectF titleRect;
  QRectF collapseToggleRect;
  QRectF resizeHandleRect;
  QPainterPath collapsedPath;  // triangle pointing right
  QPainterPath expandedPath;   // triangle pointing down
  QPainterPath resizePath;

  // `expandedSize` is the palette's expanded size, `width` the width of its
  // current frame.
  static PalettePaths build(const QSizeF& expandedSize, double width, bool collapsed);
};
