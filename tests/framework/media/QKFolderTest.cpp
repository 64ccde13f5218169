// The legacy folder tree: its grid, removal, moves, lookups, the snapshot
// and the root rule.
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFolder.h"
#include "tests/framework/media/MediaBinTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Items = QKFolder::Items;

struct FolderFixture {
  FakeCompositor compositor;
  RecordingLoader loader;
  std::shared_ptr<QKFolder> folder =
      QKFolder::createWithParent(nullptr, QStringLiteral("F"), &compositor, &loader);

  Items files(int n) {
    Items items;
    for (int i = 0; i < n; ++i)
      items.push_back({QKFile::createWithName(QString::number(i), &compositor), nullptr});
    return items;
  }
};

std::vector<int> grid(std::initializer_list<int> cells) { return cells; }

TEST(QKFolder, InsertAtAContentIndexTakesTheFirstEmptyCells) {
  FolderFixture f;
  f.folder->addObjects(f.files(2), 0);  // one row: cells 0 and 1
  EXPECT_EQ(f.folder->gridLayout(), grid({0, 1, -1, -1, -1, -1, -1, -1}));
  const Items added = f.files(2);
  f.folder->addObjects(added, 0);
  EXPECT_EQ(f.folder->gridLayout(), grid({0, 1, 2, 3, -1, -1, -1, -1}));
  EXPECT_EQ(f.folder->contents()[0], added[0]);
  EXPECT_EQ(f.folder->contents()[1], added[1]);
  EXPECT_EQ(added[0].file->parent(), f.folder.get());

  FolderFixture nine;
  nine.folder->addObjects(nine.files(9), 0);
  EXPECT_EQ(nine.folder->cellsDown(), 2);
  EXPECT_EQ(nine.folder->gridLayout().size(), 16u);
  EXPECT_EQ(nine.folder->gridLayout()[8], 8);
  EXPECT_EQ(nine.folder->lastFilledGridIndex(), 8);
}

TEST(QKFolder, InsertAtAGridCell) {
  struct Case {
    const char* name;
    int gridIndex;
    std::vector<int> expected;
    int contentIndexOfNew;
  };
  // Start: contents 0 and 1 shown in cells 1 and 4 of one row.
  const Case cases[] = {
      {"before both", 0, {0, 1, -1, -1, 2, -1, -1, -1}, 0},
      {"between them", 2, {-1, 0, 1, -1, 2, -1, -1, -1}, 1},
      {"after both", 6, {-1, 0, -1, -1, 1, -1, 2, -1}, 2},
      {"past the grid", 13, {-1, 0, -1, -1, 1, -1, -1, -1, -1, -1, -1, -1, -1, 2, -1, -1}, 2},
  };
  for (const Case& c : cases) {
    FolderFixture f;
    Items two = f.files(2);
    f.folder->addObjectsAtGridIndex({two[0]}, 1);
    f.folder->addObjectsAtGridIndex({two[1]}, 4);
    ASSERT_EQ(f.folder->gridLayout(), grid({-1, 0, -1, -1, 1, -1, -1, -1}));
    const Items added = f.files(1);
    f.folder->addObjectsAtGridIndex(added, c.gridIndex);
    EXPECT_EQ(f.folder->gridLayout(), c.expected) << c.name;
    EXPECT_EQ(f.folder->contents()[size_t(c.contentIndexOfNew)], added[0]) << c.name;
    EXPECT_EQ(f.folder->gridIndexOfObject(added[0]), c.gridIndex) << c.name;
  }
}

TEST(QKFolder, RemovalEmptiesTheCellsAndAnnouncesTheFiles) {
  FolderFixture f;
  const Items three = f.files(3);
  f.folder->addObjectsAtGridIndex({three[0]}, 0);
  f.folder->addObjectsAtGridIndex({three[1]}, 2);
  f.folder->addObjectsAtGridIndex({three[2]}, 5);
  NotificationCounter deleted(MediaNotifications::kFileFolderDeleted);
  f.folder->removeObjectsAtIndexes({1});
  EXPECT_EQ(f.folder->gridLayout(), grid({0, -1, -1, -1, -1, 1, -1, -1}));
  EXPECT_EQ(f.folder->cellsDown(), 1);
  ASSERT_EQ(deleted.count(), 1);
  EXPECT_EQ(deleted.notes()[0].object, three[1].file.get());
  EXPECT_EQ(f.folder->contents(), (Items{three[0], three[2]}));

  f.folder->theseObjectsWereMoved({0});
  EXPECT_EQ(deleted.count(), 1) << "a move announces nothing";
  EXPECT_EQ(f.folder->gridLayout(), grid({-1, -1, -1, -1, -1, 0, -1, -1}));
}

TEST(QKFolder, GridResetAndWidth) {
  FolderFixture f;
  f.folder->addObjects(f.files(3), 0);
  f.folder->setCellsAcross(2);
  EXPECT_EQ(f.folder->cellsDown(), 2);
  EXPECT_EQ(f.folder->gridLayout(), grid({0, 1, 2, -1}));
  f.folder->setCellsAcross(0);
  EXPECT_EQ(f.folder->cellsAcross(), 1) << "at least one cell across";
  EXPECT_EQ(f.folder->gridLayout(), grid({0, 1, 2}));
  FolderFixture empty;
  empty.folder->resetGridLayout();
  EXPECT_EQ(empty.folder->cellsDown(), 1);
  EXPECT_EQ(empty.folder->gridLayout().size(), 8u);
}

