#include "framework/toolkit/AttributedString.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>

const QString AttributedString::kFontAttribute = QStringLiteral("font");
const QString AttributedString::kColorAttribute = QStringLiteral("color");
const QString AttributedString::kStoredFontAttribute = QStringLiteral("NSFont");
const QString AttributedString::kStoredColorAttribute = QStringLiteral("NSColor");

AttributedString::AttributedString(const QString& string, const QVariantMap& attributes)
    : string_(string), attributes_(attributes) {}

QVariant AttributedString::attribute(const QString& key, const QString& storedKey,
                                     QMetaType::Type type) const {
  for (const QString& name : {key, storedKey}) {
    const QVariant value = attributes_.value(name);
    if (value.typeId() == type) return value;
  }
  return {};
}

QFont AttributedString::font() const {
  const QVariant font = attribute(kFontAttribute, kStoredFontAttribute, QMetaType::QFont);
  return font.isValid() ? font.value<QFont>() : QGuiApplication::font();
}

QColor AttributedString::color() const {
  const QVariant color = attribute(kColorAttribute, kStoredColorAttribute, QMetaType::QColor);
  return color.isValid() ? color.value<QColor>() : QColor(Qt::black);
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
