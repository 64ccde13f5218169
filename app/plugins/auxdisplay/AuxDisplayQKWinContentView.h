#pragma once

#include "framework/toolkit/QKWindowContentView.h"

#include <atomic>

// The aux display window's content view: the palette frame with the aux
// display's own drag rules (AuxWindowGeometry): moves onto any screen, a
// clamped corner resize, touching even while hidden, and exact abutting of
// palettes dragged near it. Whether it is collapsed is kept in an atomic the
// render thread reads. Main thread only otherwise.
class AuxDisplayQKWinContentView : public QKWindowContentView {
 public:
  explicit AuxDisplayQKWinContentView(QWidget* parent = nullptr);

  // Any thread.
  bool collapsedForRender() const { return collapsedForRender_.load(); }

  void calculateAffectedAreaNotification(const Notification& notification) override;
  void objectMoveNotification(const Notification& notification) override;

 protected:
  void moveDrag(const QPointF& screenPoint) override;
  void resizeDrag(const QPointF& screenPoint) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void postMove();
  void postGroupMove(QPointF delta);
  void postSizePosReport();

  std::atomic<bool> collapsedForRender_{false};
};
