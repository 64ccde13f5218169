// The loader's page menus and the pop-ups that copy them and keep their
// choice.
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFolder.h"
#include "framework/media/QKFolderMediaBinListPopUpButtonCell.h"
#include "framework/media/QKNSFolderMediaBinListPopUpButton.h"
#include "framework/media/QKPageListMenu.h"
#include "tests/framework/media/FileLoaderFixture.h"
#include "tests/support/Screenshot.h"

#include <QMenu>

namespace {

using PageMenus = FileLoaderFixture;

QString describe(const QKPageListMenu& menu) {
  QStringList items;
  for (const auto& item : menu.items())
    items.append(item.separator ? QStringLiteral("---")
                                : QStringLiteral("%1:%2%3")
                                      .arg(item.title)
                                      .arg(item.tag)
                                      .arg(item.enabled ? "" : " (off)"));
  return items.join(", ");
}

int plugin = 0;  // stands for a media bin plug-in object
int otherPlugin = 0;

TEST_F(PageMenus, MenusListPagesByIDAndMediaBinsByTitle) {
  pages().firstPage()->setName("Drums");
  pages().addBlankPage();
  host.bins = {"Bin A"};
  loader->prepareFolderListMenu();
  loader->prepareFolderAndMediaBinListMenu();
  const QString p0 = QString::number(page(0)->uniqueFileId());
  const QString p1 = QString::number(page(1)->uniqueFileId());
  EXPECT_EQ(describe(loader->folderListMenu()), "Drums:" + p0 + ", Page 2:" + p1);
  EXPECT_EQ(describe(loader->folderAndMediaBinListMenu()),
            "<none>:-2, ---, Follow media bin::-3 (off), Bin A:-1, ---, Page::-3 (off), Drums:" +
                p0 + ", Page 2:" + p1);

  const std::pair<int, int> depths[] = {{-1, 0}, {3, 3}, {20, 15}};
  for (const auto& [depth, indentation] : depths) {
    QKPageListMenu menu;
    loader->addPagesToMenu(&menu, depth);
    EXPECT_EQ(menu.items()[0].indentation, indentation) << depth;
  }
  loader->addPagesToMenu(nullptr, 0);  // nothing happens

  QKFolder root(&host.fakeCompositor, loader.get(), "root");
  auto sub = QKFolder::createWithParent(&root, "sub", &host.fakeCompositor, loader.get());
  root.addObject({nullptr, sub}, 0);
  QKPageListMenu folders;
  loader->addFolder(root, &folders, 14);
  ASSERT_EQ(folders.items().size(), 2u);
  EXPECT_EQ(folders.items()[1].indentation, 15);
  EXPECT_EQ(folders.items()[1].tag, sub->uniqueFileId());
}

TEST_F(PageMenus, NotificationsRebuildTheMenusAndSayWhy) {
  host.binObjects = {{&plugin, "Bin A"}};
  struct Case {
    const char* name;
    QString notification;
    const void* object;
    QVariantMap userInfo;
    QVariantMap reason;  // empty: nothing posted
  };
  const Case cases[] = {
      {"a media bin added",
       "QKPluginAddedNotification",
       &plugin,
       {},
       {{"reason", "addedMediaBin"}, {"addedBinName", "Bin A"}}},
      {"another plug-in added", "QKPluginAddedNotification", &otherPlugin, {}, {}},
      {"a plug-in deleted",
       "QKPluginDeletedNotification",
       &otherPlugin,
       {},
       {{"reason", "deletedPlugin"}}},
      {"a media bin renamed",
       "QKPluginRenamedNotification",
       &plugin,
       {{"oldName", "Bin A"}, {"newName", "Bin B"}},
       {{"reason", "changePluginName"}, {"oldName", "Bin A"}, {"newName", "Bin B"}}},
      {"another plug-in renamed",
       "QKPluginRenamedNotification",
       &otherPlugin,
       {{"oldName", "x"}, {"newName", "y"}},
       {}},
      {"pages changed",
       "QKMBPageListChangedNotification",
       nullptr,
       {},
       {{"reason", "pagesChanged"}}},
      {"a project loaded", "QKPMRestoreEndNotification", nullptr, {}, {{"reason", "loadedPreset"}}},
  };
  for (const Case& c : cases) {
    NotificationCounter updated(MediaNotifications::kFolderListMenuUpdated);
    NotificationCenter::defaultCenter().post(c.notification, const_cast<void*>(c.object),
                                             c.userInfo);
    ASSERT_EQ(updated.count(), c.reason.isEmpty() ? 0 : 1) << c.name;
    if (!c.reason.isEmpty()) {
      EXPECT_EQ(updated.notes()[0].userInfo, c.reason) << c.name;
      EXPECT_EQ(updated.notes()[0].object, loader.get()) << c.name;
    }
  }
  // A new page shows in both menus at once.
  pages().addBlankPage();
  EXPECT_EQ(loader->folderListMenu().items().size(), 2u);
  EXPECT_EQ(loader->folderAndMediaBinListMenu().items().back().title, "Page 2");
  // The end of a load rebuilds them and says nothing more.
  NotificationCounter updated(MediaNotifications::kFolderListMenuUpdated);
  loader->addTheseFilesToQueue({"/nonexistent"}, nullptr, -1, false);
  ASSERT_TRUE(finishLoad());
  ASSERT_EQ(updated.count(), 1);
  EXPECT_TRUE(updated.notes()[0].userInfo.isEmpty());
}

struct PopUps {
  explicit PopUps(QKFileLoader&) {
    pageButton.awakeFromNib();
    binButton.awakeFromNib();
    cell.awakeFromNib();
  }
  QKNSFolderListPopUpButton pageButton;
  QKNSFolderMediaBinListPopUpButton binButton;
  QKFolderMediaBinListPopUpButtonCell cell;

