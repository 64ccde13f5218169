#include "platform/foundation/KeyedArchive.h"

#include <QColor>
#include <QFont>
#include <QVariantList>
#include <QVariantMap>
#include <gtest/gtest.h>

TEST(KeyedArchive, ColoursAndFontsRoundTripInsideNestedValues) {
  QFont pixelFont(QStringLiteral("Some Family"));
  pixelFont.setPixelSize(9);
  pixelFont.setBold(true);
  QFont pointFont(QStringLiteral("Other"));
  pointFont.setPointSizeF(11.5);
  const QVariantMap original{
      {QStringLiteral("color"), QColor::fromRgbF(0.25f, 0.5f, 0.75f, 0.5f)},
      {QStringLiteral("nested"),
       QVariantMap{{QStringLiteral("font"), pixelFont}, {QStringLiteral("n"), 3}}},
      {QStringLiteral("list"), QVariantList{pointFont, QStringLiteral("text")}}};

  const QVariant archived = KeyedArchive::archive(original);
  // Only property-list types are left in the archive.
  const QVariantMap colorEntry = archived.toMap().value(QStringLiteral("color")).toMap();
  EXPECT_EQ(colorEntry.value(QStringLiteral("$class")).toString(), QStringLiteral("NSColor"));

  const QVariantMap back = KeyedArchive::unarchive(archived).toMap();
  const QColor color = back.value(QStringLiteral("color")).value<QColor>();
  EXPECT_NEAR(color.redF(), 0.25, 1e-3);
  EXPECT_NEAR(color.alphaF(), 0.5, 1e-3);
  const QFont font =
      back.value(QStringLiteral("nested")).toMap().value(QStringLiteral("font")).value<QFont>();
  EXPECT_EQ(font.family(), QStringLiteral("Some Family"));
  EXPECT_EQ(font.pixelSize(), 9);
  EXPECT_TRUE(font.bold());
  const QVariantList list = back.value(QStringLiteral("list")).toList();
  ASSERT_EQ(list.size(), 2);
  EXPECT_DOUBLE_EQ(list[0].value<QFont>().pointSizeF(), 11.5);
  EXPECT_EQ(list[1].toString(), QStringLiteral("text"));
}

TEST(KeyedArchive, UndecodableEntriesAreLeftOut) {
  const QVariantMap archived{
      {QStringLiteral("short"), QVariantMap{{QStringLiteral("$class"), QStringLiteral("NSColor")},
                                            {QStringLiteral("rgba"), QVariantList{1, 0}}}},
      {QStringLiteral("nofamily"),
       QVariantMap{{QStringLiteral("$class"), QStringLiteral("NSFont")}}},
      {QStringLiteral("text"),
       QVariantMap{{QStringLiteral("$class"), QStringLiteral("NSColor")},
                   {QStringLiteral("rgba"), QVariantList{"a", "b", "c", "d"}}}},
      {QStringLiteral("fine"), 7}};
  const QVariantMap back = KeyedArchive::unarchive(archived).toMap();
  EXPECT_EQ(back.keys(), QStringList{QStringLiteral("fine")});
}

TEST(KeyedArchive, OutOfRangeComponentsAreClamped) {
  const QVariantMap archived{{QStringLiteral("$class"), QStringLiteral("NSColor")},
                             {QStringLiteral("rgba"), QVariantList{2.0, -1.0, 0.5, 1.0}}};
  const QColor color = KeyedArchive::unarchive(archived).value<QColor>();
  EXPECT_DOUBLE_EQ(color.redF(), 1.0);
  EXPECT_DOUBLE_EQ(color.greenF(), 0.0);
}
