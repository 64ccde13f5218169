#pragma once

#include "platform/web/WebView.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <atomic>
#include <memory>
#include <mutex>

// The offscreen web view whose picture a layer's web source shows and the
// thumbnail generator turns into posters. A widget can only be grabbed on
// the main thread, so the view keeps its last picture as a shared immutable
// image: `render` on the main thread grabs a new one; from any other thread
// (the render thread) it asks the main thread for a grab, one pending per
// view however often it is asked, and answers the last finished picture at
// once. A picture handed out stays valid after the next grab and after the
// view is gone.
class QKWebView : public WebView {
  Q_OBJECT
 public:
  using Picture = std::shared_ptr<const QImage>;

  // The size `getPageSize` answers without a document.
  static constexpr QSizeF kFallbackPageSize{320.0, 240.0};

  explicit QKWebView(QWidget* parent = nullptr);
  // A view freed without `prepareToBeDeleted` is marked deleted first.
  ~QKWebView() override;

  // See above. A deleted view grabs nothing and answers its last picture;
  // null before the first grab.
  Picture render();
  // The last picture; any thread.
  Picture bitmapImageRep() const;

  // The page's size; kFallbackPageSize without a document.
  QSizeF getPageSize() const;
  // The part of the page shown; the zero rectangle without a document.
  QRectF documentVisibleRect() const;

  // Stops the page, takes the view out of its window and marks it deleted.
  // Main thread.
  void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(std::memory_order_acquire); }

 private:
  void grabNow();

  mutable std::mutex pictureMutex_;
  Picture picture_;
  std::atomic<bool> deleted_{false};
};
