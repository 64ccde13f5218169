#pragma once

#include "platform/web/WebArchive.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>

#include <optional>

// The resources of one web archive as a web view serves them: each resource
// is served at an address of our own scheme that keeps the original host,
// path and query (not the port), so that the page's relative addresses
// resolve to other resources of the archive:
//   http://example.com/dir/page.html  ->  zaph-webarchive://example.com/dir/page.html
//   file:///Users/a/page.html         ->  zaph-webarchive://localhost/Users/a/page.html
// Absolute addresses of archived resources are redirected to theirs
// (`servedUrlFor`). Immutable once made; safe to read from any thread.
class WebArchiveResources {
 public:
  static const QByteArray kScheme;  // "zaph-webarchive"

  explicit WebArchiveResources(const WebArchive& archive);
  WebArchiveResources(const WebArchiveResources&) = delete;
  WebArchiveResources& operator=(const WebArchiveResources&) = delete;

  // Where the main resource is served.
  QUrl entryUrl() const { return entryUrl_; }
  // The resource served at `url` (our scheme); null when the archive has none.
  const WebResource* find(const QUrl& url) const;
  // The served address of an original address the archive holds.
  std::optional<QUrl> servedUrlFor(const QUrl& original) const;
  // The content type of a resource as a reply announces it ("text/html;
  // charset=utf-8").
  static QByteArray contentType(const WebResource& resource);

  // The served form of any original address.
  static QUrl servedUrl(const QUrl& original);

 private:
  static QString key(const QUrl& url);
  void add(const WebResource& resource);

  WebArchive archive_;
  QUrl entryUrl_;
  QHash<QString, const WebResource*> byServedUrl_;
};
