// The page controller: the page list and its lock, moving and copying pages
// and files, deleting files, directories and recordings.
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKPageController.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKTapFile.h"
#include "framework/media/QKURLFile.h"
#include "tests/framework/media/MediaBinTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ControllerFixture {
  FakeMediaBinHost host;
  ControllerFixture() { host.makePageController(); }
  QKPageController& pages() { return *host.pages; }

  // Pages named P0, P1, … in order.
  void namedPages(int n) {
    pages().removeAllPages();
    for (int i = 0; i < n; ++i) pages().addBlankPage()->setName(QStringLiteral("P%1").arg(i));
  }
  QString names() {
    QStringList list;
    for (const auto& page : pages().pages()) list.append(page->name());
    return list.join(' ');
  }
  std::shared_ptr<QKPage> page(int i) { return pages().pages()[size_t(i)]; }
  long idOf(int page, int cell) {
    return this->page(page)->contents()[size_t(cell)]->uniqueFileId();
  }
};

TEST(QKPageController, StartsWithOnePageAndMakesOneWhenEmptied) {
  ControllerFixture f;
  ASSERT_EQ(f.pages().pages().size(), 1u);
  EXPECT_EQ(f.page(0)->name(), QStringLiteral("Page 1"));
  f.pages().addBlankPage();
  EXPECT_EQ(f.page(1)->name(), QStringLiteral("Page 2"));
  f.pages().removeAllPages();
  EXPECT_TRUE(f.pages().pages().empty());
  EXPECT_EQ(f.pages().firstPage()->name(), QStringLiteral("Page 1"));
}

TEST(QKPageController, MovingPages) {
  struct Case {
    const char* name;
    std::function<void(QKPageController&)> move;
    const char* expected;
    int listChanged;
  };
  const Case cases[] = {
      {"one page forward", [](auto& c) { c.movePageAtIndex(0, 2); }, "P1 P0 P2 P3", 1},
      {"one page back", [](auto& c) { c.movePageAtIndex(2, 0); }, "P2 P0 P1 P3", 1},
      {"one page to the same index", [](auto& c) { c.movePageAtIndex(1, 1); }, "P0 P1 P2 P3", 0},
      {"one page beyond the end", [](auto& c) { c.movePageAtIndex(0, 9); }, "P1 P2 P3 P0", 1},
      {"from an invalid index", [](auto& c) { c.movePageAtIndex(7, 0); }, "P0 P1 P2 P3", 0},
      {"a set forward",
       [](auto& c) {
         c.movePagesAtIndexes({0, 1}, 3);
       },
       "P2 P0 P1 P3", 0},
      {"a set to -1",
       [](auto& c) {
         c.movePagesAtIndexes({2, 3}, -1);
       },
       "P2 P3 P0 P1", 0},
      {"a set beyond the count",
       [](auto& c) {
         c.movePagesAtIndexes({0, 2}, 40);
       },
       "P1 P3 P0 P2", 0},
  };
  for (const Case& c : cases) {
    ControllerFixture f;
    f.namedPages(4);
    NotificationCounter changed(MediaNotifications::kPageListChanged);
    c.move(f.pages());
    EXPECT_EQ(f.names(), QString::fromLatin1(c.expected)) << c.name;
    EXPECT_EQ(changed.count(), c.listChanged) << c.name;
  }
}

TEST(QKPageController, CopiedPagesStandAtTheDestinationInReverseOrder) {
  ControllerFixture f;
  f.namedPages(2);
  f.pages().addObjects(filesNamed("A_B", &f.host.fakeCompositor), f.page(1), 0);
  f.host.recordingLoader.calls.clear();
  f.pages().copyPagesAtIndexes({0, 1}, 0);
  EXPECT_EQ(f.names(), QStringLiteral("P1 copy P0 copy P0 P1"));
  EXPECT_NE(f.page(0)->uniqueFileId(), f.page(3)->uniqueFileId());
  const auto& calls = f.host.recordingLoader.calls;
  ASSERT_EQ(calls.size(), 2u) << "each file of the copy queued alone as a copy";
  EXPECT_EQ(calls[0].kind, RecordingLoader::Call::Copies);
  EXPECT_EQ(calls[0].parentId, f.page(0)->uniqueFileId());
  EXPECT_EQ(calls[1].index, 2);
}

