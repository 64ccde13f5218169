#include "app/shell/AppController.h"
#include "app/shell/AppWindowMenuController.h"
#include "framework/toolkit/FrameSnapshot.h"
#include "framework/toolkit/QKWindowDelegate.h"
#include "tests/framework/toolkit/PaletteFixture.h"
#include "tests/support/NotificationCounter.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcutEvent>

namespace {

namespace N = PaletteNotifications;

void announce(QKPaletteWindow* window) {
  NotificationCenter::defaultCenter().post(QString::fromLatin1(N::AddPaletteWindow), window);
}

QStringList titles(const QList<QAction*>& actions) {
  QStringList result;
  for (const QAction* action : actions) result << action->text();
  return result;
}

TEST(AppWindowMenuController, LockItemsToggleAndPostWithTheController) {
  QMenu menu;
  AppWindowMenuController controller(&menu);
  NotificationCounter changes(N::LockChanged);
  const void* asInterface = static_cast<WindowMenuControllerInterface*>(&controller);
  QAction* lock = controller.interfaceLockItem();
  QAction* lockAll = controller.interfaceLockAllItem();

  lock->trigger();
  EXPECT_TRUE(controller.interfaceLock());
  EXPECT_TRUE(lock->isChecked());
  lockAll->trigger();  // lock goes off, lock-all on
  EXPECT_FALSE(controller.interfaceLock());
  EXPECT_TRUE(controller.interfaceLockAll());
  EXPECT_FALSE(lock->isChecked());
  EXPECT_TRUE(lockAll->isChecked());
  lockAll->trigger();
  EXPECT_FALSE(controller.interfaceLock() || controller.interfaceLockAll());
  EXPECT_FALSE(lock->isChecked() || lockAll->isChecked());
  ASSERT_EQ(changes.count(), 3);
  for (const Notification& note : changes.notes()) EXPECT_EQ(note.object, asInterface);
}

// setLock runs the items' actions: one notification per action run, and
// asked for both, lock-all wins.
TEST(AppWindowMenuController, SetLockGoesThroughTheItemActions) {
  struct Case {
    bool fromLock, fromLockAll, lock, lockAll;
    bool endLock, endLockAll;
    int notifications;
  };
  const Case cases[] = {
      {false, false, true, false, true, false, 1}, {false, false, false, false, false, false, 0},
      {true, false, true, false, true, false, 0},  {false, false, true, true, false, true, 2},
      {true, false, false, true, false, true, 2},  {false, true, false, false, false, false, 1},
      {false, true, true, false, true, false, 1},  {true, false, false, false, false, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.fromLock << c.fromLockAll << " -> " << c.lock << c.lockAll);
    QMenu menu;
    AppWindowMenuController controller(&menu);
    if (c.fromLock) controller.lockInterfaceItemUsed();
    if (c.fromLockAll) controller.lockAllInterfaceItemUsed();
    NotificationCounter changes(N::LockChanged);
    controller.setLock(c.lock, c.lockAll);
    EXPECT_EQ(controller.interfaceLock(), c.endLock);
    EXPECT_EQ(controller.interfaceLockAll(), c.endLockAll);
    EXPECT_EQ(controller.interfaceLockItem()->isChecked(), c.endLock);
    EXPECT_EQ(controller.interfaceLockAllItem()->isChecked(), c.endLockAll);
    EXPECT_EQ(changes.count(), c.notifications);
  }
}

class StackOrder : public QKWindowDelegate {
 public:
  explicit StackOrder(int order) : order_(order) {}
  std::optional<int> paletteStackOrder() const override { return order_; }

