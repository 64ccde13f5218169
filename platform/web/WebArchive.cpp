#include "platform/web/WebArchive.h"

#include "platform/foundation/PropertyList.h"

#include <QVariantList>
#include <QVariantMap>

const QString WebArchive::kMainResourceKey = QStringLiteral("WebMainResource");
const QString WebArchive::kSubresourcesKey = QStringLiteral("WebSubresources");
const QString WebArchive::kDataKey = QStringLiteral("WebResourceData");
const QString WebArchive::kUrlKey = QStringLiteral("WebResourceURL");
const QString WebArchive::kMimeTypeKey = QStringLiteral("WebResourceMIMEType");
const QString WebArchive::kTextEncodingKey = QStringLiteral("WebResourceTextEncodingName");

namespace {

bool isString(const QVariant& value) { return value.typeId() == QMetaType::QString; }

// A resource dictionary, or the reason it is none.
std::optional<WebResource> resourceFrom(const QVariant& value, QString* reason) {
  if (value.typeId() != QMetaType::QVariantMap) {
    *reason = QStringLiteral("not a dictionary");
    return std::nullopt;
  }
  const QVariantMap map = value.toMap();
  const QVariant data = map.value(WebArchive::kDataKey);
  const QVariant url = map.value(WebArchive::kUrlKey);
  const QVariant mimeType = map.value(WebArchive::kMimeTypeKey);
  const QVariant encoding = map.value(WebArchive::kTextEncodingKey);
  if (data.typeId() != QMetaType::QByteArray) {
    *reason = QStringLiteral("no data");
    return std::nullopt;
  }
  WebResource resource;
  resource.url = isString(url) ? QUrl(url.toString(), QUrl::StrictMode) : QUrl();
  if (!resource.url.isValid() || resource.url.isEmpty()) {
    *reason = QStringLiteral("no valid address");
    return std::nullopt;
  }
  if (!isString(mimeType) || mimeType.toString().isEmpty()) {
    *reason = QStringLiteral("no MIME type");
    return std::nullopt;
  }
  if (encoding.isValid() && !isString(encoding)) {
    *reason = QStringLiteral("a text encoding that is not a string");
    return std::nullopt;
  }
  resource.data = data.toByteArray();
  resource.mimeType = mimeType.toString();
  resource.textEncodingName = encoding.toString();
  return resource;
}

WebArchive::Result failure(const QString& name, const QString& reason) {
  WebArchive::Result result;
  result.error = QStringLiteral("%1: %2").arg(name, reason);
  return result;
}

}  // namespace

WebArchive::WebArchive(WebResource mainResource, std::vector<WebResource> subresources)
    : main_(std::move(mainResource)), subresources_(std::move(subresources)) {}

WebArchive::Result WebArchive::fromData(const QByteArray& bytes, const QString& nameForErrors) {
  const PropertyList::Result list = PropertyList::parse(bytes, nameForErrors);
  if (!list.ok())
    return failure(nameForErrors, QStringLiteral("not a web archive (%1)").arg(list.error));
  return fromValue(list.value, nameForErrors);
}

WebArchive::Result WebArchive::read(const QString& path) {
  const PropertyList::Result list = PropertyList::read(path);
  if (!list.ok()) return failure(path, QStringLiteral("not a web archive (%1)").arg(list.error));
  return fromValue(list.value, path);
}

WebArchive::Result WebArchive::fromValue(const QVariant& value, const QString& name) {
  if (value.typeId() != QMetaType::QVariantMap)
    return failure(name, QStringLiteral("not a web archive (no dictionary at the top)"));
  const QVariantMap top = value.toMap();
  if (!top.contains(kMainResourceKey))
    return failure(name, QStringLiteral("the web archive has no main resource"));
  QString reason;
  std::optional<WebResource> main = resourceFrom(top.value(kMainResourceKey), &reason);
  if (!main) return failure(name, QStringLiteral("the main resource is damaged: %1").arg(reason));

  Result result;
  std::vector<WebResource> subresources;
  const QVariant subValue = top.value(kSubresourcesKey);
  if (subValue.isValid() && subValue.typeId() != QMetaType::QVariantList)
    result.skipped << QStringLiteral("%1: the sub-resources are not an array").arg(name);
  const QVariantList list =
      subValue.typeId() == QMetaType::QVariantList ? subValue.toList() : QVariantList();
  for (qsizetype i = 0; i < list.size(); ++i) {
    if (std::optional<WebResource> sub = resourceFrom(list.at(i), &reason))
      subresources.push_back(std::move(*sub));
    else
      result.skipped
          << QStringLiteral("%1: sub-resource %2 left out: %3").arg(name).arg(i).arg(reason);
  }
  result.archive.emplace(std::move(*main), std::move(subresources));
  return result;
}
