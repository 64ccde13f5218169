#pragma once

#include <QRectF>

#include <functional>

class QKCollapsibleBox;
class QWidget;

// Stacks the layer window's two collapsible boxes and, between them, the
// holder of the effect chain: the top box 52 points below the window's top,
// the bottom box 16 points above its bottom, the holder filling the rest
// with 4-point gaps. Coordinates are the window's, y upward. Main thread
// only.
class QKCollapsibleBoxManager {
 public:
  struct Layout {
    QRectF top, bottom, holder;
  };
  // The frames for a window `windowHeight` tall (the boxes keep their x,
  // width and height; the holder its x and width).
  static Layout layout(double windowHeight, const QRectF& top, const QRectF& bottom,
                       const QRectF& holder);

  void setTopBox(QKCollapsibleBox* box) { top_ = box; }
  void setBottomBox(QKCollapsibleBox* box) { bottom_ = box; }
  QKCollapsibleBox* topBox() const { return top_; }
  QKCollapsibleBox* bottomBox() const { return bottom_; }
  // The holder's frame is set through this (y upward, window coordinates).
  void setHolder(std::function<QRectF()> frame, std::function<void(const QRectF&)> setFrame) {
    holderFrame_ = std::move(frame);
    setHolderFrame_ = std::move(setFrame);
  }
  void setWindowHeight(std::function<double()> height) { windowHeight_ = std::move(height); }
  // Whether the window is folded to its title bar: nothing is laid out then.
  void setWindowCollapsed(std::function<bool()> collapsed) { collapsed_ = std::move(collapsed); }
  // Told after each layout (the window lays its effect chain out again).
  void setResizeChain(std::function<void()> resize) { resizeChain_ = std::move(resize); }

  void update();

 private:
  QKCollapsibleBox* top_ = nullptr;
  QKCollapsibleBox* bottom_ = nullptr;
  std::function<QRectF()> holderFrame_;
  std::function<void(const QRectF&)> setHolderFrame_;
  std::function<double()> windowHeight_;
  std::function<bool()> collapsed_;
  std::function<void()> resizeChain_;
};
