#include "app/sources/WebGLPreview.h"

#include "app/sources/WebSource.h"
#include "app/sources/WebSourceRules.h"
#include "framework/media/QKWebView.h"
#include "platform/foundation/MainThread.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

WebGLPreview::WebGLPreview(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(false);
}

WebGLPreview::~WebGLPreview() {
  prepareToBeDeleted();
  MainThread::cancel(this);
}

void WebGLPreview::pictureChanged() {
  if (deleted() || repaintPending_.exchange(true)) return;
  MainThread::coalesce(this, [preview = QPointer<WebGLPreview>(this)] {
    if (!preview) return;
    preview->repaintPending_.store(false);
    if (!preview->deleted()) preview->update();
  });
}

void WebGLPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  QKWebView* view = source_ ? source_->renderView() : nullptr;
  if (deleted() || !view) return;
  if (QKWebView::Picture picture = view->bitmapImageRep(); picture && !picture->isNull()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), *picture);
    ++paints_;
  }
}

QWidget* WebGLPreview::pageTarget() const {
  QKWebView* view = source_ ? source_->renderView() : nullptr;
  if (!view) return nullptr;
  return view->focusProxy() ? view->focusProxy() : view;
}

QPointF WebGLPreview::pagePointFor(QPointF previewPoint) const {
  QKWebView* view = source_ ? source_->renderView() : nullptr;
  if (!view) return {};
  const QSizeF visible = QSizeF(view->size());
  const QPointF location =
      WebSourceRules::previewToPageWindow(previewPoint, QSizeF(size()), visible);
  return WebSourceRules::pageWindowToWidget(location, visible);
}

void WebGLPreview::forwardMouse(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);  // the keys that follow go to the page
  QWidget* target = pageTarget();
  if (!target) return;
  const QPointF local = pagePointFor(event->position());
  if (!target->rect().contains(local.toPoint())) return;
  QMouseEvent moved(event->type(), local, target->mapToGlobal(local), event->button(),
                    event->buttons(), event->modifiers());
  QCoreApplication::sendEvent(target, &moved);
}

void WebGLPreview::mousePressEvent(QMouseEvent* event) { forwardMouse(event); }
void WebGLPreview::mouseMoveEvent(QMouseEvent* event) { forwardMouse(event); }
void WebGLPreview::mouseReleaseEvent(QMouseEvent* event) { forwardMouse(event); }

void WebGLPreview::forwardKey(QKeyEvent* event) {
  QWidget* target = pageTarget();
  if (!target) return;
  QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(),
                 event->isAutoRepeat(), ushort(event->count()));
  QCoreApplication::sendEvent(target, &copy);
}

void WebGLPreview::keyPressEvent(QKeyEvent* event) { forwardKey(event); }
void WebGLPreview::keyReleaseEvent(QKeyEvent* event) { forwardKey(event); }