TEST(QKPageController, MovingFilesWithinTheirPage) {
  struct Case {
    const char* start;
    const char* moved;
    int index;
    bool blanks;
    const char* expected;
  };
  const Case cases[] = {
      {"ABC", "A", 2, false, "BAC"},    {"ABC", "A", 2, true, "_BAC"},
      {"ABCD", "AC", 4, false, "BDAC"}, {"ABCD", "AC", 3, false, "BACD"},
      {"ABC", "C", 0, false, "CAB"},    {"A_BC", "C", 0, true, "CAB"},
  };
  for (const Case& c : cases) {
    ControllerFixture f;
    f.pages().addObjects(filesNamed(c.start, &f.host.fakeCompositor), f.page(0), 0);
    std::vector<long> ids;
    for (const auto& cell : f.page(0)->contents())
      if (cell && QString::fromLatin1(c.moved).contains(cell->name()))
        ids.push_back(cell->uniqueFileId());
    f.pages().moveFilesWithIds(ids, f.page(0), c.index, c.blanks);
    EXPECT_EQ(cellsOf(f.page(0)->contents()), QString::fromLatin1(c.expected))
        << c.start << " move " << c.moved << " to " << c.index << (c.blanks ? " with blanks" : "");
  }
}

TEST(QKPageController, FilesMoveBetweenPagesKeepingTheirIDs) {
  ControllerFixture f;
  f.namedPages(2);
  f.pages().addObjects(filesNamed("AB", &f.host.fakeCompositor), f.page(0), 0);
  f.pages().addObjects(filesNamed("C", &f.host.fakeCompositor), f.page(1), 0);
  const long a = f.idOf(0, 0);
  f.pages().moveFilesWithIds({a}, f.page(1), 1, true);
  EXPECT_EQ(cellsOf(f.page(0)->contents()), QStringLiteral("_B"));
  EXPECT_EQ(cellsOf(f.page(1)->contents()), QStringLiteral("CA"));
  EXPECT_EQ(f.pages().fileForUniqueId(a)->parent(), f.page(1).get());
  EXPECT_EQ(f.pages().totalFileCount(), 3);
  EXPECT_EQ(f.pages().fileAtIndex(0, f.page(0)), nullptr) << "a blank cell";
  EXPECT_EQ(f.pages().fileAtIndex(9, f.page(0)), nullptr);
}

// Observers may look files up: nothing is posted while the page lock is held
// (a lookup would spin for ever on the main thread's own write lock).
TEST(QKPageController, DeletionPostsPerFileAndOnceFinishedWithTheLockFree) {
  ControllerFixture f;
  f.pages().addObjects(filesNamed("ABC", &f.host.fakeCompositor), f.page(0), 0);
  const long b = f.idOf(0, 1);
  int postsWithLockHeld = 0;
  int lookups = 0;
  NotificationCenter::defaultCenter().addObserver(&f, MediaNotifications::kFileFolderDeleted,
                                                  nullptr, [&](const Notification&) {
                                                    if (f.pages().pagesLock().isWriteLocked()) {
                                                      ++postsWithLockHeld;
                                                      return;
                                                    }
                                                    lookups += f.pages().fileForUniqueId(b) ? 0 : 1;
                                                  });
  NotificationCounter deleted(MediaNotifications::kFileFolderDeleted);
  NotificationCounter finished(MediaNotifications::kFinishedDeletingFiles);
  f.pages().deleteFilesWithIds({f.idOf(0, 0), b, 4242}, true);
  NotificationCenter::defaultCenter().removeObserver(&f);
  EXPECT_EQ(cellsOf(f.page(0)->contents()), QStringLiteral("__C"));
  EXPECT_EQ(deleted.count(), 2);
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(finished.notes()[0].object, nullptr);
  EXPECT_EQ(postsWithLockHeld, 0);
  EXPECT_EQ(lookups, 2);

  // Removing a page announces its files the same way.
  f.pages().removePageAtIndex(0);
  EXPECT_EQ(deleted.count(), 3);
  f.pages().deleteFilesWithIds({}, false);
  EXPECT_EQ(finished.count(), 2) << "also for no IDs";
}

