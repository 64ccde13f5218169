// Still images: the cache size, the style choice, the defaults and the
// snapshot, the cache bitmap and its release, and images that cannot be read.
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKImageFile.h"
#include "framework/toolkit/QKStatChecker.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/media/MediaTestSupport.h"

#include <QColor>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include <gtest/gtest.h>

namespace {

// Left half red, right half blue.
QImage twoColours(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::blue);
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width() / 2; ++x) image.setPixelColor(x, y, Qt::red);
  return image;
}

bool near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
         std::abs(a.blue() - b.blue()) < 40;
}

class QKImageFileTest : public MediaKindTest {
 protected:
  void TearDown() override {
    QImageReader::setAllocationLimit(256);
    MediaKindTest::TearDown();
  }

  QString image(const QString& name, QSize size,
                QImageIOHandler::Transformations turn = QImageIOHandler::TransformationNone) {
    const QString path = dir_ + QLatin1Char('/') + name;
    QImageWriter writer(path);
    writer.setTransformation(turn);
    EXPECT_TRUE(writer.write(twoColours(size))) << writer.errorString().toStdString();
    return path;
  }
};

}  // namespace

TEST_F(QKImageFileTest, TheCacheSizeFitsTheLongerSideIntoTheLimit) {
  const struct {
    QSize original;
    int limit;
    QSize fitted;
  } cases[] = {
      {{4000, 3000}, 1280, {1280, 960}},
      {{3000, 4000}, 1280, {960, 1280}},
      {{1000, 800}, 1280, {1000, 800}},
      {{1280, 720}, 500, {500, 281}},
      {{1280, 1280}, 1280, {1280, 1280}},
      {{1281, 1281}, 1280, {1280, 1280}},
      {{5120, 2562}, 1280, {1280, 641}},  // 640.5: a half rounds away from zero
      {{2562, 5120}, 1280, {641, 1280}},
      {{100000, 1}, 1280, {1280, 1}},
      {{0, 0}, 1280, {0, 0}},
      {{640, 0}, 1280, {640, 0}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QKImageFile::fittedSize(c.original, c.limit), c.fitted)
        << c.original.width() << "x" << c.original.height() << " in " << c.limit;

  EXPECT_EQ(QKImageFile::cacheLimit(), 1280);
  UserDefaults::standard().setValue("maxImageCacheSizeDefault", 500);
  EXPECT_EQ(QKImageFile::cacheLimit(), 500);
  UserDefaults::standard().setValue("maxImageCacheSizeDefault", 0);
  EXPECT_EQ(QKImageFile::cacheLimit(), 1280);
}

TEST_F(QKImageFileTest, UseImageSourceFollowsTheStyleSettings) {
  compositor_.imageSourceMenu = {"<Built-In Player>", "Frame.qtz"};
  const struct {
    const char* name;
    std::optional<QVariantMap> props;
    int answer;
  } cases[] = {
      {"no properties", std::nullopt, 0},
      {"useStyle 0 whatever the style", QVariantMap{{"useStyle", 0}, {"styleName", "Frame.qtz"}},
       2},
      {"no style name", QVariantMap{{"useStyle", 1}}, 0},
      {"the built-in player", QVariantMap{{"useStyle", 1}, {"styleName", "<Built-In Player>"}}, 0},
      {"a style of the menu", QVariantMap{{"useStyle", 1}, {"styleName", "Frame.qtz"}}, 1},
      {"no useStyle, a style of the menu", QVariantMap{{"styleName", "Frame.qtz"}}, 1},
      {"a style no longer installed", QVariantMap{{"useStyle", 1}, {"styleName", "Gone.qtz"}}, 0},
  };
  for (const auto& c : cases) {
    auto file = QKImageFile::createWithCompositor(&compositor_);
    if (c.props) file->setMovieProps(*c.props);
    EXPECT_EQ(file->useImageSource(), c.answer) << c.name;
  }
}

TEST_F(QKImageFileTest, ANewFileTakesTheDefaultsAndItsSnapshotTheirKeys) {
  UserDefaults::standard().setValue("imageHorResDefault", 1024);
  UserDefaults::standard().setValue("useImageStyleDefault", 1);
  compositor_.imageSources = {{"DefaultImageSource.qtz", "/styles/DefaultImageSource.qtz"}};
  compositor_.imageSourceMenu = {"<Built-In Player>", "DefaultImageSource.qtz"};
  auto file = QKImageFile::createWithFilePath(image("still.png", {40, 30}), &compositor_);
  ASSERT_TRUE(file->validFile());
  const QVariantMap expected{{"allowLiveUpdating", true},
                             {"useCustomResForQtz", 1},
                             {"qtzHorRes", 1024},
                             {"qtzVertRes", 480},
                             {"styleName", "DefaultImageSource.qtz"},
                             {"useStyle", 1},
                             {"cacheImage", 0}};
  EXPECT_EQ(file->movieProps(), expected);
  EXPECT_EQ(file->name(), "still.png");
  EXPECT_EQ(file->fileType(), "png");
  EXPECT_EQ(file->originalSize(), QSize(40, 30));
  EXPECT_EQ(file->posterImage().size(), QSize(80, 60));
  EXPECT_FALSE(file->imageRep()) << "not cached by default";

  file->setMovieProp("QCAttributeSnapshot", QVariantMap{{"a", 1}});
  file->setMovieProp("volume", 0.5);  // a key of another kind: not stored
  QVariantMap stored = expected;
  stored.insert("QCAttributeSnapshot", QVariantMap{{"a", 1}});
  EXPECT_EQ(file->createSnapshot().value("movieProps").toMap(), stored);
  EXPECT_EQ(file->createSnapshot().value("qkFileType"), QVariant(6));
}

TEST_F(QKImageFileTest, ACachedImageIsDecodedAtItsCacheSizeInItsOrientation) {
  UserDefaults::standard().setValue("cacheImagesDefault", 1);
  UserDefaults::standard().setValue("maxImageCacheSizeDefault", 20);
  // Stored 80 x 40, shown turned a quarter clockwise: 40 x 80, red on top.
  auto file = QKImageFile::createWithFilePath(
      image("turned.jpg", {80, 40}, QImageIOHandler::TransformationRotate90), &compositor_);
  ASSERT_TRUE(file->validFile());
  EXPECT_EQ(file->originalSize(), QSize(40, 80));
  EXPECT_EQ(file->actualSize(), QSize(10, 20));
  const QKImageFile::Bitmap bitmap = file->imageRep();
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->size(), QSize(10, 20));
  EXPECT_EQ(bitmap->format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_TRUE(near(bitmap->pixelColor(5, 2), Qt::red));
  EXPECT_TRUE(near(bitmap->pixelColor(5, 17), Qt::blue));
  EXPECT_TRUE(near(file->posterImage().pixelColor(40, 5), Qt::red));
}

TEST_F(QKImageFileTest, PreparingTheCacheMakesKeepsOrDropsTheBitmap) {
  auto file = QKImageFile::createWithFilePath(image("still.png", {400, 200}), &compositor_);
  ASSERT_FALSE(file->imageRep());

  file->setMovieProp("cacheImage", 1);
  file->prepareImageCacheIfNeeded();
  const QKImageFile::Bitmap first = file->imageRep();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->size(), QSize(400, 200));
  file->prepareImageCacheIfNeeded();
  EXPECT_EQ(file->imageRep(), first) << "a bitmap of the right size is kept";

  UserDefaults::standard().setValue("maxImageCacheSizeDefault", 100);
  file->prepareImageCacheIfNeeded();
  ASSERT_TRUE(file->imageRep());
  EXPECT_EQ(file->imageRep()->size(), QSize(100, 50));
  EXPECT_EQ(file->actualSize(), QSize(100, 50));

  // A reader (the render thread) still drawing the first bitmap keeps it.
  file->setMovieProp("cacheImage", 0);
  file->prepareImageCacheIfNeeded();
  EXPECT_FALSE(file->imageRep());
  EXPECT_EQ(first->size(), QSize(400, 200));
  EXPECT_TRUE(near(first->pixelColor(10, 10), Qt::red));

  file->removeMovieProp("cacheImage");
  file->prepareImageCacheIfNeeded();
  EXPECT_EQ(file->movieProp("cacheImage"), QVariant(0)) << "an absent flag is stored as 0";
}

