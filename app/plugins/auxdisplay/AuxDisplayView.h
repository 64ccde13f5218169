#pragma once

#include "platform/gl/PresentingWindow.h"

#include <QPointer>

#include <functional>
#include <mutex>

class QKWindowContentView;

// The aux display's GL surface: a presenting window (its own context,
// sharing the compositor's textures, swap interval 0) embedded in the
// palette below its title bar. Clicks in the bottom-right corner square go
// on to the palette's content view (its resize handle), with the drag and
// release that follow; a double click elsewhere asks for the options.
class AuxDisplayView : public gl::PresentingWindow {
  Q_OBJECT
 public:
  static constexpr int kCornerSize = 19;
  using Content = std::function<void(gl::GLContext& context, QSize pixels)>;

  AuxDisplayView();

  void setContentView(QKWindowContentView* view) { contentView_ = view; }
  void setDoubleClickAction(std::function<void()> action) { doubleClicked_ = std::move(action); }

  // Any thread (the render thread per frame): draws `content` into the
  // window and swaps, under the view's drawing lock. False when the window
  // cannot be drawn (not exposed).
  bool flushOutput(const Content& content);
  // Whether a click at `point` (window coordinates, y down) belongs to the
  // palette's resize corner.
  bool inCorner(const QPointF& point) const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void press(QMouseEvent* event, int clickCount);

  std::recursive_mutex drawingLock_;
  QPointer<QKWindowContentView> contentView_;
  std::function<void()> doubleClicked_;
  bool passOnTheClick_ = false;
};
