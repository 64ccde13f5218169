#pragma once

#include "framework/splitview/TQSplitSubview.h"
#include "framework/splitview/TQSplitView.h"
#include "platform/foundation/MainThread.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWindow>

#include <memory>
#include <vector>

// A divider image of `thickness` points.
inline QImage dividerImage(int thickness = 8) {
  QImage image(thickness, thickness, QImage::Format_ARGB32_Premultiplied);
  image.fill(QColor(60, 60, 60));
  return image;
}

// A side-by-side (or stacked) split view of panes with the given sizes along
// its axis, laid out once; dividers of 8 points.
inline std::unique_ptr<TQSplitView> makeSplitView(const std::vector<float>& sizes,
                                                  bool vertical = true, float thickness = 8) {
  float total = thickness * (static_cast<float>(sizes.size()) - 1);
  for (float s : sizes) total += s;
  const QRectF frame = vertical ? QRectF(0, 0, total, 120) : QRectF(0, 0, 120, total);
  auto view = std::make_unique<TQSplitView>(frame);
  view->setVertical(vertical);
  if (thickness > 0) view->setDivider(dividerImage(static_cast<int>(thickness)));
  for (float s : sizes) {
    auto* pane = new TQSplitSubview(vertical ? QRectF(0, 0, s, 120) : QRectF(0, 0, 120, s));
    view->addSubview(pane);
  }
  view->adjustSubviews();
  return view;
}

inline std::vector<float> paneSizes(const TQSplitView& view) {
  std::vector<float> out;
  for (TQSplitSubview* pane : view.panes()) out.push_back(pane->visibleDimension());
  return out;
}

inline bool showAndWait(QWidget* window) {
  window->show();
  return MainThread::processUntil(
      [&] { return window->windowHandle() && window->windowHandle()->isExposed(); }, 3.0);
}

// Mouse events delivered to a window as the window system delivers them: the
// window routes them to the widget under the pointer, which keeps them until
// the release.
class WindowMouse {
 public:
  explicit WindowMouse(QWidget* window) : window_(window) {}
  void press(QPointF at, bool doubleClick = false) {
    send(doubleClick ? QEvent::MouseButtonDblClick : QEvent::MouseButtonPress, at, Qt::LeftButton,
         Qt::LeftButton);
  }
  void move(QPointF to) { send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton); }
  void release(QPointF at) { send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }

 private:
  void send(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, window_->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(window_->windowHandle(), &event);
    QApplication::processEvents();
  }
  QWidget* window_;
};
