#pragma once

#include "platform/gl/RenderTarget.h"
#include "platform/gl/TextureHandle.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>

class Compositor;

// The composition pane's live preview. Qt widgets paint on the main thread
// only, so the render thread draws the composition's picture into a small
// target of the widget's pixel size, reads it back and hands the picture
// over; the widget paints the last picture handed over.
//
// Threads: `render`, `drawTexture` and `releaseTarget` on the render
// thread; the picture sits behind a mutex that the render thread only
// tries (a busy one drops that picture, never waits). The rest on the main
// thread.
class QKQCView : public QWidget {
  Q_OBJECT
 public:
  explicit QKQCView(QWidget* parent = nullptr);
  ~QKQCView() override;

  // Null is ignored.
  void setCompositor(Compositor* compositor);
  Compositor* compositor() const { return compositor_; }

  // Main thread: the target takes the widget's size before the next draw.
  void reshape();
  bool needsReshape() const { return needsReshape_.load(); }
  // Render thread: applies a pending reshape.
  void render();
  // Render thread: draws `texture` upright over the whole target (black
  // behind), reads the target back and asks for one repaint; a null
  // texture shows black.
  void drawTexture(const gl::TextureHandle& texture);
  // Render thread: lets go of the target (the pool takes its texture).
  void releaseTarget();

  // Any thread: whether the widget is on screen (not hidden, its window
  // neither hidden nor collapsed): the pane renders nothing for a hidden
  // preview.
  bool showing() const { return showing_.load(std::memory_order_relaxed); }
  // Any thread: the last picture read back (null before the first).
  QImage picture() const;
  // Pictures read back so far.
  long drawCount() const { return drawCount_.load(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void storePicture(QImage picture);
  void askForRepaint();

  Compositor* compositor_ = nullptr;
  std::atomic<int> pixelWidth_{0};
  std::atomic<int> pixelHeight_{0};
  std::atomic<bool> needsReshape_{true};
  std::atomic<bool> showing_{false};
  std::atomic<bool> repaintPending_{false};
  std::atomic<long> drawCount_{0};
  // Render thread only.
  gl::RenderTarget target_;
  gl::TextureHandle targetTexture_;
  bool showsBlack_ = false;
  // The picture handed over.
  mutable std::mutex pictureMutex_;
  QImage picture_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};
