// A project holding one entry of each kind, saved, moved to another folder
// and restored; and the release of each kind on a thread that holds the
// render lock.
#include "framework/media/QKFileKindTable.h"
#include "framework/media/QKImageFile.h"
#include "framework/media/QKQCFile.h"
#include "framework/media/QKTapFile.h"
#include "framework/media/QKTextFile.h"
#include "framework/media/QKURLFile.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/media/MediaTestSupport.h"
#include "tests/support/HangWatchdog.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QUrl>

#include <gtest/gtest.h>

#include <future>

namespace {

QByteArray png(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// The media of a show, made in `folder`.
void writeMedia(const QString& folder) {
  const QString media = folder + "/media/";
  writeFile(media + "still.png", png({64, 48}));
  writeFile(media + "words.txt", "read from disk");
  writeFile(media + "edited.txt", "before the edit");
  writeFile(media + "page.HTML", "<p>page</p>");
  writeFile(media + "comp.qtz", PropertyList::toXml(QVariantMap{{"thumbnail", png({8, 6})}}));
  writeFile(media + "site.webloc",
            PropertyList::toXml(QVariantMap{{"URL", "https://c.example/show"}}));
  const QVariantMap main{{"WebResourceData", QByteArray("<p>saved</p>")},
                         {"WebResourceURL", "https://a.example/"},
                         {"WebResourceMIMEType", "text/html"}};
  writeFile(media + "saved.webarchive",
            PropertyList::toXml(QVariantMap{{"WebMainResource", main}}));
}

std::vector<std::shared_ptr<QKFile>> oneOfEachKind(const QString& folder,
                                                   CompositorInterface* compositor) {
  const QString media = folder + "/media/";
  auto blank = QKTextFile::createWithName("notes", compositor);
  blank->setMyString("typed into a blank cell");
  auto edited = QKTextFile::createWithPath(media + "edited.txt", "edited.txt", compositor);
  edited->setReadOnlyFlag(false);
  edited->setMyString("after the edit");
  auto image = QKImageFile::createWithFilePath(media + "still.png", compositor);
  image->setMovieProp("cacheImage", 1);
  image->setMovieProp("styleName", "Frame.qtz");
  image->prepareImageCacheIfNeeded();
  auto comp = QKQCFile::createWithPath(media + "comp.qtz", "comp", compositor);
  comp->setMovieProp("QCAttributeSnapshot", QVariantMap{{"speed", 2.0}});
  auto address = QKURLFile::createWithURLString(compositor, "https://b.example/live");
  address->setMovieProp("urlHorRes", 1280);
  return {QKTapFile::createWithTapName("VidIn 1", compositor),
          blank,
          QKTextFile::createWithPath(media + "words.txt", "words.txt", compositor),
          edited,
          image,
          comp,
          address,
          QKURLFile::createWithFilePath(compositor, media + "page.HTML"),
          QKURLFile::createWithFilePath(compositor, media + "saved.webarchive"),
          QKURLFile::createWithFilePath(compositor, media + "site.webloc")};
}

// A snapshot without the keys that name where the media lay.
QVariantMap withoutPaths(QVariantMap snapshot) {
  for (const char* key : {"fullPath", "originalPath", "relPathToProject", "relPathToApplication",
                          "relPathToUserFolder"})
    snapshot.remove(key);
  if (snapshot.value("urlString").toString().startsWith("file:")) snapshot.remove("urlString");
  return snapshot;
}

}  // namespace

TEST(MediaKinds, AProjectMovedToAnotherFolderGivesBackTheSameEntries) {
  UserDefaults::standard().resetForTesting();
  const QString before = TestEnvironment::makeTempDir(QStringLiteral("show"));
  writeMedia(before);
  FakeCompositor saving;
  saving.savePath = before + "/show.zaph";
  QVariantList saved;
  for (const auto& file : oneOfEachKind(before, &saving)) {
    EXPECT_TRUE(file->validFile()) << file->description().toStdString();
    saved << file->createSnapshot();
  }
  ASSERT_TRUE(PropertyList::write(QVariantMap{{"files", saved}}, saving.savePath).isEmpty());

  const QString after = TestEnvironment::makeTempDir(QStringLiteral("moved"));
  ASSERT_TRUE(QDir().rmdir(after));
  ASSERT_TRUE(QDir().rename(before, after));
  FakeCompositor loading;
  loading.savePath = after + "/show.zaph";
  const PropertyList::Result project = PropertyList::read(loading.savePath);
  ASSERT_TRUE(project.ok()) << project.error.toStdString();
  const QVariantList snapshots = project.value.toMap().value("files").toList();
  ASSERT_EQ(snapshots.size(), saved.size());

  for (const QVariant& value : snapshots) {
    const QVariantMap snapshot = value.toMap();
    const std::string what = snapshot.value("name").toString().toStdString();
    auto file = QKFileKindTable::createForSnapshot(snapshot, &loading);
    ASSERT_TRUE(file) << what;
    EXPECT_TRUE(file->loadFromSnapshot(snapshot, &loading)) << what;
    EXPECT_TRUE(file->validFile()) << what;
    EXPECT_EQ(file->qkFileType(), snapshot.value("qkFileType").toInt()) << what;
    if (QDir::isAbsolutePath(snapshot.value("fullPath").toString())) {
      EXPECT_TRUE(file->fullPath().startsWith(after + "/media/")) << what;
    }
    const QVariantMap again = PropertyList::normalized(file->createSnapshot()).toMap();
    EXPECT_EQ(withoutPaths(again), withoutPaths(snapshot)) << what;
    if (auto url = std::dynamic_pointer_cast<QKURLFile>(file);
        url && url->fullPath().endsWith(".HTML")) {
      EXPECT_EQ(url->urlString(), QUrl::fromLocalFile(after + "/media/page.HTML").toString());
    }
  }
  long largest = 0;
  for (const QVariant& value : snapshots)
    largest = std::max(largest, long(value.toMap().value("uniqueFileId").toLongLong()));
  EXPECT_GT(loading.ids.next(), largest) << "restored IDs keep new ones above";
}

TEST(MediaKinds, TheLastReferenceDroppedUnderTheRenderLockReturnsAtOnce) {
  const QString folder = TestEnvironment::makeTempDir(QStringLiteral("release"));
  writeMedia(folder);
  FakeCompositor compositor;
  UserDefaults::standard().setValue("cacheImagesDefault", 1);
  std::vector<std::shared_ptr<QKFile>> files = oneOfEachKind(folder, &compositor);
  UserDefaults::standard().resetForTesting();
  auto image = std::dynamic_pointer_cast<QKImageFile>(files[4]);
  ASSERT_TRUE(image && image->imageRep());
  const QKImageFile::Bitmap drawing = image->imageRep();  // a frame still drawing it
  image.reset();

  HangWatchdog watchdog("releasing media files under the render lock", 60.0);
  for (auto& file : files) {
    const std::string what = file->description().toStdString();
    // The render thread holds the lock; this thread, the main one, waits
    // without running its event loop.
    auto released = std::async(std::launch::async, [&compositor, held = std::move(file)]() mutable {
      compositor.lockForRender();
      held.reset();
      compositor.unlockRender();
    });
    EXPECT_EQ(released.wait_for(std::chrono::seconds(20)), std::future_status::ready) << what;
  }
  EXPECT_EQ(drawing->size(), QSize(64, 48)) << "the pixels a reader holds stay";
}
