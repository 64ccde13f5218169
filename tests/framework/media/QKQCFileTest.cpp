// Composition files: the extension rule of the restore, the stored
// thumbnail as poster, the defaults and the stored properties.
#include "framework/media/QKQCFile.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/media/MediaTestSupport.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

QByteArray pngBytes(QColor colour) {
  QImage image(16, 12, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

class QKQCFileTest : public MediaKindTest {
 protected:
  QString composition(const QString& name, const QVariantMap& contents) {
    return write(name, PropertyList::toXml(contents));
  }
};

}  // namespace

TEST_F(QKQCFileTest, ARestoreAcceptsTheExtensionInLowerOrUpperCaseOnly) {
  const struct {
    const char* name;
    bool valid;
  } cases[] = {{"a.qtz", true}, {"b.QTZ", true}, {"c.Qtz", false}, {"d.qtz.bak", false}};
  for (const auto& c : cases) {
    const QString path = composition(c.name, {{"rootPatch", QVariantMap{}}});
    auto file = QKQCFile::createWithCompositor(&compositor_);
    EXPECT_EQ(file->loadFromSnapshot({{"fullPath", path}}, &compositor_), c.valid) << c.name;
    EXPECT_EQ(file->validFile(), c.valid) << c.name;
    EXPECT_EQ(file->fullPath(), path) << c.name;
    EXPECT_EQ(file->hasMovieProps() && file->movieProps().contains("qtzHorRes"), c.valid)
        << c.name << ": only a found composition takes the defaults";
  }
}

TEST_F(QKQCFileTest, ThePosterIsTheStoredThumbnail) {
  const struct {
    const char* name;
    QString path;
    bool poster;
  } cases[] = {
      {"a thumbnail", composition("t.qtz", {{"thumbnail", pngBytes(Qt::green)}}), true},
      {"none", composition("n.qtz", {{"rootPatch", QVariantMap{}}}), false},
      {"a thumbnail that is no image", composition("x.qtz", {{"thumbnail", QByteArray("??")}}),
       false},
      {"a thumbnail that is no data", composition("s.qtz", {{"thumbnail", "picture"}}), false},
  };
  for (const auto& c : cases) {
    auto file = QKQCFile::createWithPath(c.path, "comp", &compositor_);
    EXPECT_TRUE(file->validFile()) << c.name;
    EXPECT_EQ(!file->posterImage().isNull(), c.poster) << c.name;
    if (c.poster) {
      EXPECT_EQ(file->posterImage().size(), QSize(80, 60));
      EXPECT_EQ(file->posterImage().pixelColor(40, 30), QColor(Qt::green));
    }
  }
  const QString binary = dir_ + "/binary.qtz";
  writeFile(binary, QByteArray("bplist00\x01", 9));
  EXPECT_TRUE(QKQCFile::thumbnailForQCAtPath(binary).isNull()) << "a damaged list";
}

TEST_F(QKQCFileTest, DefaultsAndStoredPropertiesOfAComposition) {
  UserDefaults::standard().setValue("qtzAllowLiveUpdatingDefault", false);
  UserDefaults::standard().setValue("qtzVertResDefault", 1080);
  const QString path = composition("c.qtz", {});
  auto file = QKQCFile::createWithPath(path, "c", &compositor_);
  const QVariantMap defaults{{"allowLiveUpdating", false},
                             {"useCustomResForQtz", 1},
                             {"qtzHorRes", 640},
                             {"qtzVertRes", 1080}};
  EXPECT_EQ(file->movieProps(), defaults);
  EXPECT_EQ(file->fileType(), "qtz");
  file->setMovieProp("QCAttributeSnapshot", QVariantMap{{"speed", 2.0}});
  file->setMovieProp("styleName", "not a composition's");
  const QVariantMap snapshot = file->createSnapshot();
  QVariantMap stored = defaults;
  stored.insert("QCAttributeSnapshot", QVariantMap{{"speed", 2.0}});
  EXPECT_EQ(snapshot.value("movieProps").toMap(), stored);

  auto restored = QKQCFile::createWithCompositor(&compositor_);
  QVariantMap changed = snapshot;
  changed.insert("movieProps", QVariantMap{{"qtzHorRes", 320}, {"QCAttributeSnapshot", "bad"}});
  LogCapture log;
  EXPECT_TRUE(restored->loadFromSnapshot(changed, &compositor_));
  QVariantMap expected = defaults;
  expected.insert("qtzHorRes", 320);
  EXPECT_EQ(restored->movieProps(), expected);
  EXPECT_EQ(log.lines().size(), 1) << "the mistyped attribute snapshot";
}
