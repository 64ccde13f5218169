#include "framework/render/InterfaceColorScheme.h"

#include "framework/toolkit/MutDictAdditions.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/UserDefaults.h"

#include <QVariantList>

const QString InterfaceColorScheme::kFontAttribute = QStringLiteral("NSFont");
const QString InterfaceColorScheme::kForegroundColorAttribute = QStringLiteral("NSColor");

const QString InterfaceColorScheme::kWinColorDict = QStringLiteral("winColorDict");
const QString InterfaceColorScheme::kTableColorDict = QStringLiteral("tableColorDict");
const QString InterfaceColorScheme::kLabelColorDict = QStringLiteral("labelColorDict");
const QString InterfaceColorScheme::kLevelViewColorDict = QStringLiteral("levelViewColorDict");
const QString InterfaceColorScheme::kPopUpColorDict = QStringLiteral("popUpColorDict");
const QString InterfaceColorScheme::kBezierColorDict = QStringLiteral("bezierColorDict");
const QString InterfaceColorScheme::kFxColorDict = QStringLiteral("fxColorDict");
const QString InterfaceColorScheme::kPluginColorDict = QStringLiteral("pluginColorDict");
const QString InterfaceColorScheme::kButtonColorDict = QStringLiteral("buttonColorDict");
const QString InterfaceColorScheme::kSliderColorDict = QStringLiteral("sliderColorDict");

namespace {

const QString kStoredSchemeDefault = QStringLiteral("colors");

using S = InterfaceColorScheme;

QVariantMap label9(const QVariant& color) {
  return S::textAttributes(S::font(S::interfaceFontFamily(), 9), color);
}

QVariantMap windowState(const QVariant& titleBar, const QVariant& titleText) {
  return {{QStringLiteral("titleBar"), titleBar},
          {QStringLiteral("fill"), S::grey(0.1043)},
          {QStringLiteral("frame"), S::grey(0)},
          {QStringLiteral("titleTextAttribs"),
           S::textAttributes(S::font(S::interfaceFontFamily(), 10), titleText)}};
}

QVariantMap defaultWinColors() {
  return {{QStringLiteral("unlocked"), windowState(S::grey(0), S::grey(0.2824))},
          {QStringLiteral("locked"), windowState(S::grey(0.1043), S::grey(1))}};
}

QVariantMap defaultTableColors() {
  return {{QStringLiteral("font"), S::font(S::interfaceFontFamily(), 9)},
          {QStringLiteral("textColor"), S::grey(0.4)},
          {QStringLiteral("fill"), S::grey(0.13)},
          {QStringLiteral("highlight"), S::grey(0.012)}};
}

QVariantMap levelView(double background) {
  return {{QStringLiteral("levelColor"), S::rgba(0.6016, 0.0819, 0.0852)},
          {QStringLiteral("backgroundColor"), S::grey(background)}};
}

QVariantMap defaultLevelViewColors() {
  return {{QStringLiteral("simpleLevelView"), levelView(0.0768)},
          {QStringLiteral("titleBarLevelView"), levelView(0.0728)}};
}

QVariantMap defaultPopUpColors() {
  return {{QStringLiteral("fontAttribs"), label9(S::grey(0.4035))},
          {QStringLiteral("fillColor"), S::grey(0.1594)},
          {QStringLiteral("strokeColor"), S::grey(0.2067)}};
}

QVariantMap defaultBezierColors() {
  return {{QStringLiteral("divisionColor"), S::grey(0, 0.2)},
          {QStringLiteral("curveColor"), S::rgba(0.9068, 0.1234, 0.1284, 0.5)},
          {QStringLiteral("lineColor"), S::grey(0)},
          {QStringLiteral("handleColor"), S::grey(0.6398)}};
}

QVariantMap defaultFxColors() {
  return {{QStringLiteral("stroke"), S::grey(0)},
          {QStringLiteral("fill"), S::grey(0.1043)},
          {QStringLiteral("titleFontAttribs"), label9(S::grey(0.3012))}};
}

QVariantMap mediaBinColors() {
  return {{QStringLiteral("cellQueuedColor"), S::rgba(0.9897, 0.8771, 0.1864, 0.75)},
          {QStringLiteral("pageTitleBGColor"), S::grey(0)},
          {QStringLiteral("cellTitleBG"), S::grey(0, 0.75)},
          {QStringLiteral("pageTitleAttribsDict"), label9(S::grey(0.4))},
          {QStringLiteral("cellTitleAttribsDict"), label9(S::grey(0.7461, 0.75))},
          {QStringLiteral("selPageTitleAttribsDict"), label9(S::rgba(0.3837, 0.9769, 0.1907))},
          {QStringLiteral("cellPlayingColor"), S::rgba(0.0682, 0.3534, 0.9717, 0.75)},
          {QStringLiteral("pageLineStrokeColor"), S::grey(0.1476)},
          {QStringLiteral("cellShortcutColor"), S::rgba(0.9406, 0.5391, 0.1527)},
          {QStringLiteral("cellSelectColor"), S::grey(1, 0.7)},
          {QStringLiteral("pageBGColor"), S::grey(0.1043)}};
}

QVariantMap audioAnalysisColors() {
  return {{QStringLiteral("waveColor"), S::rgba(0.0313, 0.3102, 0.9711, 0.7)},
          {QStringLiteral("waveStrokeColor"), S::rgba(0.2281, 0.4451, 0.9739)},
          {QStringLiteral("bandColor"), S::grey(0.1476)},
          {QStringLiteral("bandStrokeColor"), S::grey(0.25)},
          {QStringLiteral("selectedBandColor"), S::grey(1, 0.35)},
          {QStringLiteral("selectedBandStrokeColor"), S::grey(0, 0.7)},
          {QStringLiteral("centerColColor"), S::grey(0, 0.4)},
          {QStringLiteral("selectedCenterColColor"), S::grey(0, 0.4)},
          {QStringLiteral("centerLineColor"), S::grey(0, 0.5)},
          {QStringLiteral("selectedCenterLineColor"), S::grey(0, 0.5)},
          {QStringLiteral("peakColor"), S::rgba(0.6185, 0.0842, 0.0877)},
          {QStringLiteral("textAttribsDict"), label9(S::rgba(0.0716, 0.326, 0.9714))}};
}

QVariantMap defaultPluginColors() {
  return {{QStringLiteral("Sticky"),
           QVariantMap{{QStringLiteral("textAttribsDict"), label9(S::grey(0.4))}}},
          {QStringLiteral("MediaBin"), mediaBinColors()},
          {QStringLiteral("AudioAnalysis"), audioAnalysisColors()},
          {QStringLiteral("StepSequencer"),
           QVariantMap{{QStringLiteral("timeColor"), S::rgba(0.4009, 0.9769, 0.1447)},
                       {QStringLiteral("valueColor"), S::rgba(0.6765, 0.0921, 0.0958)}}}};
}

}  // namespace

