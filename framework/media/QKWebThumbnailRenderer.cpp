#include "framework/media/QKWebThumbnailRenderer.h"

#include "framework/media/QKWebView.h"
#include "platform/web/WebArchive.h"
#include "platform/web/WebPage.h"

#include <QWidget>

namespace {
// A server that refused the page for want of a password (with or without
// asking for one).
bool refusedForAuthentication(int httpStatus) { return httpStatus == 401 || httpStatus == 407; }
}  // namespace

QKWebThumbnailRenderer::QKWebThumbnailRenderer() = default;

QKWebThumbnailRenderer::~QKWebThumbnailRenderer() {
  listener_ = nullptr;
  close();
}

void QKWebThumbnailRenderer::prepare() {
  if (!window_) {
    window_ = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
    window_->setAttribute(Qt::WA_DontShowOnScreen);
    window_->setGeometry(0, 0, kViewWidth, kViewHeight);
  }
  if (!view_) {
    view_ = new QKWebView(window_.get());
    view_->setGeometry(0, 0, kViewWidth, kViewHeight);
    QObject::connect(view_, &QWebEngineView::loadStarted, view_, [this] {
      if (listener_) listener_->pageLoadStarted();
    });
    QObject::connect(view_, &QWebEngineView::loadProgress, view_, [this](int) {
      if (listener_) listener_->pageProgressed();
    });
    QObject::connect(view_, &WebView::loadEnded, view_,
                     [this](const WebLoadOutcome& outcome) { loadEnded(outcome); });
    QObject::connect(view_, &WebView::authenticationRequested, view_, [this](const QUrl& url) {
      if (listener_) listener_->pageNeedsAuthentication(url);
    });
  }
  // Drawn, but never on screen.
  window_->show();
}

void QKWebThumbnailRenderer::loadEnded(const WebLoadOutcome& outcome) {
  if (!listener_) return;
  switch (outcome.kind) {
    case WebLoadOutcome::Kind::Stopped:
      return;
    case WebLoadOutcome::Kind::Succeeded:
      listener_->pageFinished();
      return;
    case WebLoadOutcome::Kind::Failed:
      if (refusedForAuthentication(outcome.httpStatus))
        listener_->pageNeedsAuthentication(outcome.url);
      else if (outcome.httpStatus != 0)
        listener_->pageFinished();  // the server's own error page is the page
      else
        listener_->pageFailed(outcome.error.isEmpty() ? QStringLiteral("the page failed to load")
                                                      : outcome.error);
      return;
  }
}

void QKWebThumbnailRenderer::close() {
  if (!view_) return;
  QKWebView* view = view_;
  view_ = nullptr;
  QObject::disconnect(view, nullptr, nullptr, nullptr);
  view->prepareToBeDeleted();
  delete view;
}

bool QKWebThumbnailRenderer::load(const QUrl& url) { return view_ && view_->loadAddress(url); }

bool QKWebThumbnailRenderer::loadArchive(const WebArchive& archive) {
  return view_ && view_->loadArchive(archive);
}

void QKWebThumbnailRenderer::stop() {
  if (view_) view_->stopLoading();
}

bool QKWebThumbnailRenderer::isLoading() const { return view_ && view_->isLoading(); }

QImage QKWebThumbnailRenderer::render() {
  if (!view_) return {};
  const QKWebView::Picture picture = view_->render();
  return picture ? *picture : QImage();
}

QImage QKWebThumbnailRenderer::icon() const {
  if (!view_) return {};
  const QIcon icon = view_->pageIcon();
  if (icon.isNull()) return {};
  const QList<QSize> sizes = icon.availableSizes();
  return icon.pixmap(sizes.isEmpty() ? QSize(32, 32) : sizes.last()).toImage();
}

QColor QKWebThumbnailRenderer::backgroundColor() const {
  return view_ ? view_->page()->backgroundColor() : QColor(Qt::white);
}
