#include "platform/web/WebView.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/web/WebArchiveServer.h"
#include "platform/web/WebPage.h"

#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>

namespace {
const QStringList kShownSchemes = {QStringLiteral("http"), QStringLiteral("https"),
                                   QStringLiteral("file"), QStringLiteral("about"),
                                   QStringLiteral("data")};

WebLoadOutcome outcomeOf(const QWebEngineLoadingInfo& info) {
  WebLoadOutcome outcome;
  outcome.url = info.url();
  switch (info.status()) {
    case QWebEngineLoadingInfo::LoadSucceededStatus:
      outcome.kind = WebLoadOutcome::Kind::Succeeded;
      break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
      outcome.kind = WebLoadOutcome::Kind::Stopped;
      break;
    default:
      outcome.kind = WebLoadOutcome::Kind::Failed;
      outcome.error = info.errorString();
      break;
  }
  if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
    outcome.httpStatus = info.errorCode();
  return outcome;
}
}  // namespace

WebView::WebView(QWidget* parent)
    : QWebEngineView(parent), server_(std::make_unique<WebArchiveServer>()) {
  setAttribute(Qt::WA_DontShowOnScreen);
  profile_ = new QWebEngineProfile();  // no storage name: off the record
  profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  profile_->setSpellCheckEnabled(false);
  server_->installOn(profile_);
  connect(profile_, &QWebEngineProfile::downloadRequested, this,
          [](QWebEngineDownloadRequest* download) {
            Log::limited(QStringLiteral("web page download"),
                         QStringLiteral("\t\terr: web page: download of %1 refused")
                             .arg(download->url().toDisplayString()));
            download->cancel();
          });
  page_ = new WebPage(profile_, this);
  setPage(page_);
  connect(page_, &QWebEnginePage::loadStarted, this, [this] {
    loading_ = true;
    hasDocument_ = true;
  });
  connect(page_, &QWebEnginePage::loadingChanged, this, &WebView::loadingChanged);
  connect(page_, &WebPage::authenticationRefused, this, &WebView::authenticationRequested);
}

WebView::~WebView() {
  // The page must go before its profile, and the profile before the server
  // installed on it.
  delete page_;
  delete profile_;
}

QString WebView::refusalFor(const QUrl& url) {
  if (!url.isValid()) return QStringLiteral("not a valid address");
  if (url.isRelative()) return QStringLiteral("not an absolute address");
  if (!kShownSchemes.contains(url.scheme()))
    return QStringLiteral("a page cannot show %1 addresses").arg(url.scheme());
  return {};
}

bool WebView::loadAddress(const QUrl& url) {
  const QString refusal = refusalFor(url);
  if (!refusal.isEmpty()) {
    Log::line(
        QStringLiteral("\t\terr: web page \"%1\" not loaded: %2").arg(url.toString(), refusal));
    return false;
  }
  server_->setResources(nullptr);
  startLoad(url);
  return true;
}

bool WebView::loadArchive(const WebArchive& archive) {
  auto resources = std::make_shared<const WebArchiveResources>(archive);
  const QUrl entry = resources->entryUrl();
  server_->setResources(std::move(resources));
  startLoad(entry);
  return true;
}

void WebView::startLoad(const QUrl& url) {
  loading_ = true;
  hasDocument_ = true;
  page_->load(url);
}

void WebView::stopLoading() {
  if (loading_) page_->triggerAction(QWebEnginePage::Stop);
  loading_ = false;
}

void WebView::loadingChanged(const QWebEngineLoadingInfo& info) {
  if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) return;
  loading_ = false;
  Q_EMIT loadEnded(outcomeOf(info));
}

QImage WebView::grabPicture() {
  if (!MainThread::isMainThread()) {
    Log::limited(QStringLiteral("web grab off main"),
                 QStringLiteral("\t\terr: a web view was grabbed off the main thread"));
    return {};
  }
  // Drawn straight into the picture's format (grab() would draw into a
  // pixmap and copy it out). Once a page is shown, its own widget covers
  // the view; before, nothing does.
  const qreal scale = devicePixelRatio();
  QImage picture(size() * scale, QImage::Format_ARGB32_Premultiplied);
  picture.setDevicePixelRatio(scale);
  if (!hasDocument_) picture.fill(page_->backgroundColor());
  QWidget::render(&picture, QPoint(), QRegion(), DrawWindowBackground | DrawChildren);
  return picture;
}

QSizeF WebView::contentsSize() const { return hasDocument_ ? page_->contentsSize() : QSizeF(); }

QRectF WebView::visibleRect() const {
  if (!hasDocument_) return {};
  const qreal zoom = page_->zoomFactor() > 0 ? page_->zoomFactor() : 1.0;
  return QRectF(page_->scrollPosition(), QSizeF(size()) / zoom);
}

QIcon WebView::pageIcon() const { return page_->icon(); }
