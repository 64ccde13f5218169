#include "framework/curves/CurveColors.h"

#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/ThemeDict.h"

namespace {

QColor bezier(const char* key, const QColor& fallback) {
  return ThemeDict::color(ThemeDict::bezierColors(), QLatin1String(key), fallback);
}

}  // namespace

QColor CurveColors::division() { return bezier("divisionColor", QColor::fromRgbF(0, 0, 0, 0.2f)); }

QColor CurveColors::handle() {
  return bezier("handleColor", QColor::fromRgbF(0.63978f, 0.63978f, 0.63978f, 1));
}

QColor CurveColors::curve() {
  return bezier("curveColor", QColor::fromRgbF(0.906813f, 0.123415f, 0.128405f, 0.5f));
}

QColor CurveColors::line() { return bezier("lineColor", QColor(Qt::black)); }

QColor CurveColors::background(const QWidget* view) {
  if (const QKWindowContentView* content = QKWindowContentView::enclosing(view))
    return content->backgroundColor();
  return QColor::fromRgbF(0.17f, 0.17f, 0.17f);
}
