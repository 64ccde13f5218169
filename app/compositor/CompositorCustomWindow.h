#pragma once

#include "platform/gl/PresentingWindow.h"

#include <functional>

// The output window: shows the frames the output view draws, never takes
// the keyboard focus and applies every geometry exactly as asked (the
// fullscreen frame may cover several screens). Mouse presses, drags and
// releases and resizes go to the view through the handlers.
class CompositorCustomWindow : public gl::PresentingWindow {
  Q_OBJECT
 public:
  struct Handlers {
    std::function<void(QMouseEvent*)> mouseDown, mouseDragged, mouseUp;
    std::function<void()> resized;
  };

  CompositorCustomWindow();
  void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }
  // Frameless and above other windows (fullscreen), or a normal window.
  void setFullscreenStyle(bool fullscreen);
  bool fullscreenStyle() const { return fullscreenStyle_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  Handlers handlers_;
  bool fullscreenStyle_ = false;
};
