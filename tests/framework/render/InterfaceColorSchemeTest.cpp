#include "framework/render/InterfaceColorScheme.h"

#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/UserDefaults.h"

#include <QColor>
#include <QFont>
#include <gtest/gtest.h>

namespace {

using S = InterfaceColorScheme;

QVariant at(const QVariantMap& root, const QStringList& path) {
  QVariant value = root;
  for (const QString& key : path) value = value.toMap().value(key);
  return value;
}

QColor colorAt(const S& scheme, const QString& dict, const QStringList& path) {
  return at(scheme.dictionary(dict), path).value<QColor>();
}

void expectColor(const QColor& actual, double r, double g, double b, double a) {
  EXPECT_NEAR(actual.redF(), r, 1e-4);
  EXPECT_NEAR(actual.greenF(), g, 1e-4);
  EXPECT_NEAR(actual.blueF(), b, 1e-4);
  EXPECT_NEAR(actual.alphaF(), a, 1e-4);
}

}  // namespace

TEST(InterfaceColorScheme, DefaultsHoldTheDesignedColours) {
  struct Case {
    QString dict;
    QStringList path;
    double r, g, b, a;
  };
  const Case cases[] = {
      {S::kWinColorDict, {"unlocked", "fill"}, 0.1043, 0.1043, 0.1043, 1},
      {S::kWinColorDict, {"locked", "titleBar"}, 0.1043, 0.1043, 0.1043, 1},
      {S::kWinColorDict, {"locked", "titleTextAttribs", "NSColor"}, 1, 1, 1, 1},
      {S::kTableColorDict, {"highlight"}, 0.012, 0.012, 0.012, 1},
      {S::kLabelColorDict, {"NSColor"}, 0.3012, 0.3012, 0.3012, 1},
      {S::kLevelViewColorDict, {"titleBarLevelView", "backgroundColor"}, 0.0728, 0.0728, 0.0728, 1},
      {S::kPopUpColorDict, {"fontAttribs", "NSColor"}, 0.4035, 0.4035, 0.4035, 1},
      {S::kBezierColorDict, {"curveColor"}, 0.9068, 0.1234, 0.1284, 0.5},
      {S::kFxColorDict, {"titleFontAttribs", "NSColor"}, 0.3012, 0.3012, 0.3012, 1},
      {S::kPluginColorDict, {"MediaBin", "cellQueuedColor"}, 0.9897, 0.8771, 0.1864, 0.75},
      {S::kPluginColorDict,
       {"MediaBin", "cellTitleAttribsDict", "NSColor"},
       0.7461,
       0.7461,
       0.7461,
       0.75},
      {S::kPluginColorDict, {"AudioAnalysis", "peakColor"}, 0.6185, 0.0842, 0.0877, 1},
      {S::kPluginColorDict, {"StepSequencer", "timeColor"}, 0.4009, 0.9769, 0.1447, 1},
  };
  S scheme;
  for (const Case& c : cases) {
    SCOPED_TRACE((c.dict + "/" + c.path.join("/")).toStdString());
    expectColor(colorAt(scheme, c.dict, c.path), c.r, c.g, c.b, c.a);
  }
  const QFont tableFont = scheme.dictionary(S::kTableColorDict).value("font").value<QFont>();
  EXPECT_EQ(tableFont.family(), S::interfaceFontFamily());
  EXPECT_EQ(tableFont.pixelSize(), 9);
  EXPECT_EQ(at(scheme.dictionary(S::kWinColorDict), {"unlocked", "titleTextAttribs", "NSFont"})
                .value<QFont>()
                .pixelSize(),
            10);
}

TEST(InterfaceColorScheme, ButtonAndSliderDictionariesStartAbsent) {
  S scheme;
  for (const QString& name : S::dictionaryNamesWithDefaults()) EXPECT_TRUE(scheme.contains(name));
  EXPECT_FALSE(scheme.contains(S::kButtonColorDict));
  EXPECT_FALSE(scheme.contains(S::kSliderColorDict));
  EXPECT_TRUE(scheme.dictionary(S::kButtonColorDict).isEmpty());
}

TEST(InterfaceColorScheme, SetterReplacesOnlyTheGivenLeaf) {
  S scheme;
  scheme.setDictionary(S::kTableColorDict, {{"fill", S::rgba(1, 0, 0)}});
  expectColor(colorAt(scheme, S::kTableColorDict, {"fill"}), 1, 0, 0, 1);
  expectColor(colorAt(scheme, S::kTableColorDict, {"highlight"}), 0.012, 0.012, 0.012, 1);
  expectColor(colorAt(scheme, S::kTableColorDict, {"textColor"}), 0.4, 0.4, 0.4, 1);
}

TEST(InterfaceColorScheme, AbsentDictionaryIsKeptThenMergedInto) {
  S scheme;
  const QVariantMap first{{"a", 1}, {"nested", QVariantMap{{"x", 1}, {"y", 2}}}};
  scheme.setDictionary(S::kButtonColorDict, first);
  EXPECT_EQ(scheme.dictionary(S::kButtonColorDict), first);
  scheme.setDictionary(S::kButtonColorDict, {{"nested", QVariantMap{{"y", 3}}}, {"b", 4}});
  const QVariantMap merged = scheme.dictionary(S::kButtonColorDict);
  EXPECT_EQ(merged.value("a").toInt(), 1);
  EXPECT_EQ(merged.value("b").toInt(), 4);
  EXPECT_EQ(at(merged, {"nested", "x"}).toInt(), 1);
  EXPECT_EQ(at(merged, {"nested", "y"}).toInt(), 3);
}

TEST(InterfaceColorScheme, StoredSchemeLeafChangesThatColourOnly) {
  const QVariantMap stored{
      {S::kPluginColorDict,
       QVariantMap{{"MediaBin", QVariantMap{{"cellQueuedColor", S::rgba(0, 1, 0, 1)}}}}},
      {S::kButtonColorDict, QVariantMap{{"ignored", 1}}},
      {S::kTableColorDict, QStringLiteral("not a dictionary")}};
  UserDefaults::standard().setValue("colors", KeyedArchive::archive(stored));
  S scheme;
  scheme.mergeStoredScheme(S::storedScheme());
  UserDefaults::standard().remove("colors");

  expectColor(colorAt(scheme, S::kPluginColorDict, {"MediaBin", "cellQueuedColor"}), 0, 1, 0, 1);
  expectColor(colorAt(scheme, S::kPluginColorDict, {"MediaBin", "cellPlayingColor"}), 0.0682,
              0.3534, 0.9717, 0.75);
  EXPECT_EQ(scheme.dictionary(S::kPluginColorDict).value("AudioAnalysis").toMap().size(), 12);
  expectColor(colorAt(scheme, S::kTableColorDict, {"fill"}), 0.13, 0.13, 0.13, 1);
  EXPECT_FALSE(scheme.contains(S::kButtonColorDict));
}

TEST(InterfaceColorScheme, MissingOrBrokenStoredSchemeLeavesDefaults) {
  UserDefaults::standard().remove("colors");
  EXPECT_TRUE(S::storedScheme().isEmpty());
  UserDefaults::standard().setValue("colors", QStringLiteral("garbage"));
  S scheme;
  scheme.mergeStoredScheme(S::storedScheme());
  UserDefaults::standard().remove("colors");
  expectColor(colorAt(scheme, S::kWinColorDict, {"unlocked", "fill"}), 0.1043, 0.1043, 0.1043, 1);
}
