#include "app/plugins/auxdisplay/AuxDisplayView.h"

#include "framework/toolkit/ModifierKeys.h"
#include "framework/toolkit/PaletteGeometry.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"

#include <QMouseEvent>

namespace {

QPointF screenPoint(const QMouseEvent* event) {
  return PaletteGeometry::pointFromQt(event->globalPosition(),
                                      QKWindow::mainScreenFrame().height());
}

}  // namespace

AuxDisplayView::AuxDisplayView() = default;

bool AuxDisplayView::flushOutput(const Content& content) {
  std::lock_guard<std::recursive_mutex> lock(drawingLock_);
  gl::GLContext* context = beginFrame();
  if (!context) return false;
  content(*context, pixelSize());
  endFrame();
  return true;
}

bool AuxDisplayView::inCorner(const QPointF& point) const {
  return point.y() >= height() - kCornerSize && point.x() >= width() - kCornerSize;
}

void AuxDisplayView::press(QMouseEvent* event, int clickCount) {
  if (event->button() != Qt::LeftButton) return;
  passOnTheClick_ = contentView_ && inCorner(event->position());
  if (passOnTheClick_) {
    const QPointF local = contentView_->mapFromGlobal(event->globalPosition());
    contentView_->mouseDown(QPointF(local.x(), contentView_->height() - local.y()),
                            screenPoint(event), ModifierKeys::fromEvent(event), clickCount);
  } else if (clickCount == 2 && doubleClicked_) {
    doubleClicked_();
  }
  event->accept();
}

void AuxDisplayView::mousePressEvent(QMouseEvent* event) { press(event, 1); }

void AuxDisplayView::mouseDoubleClickEvent(QMouseEvent* event) { press(event, 2); }

void AuxDisplayView::mouseMoveEvent(QMouseEvent* event) {
  if (passOnTheClick_ && contentView_) contentView_->mouseDragged(screenPoint(event));
  event->accept();
}

void AuxDisplayView::mouseReleaseEvent(QMouseEvent* event) {
  if (passOnTheClick_ && contentView_) contentView_->mouseUp();
  passOnTheClick_ = false;
  event->accept();
}
