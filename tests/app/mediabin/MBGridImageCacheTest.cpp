#include "app/mediabin/MBGridImageCache.h"

#include <gtest/gtest.h>

namespace {

QImage filled(QColor colour, QSize size = {80, 60}) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(colour);
  return image;
}

MBGridImageCache::Strip strip(const QString& text) {
  MBGridImageCache::Strip s;
  s.text = text;
  s.size = QSizeF(100, 12);
  s.textRect = QRectF(2, 0, 98, 11);
  s.flags = Qt::AlignLeft | Qt::AlignVCenter;
  s.background = QColor(0, 0, 0, 190);
  s.color = Qt::white;
  return s;
}

TEST(MBGridImageCache, APosterIsScaledAgainOnlyWhenItsSourceOrSizeChanged) {
  struct Case {
    const char* name;
    bool newSource;
    QSize size;
    bool scaledAgain;
  };
  const Case cases[] = {
      {"same source, same size", false, {40, 30}, false},
      {"a new poster", true, {40, 30}, true},
      {"another cell size", false, {50, 30}, true},
  };
  for (const Case& c : cases) {
    MBGridImageCache cache;
    int owner = 0;
    const QImage first = filled(Qt::red);
    const qint64 before = cache.poster(&owner, first, {40, 30}).cacheKey();
    const QImage second = c.newSource ? filled(Qt::green) : first;
    const QImage& again = cache.poster(&owner, second, c.size);
    EXPECT_EQ(again.cacheKey() != before, c.scaledAgain) << c.name;
    EXPECT_EQ(again.size(), c.size) << c.name;
  }
}

TEST(MBGridImageCache, OnlyPostersWithTransparentPixelsKeepTheirAlpha) {
  MBGridImageCache cache;
  int opaque = 0, seeThrough = 0, none = 0;
  QImage holed = filled(Qt::red);
  holed.setPixel(5, 5, qRgba(0, 0, 0, 0));
  EXPECT_FALSE(cache.poster(&opaque, filled(Qt::red), {40, 30}).hasAlphaChannel());
  EXPECT_TRUE(cache.poster(&seeThrough, holed, {80, 60}).hasAlphaChannel());
  EXPECT_TRUE(cache.poster(&none, QImage(), {40, 30}).isNull());
}

TEST(MBGridImageCache, AStripIsDrawnAgainWhenAnythingItShowsChanged) {
  MBGridImageCache cache;
  const qint64 first = cache.strip(1, strip("clip")).cacheKey();
  EXPECT_EQ(cache.strip(1, strip("clip")).cacheKey(), first);
  MBGridImageCache::Strip recoloured = strip("clip");
  recoloured.color = Qt::yellow;
  const std::vector<MBGridImageCache::Strip> changes = {strip("clip 2"), recoloured};
  for (const auto& change : changes) {
    const qint64 before = cache.strip(1, strip("clip")).cacheKey();
    EXPECT_NE(cache.strip(1, change).cacheKey(), before) << change.text.toStdString();
  }
  MBGridImageCache::Strip sharp = strip("clip");
  sharp.pixelRatio = 2;
  const QImage& doubled = cache.strip(1, sharp);
  EXPECT_EQ(doubled.size(), QSize(200, 24));
  EXPECT_EQ(doubled.deviceIndependentSize(), QSizeF(100, 12));
}

TEST(MBGridImageCache, ALargeCacheKeepsOnlyWhatTheLastRedrawUsed) {
  MBGridImageCache cache;
  std::vector<int> owners(MBGridImageCache::kKeepAtMost + 10);
  for (int& owner : owners) cache.poster(&owner, filled(Qt::red), {4, 3});
  cache.endRedraw();
  EXPECT_EQ(cache.posterCount(), int(owners.size())) << "all used by that redraw";
  for (int i = 0; i < 5; ++i) cache.poster(&owners[size_t(i)], filled(Qt::red), {4, 3});
  cache.strip(7, strip("kept"));
  cache.endRedraw();
  EXPECT_EQ(cache.posterCount(), 5);
  EXPECT_EQ(cache.stripCount(), 1) << "a small cache keeps what it has";
}

}  // namespace
