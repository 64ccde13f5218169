#include "framework/render/InterfaceColorScheme.h"
#include "framework/toolkit/AttributedStringAdditions.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace AttributedStringAdditions;

namespace {

TEST(AttributedString, NeedsBothAStringAndAttributes) {
  EXPECT_EQ(createWithString(QString(), QVariantMap{}), nullptr);
  EXPECT_EQ(createWithString(QStringLiteral("120 BPM"), std::nullopt), nullptr);
  const auto empty = createWithString(QStringLiteral(""), QVariantMap{});
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->string(), QStringLiteral(""));
}

TEST(AttributedString, DrawsWithItsFontAndColour) {
  const QFont font(QStringLiteral("DejaVu Sans"), 20);
  const auto label = createWithString(
      QStringLiteral("88"), QVariantMap{{AttributedString::kFontAttribute, font},
                                        {AttributedString::kColorAttribute, QColor(Qt::red)}});
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->font(), font);
  EXPECT_EQ(label->color(), QColor(Qt::red));
  const QSizeF size = label->size();
  EXPECT_GT(size.width(), 0);
  EXPECT_GT(size.height(), 0);

  QImage image(64, 64, QImage::Format_ARGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    label->drawAtPoint(painter, QPointF(4, 4));
  }
  int reddish = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 100 && c.blue() < 100) ++reddish;
    }
  EXPECT_GT(reddish, 10);
}

TEST(AttributedString, MissingAttributesFallBack) {
  const auto plain = createWithString(QStringLiteral("x"), QVariantMap{{"color", "not a colour"}});
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->color(), QColor(Qt::black));
}

TEST(AttributedString, ReadsTheKeysOfStoredThemesToo) {
  const QFont small(QStringLiteral("DejaVu Sans"), 9);
  const QFont large(QStringLiteral("DejaVu Sans"), 20);
  struct Case {
    const char* name;
    QVariantMap attributes;
    QFont font;
    QColor color;
  };
  const Case cases[] = {
      {"short keys", {{"font", small}, {"color", QColor(Qt::red)}}, small, Qt::red},
      {"stored keys", {{"NSFont", small}, {"NSColor", QColor(Qt::red)}}, small, Qt::red},
      {"short keys first",
       {{"font", small},
        {"NSFont", large},
        {"color", QColor(Qt::red)},
        {"NSColor", QColor(Qt::blue)}},
       small,
       Qt::red},
      {"a short key of the wrong type gives way",
       {{"font", "DejaVu Sans"},
        {"NSFont", large},
        {"color", "red"},
        {"NSColor", QColor(Qt::blue)}},
       large,
       Qt::blue},
  };
  for (const Case& c : cases) {
    const AttributedString label(QStringLiteral("x"), c.attributes);
    EXPECT_EQ(label.font(), c.font) << c.name;
    EXPECT_EQ(label.color(), c.color) << c.name;
  }
}

TEST(AttributedString, DrawsWithTheColourSchemesTextAttributes) {
  const QFont font = InterfaceColorScheme::font(InterfaceColorScheme::interfaceFontFamily(), 9);
  const QVariant grey = InterfaceColorScheme::grey(0.4);
  const AttributedString label(QStringLiteral("x"),
                               InterfaceColorScheme::textAttributes(font, grey));
  EXPECT_EQ(label.font(), font);
  EXPECT_EQ(label.color(), grey.value<QColor>());
}

}  // namespace
