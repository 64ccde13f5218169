#pragma once

#include <QColor>

class QWidget;

// The colours curve editors draw with, read on every draw from the
// application's "bezierColorDict" (the defaults stand in for missing
// entries), and the palette background behind them.
class CurveColors {
 public:
  static QColor division();  // "divisionColor": grid lines
  static QColor handle();    // "handleColor": control points and their lines
  static QColor curve();     // "curveColor": the area under the curve
  static QColor line();      // "lineColor": outline, handle circles, origin lines
  // The palette's background behind `view` (dark grey outside a palette).
  static QColor background(const QWidget* view);
};