 private:
  int order_;
};

TEST(AppWindowMenuController, OneEntryPerPaletteByStackOrderWithFixedKeys) {
  SKIP_WITHOUT_DISPLAY();
  QMenu menu;
  QAction* before = menu.addAction(QStringLiteral("Minimize"));
  AppWindowMenuController controller(&menu);
  StackOrder first(1), third(3);
  PalettePtr clock = makePalette(QStringLiteral("Clock"), {700, 100, 300, 300});
  PalettePtr note = makePalette(QStringLiteral("Notes"), {100, 100, 200, 100});
  PalettePtr inspector =
      makePalette(QStringLiteral("Slider/Button Inspector"), {400, 400, 200, 100});
  clock->setDelegate(&third);
  inspector->setDelegate(&first);
  for (const PalettePtr& p : {std::cref(clock), std::cref(note), std::cref(inspector)})
    announce(static_cast<QKPaletteWindow*>(p.get()));
  // No order sorts first.
  EXPECT_EQ(titles(controller.paletteEntries()),
            (QStringList{QStringLiteral("Notes"), QStringLiteral("Slider/Button Inspector"),
                         QStringLiteral("Clock")}));
  EXPECT_EQ(menu.actions().front(), before);
  const QList<QAction*> entries = controller.paletteEntries();
  EXPECT_EQ(entries[0]->shortcut(), QKeySequence());
  EXPECT_EQ(entries[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+2")));
  EXPECT_EQ(entries[2]->shortcut(), QKeySequence(QStringLiteral("Ctrl+8")));
  EXPECT_EQ(entries[2]->shortcutContext(), Qt::ApplicationShortcut);
  EXPECT_TRUE(entries[1]->isChecked());

  // The shortcut hides the visible palette; the menu follows.
  QShortcutEvent shortcut(QKeySequence(QStringLiteral("Ctrl+2")), 0);
  QApplication::sendEvent(entries[1], &shortcut);
  EXPECT_FALSE(inspector->isVisible());
  EXPECT_FALSE(controller.paletteEntries()[1]->isChecked());
  controller.paletteEntries()[1]->trigger();
  EXPECT_TRUE(inspector->isVisible());

  note.reset();  // a palette that goes leaves the menu
  EXPECT_EQ(titles(controller.paletteEntries()),
            (QStringList{QStringLiteral("Slider/Button Inspector"), QStringLiteral("Clock")}));
  NotificationCenter::defaultCenter().post(QString::fromLatin1(N::RemoveWindow), &menu);
  EXPECT_EQ(controller.paletteEntries().size(), 2);
}

// Palettes, then layers in the order announced, then plug-ins by title
// with the plain comparison (upper case first); none of the two later
// sections has keys or check marks.
TEST(AppWindowMenuController, ThreeSectionsInTheirOrders) {
  SKIP_WITHOUT_DISPLAY();
  QMenu menu;
  AppWindowMenuController controller(&menu);
  PalettePtr clock = makePalette(QStringLiteral("Clock"), {700, 100, 300, 300});
  std::vector<std::unique_ptr<QKWindow>> windows;
  const auto post = [&](const char* name, const char* title) {
    windows.push_back(std::make_unique<QKWindow>(QRectF(100, 100, 200, 100)));
    windows.back()->setTitle(QString::fromLatin1(title));
    windows.back()->show();
    NotificationCenter::defaultCenter().post(QString::fromLatin1(name), windows.back().get());
  };
  post(N::AddLayerWindow, "Layer 2");
  post(N::AddPluginWindow, "sliders");
  post(N::AddLayerWindow, "Layer 1");
  post(N::AddPluginWindow, "Zebra");
  post(N::AddPluginWindow, "MediaBin");
  announce(static_cast<QKPaletteWindow*>(clock.get()));
  // A layer window shown again keeps its one entry.
  NotificationCenter::defaultCenter().post(QString::fromLatin1(N::AddLayerWindow),
                                           windows[0].get());
  EXPECT_EQ(titles(controller.layerEntries()),
            (QStringList{QStringLiteral("Layer 2"), QStringLiteral("Layer 1")}));
  EXPECT_EQ(titles(controller.pluginEntries()),
            (QStringList{QStringLiteral("MediaBin"), QStringLiteral("Zebra"),
                         QStringLiteral("sliders")}));
  const QList<QAction*> items = menu.actions();
  EXPECT_LT(items.indexOf(controller.paletteEntries().back()),
            items.indexOf(controller.layerEntries().front()));
  EXPECT_LT(items.indexOf(controller.layerEntries().back()),
            items.indexOf(controller.pluginEntries().front()));
  for (QAction* entry : controller.layerEntries() + controller.pluginEntries()) {
    EXPECT_TRUE(entry->shortcut().isEmpty());
    EXPECT_FALSE(entry->isChecked());
  }
  // A window in no list still rebuilds; a layer window leaves its section.
  NotificationCenter::defaultCenter().post(QString::fromLatin1(N::RemoveWindow), &menu);
  NotificationCenter::defaultCenter().post(QString::fromLatin1(N::RemoveWindow), windows[0].get());
  EXPECT_EQ(titles(controller.layerEntries()), QStringList{QStringLiteral("Layer 1")});
  EXPECT_EQ(controller.pluginEntries().size(), 3);
}

TEST(AppWindowMenuController, PluginWindowsFollowThePalettesSortedByTitle) {
  SKIP_WITHOUT_DISPLAY();
  QMenu menu;
  AppWindowMenuController controller(&menu);
  PalettePtr clock = makePalette(QStringLiteral("Clock"), {700, 100, 300, 300});
  auto pads = std::make_unique<QKWindow>(QRectF(100, 100, 200, 100));
  auto faders = std::make_unique<QKWindow>(QRectF(300, 100, 200, 100));
  pads->setTitle(QStringLiteral("Pads"));
  faders->setTitle(QStringLiteral("Faders"));
  for (QKWindow* window : {pads.get(), faders.get()})
    NotificationCenter::defaultCenter().post(QString::fromLatin1(N::AddPluginWindow), window);
  announce(static_cast<QKPaletteWindow*>(clock.get()));
  EXPECT_EQ(titles(controller.pluginEntries()),
            (QStringList{QStringLiteral("Faders"), QStringLiteral("Pads")}));
  const QList<QAction*> items = menu.actions();
  EXPECT_LT(items.indexOf(controller.paletteEntries().front()),
            items.indexOf(controller.pluginEntries().front()));
  EXPECT_EQ(items.back(), controller.pluginEntries().back());
  controller.pluginEntries().front()->trigger();
  EXPECT_TRUE(faders->isVisible());
  pads.reset();  // a window that goes leaves the menu
  EXPECT_EQ(titles(controller.pluginEntries()), QStringList{QStringLiteral("Faders")});
}

// ZAPH's own Window menu: palettes made in code find the controller, lock
// from its items, snap, collapse and round-trip their frames.
TEST(AppWindowMenuController, PalettesInZaphLockFromTheWindowMenu) {
  SKIP_WITHOUT_DISPLAY();
  AppController app;
  AppWindowMenuController* controller = app.appWindowMenuController();
  ASSERT_NE(controller, nullptr);
  QMenu* windowMenu = nullptr;
  for (QAction* action : app.menuBar()->actions())
    if (action->text() == QStringLiteral("Window")) windowMenu = action->menu();
  ASSERT_NE(windowMenu, nullptr);
  EXPECT_TRUE(windowMenu->actions().contains(controller->interfaceLockItem()));

  const auto zaphsOwn = controller->paletteEntries().size();  // the inspector, the compositor
  PalettePtr a = makePalette(QStringLiteral("A"), {100, 500, 200, 150});
  PalettePtr b = makePalette(QStringLiteral("B"), {400, 500, 200, 150});
  announce(static_cast<QKPaletteWindow*>(a.get()));
  announce(static_cast<QKPaletteWindow*>(b.get()));
  EXPECT_EQ(a->contentView()->menuController(), controller);
  EXPECT_EQ(a->contentView()->dataSourceController(), app.dataSourceController());
  EXPECT_EQ(controller->paletteEntries().size(), zaphsOwn + 2);

  controller->interfaceLockItem()->trigger();
  EXPECT_TRUE(a->contentView()->locked());
  MouseDrag locked(a->contentView(), {100, 8});
  locked.moveBy({96, 0});
  locked.release();
  EXPECT_TRUE(waitForFrame(a.get(), {100, 500, 200, 150}));

  controller->interfaceLockItem()->trigger();
  EXPECT_FALSE(a->contentView()->locked());
  MouseDrag drag(a->contentView(), {100, 8});
  drag.moveBy({96, 0});
  drag.release();
  EXPECT_TRUE(waitForFrame(a.get(), {203, 500, 200, 150}));

  const QVariantMap snapshot = a->contentView()->createSnapshot();
  MouseDrag(a->contentView(), {10, 10}).release();  // the triangle
  EXPECT_TRUE(a->contentView()->collapsed());
  a->contentView()->loadSnapshot(snapshot);
  EXPECT_FALSE(a->contentView()->collapsed());
  EXPECT_TRUE(waitForFrame(a.get(), {203, 500, 200, 150}));
  EXPECT_EQ(a->contentView()->createSnapshot(), snapshot);

  a.reset();
  b.reset();
  app.applicationWillTerminate();
}

}  // namespace
