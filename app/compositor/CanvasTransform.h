#pragma once

#include <QSizeF>
#include <QTransform>

// How the canvas is laid onto the output view: 0 fit (whole canvas, bars),
// 1 fill (covers the view, excess cut off), 2 stretch, 3 actual size; each
// centred. The transform scales the canvas to w x h, then translates.
class CanvasTransform {
 public:
  enum Mode : long { Fit = 0, Fill = 1, Stretch = 2, ActualSize = 3 };

  static bool isValidMode(long mode) { return mode >= Fit && mode <= ActualSize; }
  // Identity when either size has no area.
  static QTransform canvasToWindow(QSizeF display, QSizeF canvas, long mode);
};
