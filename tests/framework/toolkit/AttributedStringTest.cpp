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

}  // namespace
