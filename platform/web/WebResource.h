#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// One resource of a saved web page: its bytes and the facts a browser needs
// to show them again.
struct WebResource {
  QByteArray data;
  QUrl url;
  QString mimeType;
  QString textEncodingName;  // empty when the page named none

  bool operator==(const WebResource&) const = default;
};