const QStringList& InterfaceColorScheme::dictionaryNames() {
  static const QStringList names = {
      kWinColorDict,    kTableColorDict, kLabelColorDict,  kLevelViewColorDict, kPopUpColorDict,
      kBezierColorDict, kFxColorDict,    kPluginColorDict, kButtonColorDict,    kSliderColorDict};
  return names;
}

const QStringList& InterfaceColorScheme::dictionaryNamesWithDefaults() {
  static const QStringList names = dictionaryNames().mid(0, 8);
  return names;
}

InterfaceColorScheme::InterfaceColorScheme() {
  const QVariantMap defaults[] = {
      defaultWinColors(),   defaultTableColors(),  label9(grey(0.3012)), defaultLevelViewColors(),
      defaultPopUpColors(), defaultBezierColors(), defaultFxColors(),    defaultPluginColors()};
  for (int i = 0; i < 8; ++i) {
    dictionaries_[i] = defaults[i];
    present_[i] = true;
  }
}

int InterfaceColorScheme::indexOf(const QString& name) const {
  return static_cast<int>(dictionaryNames().indexOf(name));
}

const QVariantMap& InterfaceColorScheme::dictionary(const QString& name) const {
  static const QVariantMap empty;
  const int index = indexOf(name);
  return index < 0 ? empty : dictionaries_[index];
}

bool InterfaceColorScheme::contains(const QString& name) const {
  const int index = indexOf(name);
  return index >= 0 && present_[index];
}

void InterfaceColorScheme::setDictionary(const QString& name, const QVariantMap& dictionary) {
  const int index = indexOf(name);
  if (index < 0) return;
  if (!present_[index]) {
    dictionaries_[index] = dictionary;
    present_[index] = true;
    return;
  }
  MutDictAdditions::recursivelyAddThisDict(dictionaries_[index], dictionary);
}

void InterfaceColorScheme::mergeStoredScheme(const QVariantMap& stored) {
  for (const QString& name : dictionaryNamesWithDefaults()) {
    const QVariant entry = stored.value(name);
    if (entry.typeId() == QMetaType::QVariantMap) setDictionary(name, entry.toMap());
  }
}

QVariantMap InterfaceColorScheme::storedScheme() {
  const QVariant stored = UserDefaults::standard().value(kStoredSchemeDefault);
  if (!stored.isValid()) return {};
  return KeyedArchive::unarchive(stored).toMap();
}

QVariant InterfaceColorScheme::rgba(double red, double green, double blue, double alpha) {
  return QColor::fromRgbF(static_cast<float>(red), static_cast<float>(green),
                          static_cast<float>(blue), static_cast<float>(alpha));
}

QVariant InterfaceColorScheme::grey(double level, double alpha) {
  return rgba(level, level, level, alpha);
}

QFont InterfaceColorScheme::font(const QString& family, int pixelSize) {
  QFont result(family);
  result.setPixelSize(pixelSize);
  return result;
}

QVariantMap InterfaceColorScheme::textAttributes(const QFont& font, const QVariant& color) {
  return {{kFontAttribute, font}, {kForegroundColorAttribute, color}};
}

QString InterfaceColorScheme::interfaceFontFamily() { return QStringLiteral("Lucida Grande"); }
