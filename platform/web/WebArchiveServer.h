#pragma once

#include "platform/web/WebArchiveResources.h"

#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlSchemeHandler>

#include <memory>
#include <mutex>

class QWebEngineProfile;

// Serves the archive a view shows through our URL scheme, on the view's own
// profile. While an archive is shown, requests for addresses it holds are
// redirected to their served form, and other network requests are blocked:
// an archived page shows what was saved and fetches nothing.
class WebArchiveServer : public QWebEngineUrlSchemeHandler {
  Q_OBJECT
 public:
  // Installs itself (and its request interceptor) on `profile`, which it
  // must outlive.
  void installOn(QWebEngineProfile* profile);

  // The archive to serve; null serves nothing and lets requests pass.
  void setResources(std::shared_ptr<const WebArchiveResources> resources);
  std::shared_ptr<const WebArchiveResources> resources() const;

  void requestStarted(QWebEngineUrlRequestJob* job) override;

 private:
  class Interceptor : public QWebEngineUrlRequestInterceptor {
   public:
    explicit Interceptor(WebArchiveServer* server) : server_(server) {}
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

   private:
    WebArchiveServer* server_;
  };

  mutable std::mutex mutex_;
  std::shared_ptr<const WebArchiveResources> resources_;
  Interceptor interceptor_{this};
};
