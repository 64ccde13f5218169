#pragma once

#include "platform/web/WebLoadOutcome.h"

#include <QIcon>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QUrl>
#include <QWebEngineView>

#include <memory>

class QWebEngineLoadingInfo;
class QWebEngineProfile;
class WebArchive;
class WebArchiveServer;
class WebPage;

// One web page in a view that is never shown on screen (WA_DontShowOnScreen,
// but shown, so that it draws), on a private off-the-record profile of its
// own: nothing it loads is written to the user's disk. It loads an address
// or a web archive, announces the load's start, progress (QWebEngineView's
// signals), end and authentication requests, and gives its picture, the
// page's contents size, the visible rectangle and the page's icon. Hostile
// pages are held back by its WebPage. Main thread only.
class WebView : public QWebEngineView {
  Q_OBJECT
 public:
  explicit WebView(QWidget* parent = nullptr);
  ~WebView() override;

  // Starts loading `url`; answers false (logged) for an address that is not
  // an absolute URL of a scheme a page may show (http, https, file, about,
  // data).
  bool loadAddress(const QUrl& url);
  // Shows a saved page: its resources are served from the archive, and
  // nothing else is fetched.
  bool loadArchive(const WebArchive& archive);
  void stopLoading();
  // Between the start of a load and its end.
  bool isLoading() const { return loading_; }
  // Whether a load has started since the view was made.
  bool hasDocument() const { return hasDocument_; }

  // The view as it is drawn now, ARGB32 premultiplied; null off the main
  // thread (logged).
  QImage grabPicture();
  // The page's size in CSS pixels; empty without a document.
  QSizeF contentsSize() const;
  // The part of the page the view shows, in the page's CSS pixels; empty
  // without a document.
  QRectF visibleRect() const;
  QIcon pageIcon() const;
  WebPage* webPage() const { return page_; }

  // Why `url` may not be loaded; empty when it may.
  static QString refusalFor(const QUrl& url);

 Q_SIGNALS:
  void loadEnded(const WebLoadOutcome& outcome);
  void authenticationRequested(const QUrl& url);

 private:
  void loadingChanged(const QWebEngineLoadingInfo& info);
  void startLoad(const QUrl& url);

  std::unique_ptr<WebArchiveServer> server_;
  QWebEngineProfile* profile_ = nullptr;  // deleted after the page
  WebPage* page_ = nullptr;
  bool loading_ = false;
  bool hasDocument_ = false;
};