TEST(QKFolder, MovesAreRefusedIntoThemselvesAndLowerTheDropIndex) {
  FolderFixture f;
  auto inner = QKFolder::createWithParent(f.folder.get(), "inner", &f.compositor, &f.loader);
  const Items files = f.files(3);
  f.folder->addObjects(files, 0);
  f.folder->addObject({nullptr, inner}, 3);
  // Files 0 and 1 move behind file 2 of the same folder.
  f.folder->moveItems({files[0], files[1]}, {0, 1}, {f.folder.get(), f.folder.get()}, 3);
  EXPECT_EQ(f.folder->contents(), (Items{files[2], files[0], files[1], {nullptr, inner}}));

  // The outer folder cannot go into the folder it holds.
  inner->moveItems({{nullptr, f.folder}}, {0}, {nullptr}, 0);
  EXPECT_TRUE(inner->contents().empty());
  EXPECT_TRUE(f.folder->containsThisFolder(inner.get()));
  EXPECT_FALSE(inner->containsThisFolder(f.folder.get()));

  // A file moves into the sub-folder at a grid cell.
  inner->moveItemsToGridIndex({files[2]}, {0}, {f.folder.get()}, 3);
  EXPECT_EQ(inner->gridIndexOfObject(files[2]), 3);
  EXPECT_EQ(f.folder->contents().size(), 3u);
}

TEST(QKFolder, LookupsSearchDepthFirst) {
  FolderFixture f;
  auto inner = QKFolder::createWithParent(f.folder.get(), "inner", &f.compositor, &f.loader);
  const Items files = f.files(2);
  inner->addObjects({files[1]}, 0);
  f.folder->addObjects({files[0], {nullptr, inner}}, 0);
  EXPECT_EQ(f.folder->findFileByUniqueFileId(files[1].file->uniqueFileId()), files[1]);
  EXPECT_EQ(f.folder->findFileByUniqueFileId(f.folder->uniqueFileId()).folder, f.folder);
  EXPECT_EQ(f.folder->findFileByUniqueFileId(999), (QKFolder::Item{}));
  EXPECT_EQ(f.folder->findFolderByUniqueFileId(inner->uniqueFileId()), inner.get());
  EXPECT_EQ(f.folder->findFolderWithName("inner"), inner.get());
  EXPECT_EQ(f.folder->findFolderWithName("none"), nullptr);
  EXPECT_EQ(f.folder->missingFilesArray().size(), 2u) << "sub-folders are kept";
}

TEST(QKFolder, RootRuleAndEmptyRoot) {
  FakeCompositor compositor;
  RecordingLoader loader;
  QKFolder root(&compositor, &loader);
  EXPECT_EQ(root.uniqueFileId(), 0);
  EXPECT_EQ(root.name(), QStringLiteral("Main"));
  QKFolder second(&compositor, &loader);
  EXPECT_EQ(second.name(), QStringLiteral("initQKFolderName"));

  LogCapture log;
  QKFolder restored(&compositor, &loader);
  EXPECT_FALSE(
      restored.loadFromSnapshot({{"uniqueFileId", 0}, {"name", "initQKFolderName"}}, &compositor));
  EXPECT_EQ(restored.name(), QStringLiteral("Main"));
  EXPECT_TRUE(log.contains("err: root folder was empty"));
}

TEST(QKFolder, SnapshotRoundTripQueuesFilesAtTheirCells) {
  FolderFixture f;
  const Items files = f.files(2);
  f.folder->addObjectsAtGridIndex({files[0]}, 2);
  f.folder->addObjectsAtGridIndex({files[1]}, 6);
  const QVariantMap snapshot = f.folder->returnSnapshot();
  EXPECT_EQ(snapshot.value("contentArray").toList().size(), 2);
  EXPECT_EQ(snapshot.value("cellsAcross").toInt(), 8);

  struct Case {
    const char* name;
    bool keepId;
    RecordingLoader::Call::Kind kind;
  };
  for (const Case& c : {Case{"stored IDs", true, RecordingLoader::Call::Snapshots},
                        Case{"no ID: copies", false, RecordingLoader::Call::Copies}}) {
    FolderFixture g;
    QVariantMap stored = snapshot;
    if (c.keepId)
      stored.insert("uniqueFileId", qint64(77));
    else
      stored.remove("uniqueFileId");
    QKFolder restored(&g.compositor, &g.loader);
    EXPECT_TRUE(restored.loadFromSnapshot(stored, &g.compositor)) << c.name;
    if (c.keepId) {
      EXPECT_EQ(restored.uniqueFileId(), 77);
      EXPECT_EQ(g.compositor.ids.next(), 78) << "the ID was reported";
    }
    EXPECT_EQ(restored.gridLayout().size(), 8u) << c.name;
    ASSERT_EQ(g.loader.calls.size(), 2u) << c.name;
    EXPECT_EQ(g.loader.calls[0].kind, c.kind) << c.name;
    EXPECT_EQ(g.loader.calls[0].index, 2) << c.name;
    EXPECT_EQ(g.loader.calls[1].index, 6) << c.name;
    EXPECT_TRUE(g.loader.calls[1].isGridIndex) << c.name;
    EXPECT_EQ(g.loader.calls[1].parentId, restored.uniqueFileId()) << c.name;
  }
}

}  // namespace
