#pragma once

#include <QImage>
#include <QWidget>

#include <atomic>
#include <memory>

class QKWebView;
class WebSource;

// The live preview in the web source's panel: shows the picture the main
// thread grabbed last (the source asks for a repaint on every fourth
// captured frame) and hands mouse presses, drags, releases and keys to the
// hidden page, scaled from the preview's size to the page's visible size,
// so the page can be used like a browser. Main thread, but for
// `pictureChanged`, which any thread may call.
class WebGLPreview : public QWidget {
  Q_OBJECT
 public:
  explicit WebGLPreview(QWidget* parent = nullptr);
  ~WebGLPreview() override;

  void setWebSource(WebSource* source) { source_ = source; }
  WebSource* webSource() const { return source_; }
  // Asks for one repaint on the main thread (coalesced).
  void pictureChanged();
  void prepareToBeDeleted() { deleted_.store(true); }
  bool deleted() const { return deleted_.load(); }
  // Repaints done (tests).
  int paints() const { return paints_; }

  // The event moved into the page's widget, y from the top; null when there
  // is no page.
  QPointF pagePointFor(QPointF previewPoint) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void forwardMouse(QMouseEvent* event);
  void forwardKey(QKeyEvent* event);
  QWidget* pageTarget() const;

  WebSource* source_ = nullptr;
  std::atomic<bool> deleted_{false};
  std::atomic<bool> repaintPending_{false};
  int paints_ = 0;
};
