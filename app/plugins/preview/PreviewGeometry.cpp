#include "app/plugins/preview/PreviewGeometry.h"

#include <algorithm>
#include <cmath>

namespace PreviewGeometry {

QRectF fitRect(QSizeF source, QSizeF view, bool preserveAspect) {
  const QRectF whole(QPointF(0, 0), view);
  if (!preserveAspect || source.width() <= 0 || source.height() <= 0 || view.height() <= 0)
    return whole;
  const double sourceRatio = source.width() / source.height();
  if (sourceRatio < view.width() / view.height()) {
    const double width = sourceRatio * view.height();
    return QRectF((view.width() - width) / 2.0, 0.0, width, view.height());
  }
  const double height = view.width() / sourceRatio;
  return QRectF(0.0, (view.height() - height) / 2.0, view.width(), height);
}

std::optional<QRectF> frameForAspect(const QRectF& window, QSizeF view, double ratio) {
  if (!std::isfinite(ratio) || ratio <= 0.0) return std::nullopt;
  const double d = view.width() / ratio - view.height();
  return QRectF(window.x(), window.y() - d, window.width(), window.height() + d);
}

QRectF keepViewAspect(const QRectF& frame, double ratio) {
  if (!std::isfinite(ratio) || ratio <= 0.0) return frame;
  const double d = (frame.width() - kViewWidthInset) / ratio - (frame.height() - kViewHeightInset);
  return QRectF(frame.x(), frame.y() - d, frame.width(), frame.height() + d);
}

QPoint sampleOrigin(QPointF point, QSize pixels) {
  const int x = std::clamp(int(std::floor(point.x())) - 1, 0, std::max(0, pixels.width() - 3));
  const int y = std::clamp(int(std::floor(point.y())) - 1, 0, std::max(0, pixels.height() - 3));
  return QPoint(x, y);
}

}  // namespace PreviewGeometry
