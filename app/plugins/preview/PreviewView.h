#pragma once

#include "platform/gl/PresentingWindow.h"

#include <QPointF>
#include <QSize>

#include <functional>
#include <mutex>

// The preview's GL surface: a presenting window (its own context, sharing
// the compositor's textures) in the palette. It draws on the render thread
// when the preview window's cadence asks, and hands the mouse, on the main
// thread, to its owner in view points (y down from the top).
class PreviewView : public gl::PresentingWindow {
  Q_OBJECT
 public:
  using Content = std::function<void(gl::GLContext& context, QSize pixels)>;
  struct MouseHandler {
    std::function<void(QPointF point, QSizeF view, bool command)> down;
    std::function<void(QPointF point, QSizeF view)> dragged;
    std::function<void()> up;
  };

  PreviewView();
  void setMouseHandler(MouseHandler handler) { mouse_ = std::move(handler); }

  // Any thread: draws `content` and swaps under the drawing lock; false
  // when the window cannot be drawn (not exposed).
  bool flushOutput(const Content& content);
  // A frame drawn with nothing in it (black).
  bool clear();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::recursive_mutex drawingLock_;
  MouseHandler mouse_;
  bool tracking_ = false;
};
