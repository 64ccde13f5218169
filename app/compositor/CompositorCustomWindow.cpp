#include "app/compositor/CompositorCustomWindow.h"

#include <QMouseEvent>

namespace {
constexpr Qt::WindowFlags kWindowed = Qt::Window | Qt::WindowDoesNotAcceptFocus;
constexpr Qt::WindowFlags kFullscreen =
    kWindowed | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
}  // namespace

CompositorCustomWindow::CompositorCustomWindow() { setFlags(kWindowed); }

void CompositorCustomWindow::setFullscreenStyle(bool fullscreen) {
  if (fullscreen == fullscreenStyle_) return;
  fullscreenStyle_ = fullscreen;
  const bool shown = isVisible();
  setFlags(fullscreen ? kFullscreen : kWindowed);
  if (shown) show();  // new flags hide a shown window
}

void CompositorCustomWindow::mousePressEvent(QMouseEvent* event) {
  if (handlers_.mouseDown) handlers_.mouseDown(event);
}

void CompositorCustomWindow::mouseMoveEvent(QMouseEvent* event) {
  if (handlers_.mouseDragged && (event->buttons() & Qt::LeftButton)) handlers_.mouseDragged(event);
}

void CompositorCustomWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (handlers_.mouseUp) handlers_.mouseUp(event);
}

void CompositorCustomWindow::resizeEvent(QResizeEvent* event) {
  gl::PresentingWindow::resizeEvent(event);
  if (handlers_.resized) handlers_.resized();
}
