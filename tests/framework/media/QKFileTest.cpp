// The media file base: IDs, the snapshot, the kind table and retirement.
#include "framework/media/MediaNotifications.h"
#include "framework/media/MediaPaths.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileKindTable.h"
#include "framework/media/QKQTFile.h"
#include "tests/framework/media/MediaTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <QImage>

#include <gtest/gtest.h>

#include <climits>

TEST(UniqueIDCounter, RecoveredIDsKeepLaterOnesAbove) {
  UniqueIDCounter ids;
  EXPECT_EQ(ids.next(), 0);
  for (int i = 0; i < 9; ++i) ids.next();
  ids.recovered(41);
  EXPECT_EQ(ids.next(), 42);
  ids.recovered(5);
  EXPECT_EQ(ids.next(), 43);
  ids.recovered(-3);
  EXPECT_EQ(ids.next(), 44);
  ids.recovered(LONG_MAX);
  EXPECT_EQ(ids.next(), 45) << "no ID fits above the largest";
}

TEST(UniqueIDCounter, ConcurrentCallersGetDistinctIDs) {
  UniqueIDCounter ids;
  std::vector<std::vector<long>> taken(4);
  std::vector<std::thread> threads;
  for (auto& mine : taken)
    threads.emplace_back([&ids, &mine] {
      for (int i = 0; i < 1000; ++i) {
        mine.push_back(ids.next());
        ids.recovered(i);
      }
    });
  for (auto& t : threads) t.join();
  std::vector<long> all;
  for (const auto& mine : taken) all.insert(all.end(), mine.begin(), mine.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
}

TEST(QKFile, ANewFileDrawsAnIDAndAFileToRestoreWaitsForItsOwn) {
  FakeCompositor compositor;
  compositor.ids.recovered(6);
  auto made = QKFile::createWithName(QStringLiteral("clip"), &compositor);
  EXPECT_EQ(made->uniqueFileId(), 7);
  EXPECT_EQ(made->description(), QStringLiteral("File (clip)"));
  auto restored = QKFile::createWithCompositor(&compositor);
  EXPECT_EQ(restored->uniqueFileId(), 0);
  EXPECT_EQ(restored->description(), QStringLiteral("File (nil name)"));
  EXPECT_FALSE(restored->validFile());
}

TEST(QKFile, BaseRestoreTakesTheStoredIDAndName) {
  struct Case {
    const char* name;
    QVariantMap snapshot;
    long id;
    QString fileName;
    long nextId;
  };
  const Case cases[] = {
      {"stored ID is reported back", {{"uniqueFileId", 41}, {"name", "a"}}, 41, "a", 42},
      {"an ID below the counter leaves it", {{"uniqueFileId", 2}}, 2, "unnamed file", 10},
      {"no ID draws a fresh one", {{"name", "b"}}, 10, "b", 11},
      {"an unreadable ID draws a fresh one", {{"uniqueFileId", "x"}}, 10, "unnamed file", 11},
  };
  for (const Case& c : cases) {
    FakeCompositor compositor;
    compositor.ids.recovered(9);
    auto file = QKFile::createWithCompositor(&compositor);
    EXPECT_TRUE(file->loadFromSnapshot(c.snapshot, &compositor)) << c.name;
    EXPECT_EQ(file->uniqueFileId(), c.id) << c.name;
    EXPECT_EQ(file->name(), c.fileName) << c.name;
    EXPECT_EQ(compositor.ids.peek(), c.nextId) << c.name;
  }
}

TEST(QKFile, SnapshotWritesPathsOnlyWhenThereIsAFullPath) {
  FakeCompositor compositor;
  auto bare = QKQTFile::createWithCompositor(&compositor);
  bare->setName(QStringLiteral("bare"));
  QVariantMap snapshot = bare->QKFile::createSnapshot();
  EXPECT_EQ(snapshot.keys(), (QStringList{"name", "qkFileType", "uniqueFileId"}));

  compositor.savePath = QStringLiteral("/shows/tonight/set.zaph");
  auto file = QKQTFile::createWithCompositor(&compositor);
  file->setFullPath(QStringLiteral("/shows/tonight/clips/intro.mov"));
  snapshot = file->QKFile::createSnapshot();
  EXPECT_EQ(snapshot.value("qkFileType").toInt(), 0);
  EXPECT_EQ(snapshot.value("fullPath").toString(),
            QStringLiteral("/shows/tonight/clips/intro.mov"));
  EXPECT_EQ(snapshot.value("relPathToProject").toString(), QStringLiteral("./clips/intro.mov"));
  EXPECT_TRUE(snapshot.contains("relPathToApplication"));
  EXPECT_TRUE(snapshot.contains("relPathToUserFolder"));
  EXPECT_FALSE(snapshot.contains("originalPath"));
  EXPECT_FALSE(snapshot.contains("relPath"));
  EXPECT_FALSE(file->relPath().isEmpty()) << "refreshed by the snapshot";

  compositor.savePath = QStringLiteral("/shows/tonight/clips/intro.mov");
  EXPECT_FALSE(file->QKFile::createSnapshot().contains("relPathToProject"))
      << "a path equal to the base gives no relative path";
}

TEST(QKFile, KindTableTurnsSnapshotsIntoFiles) {
  FakeCompositor compositor;
  struct Case {
    const char* name;
    QVariantMap snapshot;
    int kind;  // -1: no file
  };
  const Case cases[] = {
      {"kind 0", {{"qkFileType", 0}}, 0},
      {"the old movie flag", {{"qtFlag", true}, {"qkFileType", 3}}, 0},
      {"the old composition flag", {{"qcFlag", true}, {"qkFileType", 0}}, 1},
      {"a composition", {{"qkFileType", 1}}, 1},
      {"a tap", {{"qkFileType", 2}}, 2},
      {"a text", {{"qkFileType", 3}}, 3},
      {"a web page", {{"qkFileType", 4}}, 4},
      {"a still image", {{"qkFileType", 6}}, 6},
      {"a movie naming a still image", {{"qkFileType", 0}, {"fullPath", "/a/b.JPG"}}, 6},
      {"a movie naming a movie", {{"qkFileType", 0}, {"fullPath", "/a/b.mov"}}, 0},
      {"kind 5 was never a class", {{"qkFileType", 5}}, -1},
      {"an unknown kind", {{"qkFileType", 7}}, -1},
      {"no kind at all", {{"name", "x"}}, -1},
  };
  for (const Case& c : cases) {
    auto file = QKFileKindTable::createForSnapshot(c.snapshot, &compositor);
    EXPECT_EQ(file ? file->qkFileType() : -1, c.kind) << c.name;
  }
  EXPECT_TRUE(std::dynamic_pointer_cast<QKQTFile>(
      QKFileKindTable::createForSnapshot({{"qkFileType", 0}}, &compositor)));
}

TEST(QKFile, ARegisteredMakerAndStillImageTestStandInForTheBuiltInOnes) {
  FakeCompositor compositor;
  int imagesMade = 0;
  QKFileKindTable::registerKind(QKFile::kImageKind, [&](CompositorInterface* c) {
    ++imagesMade;
    return QKFile::createWithCompositor(c);
  });
  QKFileKindTable::registerStillImageTest(
      [](const QString& path) { return path.endsWith(QLatin1String(".png")); });
  auto image = QKFileKindTable::createForSnapshot({{"qkFileType", 0}, {"fullPath", "/a/b.png"}},
                                                  &compositor);
  auto movie = QKFileKindTable::createForSnapshot({{"qkFileType", 0}, {"fullPath", "/a/b.mov"}},
                                                  &compositor);
  QKFileKindTable::registerKind(QKFile::kImageKind, nullptr);
  QKFileKindTable::registerStillImageTest(nullptr);
  EXPECT_EQ(imagesMade, 1);
  EXPECT_FALSE(std::dynamic_pointer_cast<QKQTFile>(image));
  EXPECT_TRUE(std::dynamic_pointer_cast<QKQTFile>(movie));
}

TEST(QKFile, SetMoviePropsReplacesTheContents) {
  auto file = QKFile::createWithCompositor(nullptr);
  EXPECT_FALSE(file->hasMovieProps());
  file->setMovieProps({{"a", 1}, {"b", 2}});
  file->setMovieProps({});
  EXPECT_TRUE(file->hasMovieProps()) << "emptied, not dropped";
  EXPECT_TRUE(file->movieProps().isEmpty());
  file->setMovieProp("c", 3);
  EXPECT_EQ(file->movieProp("c").toInt(), 3);
}

TEST(QKFile, PosterIsScaledIntoEightyBySixty) {
  auto file = QKFile::createWithCompositor(nullptr);
  NotificationCounter changed(MediaNotifications::kPosterImageChanged);
  QImage big(320, 100, QImage::Format_ARGB32);
  big.fill(QColor(10, 200, 30));
  file->setPosterImage(big);
  EXPECT_EQ(file->posterImage().size(), QSize(80, 60));
  EXPECT_EQ(file->posterImage().pixelColor(79, 59), QColor(10, 200, 30));
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.notes()[0].object, file.get());
}

