#include "platform/web/WebArchiveResources.h"

const QByteArray WebArchiveResources::kScheme = QByteArrayLiteral("zaph-webarchive");

namespace {
const QString kLocalHost = QStringLiteral("localhost");
}

WebArchiveResources::WebArchiveResources(const WebArchive& archive) : archive_(archive) {
  // The main resource first: it wins over a sub-resource at the same address.
  add(archive_.mainResource());
  for (const WebResource& resource : archive_.subresources()) add(resource);
  entryUrl_ = servedUrl(archive_.mainResource().url);
}

void WebArchiveResources::add(const WebResource& resource) {
  byServedUrl_.insert(key(servedUrl(resource.url)), &resource);
}

QUrl WebArchiveResources::servedUrl(const QUrl& original) {
  QUrl served;
  served.setScheme(QString::fromLatin1(kScheme));
  served.setHost(original.host().isEmpty() ? kLocalHost : original.host());
  QString path = original.path(QUrl::FullyEncoded);
  // Addresses without a path of their own ("about:blank", "data:…") get
  // one made of the whole address.
  if (!path.startsWith(u'/'))
    path = u'/' + QString::fromLatin1(QUrl::toPercentEncoding(original.toString(), "/"));
  served.setPath(path, QUrl::TolerantMode);
  if (original.hasQuery()) served.setQuery(original.query(QUrl::FullyEncoded));
  return served;
}

QString WebArchiveResources::key(const QUrl& url) {
  return url.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments)
      .toString(QUrl::FullyEncoded);
}

const WebResource* WebArchiveResources::find(const QUrl& url) const {
  if (url.scheme() != QLatin1String(kScheme)) return nullptr;
  return byServedUrl_.value(key(url), nullptr);
}

std::optional<QUrl> WebArchiveResources::servedUrlFor(const QUrl& original) const {
  const QUrl served = servedUrl(original);
  if (!byServedUrl_.contains(key(served))) return std::nullopt;
  return served;
}

QByteArray WebArchiveResources::contentType(const WebResource& resource) {
  QByteArray type = resource.mimeType.toLatin1();
  if (!resource.textEncodingName.isEmpty())
    type += "; charset=" + resource.textEncodingName.toLatin1();
  return type;
}