TEST_F(QKImageFileTest, NoBitmapIsMadeWhileMemoryIsShort) {
  const QString memInfo = dir_ + "/meminfo";
  writeFile(memInfo, "MemTotal: 1000 kB\nMemAvailable: 1000 kB\n");
  QKStatChecker::setMemInfoPath(memInfo);
  UserDefaults::standard().setValue("cacheImagesDefault", 1);
  auto file = QKImageFile::createWithFilePath(image("still.png", {40, 30}), &compositor_);
  EXPECT_TRUE(file->validFile());
  EXPECT_FALSE(file->imageRep());

  file->setMovieProp("cacheImage", 1);
  LogCapture log;
  file->prepareImageCacheIfNeeded();
  EXPECT_FALSE(file->imageRep());
  EXPECT_TRUE(log.contains("attempted to cache image when below memory threshold"));
}

TEST_F(QKImageFileTest, AnImageThatCannotBeReadGivesAMissingFile) {
  QFile source(image("good.png", {64, 48}));
  ASSERT_TRUE(source.open(QIODevice::ReadOnly));
  const QByteArray png = source.readAll();
  QByteArray zeroWide = png;
  zeroWide.replace(16, 4, QByteArray(4, '\0'));  // the header's width
  QFile large(image("large.png", {1024, 300}));  // 1.2 MB of pixels
  ASSERT_TRUE(large.open(QIODevice::ReadOnly));
  const struct {
    const char* name;
    QByteArray bytes;
    int allocationLimitMB;
  } cases[] = {
      {"empty", {}, 256},
      {"corrupt", "\x89PNG\r\n\x1a\nthis is not an image at all", 256},
      {"truncated", png.left(png.size() / 2), 256},
      {"zero width", zeroWide, 256},
      {"beyond the reader's allocation limit", large.readAll(), 1},
  };
  for (const auto& c : cases) {
    const QString path = dir_ + "/bad.png";
    ASSERT_TRUE(writeFile(path, c.bytes));
    QImageReader::setAllocationLimit(c.allocationLimitMB);
    LogCapture log;
    auto file = QKImageFile::createWithFilePath(path, &compositor_);
    QImageReader::setAllocationLimit(256);
    EXPECT_FALSE(file->validFile()) << c.name;
    EXPECT_EQ(log.lines().size(), 1) << c.name;
    EXPECT_FALSE(file->imageRep()) << c.name;
  }
}

