#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

// The preview's arithmetic, pure.
namespace PreviewGeometry {

// Where a source of `source` size lies in a view of `view` size (y down
// from the top): centred with its aspect kept, or over the whole view.
// An empty source fills the view.
QRectF fitRect(QSizeF source, QSizeF view, bool preserveAspect);

// The window frame (y up, bottom-left origin) that makes the view `ratio`
// wide for each unit high, the window's top edge kept; nothing for a ratio
// that is not a finite number above 0.
std::optional<QRectF> frameForAspect(const QRectF& window, QSizeF view, double ratio);

// The view lies inside the window less these insets (points).
inline constexpr double kViewWidthInset = 6.0;
inline constexpr double kViewHeightInset = 37.0;

// A resize step's frame (y up) reshaped so that the view inside it is
// `ratio` wide for each unit high, the top edge kept; unchanged for a ratio
// that is not a finite number above 0.
QRectF keepViewAspect(const QRectF& frame, double ratio);

// The 3 × 3 block to sample around `point` (GL pixels, y up), kept inside a
// drawable of `pixels`: its lower-left pixel.
QPoint sampleOrigin(QPointF point, QSize pixels);

}  // namespace PreviewGeometry
