#include "framework/controls/QKSafeString.h"

#include <charconv>

#include <QPainter>

#include <cmath>

const QString QKSafeString::NSFontAttributeName = QStringLiteral("NSFont");
// The key the colour scheme's text attributes use.
const QString QKSafeString::NSForegroundColorAttributeName = QStringLiteral("NSColor");

namespace {

QFont defaultFont() {
  QFont font(QStringLiteral("Lucida Grande"));
  font.setPointSizeF(9.0);
  return font;
}

bool holdsFont(const QVariant& v) { return v.metaType().id() == QMetaType::QFont; }
bool holdsColor(const QVariant& v) { return v.metaType().id() == QMetaType::QColor; }

}  // namespace

QKSafeString::QKSafeString(const QString& text)
    : theString_(text),
      font_(defaultFont()),
      metrics_(font_),
      color_(QColor::fromRgbF(1, 0, 0, 1)) {}

QSizeF QKSafeString::measure(const QString& text, const QFontMetricsF& metrics) {
  return {std::ceil(metrics.horizontalAdvance(text)), std::ceil(metrics.height())};
}

void QKSafeString::setCustomString(const QString& text) {
  std::lock_guard<std::mutex> guard(lock_);
  theString_ = text;
  textChanged();
}

void QKSafeString::setTwoDecimals(float value) {
  char buffer[64];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                     std::chars_format::fixed, 2);
  if (written.ec != std::errc()) return;
  const auto length = static_cast<qsizetype>(written.ptr - buffer);
  std::lock_guard<std::mutex> guard(lock_);
  theString_.resize(length);
  QChar* out = theString_.data();
  for (qsizetype i = 0; i < length; ++i) out[i] = QLatin1Char(buffer[i]);
  textChanged();
}

QString QKSafeString::string() const {
  std::lock_guard<std::mutex> guard(lock_);
  return theString_;
}

void QKSafeString::setFont(const QFont& font) {
  std::lock_guard<std::mutex> guard(lock_);
  font_ = font;
  metrics_ = QFontMetricsF(font_);
  textChanged();
}

void QKSafeString::setForegroundColor(const QColor& color) {
  std::lock_guard<std::mutex> guard(lock_);
  color_ = color;
}

void QKSafeString::setAttributes(const QVariantMap& attributes) {
  if (attributes.isEmpty()) return;
  const QVariant font = attributes.value(NSFontAttributeName);
  const QVariant color = attributes.value(NSForegroundColorAttributeName);
  std::lock_guard<std::mutex> guard(lock_);
  if (holdsFont(font)) {
    font_ = font.value<QFont>();
    metrics_ = QFontMetricsF(font_);
  }
  if (holdsColor(color)) color_ = color.value<QColor>();
  textChanged();
}

void QKSafeString::drawAtPoint(QPainter& painter, const QPointF& point) const {
  std::lock_guard<std::mutex> guard(lock_);
  drawLocked(painter, point, font_, color_);
}

void QKSafeString::drawAtPoint(QPainter& painter, const QPointF& point,
                               const QVariantMap& attributes) const {
  const QVariant font = attributes.value(NSFontAttributeName);
  const QVariant color = attributes.value(NSForegroundColorAttributeName);
  std::lock_guard<std::mutex> guard(lock_);
  drawLocked(painter, point, holdsFont(font) ? font.value<QFont>() : font_,
             holdsColor(color) ? color.value<QColor>() : color_);
}

void QKSafeString::drawLocked(QPainter& painter, const QPointF& point, const QFont& font,
                              const QColor& color) const {
  if (theString_.isNull()) return;
  painter.save();
  painter.setFont(font);
  painter.setPen(color);
  painter.drawText(QPointF(point.x(), point.y() + QFontMetricsF(font).ascent()), theString_);
  painter.restore();
}

QVariantMap QKSafeString::fontAttribs() const {
  std::lock_guard<std::mutex> guard(lock_);
  return {{NSFontAttributeName, font_}, {NSForegroundColorAttributeName, color_}};
}

QFont QKSafeString::font() const {
  std::lock_guard<std::mutex> guard(lock_);
  return font_;
}

QColor QKSafeString::foregroundColor() const {
  std::lock_guard<std::mutex> guard(lock_);
  return color_;
}

// A null text keeps the size last measured.
QSizeF QKSafeString::textSize() const {
  std::lock_guard<std::mutex> guard(lock_);
  if (!sizeKnown_ && !theString_.isNull()) {
    textSize_ = measure(theString_, metrics_);
    sizeKnown_ = true;
  }
  return textSize_;
}