TEST(QKPageController, AThreadHoldingTheReadLockIsRefusedTheWriteLock) {
  ControllerFixture f;
  f.pages().addObjects(filesNamed("AB", &f.host.fakeCompositor), f.page(0), 0);
  LogCapture log;
  f.pages().rdlock();
  f.pages().deleteFilesWithIds({f.idOf(0, 0)}, true);
  f.pages().unlock();
  EXPECT_EQ(cellsOf(f.page(0)->contents()), QStringLiteral("AB"));
  EXPECT_FALSE(log.lines().isEmpty());
}

TEST(QKPageController, PageOperationsByIdLogUnknownPages) {
  ControllerFixture f;
  f.pages().addObjects(filesNamed("A__B", &f.host.fakeCompositor), f.page(0), 0);
  f.pages().closeGapAtIndex(1, f.page(0)->uniqueFileId());
  EXPECT_EQ(cellsOf(f.page(0)->contents()), QStringLiteral("AB"));
  LogCapture log;
  f.pages().closeAllGapsOnPageWithId(987);
  EXPECT_TRUE(log.contains("err: page with id: 987 not found"));
  f.pages().removePageAtIndex(5);
  EXPECT_TRUE(log.contains("err: attempted to remove page at invalid index"));
  f.pages().insertPage(f.page(0), 0);
  EXPECT_TRUE(log.contains("error: page was already in array"));
}

TEST(QKPageController, NewEntriesByPageId) {
  ControllerFixture f;
  const long id = f.page(0)->uniqueFileId();
  f.pages().addTapNamed("VidIn 1", id, 0);
  f.pages().addTapNamed(QString(), id, 0);
  f.pages().addBlankTextFileToPageWithId(id, 3);
  f.pages().addNewURLFileToPageWithId(id, 1);
  ASSERT_EQ(f.page(0)->contents().size(), 4u);
  EXPECT_TRUE(std::dynamic_pointer_cast<QKTapFile>(f.page(0)->contents()[0]));
  auto web = std::dynamic_pointer_cast<QKURLFile>(f.page(0)->contents()[1]);
  ASSERT_TRUE(web);
  EXPECT_EQ(web->urlString(), QStringLiteral("about:blank")) << "a new entry contacts no server";
  EXPECT_EQ(f.host.recordingLoader.thumbnails, std::vector<std::shared_ptr<QKURLFile>>{web});
  EXPECT_EQ(f.page(0)->contents()[3]->name(), QStringLiteral("untitled text"));
}

TEST(QKPageController, RecordingIntoAPage) {
  ControllerFixture f;
  EXPECT_FALSE(f.pages().recordVideoInputNamed("Cam", 777, 0));
  EXPECT_EQ(f.host.recordingsStarted, 0);
  EXPECT_FALSE(f.host.recordingLoader.autoRecordOverride);

  f.host.inputs = {"<none>", "Cam A", "Cam B"};
  EXPECT_TRUE(f.pages().recordVideoInputNamed("<all>", f.page(0)->uniqueFileId(), 0));
  ASSERT_EQ(f.page(0)->contents().size(), 2u);
  auto first = std::dynamic_pointer_cast<QKQTFile>(f.page(0)->contents()[0]);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->recSourceName(), QStringLiteral("Cam A"));
  EXPECT_EQ(f.host.recordingsStarted, 1);
  EXPECT_TRUE(f.host.recordingLoader.autoRecordOverride);

  f.host.inputs = {"<none>"};
  EXPECT_FALSE(f.pages().recordVideoInputNamed("<all>", f.page(0)->uniqueFileId(), 0));
}

