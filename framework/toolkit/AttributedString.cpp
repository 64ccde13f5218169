#include "framework/toolkit/AttributedString.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>

const QString AttributedString::kFontAttribute = QStringLiteral("font");
const QString AttributedString::kColorAttribute = QStringLiteral("color");

AttributedString::AttributedString(const QString& string, const QVariantMap& attributes)
    : string_(string), attributes_(attributes) {}

QFont AttributedString::font() const {
  const QVariant font = attributes_.value(kFontAttribute);
  return font.typeId() == QMetaType::QFont ? font.value<QFont>() : QGuiApplication::font();
}

QColor AttributedString::color() const {
  const QVariant color = attributes_.value(kColorAttribute);
  return color.typeId() == QMetaType::QColor ? color.value<QColor>() : QColor(Qt::black);
}

QSizeF AttributedString::size() const {
  const QFontMetricsF metrics(font());
  return {metrics.horizontalAdvance(string_), metrics.height()};
}

void AttributedString::drawAtPoint(QPainter& painter, const QPointF& point) const {
  painter.save();
  painter.setFont(font());
  painter.setPen(color());
  painter.drawText(QRectF(point, size()), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, string_);
  painter.restore();
}
