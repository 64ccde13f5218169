#pragma once

#include "framework/toolkit/RepaintRequest.h"

#include <QRectF>
#include <QWidget>

#include <atomic>
#include <functional>

// The pad of a position or rectangle element: the largest rectangle of the
// canvas's aspect ratio centred in the view (the active rectangle), light
// grey with a dark grey edge, on which the value is drawn. Values are kept
// in atomics, so any thread may set them; the view repaints on the main
// thread. Coordinates of values run 0..1 from the left and from the bottom.
class QKAspectPad : public QWidget {
  Q_OBJECT
 public:
  explicit QKAspectPad(QWidget* parent = nullptr, float aspectRatio = 4.0f / 3.0f);

  // Main thread: recomputes the active rectangle, redraws and sends the
  // view's action.
  void setAspectRatio(float ratio);
  float aspectRatio() const { return aspectRatio_.load(); }
  QRectF activeRect() const { return activeRect_; }
  // The active rectangle of a view of `size` for `ratio` (y downward).
  static QRectF activeRectFor(const QSizeF& size, float ratio);
  void calculateActiveRect();
  // Main thread; the action is sent whenever the pad's value changes
  // from the view (a drag, a new aspect ratio).
  void setAction(std::function<void()> action) { action_ = std::move(action); }

  // A point of the active rectangle in view coordinates (x, y from the
  // bottom, 0..1).
  QPointF toView(double x, double y) const;

 protected:
  void sendAction() const {
    if (action_) action_();
  }
  void requestRepaint() { repaint_.request(); }
  void paintBackground(class QPainter& painter) const;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::atomic<float> aspectRatio_;
  QRectF activeRect_;
  std::function<void()> action_;
  RepaintRequest repaint_;
};
