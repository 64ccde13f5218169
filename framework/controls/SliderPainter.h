#pragma once

#include <QColor>
#include <QSizeF>
#include <QTransform>
#include <QVariantMap>

class QKSafeString;
class QKSliderCell;
class QPainter;

// Draws a slider from its cell's precomputed layout: the bar, the fill, the
// head, the marks, the shaded areas outside the envelope with their handles,
// the edge lines, the texts, the padlock of a locked interface and the
// darkening of a disabled slider. The slider's own coordinates (x along it,
// y upwards across it) reach the widget through `toWidget`, a flip for a
// horizontal slider and a rotation for a vertical one; the texts are drawn
// upright along the slider. Main thread.
class SliderPainter {
 public:
  // The colours of one leaf of the appearance dictionary; a missing entry
  // is an invalid colour and draws nothing.
  struct Colors {
    QColor frame, fill, head, envelope, envelopeHandle, marks, highlight, shadow;
  };
  static Colors colorsFromLeaf(const QVariantMap& leaf);
  // The head of a bound slider in hardware-learn mode.
  static const QColor& learnHeadColor();

  // From the slider's coordinates to those of a widget of `size`.
  static QTransform toWidget(const QSizeF& size, bool vertical);

  static void paint(QPainter& painter, const QKSliderCell& cell, bool vertical, bool enabled,
                    const QSizeF& widgetSize);
};
