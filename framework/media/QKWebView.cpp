#include "framework/media/QKWebView.h"

#include "platform/foundation/MainThread.h"

#include <QPointer>

QKWebView::QKWebView(QWidget* parent) : WebView(parent) {}

QKWebView::~QKWebView() { deleted_.store(true, std::memory_order_release); }

QKWebView::Picture QKWebView::render() {
  if (!deleted()) {
    if (MainThread::isMainThread()) {
      grabNow();
    } else {
      MainThread::coalesce(this, [view = QPointer<QKWebView>(this)] {
        if (view && !view->deleted()) view->grabNow();
      });
    }
  }
  return bitmapImageRep();
}

void QKWebView::grabNow() {
  auto picture = std::make_shared<const QImage>(grabPicture());
  std::lock_guard<std::mutex> lock(pictureMutex_);
  picture_ = std::move(picture);
}

QKWebView::Picture QKWebView::bitmapImageRep() const {
  std::lock_guard<std::mutex> lock(pictureMutex_);
  return picture_;
}

QSizeF QKWebView::getPageSize() const {
  const QSizeF size = contentsSize();
  return size.isEmpty() ? kFallbackPageSize : size;
}

QRectF QKWebView::documentVisibleRect() const { return visibleRect(); }

void QKWebView::prepareToBeDeleted() {
  if (deleted()) return;
  deleted_.store(true, std::memory_order_release);
  stopLoading();
  hide();
  setParent(nullptr);
}
