// A media bin page: the grid insertion whose shift blanks absorb, removal,
// gaps, index conversion, renaming, the snapshot and the restore through the
// loader.
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKPage.h"
#include "tests/framework/media/MediaBinTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct PageFixture {
  FakeCompositor compositor;
  RecordingLoader loader;
  std::shared_ptr<QKPage> page = QKPage::createPageWithCompositor(&compositor, &loader);
};

TEST(QKPage, InsertionKeepsCellsWhereBlanksAbsorbTheShift) {
  struct Case {
    const char* start;
    const char* inserted;
    int index;
    const char* expected;
  };
  const Case cases[] = {
      {"A_B", "X", 0, "XAB"},           // the blank takes the shift: B keeps cell 2
      {"A_B", "XY", 0, "XYAB"},         // one blank absorbs one shift only
      {"A", "X", 5, "A____X"},          // beyond the end: padded with blanks
      {"A__B", "X", 1, "AX_B"},         // inserted onto a blank run: it shrinks
      {"AB", "X", -3, "XAB"},           // a negative index means 0
      {"A__B_C", "XYZ", 0, "XYZAB_C"},  // the run stops at the file after it
      {"", "XY", 0, "XY"},
  };
  for (const Case& c : cases) {
    PageFixture f;
    fillPage(*f.page, QString::fromLatin1(c.start));
    const auto files = filesNamed(QString::fromLatin1(c.inserted), &f.compositor);
    f.page->addObjects(files, c.index);
    EXPECT_EQ(cellsOf(f.page->contents()), QString::fromLatin1(c.expected))
        << c.start << " + " << c.inserted << " at " << c.index;
    for (const auto& file : files) EXPECT_EQ(file->parent(), f.page.get());
  }
}

TEST(QKPage, RemovalWithAndWithoutBlanksNeverLeavesATrailingBlank) {
  struct Case {
    const char* start;
    std::set<int> indexes;
    bool blanks;
    const char* expected;
    const char* removed;
  };
  const Case cases[] = {
      {"ABC", {1}, true, "A_C", "B"},  {"ABC", {1}, false, "AC", "B"},
      {"ABC", {2}, true, "AB", "C"},   {"A_BC", {2, 3}, true, "A", "BC"},
      {"A_B", {1}, false, "AB", ""},  // removing a blank removes the cell
      {"AB", {7, -1}, true, "AB", ""},
  };
  for (const Case& c : cases) {
    PageFixture f;
    fillPage(*f.page, QString::fromLatin1(c.start));
    const auto removed = f.page->removeObjectsAtIndexes(c.indexes, c.blanks);
    EXPECT_EQ(cellsOf(f.page->contents()), QString::fromLatin1(c.expected)) << c.start;
    EXPECT_EQ(cellsOf(removed), QString::fromLatin1(c.removed)) << c.start;
  }
}

TEST(QKPage, GapsCloseByTheirWholeRun) {
  struct Case {
    const char* start;
    int index;
    const char* expected;
  };
  const Case cases[] = {
      {"A__B", 2, "AB"},     {"_A", 0, "A"},
      {"A__B_C", 1, "AB_C"}, {"A_B", 0, "A_B"},  // a file cell
      {"A_B", 9, "A_B"},     {"A_B", -1, "A_B"},
  };
  for (const Case& c : cases) {
    PageFixture f;
    fillPage(*f.page, QString::fromLatin1(c.start));
    f.page->closeGapAtIndex(c.index);
    EXPECT_EQ(cellsOf(f.page->contents()), QString::fromLatin1(c.expected))
        << c.start << " at " << c.index;
  }
  PageFixture f;
  fillPage(*f.page, QStringLiteral("_A__B_C"));
  f.page->removeAllBlanks();
  EXPECT_EQ(cellsOf(f.page->contents()), QStringLiteral("ABC"));
}

TEST(QKPage, IndexConversionAndLookups) {
  PageFixture f;
  fillPage(*f.page, QStringLiteral("A_B"));
  const std::pair<int, int> conversions[] = {{0, 0}, {1, 2}, {2, 3}, {5, 3}, {-2, -1}};
  for (const auto& [filesOnly, contents] : conversions)
    EXPECT_EQ(f.page->convertFilesOnlyIndexToContentsIndex(filesOnly), contents) << filesOnly;
  EXPECT_EQ(f.page->firstFileIndex(), 2);
  EXPECT_EQ(f.page->lastFilledGridIndex(), 3);
  EXPECT_EQ(cellsOf(f.page->filesOnlyContents()), QStringLiteral("AB"));
  const auto b = f.page->contents()[2];
  EXPECT_EQ(f.page->fileForUniqueId(b->uniqueFileId()), b);
  EXPECT_EQ(f.page->fileForUniqueId(12345), nullptr);
  EXPECT_EQ(cellsOf(f.page->missingFilesArray()), QStringLiteral("AB"));
  EXPECT_TRUE(f.page->availableFilesArray().empty());
  PageFixture empty;
  EXPECT_EQ(empty.page->firstFileIndex(), -1);
}

