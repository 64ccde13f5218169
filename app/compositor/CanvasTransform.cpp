#include "app/compositor/CanvasTransform.h"

namespace {

// The scaled canvas size for fit (cover == false) or fill (cover == true).
QSizeF uniformSize(QSizeF display, QSizeF canvas, bool cover) {
  const double displayAspect = display.width() / display.height();
  const double canvasAspect = canvas.width() / canvas.height();
  const bool matchHeight = cover ? displayAspect < canvasAspect : displayAspect >= canvasAspect;
  if (matchHeight) return QSizeF(display.height() * canvasAspect, display.height());
  return QSizeF(display.width(), display.width() / canvasAspect);
}

QSizeF scaledSize(QSizeF display, QSizeF canvas, long mode) {
  switch (mode) {
    case CanvasTransform::Fit:
      return uniformSize(display, canvas, false);
    case CanvasTransform::Fill:
      return uniformSize(display, canvas, true);
    case CanvasTransform::ActualSize:
      return canvas;
    default:
      return display;
  }
}

}  // namespace

QTransform CanvasTransform::canvasToWindow(QSizeF display, QSizeF canvas, long mode) {
  if (display.isEmpty() || canvas.isEmpty()) return QTransform();
  const QSizeF size = scaledSize(display, canvas, mode);
  const double tx = (display.width() - size.width()) / 2;
  const double ty = (display.height() - size.height()) / 2;
  return QTransform(size.width() / canvas.width(), 0, 0, size.height() / canvas.height(), tx, ty);
}