TEST_F(QKImageFileTest, RestoreTakesStoredPropertiesOverTheDefaults) {
  const QString path = image("still.png", {40, 30});
  UserDefaults::standard().setValue("imageVertResDefault", 720);
  const struct {
    const char* name;
    QVariantMap snapshot;
    bool valid;
    QVariant vertRes;
    QVariant cacheImage;
  } cases[] = {
      {"no stored properties: the defaults at load", {{"fullPath", path}}, true, 720, 0},
      {"stored ones",
       {{"fullPath", path}, {"movieProps", QVariantMap{{"qtzVertRes", 600}, {"cacheImage", 1}}}},
       true,
       600,
       1},
      {"a mistyped one",
       {{"fullPath", path}, {"movieProps", QVariantMap{{"qtzVertRes", "tall"}}}},
       true,
       720,
       0},
      {"the file is gone", {{"fullPath", dir_ + "/gone.png"}}, false, QVariant(), QVariant()},
  };
  for (const auto& c : cases) {
    NotificationCounter missing(MediaNotifications::kMissingFile);
    auto file = QKImageFile::createWithCompositor(&compositor_);
    EXPECT_EQ(file->loadFromSnapshot(c.snapshot, &compositor_), c.valid) << c.name;
    EXPECT_EQ(file->movieProp("qtzVertRes"), c.vertRes) << c.name;
    EXPECT_EQ(file->movieProp("cacheImage"), c.cacheImage) << c.name;
    EXPECT_EQ(file->imageRep() != nullptr, c.cacheImage == QVariant(1)) << c.name;
    EXPECT_EQ(missing.count(), c.valid ? 0 : 1) << c.name;
    EXPECT_EQ(file->fullPath(), c.snapshot.value("fullPath").toString()) << c.name;
  }
}
