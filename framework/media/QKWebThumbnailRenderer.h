#pragma once

#include "framework/media/QKWebView.h"
#include "framework/media/WebThumbnailRenderer.h"

#include <QPointer>

#include <memory>

class QWidget;
struct WebLoadOutcome;

// The thumbnail generator's page: a QKWebView of 480 x 360 in a frameless
// window at (0, 0) that is never shown on screen. The view is made on
// demand and deleted at `close`; the window stays. Main thread.
class QKWebThumbnailRenderer : public WebThumbnailRenderer {
 public:
  QKWebThumbnailRenderer();
  ~QKWebThumbnailRenderer() override;

  void setListener(Listener* listener) override { listener_ = listener; }
  void prepare() override;
  void close() override;
  bool isPrepared() const override { return view_ != nullptr; }
  bool load(const QUrl& url) override;
  bool loadArchive(const WebArchive& archive) override;
  void stop() override;
  bool isLoading() const override;
  QImage render() override;
  QImage icon() const override;
  QColor backgroundColor() const override;

  QKWebView* view() const { return view_; }
  QWidget* window() const { return window_.get(); }

 private:
  void loadEnded(const WebLoadOutcome& outcome);

  Listener* listener_ = nullptr;
  std::unique_ptr<QWidget> window_;
  QPointer<QKWebView> view_;
};
