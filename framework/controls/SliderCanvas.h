#pragma once

#include "framework/controls/SliderPainter.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>
#include <QVariantMap>

class QKSafeString;
class QKSliderCell;
class QPainter;

// A painter turned into a slider's own coordinates (x along the slider, y
// upwards across it) for as long as the canvas lives, with anti-aliasing
// off, and the layers every slider draws over its bar and value marker.
// Cells that draw their own bar and marker use it for the rest. Main thread.
class SliderCanvas {
 public:
  SliderCanvas(QPainter& painter, const QSizeF& widgetSize, bool vertical);
  ~SliderCanvas();
  SliderCanvas(const SliderCanvas&) = delete;
  SliderCanvas& operator=(const SliderCanvas&) = delete;

  QPainter& painter() { return painter_; }

  // An invalid colour or an empty rectangle draws nothing.
  void fill(const QRectF& rect, const QColor& color);
  // A text whose bottom-left corner lies at `point`, upright along the
  // slider; with `attributes`, drawn in those instead of its own.
  void drawText(const QKSafeString& text, const QPointF& point,
                const QVariantMap* attributes = nullptr);

  // Everything over the bar and the marker, in this order: the marks (their
  // 4 x 4 squares stroked in `markStroke` unless the manager locks marks),
  // the envelope and, when selected, its handles, the edges, the texts, the
  // name, the padlock of a locked interface and the veil of a disabled
  // slider. `track` is the part along the slider that they span, `frame`
  // the whole slider.
  void drawOverlays(const QKSliderCell& cell, const QRectF& track, const QRectF& frame,
                    const SliderPainter::Colors& colors, const QColor& markStroke, bool enabled);

 private:
  void drawMarks(const QKSliderCell& cell, const QRectF& track, const QRectF& frame,
                 const QColor& lineColor, const QColor& markStroke);
  void drawEdges(const QRectF& track, const QRectF& frame, const SliderPainter::Colors& colors);
  void drawTexts(const QKSliderCell& cell, const QRectF& track, const QRectF& frame);
  void drawPadlock(const QKSliderCell& cell, const QRectF& track, const QRectF& frame);

  QPainter& painter_;
  QTransform base_;
  QTransform toWidget_;
  bool vertical_;
};
