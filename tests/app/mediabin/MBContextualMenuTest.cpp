#include "app/mediabin/MBContextualMenuController.h"
#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBLayerController.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKTapFile.h"
#include "framework/taps/QKTapManager.h"
#include "platform/foundation/MainThread.h"
#include "tests/app/mediabin/FakeMediaBin.h"
#include "tests/app/mediabin/FakeQueueHost.h"
#include "tests/framework/taps/TapFixtures.h"
#include "tests/support/Screenshot.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace {

namespace G = MBGridGeometry;

QStringList titles(const QMenu* menu) {
  QStringList out;
  if (!menu) return out;
  for (const QAction* item : menu->actions()) out << item->text();
  return out;
}

QAction* itemNamed(const QMenu* menu, const QString& name) {
  for (QAction* item : menu->actions())
    if (item->data().toString() == name) return item;
  return nullptr;
}

// A grid of one page "a_" (a blank at 1) with the menus, the tap manager
// and the taps of the test.
struct MenuFixture {
  MenuFixture() : queueHost({"Top"}), queue(&queueHost, 42), grid(&bin, &queue) {
    page = bin.pageController()->pages().front();
    fillPage(*page, QStringLiteral("a_"));
    grid.setNumberOfColumns(4);
    grid.resize(403, 400);
    grid.setMenuController(&menus);
    menus.awakeFromNib(&grid);
  }
  ~MenuFixture() {
    menus.prepareToBeDeleted();
    for (const auto& tap : inputs) tap->prepareToBeDeleted();
    for (const auto& tap : layerTaps) tap->prepareToBeDeleted();
  }
  void addInput(const QString& name) { inputs.push_back(InputTap::create(name)); }
  void addLayerTap(const QString& name, int index) {
    layers.push_back(std::make_unique<FakeLayer>(name, index));
    layerTaps.push_back(QKSTap::create(layers.back().get()));
  }
  QPoint cellPoint(int index) const {
    const auto blocks = G::layout(grid.pages(), grid.width(), grid.height(), 4, bin.listeners);
    return G::toWidget(G::cellRect(blocks[0], index, grid.width(), 4), grid.height())
        .center()
        .toPoint();
  }
  void rightClick(int index) {
    QTest::mouseClick(&grid, Qt::RightButton, {}, cellPoint(index));
    MainThread::processUntil([] { return false; }, 0.03);
  }
  std::shared_ptr<QKFile> cell(int index) const {
    return index < int(page->contents().size()) ? page->contents()[size_t(index)] : nullptr;
  }

  QKTapManager tapManager;
  FakeMediaBin bin;
  std::shared_ptr<QKPage> page;
  FakeQueueHost queueHost;
  MBLayerController queue;
  MBFileGridView grid;
  MBContextualMenuController menus;
  std::vector<std::shared_ptr<InputTap>> inputs;
  std::vector<std::unique_ptr<FakeLayer>> layers;
  std::vector<std::shared_ptr<QKSTap>> layerTaps;
};

TEST(MBContextualMenu, SubmenusByNumberOfInputs) {
  const QString hint = MBContextualMenuController::kNoInputHintTitle;
  struct Case {
    QStringList inputs;
    QStringList live, record;
  };
  const Case cases[] = {
      {{}, {hint}, {hint}},
      {{"Cam"}, {"Cam"}, {"Cam"}},
      {{"Cam", "Deck"}, {"Cam", "Deck"}, {"<all>", "Cam", "Deck"}},
  };
  for (const Case& c : cases) {
    MenuFixture f;
    for (const QString& name : c.inputs) f.addInput(name);
    f.menus.reloadAvailableTapsMethod();
    EXPECT_EQ(titles(f.menus.liveInputMenu()), c.live) << c.inputs.join(",").toStdString();
    EXPECT_EQ(titles(f.menus.recordInputMenu()), c.record) << c.inputs.join(",").toStdString();
    if (c.inputs.isEmpty()) {
      for (const QMenu* menu : {f.menus.liveInputMenu(), f.menus.recordInputMenu()}) {
        EXPECT_FALSE(menu->actions().front()->isEnabled());
        EXPECT_TRUE(menu->actions().front()->data().isNull());
      }
    }
  }
}

