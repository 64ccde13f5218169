#pragma once

#include "framework/toolkit/RepaintRequest.h"

#include <QPainterPath>
#include <QSizeF>
#include <QWidget>

class QKSliderControl;
class Trianglize;

// The Trianglize graph: the triangle from (0, 0) up to (centre, peak) and
// down to (1, 0) over a grid of tenths. A press or drag sets the centre
// (across) and the peak (up) and moves both sliders without firing their
// actions. Drawn in the design's coordinates, y up. Main thread only,
// except `requestRedraw`.
class TriangleView : public QWidget {
 public:
  explicit TriangleView(QWidget* parent = nullptr);

  void setTrianglize(Trianglize* behavior, QKSliderControl* centerSlider,
                     QKSliderControl* heightSlider);
  // Any thread; coalesced.
  void requestRedraw() { repaint_.request(); }
  QSizeF lastRenderedDimensions() const { return lastRenderedDimensions_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void rebuildGrid(const QSizeF& size);
  void dragTo(const QPointF& point);

  Trianglize* myFXObject_ = nullptr;
  QKSliderControl* centerSlider_ = nullptr;
  QKSliderControl* heightSlider_ = nullptr;
  QPainterPath gridPath_;
  QSizeF lastRenderedDimensions_;
  bool hasGrid_ = false;
  RepaintRequest repaint_{this};
};
