#pragma once

#include <QProxyStyle>

class QScrollBar;

// The one style of the themed scrollers: it lays out their parts (arrows at
// the ends unless a scroller has none, the knob in the slot between, no knob
// while there is nothing to scroll) and draws them in the table colours
// ("fill", "textColor"), so what is drawn and what is hit come from the same
// rectangles. Main thread only.
class QKScrollerStyle : public QProxyStyle {
  Q_OBJECT
 public:
  // The shared instance (owned by the application).
  static QKScrollerStyle* shared();

  // Whether a scroll bar draws and hits no arrow parts.
  static void setArrowsNone(QScrollBar* bar, bool none);
  static bool arrowsNone(const QWidget* bar);

  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                       const QWidget* widget = nullptr) const override;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget = nullptr) const override;

 private:
  QKScrollerStyle() = default;
};
