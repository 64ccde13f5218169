#include "framework/toolkit/QKScrollerStyle.h"

#include "framework/toolkit/BezierPathAdditions.h"
#include "framework/toolkit/ThemeDict.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleOptionSlider>

namespace {

const char kArrowsNoneProperty[] = "qkArrowsNone";
constexpr int kSmallScrollerWidth = 11;

// Rectangles along the bar, in the bar's coordinates.
struct ScrollerParts {
  QRect subLine;
  QRect addLine;
  QRect groove;
  QRect slider;
  QRect subPage;
  QRect addPage;
};

// Lays out along a length, then turns the result for a vertical bar.
ScrollerParts layOut(const QStyleOptionSlider& bar, bool arrows) {
  const bool vertical = bar.orientation == Qt::Vertical;
  const int length = vertical ? bar.rect.height() : bar.rect.width();
  const int thickness = vertical ? bar.rect.width() : bar.rect.height();
  const int arrow = arrows ? std::min(thickness, length / 2) : 0;
  const auto along = [&](int start, int size) {
    return vertical ? QRect(0, start, thickness, size) : QRect(start, 0, size, thickness);
  };
  ScrollerParts parts;
  parts.subLine = arrows ? along(0, arrow) : QRect();
  parts.addLine = arrows ? along(length - arrow, arrow) : QRect();
  const int grooveStart = arrow;
  const int grooveLength = std::max(0, length - 2 * arrow);
  parts.groove = along(grooveStart, grooveLength);
  const long long range = static_cast<long long>(bar.maximum) - bar.minimum;
  if (range <= 0 || grooveLength <= 0) {
    parts.subPage = parts.groove;
    return parts;
  }
  const double proportion = double(bar.pageStep) / double(range + bar.pageStep);
  const int knob = std::clamp(static_cast<int>(grooveLength * proportion),
                              std::min(thickness, grooveLength), grooveLength);
  const int position =
      grooveStart + static_cast<int>((grooveLength - knob) *
                                     double(bar.sliderPosition - bar.minimum) / double(range));
  parts.slider = along(position, knob);
  parts.subPage = along(grooveStart, position - grooveStart);
  parts.addPage = along(position + knob, grooveStart + grooveLength - position - knob);
  return parts;
}

QRect partRect(const ScrollerParts& parts, QStyle::SubControl part) {
  switch (part) {
    case QStyle::SC_ScrollBarSubLine:
      return parts.subLine;
    case QStyle::SC_ScrollBarAddLine:
      return parts.addLine;
    case QStyle::SC_ScrollBarGroove:
      return parts.groove;
    case QStyle::SC_ScrollBarSlider:
      return parts.slider;
    case QStyle::SC_ScrollBarSubPage:
      return parts.subPage;
    case QStyle::SC_ScrollBarAddPage:
      return parts.addPage;
    default:
      return {};
  }
}

void drawArrow(QPainter& painter, QRectF r, bool increment, const QColor& fill,
               const QColor& text) {
  const QRectF adjusted(1, r.y(), r.width() - 2, r.width() - 2);
  painter.fillRect(adjusted, fill);
  QPainterPath triangle;
  const double x = adjusted.x(), y = adjusted.y(), maxX = adjusted.right(),
               maxY = adjusted.bottom(), midX = adjusted.center().x();
  if (increment) {
    triangle.moveTo(x, y + 1);
    triangle.lineTo(maxX, y + 1);
    triangle.lineTo(midX, maxY + 1);
  } else {
    triangle.moveTo(x, maxY + 1);
    triangle.lineTo(maxX, maxY + 1);
    triangle.lineTo(midX, y + 1);
  }
  triangle.closeSubpath();
  painter.fillPath(triangle, text);
}

}  // namespace

QKScrollerStyle* QKScrollerStyle::shared() {
  static QPointer<QKScrollerStyle> style;
  if (!style) {
    style = new QKScrollerStyle;
    style->setParent(qApp);
  }
  return style;
}

void QKScrollerStyle::setArrowsNone(QScrollBar* bar, bool none) {
  bar->setProperty(kArrowsNoneProperty, none);
  bar->update();
}

bool QKScrollerStyle::arrowsNone(const QWidget* bar) {
  return bar && bar->property(kArrowsNoneProperty).toBool();
}

int QKScrollerStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                 const QWidget* widget) const {
  if (metric == PM_ScrollBarExtent) return kSmallScrollerWidth;
  return QProxyStyle::pixelMetric(metric, option, widget);
}

QRect QKScrollerStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                      SubControl part, const QWidget* widget) const {
  const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
  if (control != CC_ScrollBar || !bar)
    return QProxyStyle::subControlRect(control, option, part, widget);
  return partRect(layOut(*bar, !arrowsNone(widget)), part);
}

void QKScrollerStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                         QPainter* painter, const QWidget* widget) const {
  const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
  if (control != CC_ScrollBar || !bar)
    return QProxyStyle::drawComplexControl(control, option, painter, widget);
  const QVariantMap colors = ThemeDict::tableColors();
  const QColor fill = ThemeDict::color(colors, QStringLiteral("fill"), Qt::darkGray);
  const QColor text = ThemeDict::color(colors, QStringLiteral("textColor"), Qt::lightGray);
  const ScrollerParts parts = layOut(*bar, !arrowsNone(widget));
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->fillRect(bar->rect, fill);
  QPainterPath slot =
      BezierPathAdditions::roundRectPath(QRectF(parts.groove).adjusted(0.5, 0.5, -0.5, -0.5), 5);
  slot.closeSubpath();
  painter->strokePath(slot, QPen(text, 1.5));
  if (!parts.slider.isEmpty()) {
    QPainterPath knob =
        BezierPathAdditions::roundRectPath(QRectF(parts.slider).adjusted(2, 2, -2, -2), 3);
    knob.closeSubpath();
    painter->fillPath(knob, text);
  }
  if (!parts.addLine.isEmpty()) drawArrow(*painter, parts.addLine, true, fill, text);
  if (!parts.subLine.isEmpty()) drawArrow(*painter, parts.subLine, false, fill, text);
  painter->restore();
}
