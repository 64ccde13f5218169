#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

class QPainter;

// A run of text with one set of drawing attributes, for views that draw
// labels themselves (the clock dial, the audio-analysis view).
// Attributes: kFontAttribute (a QFont) and kColorAttribute (a QColor); a
// missing one draws with the application font or black.
class AttributedString {
 public:
  static const QString kFontAttribute;
  static const QString kColorAttribute;

  AttributedString(const QString& string, const QVariantMap& attributes);

  const QString& string() const { return string_; }
  const QVariantMap& attributes() const { return attributes_; }
  QFont font() const;
  QColor color() const;

  // The size the text takes when drawn.
  QSizeF size() const;
  // Draws the text with its top-left corner at `point`.
  void drawAtPoint(QPainter& painter, const QPointF& point) const;

 private:
  QString string_;
  QVariantMap attributes_;
};
