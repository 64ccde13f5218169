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
// missing one draws with the application font or black. The keys of stored
// colour themes and of the application's text-attribute dictionaries
// ("NSFont", "NSColor") are read as well, after the short ones.
class AttributedString {
 public:
  static const QString kFontAttribute;
  static const QString kColorAttribute;
  static const QString kStoredFontAttribute;   // "NSFont"
  static const QString kStoredColorAttribute;  // "NSColor"

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
  // The first of the two keys that holds a value of the given type.
  QVariant attribute(const QString& key, const QString& storedKey, QMetaType::Type type) const;

  QString string_;
  QVariantMap attributes_;
};
