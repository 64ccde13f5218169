#include "framework/toolkit/MutDictAdditions.h"
#include "platform/foundation/Log.h"

#include <QColor>
#include <QFont>
#include <QLocale>

#include <gtest/gtest.h>

using namespace MutDictAdditions;

namespace {

const QVariant nil;

TEST(DictionaryBuilder, ReadsPairsUpToTheFirstNil) {
  const struct {
    const char* name;
    QVariantList arguments;
    std::optional<QVariantMap> expected;
  } cases[] = {
      {"pairs", {1, "a", 2.5, "b", nil}, QVariantMap{{"a", 1}, {"b", 2.5}}},
      {"no closing nil", {1, "a", 2, "b"}, QVariantMap{{"a", 1}, {"b", 2}}},
      {"nil first object", {nil, "a", 1, "b"}, std::nullopt},
      {"no arguments", {}, std::nullopt},
      {"object without key", {1, "a", 2}, QVariantMap{{"a", 1}}},
      {"nil key stops", {1, "a", 2, nil, 3, "c"}, QVariantMap{{"a", 1}}},
      {"nil object stops", {1, "a", nil, "b", 3, "c"}, QVariantMap{{"a", 1}}},
      {"later pair wins", {1, "a", 2, "a"}, QVariantMap{{"a", 2}}},
      {"nested values",
       {QVariantMap{{"x", 1}}, "inner", nil},
       QVariantMap{{"inner", QVariantMap{{"x", 1}}}}},
  };
  for (const auto& c : cases) {
    const std::optional<QVariantMap> result = dictionaryWithObjectsAndKeys(c.arguments);
    ASSERT_EQ(result.has_value(), c.expected.has_value()) << c.name;
    if (result) {
      EXPECT_EQ(*result, *c.expected) << c.name;
    }
  }
}

TEST(DeepMerge, MergesDictionariesKeyByKeyAndReplacesEverythingElse) {
  QVariantMap theme{{"window", QVariantMap{{"bg", "black"},
                                           {"fg", "white"},
                                           {"title", QVariantMap{{"size", 10}, {"bold", true}}}}},
                    {"table", "flat"},
                    {"levels", QVariantMap{{"peak", "red"}}},
                    {"keepMe", 1}};
  const QVariantMap saved{
      {"window", QVariantMap{{"fg", "grey"}, {"title", QVariantMap{{"size", 12}}}, {"new", 3}}},
      {"table", QVariantMap{{"rows", "striped"}}},  // dictionary over a plain value
      {"levels", "off"},                            // plain value over a dictionary
      {"added", 2}};

  recursivelyAddThisDict(theme, saved);

  const QVariantMap expected{
      {"window", QVariantMap{{"bg", "black"},
                             {"fg", "grey"},
                             {"title", QVariantMap{{"size", 12}, {"bold", true}}},
                             {"new", 3}}},
      {"table", QVariantMap{{"rows", "striped"}}},
      {"levels", "off"},
      {"keepMe", 1},
      {"added", 2}};
  EXPECT_EQ(theme, expected);
}

TEST(DeepMerge, IntoAnEmptyDictionaryCopies) {
  QVariantMap empty;
  const QVariantMap other{{"a", QVariantMap{{"b", 1}}}};
  recursivelyAddThisDict(empty, other);
  EXPECT_EQ(empty, other);
}

class SourceText : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = Log::setSink([this](const QString& line) { lines_ << line; });
  }
  void TearDown() override {
    Log::setSink(previous_);
    QLocale::setDefault(QLocale::c());
  }
  QStringList lines_;
  Log::Sink previous_;
};

TEST_F(SourceText, WritesANestedDictionary) {
  QLocale::setDefault(QLocale(QLocale::German));  // numbers stay in the C locale
  const QVariantMap dict{{"bgColor", QColor::fromRgbF(0.2f, 0.6f, 1.0f, 1.0f)},
                         {"fontSize", 1.5},
                         {"labelFont", QFont(QStringLiteral("DejaVu Sans"), 12)},
                         {"sub", QVariantMap{{"on", true}, {"width", 3}}}};

  const QString expected = QStringLiteral(
      "[[[NSDictionary dictionaryWithObjectsAndKeys:\n"
      "\t\t[NSColor colorWithDeviceRed:0.200000 green:0.600000 blue:1.000000 alpha:1.000000], "
      "@\"bgColor\",\n"
      "\t\t[NSNumber numberWithFloat:1.500000], @\"fontSize\",\n"
      "\t\t[NSFont fontWithName:@\"DejaVu Sans\" size:12.000000], @\"labelFont\",\n"
      "\t\t[[[NSDictionary dictionaryWithObjectsAndKeys:\n"
      "\t\t\t[NSNumber numberWithFloat:1.000000], @\"on\",\n"
      "\t\t\t[NSNumber numberWithFloat:3.000000], @\"width\",\n"
      "\t\t\tnil] mutableCopy] autorelease], @\"sub\",\n"
      "\t\tnil] mutableCopy] autorelease]");
  EXPECT_EQ(contentsAsSourceStringWithTabDepth(dict, 1).toStdString(), expected.toStdString());
  EXPECT_TRUE(lines_.isEmpty());
}

TEST_F(SourceText, UnknownValuesAreLoggedAndLeftOutWithTheirKeys) {
  const QVariantMap dict{{"name", QStringLiteral("Dark")}, {"alpha", 0.5}};
  const QString expected = QStringLiteral(
      "[[[NSDictionary dictionaryWithObjectsAndKeys:\n"
      "\t[NSNumber numberWithFloat:0.500000], @\"alpha\",\n"
      "\tnil] mutableCopy] autorelease]");
  EXPECT_EQ(contentsAsSourceStringWithTabDepth(dict, 0), expected);
  EXPECT_EQ(lines_, QStringList{QStringLiteral(
                        "\t\tERR: attempting to convert an unknown object class to a string: "
                        "QString")});
}

TEST(AddObjects, SetsPairsOnlyForMatchingNonEmptyLists) {
  const struct {
    const char* name;
    QVariantList objects;
    QStringList keys;
    QVariantMap expected;
  } cases[] = {
      {"matching", {1, 2}, {"a", "b"}, QVariantMap{{"kept", 0}, {"a", 1}, {"b", 2}}},
      {"overwrites", {5}, {"kept"}, QVariantMap{{"kept", 5}}},
      {"more objects", {1, 2}, {"a"}, QVariantMap{{"kept", 0}}},
      {"more keys", {1}, {"a", "b"}, QVariantMap{{"kept", 0}}},
      {"empty", {}, {}, QVariantMap{{"kept", 0}}},
  };
  for (const auto& c : cases) {
    QVariantMap dict{{"kept", 0}};
    addObjects(dict, c.objects, c.keys);
    EXPECT_EQ(dict, c.expected) << c.name;
  }
}

}  // namespace
