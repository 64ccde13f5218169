#include "app/mediabin/MBPageButton.h"
#include "app/mediabin/MBPageTabsView.h"
#include "framework/media/QKPage.h"
#include "tests/app/mediabin/ListenerFixture.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/Screenshot.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// A strip 300 points wide over a bin of `pages` pages, with listeners.
struct TabsFixture : ListenerFixture {
  explicit TabsFixture(int pages = 3)
      : ListenerFixture(QStringList(pages, QStringLiteral("ab"))), tabs(&bin, controller.get()) {
    for (int i = 0; i < pages; ++i)
      bin.pageController()->pages()[size_t(i)]->setName(QStringLiteral("Set %1").arg(i + 1));
    tabs.resize(300, 24);
    tabs.show();
    tabs.awakeFromNib();
  }
  ~TabsFixture() { tabs.prepareToBeDeleted(); }
  std::vector<MBPageButton*> tabList() const {
    std::vector<MBPageButton*> list;
    for (const auto& tab : tabs.pageTabsArray()) list.push_back(tab);
    return list;
  }
  void post(const QString& reason, void* object = nullptr) {
    NotificationCenter::defaultCenter().post("QKMBVisiblePagesChangedNotification", object,
                                             {{"Reason", reason}});
  }
  MBPageTabsView tabs;
};

TEST(MBPageTabsView, AReloadKeepsEachTabAndItsBinding) {
  TabsFixture f;
  ASSERT_EQ(f.tabList().size(), 3u);
  MBPageButton* second = f.tabList()[1];
  second->cell()->useThisSource({"MIDI", "note [40] ch. 1"});
  second->cell()->setSyncFlag(true);
  f.bin.pageController()->pages()[1]->setName("Drums");
  f.bin.hidden.insert(f.pageId(0));
  f.post("VisibleStateChanged");
  ASSERT_EQ(f.tabList().size(), 2u);
  EXPECT_EQ(f.tabList()[0], second);
  EXPECT_EQ(second->title(), "Drums");
  EXPECT_TRUE(second->cell()->syncFlag());
  EXPECT_EQ(second->cell()->syncArray(), (KeyPath{"MIDI", "note [40] ch. 1"}));
}

TEST(MBPageTabsView, TabWidthsAreClampedWithoutScrolling) {
  struct Case {
    int count;
    double width;
  };
  for (const Case& c : {Case{1, 120}, Case{5, 60}, Case{30, 20}}) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(MBPageTabsView::tabWidth(300, c.count), c.width);
  }
  TabsFixture f(30);
  const auto list = f.tabList();
  ASSERT_EQ(list.size(), 30u);
  EXPECT_EQ(list[0]->width(), 20);
  EXPECT_EQ(list[29]->x(), 29 * 20);  // past the right edge
  TabsFixture one(1);
  EXPECT_EQ(one.tabList()[0]->width(), 120);
  EXPECT_EQ(one.tabList()[0]->x(), 0);
}

TEST(MBPageTabsView, UsingATabMakesItsPageCurrent) {
  TabsFixture f;
  f.addListeners(4);
  f.controller->justSetTranspose(4);
  f.bin.expanded.insert(f.pageId(2), false);
  NotificationCounter posts("QKMBVisiblePagesChangedNotification");
  f.tabs.pageButtonUsed(f.pageId(2));
  EXPECT_EQ(f.bin.currentPageId(), f.pageId(2));
  EXPECT_TRUE(f.bin.pageExpanded(f.pageId(2)));
  EXPECT_EQ(f.controller->transpose(), 0);
  ASSERT_EQ(posts.count(), 1);
  EXPECT_EQ(posts.notes().back().object, &f.tabs);
  EXPECT_EQ(posts.notes().back().userInfo.value("Reason"), "ExpandedStateChanged");
  EXPECT_EQ(posts.notes().back().userInfo.value("PageId").toLongLong(), f.pageId(2));
  const auto list = f.tabList();
  EXPECT_EQ(list[0]->intValue(), 0);
  EXPECT_EQ(list[1]->intValue(), 0);
  EXPECT_EQ(list[2]->intValue(), 1);
  f.tabs.pageButtonUsed(f.pageId(2));  // the current one again: stays on, posts again
  EXPECT_EQ(list[2]->intValue(), 1);
  EXPECT_EQ(posts.count(), 2);
}

TEST(MBPageTabsView, ABoundTabActsOnTheMainThread) {
  TabsFixture f;
  MBPageButton* third = f.tabList()[2];
  std::thread input([&] { third->cell()->toggle(); });
  input.join();
  EXPECT_NE(f.bin.currentPageId(), f.pageId(2));
  f.settle();
  EXPECT_EQ(f.bin.currentPageId(), f.pageId(2));
}

TEST(MBPageTabsView, OnlyOtherNotificationsReload) {
  TabsFixture f;
  f.bin.pageController()->pages()[0]->setName("Renamed");
  f.post("ExpandedStateChanged", &f.tabs);
  f.post("SelectedFilesChanged");
  EXPECT_EQ(f.tabList()[0]->title(), "Set 1");
  std::thread worker([&] { f.post("FileTriggered"); });
  worker.join();
  EXPECT_EQ(f.tabList()[0]->title(), "Set 1");
  f.settle();
  EXPECT_EQ(f.tabList()[0]->title(), "Renamed");
}

TEST(MBPageTabsView, ARestoreDropsHiddenAndVanishedPagesAndAddsDefaultTabs) {
  TabsFixture f;
  QVariantMap bound = f.tabList()[1]->cell()->createSnapshot();
  f.tabList()[1]->cell()->useThisSource({"Key", "w"});
  f.tabList()[1]->cell()->setSyncFlag(true);
  const QVariantMap snap = f.tabs.createSnapshot();
  ASSERT_EQ(snap.value("pageTabsArray").toList().size(), 3);
  TabsFixture g;  // pages of its own: only page IDs in g count
  QVariantList tabs;
  for (int i = 0; i < 3; ++i) {
    QVariantMap tab = snap.value("pageTabsArray").toList()[i].toMap();
    tab.insert("pageId", qint64(g.pageId(i)));
    tabs << tab;
  }
  tabs[2] = QVariantMap{{"pageId", qint64(99999)}, {"superSnap", bound.value("superSnap")}};
  g.bin.hidden.insert(g.pageId(0));
  g.tabs.loadSnapshot({{"pageTabsArray", tabs}});
  const auto list = g.tabList();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->pageId(), g.pageId(1));
  EXPECT_EQ(list[0]->cell()->syncArray(), (KeyPath{"Key", "w"}));
  EXPECT_EQ(list[1]->pageId(), g.pageId(2));
  EXPECT_FALSE(list[1]->cell()->syncFlag());
  EXPECT_EQ(list[1]->title(), "Set 3");
}

TEST(MBPageTabsView, NoVisiblePageShowsTheMessage) {
  TabsFixture f(2);
  f.bin.hidden = {f.pageId(0), f.pageId(1)};
  f.tabs.reloadPageButtons();
  EXPECT_TRUE(f.tabList().empty());
  EXPECT_TRUE(f.tabs.createSnapshot().isEmpty());
  saveScreenshot(f.tabs.grab().toImage(), "page-tabs-empty");
}

}  // namespace
