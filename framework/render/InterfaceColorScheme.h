#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <array>

// The interface colour scheme: ten named dictionaries of colours, fonts and
// text attributes that themed views read on every draw. Eight have built-in
// defaults; "buttonColorDict" and "sliderColorDict" stay absent until set
// (the button and slider managers keep their own defaults).
//
// A setter merges into the dictionary it names (nested dictionaries merge key
// by key, other values replace), so a reader that looks the dictionary up
// again sees the change. The dictionaries have no lock: they are changed and
// read on the main thread.
class InterfaceColorScheme {
 public:
  // Keys of a text-attributes dictionary.
  static const QString kFontAttribute;             // "NSFont": a QFont
  static const QString kForegroundColorAttribute;  // "NSColor": a QColor

  static const QString kWinColorDict;
  static const QString kTableColorDict;
  static const QString kLabelColorDict;
  static const QString kLevelViewColorDict;
  static const QString kPopUpColorDict;
  static const QString kBezierColorDict;
  static const QString kFxColorDict;
  static const QString kPluginColorDict;
  static const QString kButtonColorDict;
  static const QString kSliderColorDict;

  // The ten names, in the order of the stored scheme; the first eight have
  // defaults here.
  static const QStringList& dictionaryNames();
  static const QStringList& dictionaryNamesWithDefaults();

  // Builds the eight default dictionaries.
  InterfaceColorScheme();

  // The live dictionary; an empty one for an unknown or absent name.
  const QVariantMap& dictionary(const QString& name) const;
  bool contains(const QString& name) const;
  // Keeps `dictionary` as the named one when it is absent, otherwise merges
  // it in. Unknown names are ignored.
  void setDictionary(const QString& name, const QVariantMap& dictionary);

  // Merges the entries of a stored scheme (dictionary name → dictionary)
  // into the eight defaults; entries that are not dictionaries and the
  // button and slider entries are left alone.
  void mergeStoredScheme(const QVariantMap& stored);

  // The scheme stored in the user default "colors", unarchived; empty when
  // it is absent or cannot be read (the defaults then stand).
  static QVariantMap storedScheme();

  // Builders shared by the default dictionaries of the managers.
  static QVariant rgba(double red, double green, double blue, double alpha = 1.0);
  static QVariant grey(double level, double alpha = 1.0);
  // Fonts are sized in pixels, as the design's points were at 72 dpi.
  static QFont font(const QString& family, int pixelSize);
  static QVariantMap textAttributes(const QFont& font, const QVariant& color);
  static QString interfaceFontFamily();  // "Lucida Grande"

 private:
  int indexOf(const QString& name) const;

  std::array<QVariantMap, 10> dictionaries_;
  std::array<bool, 10> present_{};
};