TEST(QKPage, RenamingPostsTheOldAndNewName) {
  PageFixture f;
  EXPECT_EQ(f.page->name(), QStringLiteral("New Page"));
  NotificationCounter renamed(MediaNotifications::kFolderRenamed);
  f.page->setName(QStringLiteral("Drums"));
  ASSERT_EQ(renamed.count(), 1);
  EXPECT_EQ(renamed.notes()[0].object, f.page.get());
  EXPECT_EQ(renamed.notes()[0].userInfo.value("oldName"), QStringLiteral("New Page"));
  EXPECT_EQ(renamed.notes()[0].userInfo.value("newName"), QStringLiteral("Drums"));
  EXPECT_EQ(f.page->description(), QStringLiteral("Page (Drums)"));
}

TEST(QKPage, SnapshotWritesFilesAndBlanksInTheirCells) {
  PageFixture f;
  fillPage(*f.page, QStringLiteral("A__B"));
  const QVariantMap snapshot = f.page->createSnapshot();
  const QVariantList cells = snapshot.value("contents").toList();
  ASSERT_EQ(cells.size(), 4);
  EXPECT_EQ(cells[0].toMap().value("name"), QStringLiteral("A"));
  EXPECT_EQ(cells[1].toInt(), -1);
  EXPECT_EQ(cells[2].toInt(), -1);
  EXPECT_EQ(cells[3].toMap().value("name"), QStringLiteral("B"));
  EXPECT_EQ(snapshot.value("uniqueFileId").toLongLong(), f.page->uniqueFileId());
}

TEST(QKPage, RestoreQueuesEachFileAtItsCellAndReportsTheID) {
  PageFixture source;
  fillPage(*source.page, QStringLiteral("A__B"));
  QVariantMap snapshot = source.page->createSnapshot();
  snapshot.insert("uniqueFileId", qint64(500));

  PageFixture f;
  f.page->loadSnapshot(snapshot);
  EXPECT_EQ(f.page->uniqueFileId(), 500);
  EXPECT_EQ(f.compositor.ids.next(), 501) << "a later page or file must not get the page's ID";
  ASSERT_EQ(f.loader.calls.size(), 2u);
  const int cells[] = {0, 3};
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(f.loader.calls[i].kind, RecordingLoader::Call::Snapshots);
    EXPECT_EQ(f.loader.calls[i].snapshots.size(), 1);
    EXPECT_EQ(f.loader.calls[i].index, cells[i]);
    EXPECT_EQ(f.loader.calls[i].parentId, 500);
    EXPECT_FALSE(f.loader.calls[i].isGridIndex);
  }
  // The loader inserts each file alone at its stored cell.
  auto a = QKFile::createWithName("A", &f.compositor);
  auto b = QKFile::createWithName("B", &f.compositor);
  f.page->addObjects({b}, 3);
  f.page->addObjects({a}, 0);
  EXPECT_EQ(cellsOf(f.page->contents()), QStringLiteral("A__B"));
}

TEST(QKPage, FolderSnapshotAndCopyQueueThroughTheLoader) {
  PageFixture f;
  const QVariantMap folder{
      {"name", "Old"},
      {"uniqueFileId", 70},
      {"contentArray", QVariantList{QVariantMap{{"name", "a"}}, QVariantMap{{"name", "b"}}}},
      {"gridLayoutArray", QVariantList{1, -1, 0, 9}}};
  f.page->loadFolderSnapshot(folder);
  EXPECT_TRUE(f.page->wasFolder());
  EXPECT_EQ(f.page->name(), QStringLiteral("Old"));
  ASSERT_EQ(f.loader.calls.size(), 2u);
  EXPECT_EQ(f.loader.calls[0].snapshots[0].toMap().value("name"), QStringLiteral("b"));
  EXPECT_EQ(f.loader.calls[0].index, 0);
  EXPECT_EQ(f.loader.calls[1].index, 2);

  PageFixture copy;
  const long ownId = copy.page->uniqueFileId();
  copy.page->copyPageFromSnapshot(
      {{"name", "Drums"}, {"uniqueFileId", 3}, {"contents", QVariantList{-1, QVariantMap{}}}});
  EXPECT_EQ(copy.page->name(), QStringLiteral("Drums copy"));
  EXPECT_EQ(copy.page->uniqueFileId(), ownId);
  ASSERT_EQ(copy.loader.calls.size(), 1u);
  EXPECT_EQ(copy.loader.calls[0].kind, RecordingLoader::Call::Copies);
  EXPECT_EQ(copy.loader.calls[0].index, 1);
}

TEST(QKPage, DeletionAnnouncesEveryFile) {
  PageFixture f;
  fillPage(*f.page, QStringLiteral("A_BC"));
  NotificationCounter deleted(MediaNotifications::kFileFolderDeleted);
  f.page->prepareToBeDeleted();
  EXPECT_EQ(deleted.count(), 3);
}

}  // namespace
