#pragma once

#include "platform/gl/GLContext.h"
#include "platform/gl/TextureHandle.h"

#include <QVector4D>
#include <QWindow>

#include <atomic>

namespace gl {

// A window that shows frames of the render thread: a QWindow with a GL
// context of its own (made on the render thread on first use) that shares
// textures with the main context. The render thread draws a texture into
// it and swaps; the window is made, shown and destroyed on the main thread.
class PresentingWindow : public QWindow {
  Q_OBJECT
 public:
  explicit PresentingWindow(QWindow* parent = nullptr);
  ~PresentingWindow() override;

  // Render thread. Clears to `background`, draws the texture upright over
  // the whole window, swaps, and puts the main context back. False when the
  // window is not exposed or has no context.
  bool present(const TextureHandle& texture, const QVector4D& background = QVector4D(0, 0, 0, 1));
  // Render thread, for callers that draw themselves: makes the window's
  // context current with a top-down projection of the window's pixel size
  // and answers it (null when not exposed); endFrame() swaps and puts the
  // main context back.
  GLContext* beginFrame();
  void endFrame();

  bool exposedForDrawing() const { return exposed_.load(); }
  QSize pixelSize() const { return QSize(pixelWidth_.load(), pixelHeight_.load()); }
  std::uint64_t presentedCount() const { return presented_.load(); }

 protected:
  void exposeEvent(QExposeEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void notePixelSize();

  std::atomic<bool> exposed_{false};
  std::atomic<int> pixelWidth_{0};
  std::atomic<int> pixelHeight_{0};
  std::atomic<std::uint64_t> presented_{0};
  GLContext* drawing_ = nullptr;  // render thread, between beginFrame and endFrame
};

}  // namespace gl
