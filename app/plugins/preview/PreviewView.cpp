#include "app/plugins/preview/PreviewView.h"

#include "platform/gl/GLContext.h"

#include <QMouseEvent>

PreviewView::PreviewView() = default;

bool PreviewView::flushOutput(const Content& content) {
  std::lock_guard<std::recursive_mutex> lock(drawingLock_);
  gl::GLContext* context = beginFrame();
  if (!context) return false;
  content(*context, pixelSize());
  endFrame();
  return true;
}

bool PreviewView::clear() {
  return flushOutput([](gl::GLContext& context, QSize) {
    gl::GLFunctions& f = context.functions();
    f.glClearColor(0, 0, 0, 0);
    f.glClear(GL_COLOR_BUFFER_BIT);
  });
}

void PreviewView::mousePressEvent(QMouseEvent* event) {
  // Right clicks do nothing here.
  if (event->button() != Qt::LeftButton) return;
  tracking_ = true;
  if (mouse_.down)
    mouse_.down(event->position(), QSizeF(size()),
                event->modifiers().testFlag(Qt::ControlModifier));
  event->accept();
}

void PreviewView::mouseMoveEvent(QMouseEvent* event) {
  if (tracking_ && mouse_.dragged) mouse_.dragged(event->position(), QSizeF(size()));
  event->accept();
}

void PreviewView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !tracking_) return;
  tracking_ = false;
  if (mouse_.up) mouse_.up();
  event->accept();
}