  QStringList chosen() const {
    const auto title = [](QAction* item) { return item ? item->text() : QStringLiteral("-"); };
    return {title(pageButton.selectedItem()), title(binButton.selectedItem()),
            title(cell.selectedItem())};
  }
  void chooseTag(int tag) {
    pageButton.selectItemWithTag(tag);
    binButton.selectItemWithTag(tag);
    for (QAction* item : cell.localMenu()->actions())
      if (QKNSPopUpButton::tag(item) == tag) cell.selectItem(item);
  }
  void chooseBin(const QString& title) {
    binButton.selectItemWithTitle(title);
    for (QAction* item : cell.localMenu()->actions())
      if (item->text() == title) cell.selectItem(item);
  }
};

TEST_F(PageMenus, PopUpsKeepTheirPageByIDAcrossARename) {
  pages().addBlankPage();
  PopUps popUps(*loader);
  EXPECT_EQ(popUps.pageButton.fileLoader(), loader.get()) << "found by notification";
  EXPECT_EQ(popUps.chosen(), QStringList({"Page 1", "<none>", "<none>"}))
      << "nothing chosen: the first item";
  popUps.chooseTag(int(page(1)->uniqueFileId()));
  page(1)->setName("Renamed");
  EXPECT_EQ(popUps.chosen(), QStringList({"Renamed", "Renamed", "Renamed"}));
  pages().movePageAtIndex(1, 0);
  EXPECT_EQ(popUps.chosen(), QStringList({"Renamed", "Renamed", "Renamed"}));
  EXPECT_EQ(popUps.pageButton.indexOfSelectedItem(), 0);

  popUps.pageButton.resize(160, 22);
  saveScreenshot(popUps.pageButton.grab().toImage(), "page-pop-up");

  pages().removePageAtIndex(0);
  EXPECT_EQ(popUps.chosen(), QStringList({"Page 1", "<none>", "<none>"}))
      << "a deleted page gives the first item";
}

TEST_F(PageMenus, MediaBinPopUpsFollowARenamedBinAndFallBackWhenItGoes) {
  host.bins = {"Bin A", "Bin C"};
  host.binObjects = {{&plugin, "Bin A"}};
  NotificationCenter::defaultCenter().post("QKPluginAddedNotification", &plugin);
  PopUps popUps(*loader);
  popUps.chooseBin("Bin A");
  host.bins = {"Bin B", "Bin C"};
  NotificationCenter::defaultCenter().post("QKPluginRenamedNotification", &plugin,
                                           {{"oldName", "Bin A"}, {"newName", "Bin B"}});
  EXPECT_EQ(popUps.chosen().mid(1), QStringList({"Bin B", "Bin B"}));
  EXPECT_EQ(popUps.binButton.lastSelectedTag(), -1);

  host.bins = {"Bin C"};
  NotificationCenter::defaultCenter().post("QKPluginDeletedNotification", &plugin);
  EXPECT_EQ(popUps.chosen().mid(1), QStringList({"<none>", "<none>"}));
  EXPECT_TRUE(popUps.binButton.lastSelectedName().isEmpty());
}

}  // namespace