TEST(MBContextualMenu, LayerTapsBeginWithNoneAndFollowNewTaps) {
  MenuFixture f;
  f.addLayerTap(QStringLiteral("A & B"), 0);
  f.rightClick(1);
  QMenu* taps = f.menus.layerTapMenu();
  EXPECT_EQ(titles(taps), (QStringList{"<none>", "A && B"}));
  ASSERT_NE(itemNamed(taps, QStringLiteral("A & B")), nullptr);
  EXPECT_FALSE(f.menus.emptyCellMenu()->isEmpty());
  f.menus.emptyCellMenu()->adjustSize();
  saveScreenshot(f.menus.emptyCellMenu()->grab().toImage(), QStringLiteral("grid-empty-cell-menu"));
  taps->adjustSize();
  saveScreenshot(taps->grab().toImage(), QStringLiteral("grid-layer-tap-menu"));

  // Made after the last right click: listed at the next one.
  f.addLayerTap(QStringLiteral("Later"), 1);
  f.addInput(QStringLiteral("Cam"));
  EXPECT_EQ(titles(f.menus.layerTapMenu()).size(), 2);
  f.rightClick(1);
  EXPECT_EQ(titles(f.menus.layerTapMenu()), (QStringList{"<none>", "A && B", "Later"}));
  EXPECT_EQ(titles(f.menus.liveInputMenu()), QStringList{"Cam"});
}

TEST(MBContextualMenu, RightClickChoosesTheMenuAndSelects) {
  MenuFixture f;
  f.rightClick(1);  // an empty cell, nothing selected
  EXPECT_EQ(f.grid.menuForLastRightClick(), f.menus.emptyCellMenu());
  EXPECT_TRUE(f.bin.selectedIds().empty());
  EXPECT_EQ(f.grid.menuPageId(), f.page->uniqueFileId());
  EXPECT_EQ(f.grid.menuGridIndex(), 1);
  f.menus.emptyCellMenu()->hide();

  f.rightClick(0);  // a file: selected, the loaded-cell menu
  EXPECT_EQ(f.grid.menuForLastRightClick(), f.menus.loadedCellMenu());
  EXPECT_EQ(f.bin.selectedIds(), std::vector<long>{f.cell(0)->uniqueFileId()});
  f.menus.loadedCellMenu()->hide();
}

TEST(MBContextualMenu, ItemsReachTheGridAtTheClickedCell) {
  struct Case {
    const char* submenu;  // "tap", "live", "record"
    QString item;
    QStringList made;  // tap names, or recording sources, in the page's cells 1…
  };
  const Case cases[] = {
      {"tap", "<none>", {"<none>"}}, {"tap", "A & B", {"A & B"}},          {"live", "Cam", {"Cam"}},
      {"record", "Deck", {"Deck"}},  {"record", "<all>", {"Cam", "Deck"}},
  };
  for (const Case& c : cases) {
    MenuFixture f;
    f.bin.host.inputs = {QStringLiteral("<none>"), QStringLiteral("Cam"), QStringLiteral("Deck")};
    f.addLayerTap(QStringLiteral("A & B"), 0);
    f.addInput(QStringLiteral("Cam"));
    f.addInput(QStringLiteral("Deck"));
    f.rightClick(1);
    const QString which = c.submenu;
    QMenu* menu = which == "tap"    ? f.menus.layerTapMenu()
                  : which == "live" ? f.menus.liveInputMenu()
                                    : f.menus.recordInputMenu();
    QAction* item = itemNamed(menu, c.item);
    ASSERT_NE(item, nullptr) << c.submenu << " " << c.item.toStdString();
    item->trigger();
    QStringList made;
    for (size_t i = 1; i < f.page->contents().size(); ++i) {
      const auto& entry = f.page->contents()[i];
      if (entry) made << entry->name();
    }
    EXPECT_EQ(made.size(), c.made.size()) << c.submenu << " " << c.item.toStdString();
    for (const QString& name : c.made)
      EXPECT_TRUE(
          std::any_of(made.begin(), made.end(), [&](const QString& m) { return m.contains(name); }))
          << name.toStdString() << " in " << made.join("|").toStdString();
    EXPECT_EQ(f.bin.host.recordingsStarted, which == "record" ? 1 : 0);
    f.menus.emptyCellMenu()->hide();
  }
}

}  // namespace
