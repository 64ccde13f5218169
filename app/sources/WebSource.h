#pragma once

#include "app/sources/QKFavIconDisplay.h"
#include "app/sources/SourceFileSlot.h"
#include "app/sources/VidSourceObject.h"
#include "app/sources/WebGLPreview.h"
#include "framework/controls/QKButton.h"
#include "framework/media/QKWebView.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/gl/PixelUploader.h"

#include <QLineEdit>
#include <QPointer>
#include <QSize>
#include <QUrl>

#include <atomic>
#include <memory>
#include <mutex>

class CIPositionElement;
class QKURLFile;
class QKWebWindow;

// Shows a web page on a layer: an address typed in its panel, a web entry
// of the media bin (an address or a web archive) or the layer's snapshot.
// The page is rendered at a size of its own (640 × 480 unless chosen) in a
// hidden window; when it is larger, the position control picks the part
// shown. The panel holds the address field, back and forward, the page's
// icon (dragged out as its address), the size fields, the position and a
// live preview that takes clicks and keys.
//
// Widgets live on the main thread: the page is grabbed there (the render
// thread's request is coalesced into one grab) and resized and scrolled
// there. The render thread only uploads a copy of the newest picture; it
// reaches the page's window through `viewMutex_`, which it only tries.
class WebSource : public VidSourceObject {
 public:
  static const QString kSourceType;  // "webSource"

  WebSource(const QString& name, Layer* layer);
  ~WebSource() override;

  void render(const gl::DisplayLink::Frame& frame) override;
  gl::TextureHandle currentTexture() override;
  void loadThisFile(const std::shared_ptr<QKFile>& file) override;
  void eject() override;
  // Drops the file but keeps the page.
  void softEject();
  void refresh() override;
  std::shared_ptr<QKFile> currentFile() const override { return currentFile_.load(); }
  bool hasFile() const override { return currentFile_.holdsFile(); }
  QString currentPath() const override;
  void prepareToBeDeleted() override;

  QVariantMap createSnapshot() const override;
  using VidSourceObject::loadSnapshot;
  void loadSnapshot(const QVariantMap& snapshot, bool trigger) override;

  // Panel actions.
  void urlTextFieldUsed();
  void navButtonUsed(QKButton* sender);
  void resolutionTextFieldUsed(QLineEdit* sender);
  void updateFavIcon();

  // Main thread: makes the window, page and preview when missing, and
  // queues a resize or scroll when the page is not as wanted.
  void prepareWebViewsIfNeeded();
  void mainThreadResize();

  QSize renderSize() const { return {renderWidth_.load(), renderHeight_.load()}; }
  QKWebView* renderView() const { return view_; }
  QWidget* renderWindow() const;
  WebGLPreview* preview() const { return preview_; }
  QLineEdit* urlTextField() const { return urlField_; }
  QLineEdit* widthTextField() const { return widthField_; }
  QLineEdit* heightTextField() const { return heightField_; }
  QKButton* backButton() const { return backButton_; }
  QKButton* fwdButton() const { return fwdButton_; }
  QKFavIconDisplay* favIconView() const { return favIcon_; }
  CIPositionElement* renderPositionElement() const { return position_.get(); }
  // Render thread counters (tests).
  int uploadCount() const { return uploads_.load(); }
  // The largest texture the render thread's GL takes (8192 until known).
  static int maxTextureSize();

 private:
  void makePanel();
  void provisionalLoadStarted(const QUrl& url);
  void loadFinished();
  void urlFileParamsUpdated(const void* object);
  void loadAddress(const QString& address);
  void blankPage();
  bool isCurrentSource() const;
  void scrollIfNeeded();
  void askMainThreadToCheck();

  // Main thread objects; the window and page are made on first need and
  // replaced only under viewMutex_.
  std::unique_ptr<QKWebWindow> window_;
  QPointer<QKWebView> view_;
  QPointer<WebGLPreview> preview_;
  std::mutex viewMutex_;
  QPointer<QLineEdit> urlField_;
  QPointer<QLineEdit> widthField_;
  QPointer<QLineEdit> heightField_;
  QPointer<QKButton> backButton_;
  QPointer<QKButton> fwdButton_;
  QPointer<QKFavIconDisplay> favIcon_;
  std::shared_ptr<CIPositionElement> position_;
  SourceFileSlot currentFile_;
  bool triggering_ = false;
  bool blanking_ = false;  // the blank page of an eject is loading
  std::atomic<int> renderWidth_{640};
  std::atomic<int> renderHeight_{480};
  std::atomic<bool> pendingResizeCall_{false};
  std::atomic<bool> checkPending_{false};
  // Render thread:
  QKWebView::Picture lastPicture_;
  gl::TextureHandle texture_;
  gl::PixelUploader uploader_;
  QSize requestedLayerSize_;
  int renderCount_ = 0;
  std::atomic<int> uploads_{0};
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};