TEST(QKFile, DeletionIsAnnouncedWhileTheFileIsWholeAndNeverFromItsDestructor) {
  NotificationCounter deleted(MediaNotifications::kFileFolderDeleted);
  QString nameSeen;
  NotificationCenter::defaultCenter().addObserver(
      &nameSeen, MediaNotifications::kFileFolderDeleted, nullptr,
      [&](const Notification& n) { nameSeen = static_cast<QKFile*>(n.object)->name(); });
  auto file = QKFile::createWithName(QStringLiteral("going"), nullptr);
  file->prepareToBeDeleted();
  file->prepareToBeDeleted();
  EXPECT_TRUE(file->deleted());
  file.reset();
  auto dropped = QKFile::createWithName(QStringLiteral("dropped"), nullptr);
  dropped.reset();
  NotificationCenter::defaultCenter().removeObserver(&nameSeen);
  ASSERT_EQ(deleted.count(), 1) << "once, and not for a file released unprepared";
  EXPECT_EQ(nameSeen, QStringLiteral("going"));
}

TEST(QKFile, SymbolicLinksResolveToTheirTarget) {
  const QString dir = TestEnvironment::makeTempDir();
  ASSERT_TRUE(writeFile(dir + "/real.mov"));
  ASSERT_TRUE(QFile::link(dir + "/real.mov", dir + "/link.mov"));
  EXPECT_EQ(QKFile::resolveAliasFilePath(dir + "/link.mov"),
            QFileInfo(dir + "/real.mov").canonicalFilePath());
  EXPECT_EQ(QKFile::resolveAliasFilePath(dir + "/real.mov"), dir + "/real.mov");
  EXPECT_EQ(QKFile::resolveAliasFilePath(dir + "/none.mov"), dir + "/none.mov");
  EXPECT_TRUE(QKFile::resolveAliasFilePath(QString()).isNull());
}
