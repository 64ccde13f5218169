#include "framework/controls/QKRectHolder.h"
#include "framework/controls/QKSafeString.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace {

bool isWhole(double v) { return v == std::floor(v); }

int paintedPixels(const QKSafeString& text) {
  QImage image(80, 30, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    text.drawAtPoint(painter, QPointF(2, 2));
  }
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) != 0;
  return count;
}

}  // namespace

TEST(QKRectHolder, DescribesItselfWithSixDecimals) {
  auto holder = QKRectHolder::createWithRect(QRectF(1, 2, 3, 4));
  EXPECT_EQ(holder->description(), "(1.000000, 2.000000) : 3.000000 x 4.000000");
  EXPECT_EQ(holder->origin(), QPointF(1, 2));
  EXPECT_EQ(holder->size(), QSizeF(3, 4));
}

TEST(QKSafeString, BiggerFontMeasuresLargerInWholePoints) {
  QKSafeString text(QStringLiteral("0.50"));
  const QSizeF small = text.textSize();
  EXPECT_EQ(text.font().pointSizeF(), 9.0);
  EXPECT_EQ(text.foregroundColor(), QColor::fromRgbF(1, 0, 0, 1));

  QFont big(QStringLiteral("Lucida Grande"));
  big.setPointSizeF(12.0);
  text.setFont(big);
  const QSizeF large = text.textSize();
  EXPECT_GT(large.width(), small.width());
  EXPECT_GT(large.height(), small.height());
  EXPECT_TRUE(isWhole(large.width()) && isWhole(large.height()));
}

TEST(QKSafeString, NullTextDrawsNothing) {
  QKSafeString text(QStringLiteral("Name"));
  EXPECT_GT(paintedPixels(text), 0);
  text.setString(QString());
  EXPECT_EQ(paintedPixels(text), 0);
  EXPECT_TRUE(text.string().isNull());
}

TEST(QKSafeString, SetAttributesTakesOnlyAFontAndAColour) {
  QKSafeString text(QStringLiteral("abc"));
  const QFont before = text.font();
  text.setAttributes({{QKSafeString::NSFontAttributeName, QStringLiteral("not a font")},
                      {QKSafeString::NSForegroundColorAttributeName, QColor(Qt::green)},
                      {QStringLiteral("other"), 1}});
  EXPECT_EQ(text.font(), before);
  EXPECT_EQ(text.foregroundColor(), QColor(Qt::green));
  EXPECT_EQ(text.fontAttribs().size(), 2);
}

// A value thread rewrites the text while the main thread draws and measures.
TEST(QKSafeString, TextChangesWhileAnotherThreadDraws) {
  QKSafeString text(QStringLiteral("0.00"));
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop; ++i) text.setString(QString::asprintf("%0.2f", (i % 100) / 100.0));
  });
  for (int i = 0; i < 50; ++i) {
    paintedPixels(text);
    EXPECT_GT(text.textSize().width(), 0);
  }
  stop = true;
  writer.join();
}
