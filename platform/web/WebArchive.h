#pragma once

#include "platform/web/WebResource.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A saved web page (a ".webarchive" file): the main resource, usually the
// page's HTML, and the sub-resources it refers to (images, style sheets,
// scripts). The file is a property list (binary or XML):
//   "WebMainResource": a resource dictionary (required)
//   "WebSubresources": an array of resource dictionaries (optional)
// A resource dictionary holds "WebResourceData" (data), "WebResourceURL"
// (string), "WebResourceMIMEType" (string) and, optionally,
// "WebResourceTextEncodingName" (string). Other keys are ignored.
//
// A value type: copies share the bytes.
class WebArchive {
 public:
  struct Result;

  static const QString kMainResourceKey;  // "WebMainResource"
  static const QString kSubresourcesKey;  // "WebSubresources"
  static const QString kDataKey;          // "WebResourceData"
  static const QString kUrlKey;           // "WebResourceURL"
  static const QString kMimeTypeKey;      // "WebResourceMIMEType"
  static const QString kTextEncodingKey;  // "WebResourceTextEncodingName"

  // An archive from the bytes of a ".webarchive" file.
  static Result fromData(const QByteArray& bytes,
                         const QString& nameForErrors = QStringLiteral("data"));
  static Result read(const QString& path);

  explicit WebArchive(WebResource mainResource, std::vector<WebResource> subresources = {});

  const WebResource& mainResource() const { return main_; }
  const std::vector<WebResource>& subresources() const { return subresources_; }

  bool operator==(const WebArchive&) const = default;

 private:
  static Result fromValue(const QVariant& value, const QString& nameForErrors);

  WebResource main_;
  std::vector<WebResource> subresources_;
};

struct WebArchive::Result {
  std::optional<WebArchive> archive;  // empty on failure
  QString error;                      // "<name>: <reason>" on failure
  // Sub-resources left out because they were damaged, one reason each
  // (the page itself is still whole).
  QStringList skipped;
  bool ok() const { return archive.has_value(); }
};
