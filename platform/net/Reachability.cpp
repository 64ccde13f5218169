#include "platform/net/Reachability.h"

#include "platform/foundation/MainThread.h"
#include "platform/foundation/WorkerPool.h"

#include <QUrl>

#include <curl/curl.h>

bool Reachability::probe(const QString& address, double timeoutSeconds) {
  const QUrl url(address);
  if (!url.isValid() ||
      (url.scheme() != QStringLiteral("http") && url.scheme() != QStringLiteral("https")) ||
      url.host().isEmpty())
    return false;
  CURL* curl = curl_easy_init();
  if (!curl) return false;
  const QByteArray bytes = url.toEncoded();
  curl_easy_setopt(curl, CURLOPT_URL, bytes.constData());
  curl_easy_setopt(curl, CURLOPT_CONNECT_ONLY, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  const long ms = timeoutSeconds <= 0 ? 1 : static_cast<long>(timeoutSeconds * 1000.0);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, ms);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, ms);
  const CURLcode result = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  return result == CURLE_OK;
}

void Reachability::probeLater(const QString& address, std::function<void(bool)> done,
                              double timeoutSeconds) {
  const bool posted = WorkerPool::shared().post([address, done, timeoutSeconds] {
    const bool reachable = probe(address, timeoutSeconds);
    MainThread::post([done, reachable] { done(reachable); });
  });
  if (!posted) MainThread::post([done] { done(false); });
}
