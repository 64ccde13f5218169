#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QUrl>

class WebArchive;

// The page the thumbnail generator draws web files in: one view in a window
// that is never shown, made on demand and closed when a run ends. The real
// one is QKWebThumbnailRenderer; tests drive a fake. Main thread.
class WebThumbnailRenderer {
 public:
  // What the page tells the generator, on the main thread.
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void pageLoadStarted() = 0;
    virtual void pageProgressed() = 0;
    // The page finished loading (an HTTP error page counts: it has a page).
    virtual void pageFinished() = 0;
    // The page could not be reached or was refused; nothing will be drawn.
    virtual void pageFailed(const QString& reason) = 0;
    // The server asked for a user name and password (or answered 401).
    virtual void pageNeedsAuthentication(const QUrl& url) = 0;
  };

  static constexpr int kViewWidth = 480;
  static constexpr int kViewHeight = 360;

  virtual ~WebThumbnailRenderer() = default;
  virtual void setListener(Listener* listener) = 0;

  // Makes the window and its 480 x 360 view when they are missing.
  virtual void prepare() = 0;
  // Closes the view (the window stays for the next run); a closed renderer
  // sends nothing more.
  virtual void close() = 0;
  virtual bool isPrepared() const = 0;

  // Start a load; answer false when none could start (logged).
  virtual bool load(const QUrl& url) = 0;
  virtual bool loadArchive(const WebArchive& archive) = 0;
  virtual void stop() = 0;
  virtual bool isLoading() const = 0;

  // The page's picture now; null when there is none.
  virtual QImage render() = 0;
  // The site's icon; null when it has none.
  virtual QImage icon() const = 0;
  // The colour the view shows where the page draws nothing.
  virtual QColor backgroundColor() const = 0;
};
