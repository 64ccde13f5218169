#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBPageButton.h"
#include "app/mediabin/MBPageTabsView.h"
#include "app/mediabin/MBTOCController.h"
#include "app/mediabin/MBTOCTableView.h"
#include "framework/controls/QKButton.h"
#include "platform/foundation/Alert.h"
#include "tests/app/mediabin/ListenerFixture.h"
#include "tests/support/HangWatchdog.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/Screenshot.h"

#include <QItemSelectionModel>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <thread>

namespace {

using Op = MBTOCController::DropOperation;

// Pages "Set 1" … "Set n" of two files each, the first current, with the
// tabs, the table and its buttons.
struct TOCFixture : ListenerFixture {
  explicit TOCFixture(int pages = 3)
      : ListenerFixture(QStringList(pages, QStringLiteral("ab"))),
        tabs(&bin, controller.get()),
        add(new QKButton(&table)),
        remove(new QKButton(&table)),
        toc(MBTOCController::Outlets{&bin, &tabs, controller.get(), &table, add, remove}) {
    for (int i = 0; i < pages; ++i) page(i)->setName(QStringLiteral("Set %1").arg(i + 1));
    tabs.awakeFromNib();
    toc.awakeFromNib();
    table.resize(160, 200);
  }
  ~TOCFixture() {
    toc.prepareToBeDeleted();
    tabs.prepareToBeDeleted();
  }
  std::shared_ptr<QKPage> page(int i) const { return bin.pageController()->pages()[size_t(i)]; }
  QStringList names() const {
    QStringList out;
    for (const auto& p : bin.pageController()->pages()) out << p->name();
    return out;
  }
  void select(std::initializer_list<int> rows) {
    table.selectionModel()->clearSelection();
    for (int row : rows)
      table.selectionModel()->select(toc.index(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  bool lockIsFree() {
    const bool free = bin.pageController()->wrlock();
    if (free) bin.pageController()->unlock();
    return free;
  }

  MBPageTabsView tabs;
  MBTOCTableView table;
  QKButton* add;
  QKButton* remove;
  MBTOCController toc;
};

TEST(MBTOCController, CellValuesAndRowsPastTheEnd) {
  TOCFixture f;
  const long id = f.pageId(1);
  EXPECT_FALSE(f.bin.storedVisible.contains(id));
  EXPECT_EQ(f.toc.objectValue(MBTOCController::kIsViewedColumn, 1), QVariant(true));
  EXPECT_EQ(f.bin.storedVisible.value(id, false), true);  // stored on first read
  EXPECT_EQ(f.toc.objectValue(MBTOCController::kPageNameColumn, 2), QVariant("Set 3"));
  EXPECT_FALSE(f.toc.objectValue(7, 0).isValid());

  LogCapture log;
  EXPECT_FALSE(f.toc.objectValue(MBTOCController::kPageNameColumn, 3).isValid());
  f.toc.setObjectValue("Gone", MBTOCController::kPageNameColumn, 3);
  f.toc.setObjectValue(false, MBTOCController::kIsViewedColumn, -1);
  EXPECT_EQ(log.lines().size(), 3);
  EXPECT_TRUE(log.lines()[0].contains("objectForTableColumn of non-existant page"));
  EXPECT_TRUE(log.lines()[1].contains("setObjectValue of non-existant page"));
  EXPECT_TRUE(f.lockIsFree());
  EXPECT_EQ(f.names(), (QStringList{"Set 1", "Set 2", "Set 3"}));
  EXPECT_TRUE(f.bin.hidden.isEmpty());
}

TEST(MBTOCController, CheckBoxes) {
  struct Case {
    const char* name;
    int row;
    bool visible;
    int current;  // page index after the edit
  };
  const Case cases[] = {
      {"unchecking the current page", 0, false, 1},
      {"unchecking another page", 2, false, 0},
      {"checking a hidden page", 2, true, 2},
  };
  for (const Case& c : cases) {
    TOCFixture f;
    if (c.visible) f.bin.hidden.insert(f.pageId(c.row));
    f.bin.expanded.insert(f.pageId(c.row), false);
    long currentWhenPosted = -1;
    NotificationCenter::defaultCenter().addObserver(
        &f, "QKMBVisiblePagesChangedNotification", &f.toc, [&](const Notification& n) {
          EXPECT_EQ(n.userInfo.value("Reason"), "VisibleStateChanged") << c.name;
          EXPECT_EQ(n.userInfo.value("PageId").toLongLong(), f.pageId(c.row)) << c.name;
          currentWhenPosted = f.bin.currentPageId();
        });
    f.toc.setData(f.toc.index(c.row, MBTOCController::kIsViewedColumn),
                  c.visible ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    NotificationCenter::defaultCenter().removeObserver(&f);
    EXPECT_EQ(f.bin.pageVisible(f.pageId(c.row)), c.visible) << c.name;
    EXPECT_EQ(currentWhenPosted, f.pageId(c.current)) << c.name;
    if (c.visible) EXPECT_TRUE(f.bin.pageExpanded(f.pageId(c.row))) << c.name;
  }
}

TEST(MBTOCController, SelectingARow) {
  TOCFixture f;
  f.bin.hidden.insert(f.pageId(1));
  f.controller->setTranspose(1);
  const long current = f.bin.currentPageId();
  NotificationCounter posts("QKMBVisiblePagesChangedNotification");
  f.select({1});  // hidden: nothing
  EXPECT_EQ(f.bin.currentPageId(), current);
  EXPECT_EQ(posts.count(), 0);
  f.select({2});
  EXPECT_EQ(f.bin.currentPageId(), f.pageId(2));
  ASSERT_EQ(posts.count(), 1);
  EXPECT_EQ(posts.notes()[0].userInfo.value("Reason"), "ExpandedStateChanged");
  EXPECT_EQ(f.controller->transpose(), 0);
}

TEST(MBTOCController, RenamingReloadsTheTabsWithoutAHang) {
  TOCFixture f;
  NotificationCounter posts("QKMBVisiblePagesChangedNotification");
  {
    HangWatchdog watchdog("rename", 10);
    f.toc.setData(f.toc.index(1, MBTOCController::kPageNameColumn), "Drums", Qt::EditRole);
  }
  EXPECT_EQ(f.page(1)->name(), "Drums");
  ASSERT_EQ(posts.count(), 1);
  EXPECT_EQ(posts.notes()[0].userInfo.value("Reason"), "PageNameChanged");
  f.settle();
  ASSERT_EQ(f.tabs.pageTabsArray().size(), 3u);
  EXPECT_EQ(f.tabs.pageTabsArray()[1]->title(), "Drums");

  f.toc.setData(f.toc.index(1, MBTOCController::kPageNameColumn), "  ", Qt::EditRole);
  EXPECT_EQ(f.page(1)->name(), "Drums");  // refused
  EXPECT_EQ(posts.count(), 1);
}

TEST(MBTOCController, AddingAPage) {
  TOCFixture f;
  NotificationCounter posts("QKMBVisiblePagesChangedNotification");
  f.toc.addPageButtonUsed();
  ASSERT_EQ(f.names().size(), 4);
  EXPECT_EQ(f.names()[3], "Page 4");
  EXPECT_EQ(f.bin.storedVisible.value(f.pageId(3), false), true);
  EXPECT_EQ(f.bin.currentPageId(), f.pageId(0));
  EXPECT_EQ(f.toc.rowCount(), 4);
  ASSERT_EQ(posts.count(), 1);
  EXPECT_EQ(posts.notes()[0].userInfo.value("PageId").toLongLong(), f.pageId(3));
}

TEST(MBTOCController, RemovingPages) {
  struct Case {
    const char* name;
    bool button;  // else the Delete key
    std::initializer_list<int> rows;
    QStringList answers;
    bool fullscreen;
    int alerts;
    QStringList left;
  };
  const Case cases[] = {
      {"button", true, {0, 2}, {}, false, 0, {"Set 2"}},
      {"key, Yes", false, {0, 1, 2}, {"Yes"}, false, 1, {}},
      {"key, Cancel", false, {0, 1, 2}, {"Cancel"}, false, 1, {"Set 1", "Set 2", "Set 3"}},
      {"key, no selection", false, {}, {"Yes"}, false, 0, {"Set 1", "Set 2", "Set 3"}},
      {"key, fullscreen", false, {1}, {"Yes"}, true, 0, {"Set 1", "Set 2", "Set 3"}},
  };
  for (const Case& c : cases) {
    TOCFixture f;
    Alert::clearRecorded();
    Alert::scriptAnswers(c.answers);
    f.bin.fullscreen = c.fullscreen;
    f.select(c.rows);
    LogCapture log;
    if (c.button)
      f.toc.removePageButtonUsed();
    else
      f.toc.deleteKeyPressed();
    const auto alerts = Alert::recorded();
    EXPECT_EQ(int(alerts.size()), c.alerts) << c.name;
    if (c.alerts)
      EXPECT_EQ(alerts[0].message,
                QStringLiteral("Are you sure you want to delete %1 pages?").arg(int(c.rows.size())))
          << c.name;
    if (c.fullscreen) EXPECT_EQ(log.lines().size(), 1) << c.name;
    EXPECT_EQ(f.names(), c.left) << c.name;
    Alert::clearScriptedAnswers();
    Alert::clearRecorded();
  }
}

TEST(MBTOCController, BoundButtonsActOnTheMainThread) {
  TOCFixture f;
  f.select({1});
  std::thread input([&] {
    f.add->cell()->toggle();
    f.remove->cell()->toggle();
  });
  input.join();
  EXPECT_EQ(f.names().size(), 3);  // nothing yet: queued for the main thread
  f.settle();
  EXPECT_EQ(f.names(), (QStringList{"Set 1", "Set 3", "Page 4"}));
}

std::unique_ptr<QMimeData> filesMime() {
  auto mime = std::make_unique<QMimeData>();
  mime->setUrls({QUrl::fromLocalFile("/clips/a.mov"), QUrl("https://example.org/b.mov")});
  return mime;
}

TEST(MBTOCController, DroppingPagesAndFiles) {
  struct Case {
    const char* name;
    const char* kind;  // "pages", "files", "none", "pages from elsewhere"
    int row;
    Op op;
    bool copy;
    int retargetedRow;
    Op retargetedOp;
    Qt::DropAction answer;
    bool accepted;
    QStringList pages;
    int loadedInto;  // page index, -1 none
    int loadedAt;
  };
  const QStringList five{"Set 1", "Set 2", "Set 3", "Set 4", "Set 5"};
  const Case cases[] = {
      {"pages onto a row",
       "pages",
       3,
       Op::On,
       false,
       3,
       Op::Above,
       Qt::MoveAction,
       true,
       {"Set 3", "Set 1", "Set 2", "Set 4", "Set 5"},
       -1,
       0},
      {"page copies",
       "pages",
       3,
       Op::On,
       true,
       3,
       Op::Above,
       Qt::CopyAction,
       true,
       {"Set 1", "Set 2", "Set 3", "Set 2 copy", "Set 1 copy", "Set 4", "Set 5"},
       -1,
       0},
      {"pages from elsewhere", "pages from elsewhere", 3, Op::Above, false, 3, Op::Above,
       Qt::MoveAction, false, five, -1, 0},
      {"files onto a row", "files", 1, Op::On, false, 1, Op::On, Qt::CopyAction, true, five, 1, 2},
      {"files between rows",
       "files",
       2,
       Op::Above,
       false,
       2,
       Op::Above,
       Qt::CopyAction,
       true,
       {"Set 1", "Set 2", "Page 6", "Set 3", "Set 4", "Set 5"},
       2,
       0},
      {"unknown", "none", 1, Op::On, false, 1, Op::On, Qt::IgnoreAction, false, five, -1, 0},
  };
  for (const Case& c : cases) {
    TOCFixture f(5);
    MBTOCTableView otherTable;
    std::unique_ptr<QMimeData> mime;
    const QObject* source = nullptr;
    const QString kind = c.kind;
    if (kind.startsWith("pages")) {
      mime.reset(f.toc.writeRows({0, 1}));
      source = kind == "pages" ? &f.table : nullptr;
    } else if (kind == "files") {
      mime = filesMime();
    } else {
      mime = std::make_unique<QMimeData>();
      mime->setText("hello");
    }
    int row = c.row;
    Op op = c.op;
    EXPECT_EQ(f.toc.validateDrop(mime.get(), row, op, c.copy), c.answer) << c.name;
    EXPECT_EQ(row, c.retargetedRow) << c.name;
    EXPECT_EQ(op, c.retargetedOp) << c.name;
    EXPECT_EQ(f.toc.acceptDrop(mime.get(), source, row, op, c.copy), c.accepted) << c.name;
    EXPECT_EQ(f.names(), c.pages) << c.name;
    EXPECT_EQ(f.toc.rowCount(), c.pages.size()) << c.name;  // reloaded
    std::vector<RecordingLoader::Call> calls;
    for (const auto& call : f.bin.host.recordingLoader.calls)
      if (call.kind == RecordingLoader::Call::Paths) calls.push_back(call);
    if (c.loadedInto < 0) {
      EXPECT_TRUE(calls.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(calls.size(), 1u) << c.name;
    EXPECT_EQ(calls[0].paths, QStringList{"/clips/a.mov"}) << c.name;  // local files only
    EXPECT_EQ(calls[0].parentId, f.pageId(c.loadedInto)) << c.name;
    EXPECT_EQ(calls[0].index, c.loadedAt) << c.name;
    EXPECT_FALSE(calls[0].isGridIndex) << c.name;
  }
}

TEST(MBTOCController, DroppingGridCells) {
  struct Case {
    const char* name;
    bool copy;
    bool idsGone;
    QString first, last;  // page cells afterwards, "_" a blank
    bool copied;
  };
  const Case cases[] = {
      {"moved below the last row", false, false, "_b", "aba", false},
      {"copied", true, false, "ab", "ab", true},
      {"ids gone", false, true, "ab", "ab", false},
  };
  for (const Case& c : cases) {
    TOCFixture f(3);
    MBFileGridView grid(&f.bin, nullptr);
    f.bin.setSelected(c.idsGone ? 99999 : f.fileId(0, 0), true);
    ASSERT_TRUE(grid.prepareDragContents());
    QMimeData mime;
    mime.setData(MBFileGridView::kDragType, {});
    int row = -1;  // below the last row
    Op op = Op::Above;
    EXPECT_EQ(f.toc.validateDrop(&mime, row, op, false), Qt::MoveAction) << c.name;
    EXPECT_EQ(row, 2) << c.name;
    EXPECT_EQ(op, Op::On) << c.name;
    EXPECT_EQ(f.toc.acceptDrop(&mime, &grid, row, op, c.copy), !c.idsGone) << c.name;
    EXPECT_EQ(cellsOf(f.page(0)->contents()), c.first) << c.name;
    if (!c.copy) EXPECT_EQ(cellsOf(f.page(2)->contents()), c.last) << c.name;
    const auto& calls = f.bin.host.recordingLoader.calls;
    ASSERT_EQ(calls.size(), c.copied ? 1u : 0u) << c.name;
    if (c.copied) {
      EXPECT_EQ(calls[0].snapshots.size(), 1) << c.name;
      EXPECT_EQ(calls[0].parentId, f.pageId(2)) << c.name;
      EXPECT_EQ(calls[0].index, 2) << c.name;
    }
  }
}

TEST(MBTOCController, Look) {
  TOCFixture f(4);
  f.bin.hidden.insert(f.pageId(2));
  f.add->setTitle("+");
  f.remove->setTitle("-");
  f.table.show();
  f.select({1});
  f.settle();
  saveScreenshot(f.table.grab().toImage(), QStringLiteral("media-bin-toc"));
  EXPECT_EQ(f.table.model()->rowCount(), 4);
}

}  // namespace