TEST(QKPageController, SnapshotRestoreDeletesOldFilesAndQueuesNewOnes) {
  ControllerFixture f;
  f.pages().addObjects(filesNamed("A_B", &f.host.fakeCompositor), f.page(0), 0);
  const QVariantMap snapshot = f.pages().createSnapshot();
  f.host.recordingLoader.calls.clear();
  NotificationCounter deleted(MediaNotifications::kFileFolderDeleted);
  f.pages().loadSnapshot(snapshot);
  EXPECT_EQ(deleted.count(), 2);
  ASSERT_EQ(f.pages().pages().size(), 1u);
  EXPECT_EQ(f.page(0)->uniqueFileId(),
            snapshot.value("pages").toList()[0].toMap().value("uniqueFileId").toLongLong());
  EXPECT_EQ(f.host.recordingLoader.calls.size(), 2u);
  f.pages().loadSnapshot({});
  EXPECT_TRUE(f.pages().pages().empty());
}

class DirectoryFixture : public ControllerFixture {
 public:
  QTemporaryDir dir;
  QString at(const QString& relative) { return dir.filePath(relative); }
};

TEST(QKPageController, DirectoriesBecomePagesInNameOrderWithoutFollowingLoops) {
  DirectoryFixture f;
  ASSERT_TRUE(writeFile(f.at("media/b.mov")));
  ASSERT_TRUE(writeFile(f.at("media/a.mov")));
  ASSERT_TRUE(writeFile(f.at("media/sub/c.mov")));
  ASSERT_TRUE(writeFile(f.at("media/skip.nib/x")));
  ASSERT_TRUE(QFile::link(f.at("media"), f.at("media/sub/loop")));
  f.pages().removeAllPages();
  f.pages().addPageFromDirectory(f.at("media"));
  EXPECT_EQ(f.names(), QStringLiteral("media sub"));
  const auto& calls = f.host.recordingLoader.calls;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].paths, QStringList({f.at("media/sub/c.mov")}));
  EXPECT_EQ(calls[0].parentId, f.page(1)->uniqueFileId());
  EXPECT_EQ(calls[1].paths, QStringList({f.at("media/a.mov"), f.at("media/b.mov")}));
  EXPECT_EQ(calls[1].parentId, f.page(0)->uniqueFileId());
  f.pages().addPageFromDirectory(f.at("x.NIB"));
  EXPECT_EQ(f.pages().pages().size(), 2u);
}

TEST(QKPageController, DirectoriesNestedTooDeepAreLoggedAndSkipped) {
  DirectoryFixture f;
  QString path = f.at("d0");
  for (int depth = 1; depth <= QKPageController::kMaxDirectoryDepth + 2; ++depth)
    path += QStringLiteral("/d%1").arg(depth);
  ASSERT_TRUE(QDir().mkpath(path));
  f.pages().removeAllPages();
  LogCapture log;
  f.pages().addPageFromDirectory(f.at("d0"));
  EXPECT_EQ(int(f.pages().pages().size()), QKPageController::kMaxDirectoryDepth + 1);
  EXPECT_TRUE(log.contains("folders deep, not loaded"));
}

TEST(QKPageController, FilesOfADirectoryWithoutAPageGoToANewOne) {
  DirectoryFixture f;
  ASSERT_TRUE(writeFile(f.at("loose/a.mov")));
  f.pages().loadFilesFromDirectory(f.at("loose"), nullptr, 3);
  ASSERT_EQ(f.pages().pages().size(), 2u);
  ASSERT_EQ(f.host.recordingLoader.calls.size(), 1u);
  EXPECT_EQ(f.host.recordingLoader.calls[0].parentId, f.page(1)->uniqueFileId());
  EXPECT_EQ(f.host.recordingLoader.calls[0].index, 3);
}

}  // namespace
