#pragma once

#include "platform/foundation/MainThread.h"
#include "platform/web/WebArchive.h"
#include "platform/web/WebView.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QObject>

#include <optional>

// Helpers of the tests that run real pages in Qt WebEngine. Waits are
// bounded: a page that never ends fails its test instead of hanging it.
namespace webtest {

// Generous for a loaded two-core machine; a page normally ends well within
// a second or two.
constexpr double kPageSeconds = 20.0;

// Loads with `start` and runs the event loop until the view's load ends;
// the outcome, or nothing when it did not end in time.
template <typename Start>
std::optional<WebLoadOutcome> loadAndWait(WebView& view, Start start) {
  std::optional<WebLoadOutcome> outcome;
  const QMetaObject::Connection connection = QObject::connect(
      &view, &WebView::loadEnded, [&outcome](const WebLoadOutcome& o) { outcome = o; });
  if (start()) MainThread::processUntil([&] { return outcome.has_value(); }, kPageSeconds);
  QObject::disconnect(connection);
  return outcome;
}

// The share of a picture's pixels close to `color`.
inline double shareOf(const QImage& picture, const QColor& color) {
  if (picture.isNull()) return 0.0;
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  qint64 close = 0;
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x) {
      const QColor c = rgb.pixelColor(x, y);
      if (qAbs(c.red() - color.red()) < 40 && qAbs(c.green() - color.green()) < 40 &&
          qAbs(c.blue() - color.blue()) < 40)
        ++close;
    }
  return double(close) / (double(rgb.width()) * rgb.height());
}

// Grabs until `drawn` accepts the picture (the first pictures after a load
// can be blank, and parts of a page arrive one after another); the last
// picture grabbed.
template <typename Drawn>
QImage grabUntil(WebView& view, Drawn drawn) {
  QImage picture;
  MainThread::processUntil(
      [&] {
        picture = view.grabPicture();
        return !picture.isNull() && drawn(picture);
      },
      kPageSeconds);
  return picture;
}

// A local HTML page in a fresh folder, as a file URL.
inline QUrl writePage(const QByteArray& html, const QString& name = QStringLiteral("page.html")) {
  const QString path = TestEnvironment::makeTempDir(QStringLiteral("web")) + u'/' + name;
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(html);
  return QUrl::fromLocalFile(path);
}

inline QByteArray pageFilledWith(const QByteArray& cssColor, const QByteArray& script = {}) {
  return "<!doctype html><html><head><style>html,body{margin:0;height:100%;background:" + cssColor +
         "}</style></head><body>" + (script.isEmpty() ? "" : "<script>" + script + "</script>") +
         "</body></html>";
}

inline QByteArray png(const QColor& color, int width = 8, int height = 8) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

inline WebResource resource(const QString& url, const QByteArray& data, const QString& mimeType,
                            const QString& encoding = {}) {
  WebResource r;
  r.url = QUrl(url);
  r.data = data;
  r.mimeType = mimeType;
  r.textEncodingName = encoding;
  return r;
}

// A saved page whose left half is a blue image given by its absolute
// address and whose right half is a green one given relative to the page.
inline WebArchive twoImageArchive() {
  const QByteArray html =
      "<!doctype html><html><head><style>html,body{margin:0;height:100%}"
      "img{position:absolute;top:0;width:50%;height:100%}</style></head><body>"
      "<img style='left:0' src='http://archived.example/assets/blue.png'>"
      "<img style='left:50%' src='assets/green.png'></body></html>";
  return WebArchive(resource(QStringLiteral("http://archived.example/page.html"), html,
                             QStringLiteral("text/html"), QStringLiteral("utf-8")),
                    {resource(QStringLiteral("http://archived.example/assets/blue.png"),
                              png(Qt::blue), QStringLiteral("image/png")),
                     resource(QStringLiteral("http://archived.example/assets/green.png"),
                              png(Qt::green), QStringLiteral("image/png"))});
}

}  // namespace webtest
