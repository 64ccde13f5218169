#include "platform/web/WebArchiveServer.h"

#include "platform/foundation/Log.h"

#include <QBuffer>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestJob>

namespace {
bool isNetworkScheme(const QString& scheme) {
  static const QStringList kNetwork = {QStringLiteral("http"), QStringLiteral("https"),
                                       QStringLiteral("ftp"), QStringLiteral("ws"),
                                       QStringLiteral("wss")};
  return kNetwork.contains(scheme);
}
}  // namespace

void WebArchiveServer::installOn(QWebEngineProfile* profile) {
  profile->installUrlSchemeHandler(WebArchiveResources::kScheme, this);
  profile->setUrlRequestInterceptor(&interceptor_);
}

void WebArchiveServer::setResources(std::shared_ptr<const WebArchiveResources> resources) {
  std::lock_guard<std::mutex> lock(mutex_);
  resources_ = std::move(resources);
}

std::shared_ptr<const WebArchiveResources> WebArchiveServer::resources() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return resources_;
}

void WebArchiveServer::requestStarted(QWebEngineUrlRequestJob* job) {
  const std::shared_ptr<const WebArchiveResources> served = resources();
  const WebResource* resource = served ? served->find(job->requestUrl()) : nullptr;
  if (!resource) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  auto* body = new QBuffer(job);
  body->setData(resource->data);
  job->reply(WebArchiveResources::contentType(*resource), body);
}

void WebArchiveServer::Interceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
  const std::shared_ptr<const WebArchiveResources> served = server_->resources();
  if (!served) return;
  const QUrl url = info.requestUrl();
  if (url.scheme() == QLatin1String(WebArchiveResources::kScheme)) return;
  if (std::optional<QUrl> archived = served->servedUrlFor(url)) {
    info.redirect(*archived);
  } else if (isNetworkScheme(url.scheme())) {
    Log::limited(QStringLiteral("web archive fetch"),
                 QStringLiteral("\t\terr: web archive page: %1 is not in the archive; not fetched")
                     .arg(url.toDisplayString()));
    info.block(true);
  }
}
