#include "RestoreFixture.h"

#include "app/compositor/CompModeLists.h"
#include "app/compositor/FXChainPresetPopUpButton.h"
#include "app/compositor/FXChainShortcutTableView.h"
#include "app/compositor/LayerPanel.h"
#include "app/compositor/LayerSourceCompUIController.h"
#include "app/compositor/LayerTabFollower.h"
#include "app/compositor/LayerTabMimeData.h"
#include "app/compositor/LayerWindowTabView.h"
#include "app/compositor/QKCollapsibleBox.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/midi/QKMIDIMessage.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Screenshot.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <gtest/gtest.h>

namespace {

// Real layer windows over the restore world's layers and chains.
struct WindowWorld : RestoreWorld {
  WindowWorld() {
    compositor->populateCompFilterTypes();
    compositor->setLayerWindowFactory(
        [](Compositor& owner) { return std::make_unique<LayerPanel>(&owner); });
  }
  LayerPanel* panel(int index = 0) const {
    return dynamic_cast<LayerPanel*>(compositor->layerWindowArray().at(index).get());
  }
  static LayerPanel* panelOf(Layer* layer) {
    return dynamic_cast<LayerPanel*>(layer->parentWindow());
  }
  static QStringList tabNames(LayerPanel* window) {
    QStringList names;
    for (const Layer* layer : window->layerArray()) names << layer->layerName();
    return names;
  }
  // Moves the layer into a window of its own, as a tear-off would.
  LayerPanel* ownWindow(Layer* layer) {
    LayerPanel* made = dynamic_cast<LayerPanel*>(compositor->makeLayerWindow());
    panelOf(layer)->removeLayerFromWindow(layer, true);
    made->addLayerToWindow(layer, true);
    return made;
  }
  // Drops `layer` (dragged from its window) on tab `index` of `window`:
  // direction −1 before, 1 after, 0 into.
  bool drop(Layer* layer, LayerPanel* window, int index, int direction) {
    LayerWindowTabView* view = window->layerTabView();
    const int pitch = view->realTabWidth() + 3;
    const double x = index * pitch + (direction < 0 ? 0.2 : 0.8) * view->realTabWidth();
    view->dragMovedTo(x);
    LayerTabMimeData data(compositor->sharedLayer(layer), panelOf(layer)->layerTabView());
    return view->performDrop(data);
  }
};

// --- The window controller
// -------------------------------------------------------------------------

TEST(LayerWindowTest, TheShownLayerFollowsAddingRemovingAndDeleting) {
  WindowWorld world;
  auto a = world.named("A");
  LayerPanel* window = world.panel();
  ASSERT_TRUE(window);
  auto b = world.named("B");
  auto c = world.named("C");
  auto d = world.named("D");
  auto e = world.named("E");
  // Adding shows the added layer; tabs go by stack order (newest on top).
  EXPECT_EQ(window->currentlyDisplayedLayer(), e.get());
  EXPECT_EQ(WindowWorld::tabNames(window), QStringList({"E", "D", "C", "B", "A"}));

  // Deleting a tab that is not shown keeps the shown layer.
  window->displayLayer(d.get());
  window->deleteThisLayer(world.find("B"));
  EXPECT_EQ(window->currentlyDisplayedLayer(), d.get());
  // Deleting the shown layer shows the one now at its index.
  window->deleteThisLayer(d.get());
  EXPECT_EQ(window->currentlyDisplayedLayer(), c.get());
  // Removing the shown layer shows the tab before it, or the first.
  window->removeLayerFromWindow(c.get(), false);
  EXPECT_EQ(window->currentlyDisplayedLayer(), e.get());
  window->addLayerToWindow(c.get());
  window->removeLayerFromWindow(e.get(), false);
  EXPECT_EQ(window->currentlyDisplayedLayer(), c.get());
  // Removing a hidden one keeps the shown layer.
  window->addLayerToWindow(e.get());
  window->displayLayer(c.get());
  window->removeLayerFromWindow(e.get(), false);
  EXPECT_EQ(window->currentlyDisplayedLayer(), c.get());
  window->addLayerToWindow(e.get());
  // A layer of another window is left alone.
  LayerPanel* other = world.ownWindow(a.get());
  window->removeLayerFromWindow(a.get(), false);
  EXPECT_EQ(a->parentWindow(), other);
  world.compositor->deleteAllLayers();
}

// Deleted through the compositor (not through its window), a layer leaves
// its window as well: the window's tabs and snapshot name only the layers
// that live, and a window left empty closes.
TEST(LayerWindowTest, ALayerDeletedThroughTheCompositorLeavesItsWindow) {
  WindowWorld world;
  auto a = world.named("A");
  auto b = world.named("B");
  LayerPanel* window = world.panel();
  window->showWindow();
  ASSERT_EQ(WindowWorld::tabNames(window), QStringList({"B", "A"}));
  world.compositor->deleteThisLayer(b.get());
  EXPECT_FALSE(world.compositor->containsLayer(b.get()));
  EXPECT_EQ(b->parentWindow(), nullptr);
  EXPECT_EQ(WindowWorld::tabNames(window), QStringList({"A"}));
  EXPECT_EQ(window->createSnapshot().value("layerArray").toStringList(), QStringList({"A"}));
  EXPECT_EQ(window->currentlyDisplayedLayer(), a.get());

  world.compositor->deleteThisLayer(a.get());
  EXPECT_EQ(a->parentWindow(), nullptr);
  EXPECT_FALSE(window->window()->isVisible());
  QCoreApplication::processEvents();
  EXPECT_TRUE(world.compositor->layerWindowArray().empty());
}

TEST(LayerWindowTest, DeletingTheLastLayerClosesTheWindowWhichGoesFromTheEventLoop) {
  WindowWorld world;
  auto a = world.named("A");
  LayerPanel* window = world.panel();
  window->showWindow();
  window->deleteThisLayer(a.get());
  // Closed at once, still there: the call that deleted is on its stack.
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(world.compositor->layerWindowArray().size(), 1u);
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(world.compositor->layerWindowArray().empty());
}

TEST(LayerWindowTest, TheWindowIsNeverSmallerThanItsMinimum) {
  WindowWorld world;
  auto a = world.named("A");
  LayerPanel* window = world.panel();
  window->showWindow();
  window->window()->resize(100, 100);
  EXPECT_EQ(window->window()->size(), QSize(249, 283));
  EXPECT_EQ(window->window()->contentView()->minSize(), QSizeF(249, 283));
}

TEST(LayerWindowTest, SnapshotsCarryTheLayersTheShownOneAndTheBoxes) {
  WindowWorld world;
  auto a = world.named("A");
  auto b = world.named("B");
  LayerPanel* window = world.panel();
  window->displayLayer(a.get());
  QVariantMap snapshot = window->createSnapshot();
  EXPECT_EQ(snapshot.value("layerArray").toStringList(), QStringList({"B", "A"}));
  EXPECT_EQ(snapshot.value("currentlyDisplayedName").toString(), "A");
  // The size box starts folded, the top box open.
  EXPECT_EQ(snapshot.value("topBox").toMap(), QVariantMap({{"collapsed", false}}));
  EXPECT_EQ(snapshot.value("bottomBox").toMap(), QVariantMap({{"collapsed", true}}));

  window->loadSnapshot({{"topBox", QVariantMap{{"collapsed", true}}}});
  EXPECT_TRUE(window->topBox()->collapsed());
  EXPECT_TRUE(window->sizePosBox()->collapsed());  // absent: left as it is
  window->loadSnapshot({{"bottomBox", QVariantMap{}}});
  EXPECT_FALSE(window->sizePosBox()->collapsed());

  // Through the compositor's restore into a second world.
  const QVariantMap saved = world.compositor->createSnapshot();
  WindowWorld second;
  ASSERT_TRUE(second.compositor->loadSnapshot(saved));
  LayerPanel* restored = second.panel();
  ASSERT_TRUE(restored);
  EXPECT_EQ(WindowWorld::tabNames(restored), QStringList({"B", "A"}));
  EXPECT_EQ(restored->currentlyDisplayedLayer()->layerName(), "A");
  EXPECT_TRUE(restored->topBox()->collapsed());
  EXPECT_FALSE(restored->sizePosBox()->collapsed());
  world.compositor->deleteAllLayers();
  second.compositor->deleteAllLayers();
}

// The window's frame is in its snapshot from the start, not only once it was
// collapsed or dragged by its bar: a preset taken early keeps where and how
// big the window is, and a plain resize is followed too.
TEST(LayerWindowTest, ItsSnapshotCarriesTheWindowsFrameFromTheStart) {
  WindowWorld world;
  auto a = world.named("A");
  QKPaletteWindow* palette = world.panel()->window();
  const QVariantMap made = world.panel()->createSnapshot().value("actualWindowSnap").toMap();
  EXPECT_EQ(QSizeF(made.value("width").toDouble(), made.value("height").toDouble()),
            QSizeF(palette->size()));
  EXPECT_EQ(made.value("originX").toDouble(), palette->frame().x());

  palette->resize(300, 500);
  const QVariantMap saved = world.compositor->createSnapshot();
  WindowWorld second;
  ASSERT_TRUE(second.compositor->loadSnapshot(saved));
  ASSERT_TRUE(second.panel());
  EXPECT_EQ(second.panel()->window()->frame(), palette->frame());
  world.compositor->deleteAllLayers();
  second.compositor->deleteAllLayers();
}

// A performer saves the chain as a preset, recalls it on another layer,
// learns a note as its shortcut, and deletes it from the table.
TEST(LayerWindowTest, APerformerSavesRecallsLearnsAndDeletesChainPresets) {
  QTemporaryDir data;
  Paths::setUserDataDirOverride(data.path());
  {
    WindowWorld world;
    auto first = world.named("A");
    auto second = world.named("B");
    ASSERT_TRUE(first->addCIFXNamed("Bright"));
    LayerPanel* window = world.panel();
    window->showLayer(first.get());
    window->createFXChainPresetClicked();
    EXPECT_TRUE(window->createChainPresetPanel()->isVisible());
    // An empty name does nothing and leaves the sheet open.
    window->createChainTextField()->setText("  ");
    QTest::mouseClick(window->saveFXChainButton(), Qt::LeftButton);
    EXPECT_TRUE(world.manager->fxChainPresetMenu().isEmpty());
    EXPECT_TRUE(window->createChainPresetPanel()->isVisible());
    window->createChainTextField()->setText("Glow set");
    QTest::mouseClick(window->saveFXChainButton(), Qt::LeftButton);
    EXPECT_FALSE(window->createChainPresetPanel()->isVisible());
    EXPECT_EQ(world.manager->fxChainPresetMenu(), QStringList({"Glow set"}));
    EXPECT_TRUE(QFileInfo::exists(data.path() + "/layer chains/Glow set.slc"));
    FXChainPresetPopUpButton* popUp = window->fxChainPresetButton();
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Glow set");
    EXPECT_EQ(popUp->lastSelectedChainName(), "Glow set");

    // Saving under the name again replaces the preset.
    ASSERT_TRUE(first->addCIFXNamed("Bright"));
    window->createChainTextField()->setText("Glow set");
    window->saveFXChainPresetClicked();
    ASSERT_EQ(world.manager->fxChainPresetArray().size(), 1);
    EXPECT_EQ(world.manager->findPresetNamed("Glow set").value("snapshot").toList().size(), 2);

    // Recalled on the other layer, with frames held off meanwhile.
    window->showLayer(second.get());
    popUp->selectItemWithTitle("Glow set");
    Q_EMIT popUp->activated(popUp->selectedItem());
    EXPECT_EQ(RestoreWorld::chainOf(second.get()).size(), 2);
    EXPECT_FALSE(world.compositor->restoringPreset());
    EXPECT_EQ(window->createChainTextField()->text(), "Glow set");

    window->createFXChainPresetClicked();
    QPushButton* learn = window->learnButton("Glow set");
    ASSERT_NE(learn, nullptr);
    EXPECT_EQ(learn->text(), "Learn");
    QTest::mouseClick(learn, Qt::LeftButton);
    EXPECT_EQ(window->learnButton("Glow set")->text(), "Learning");
    world.dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, 60, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(window->presetShortcutModel()->item(0, 2)->text(), "MIDI/note [60] ch. 1");
    EXPECT_EQ(window->learnButton("Glow set")->text(), "Clear");
    QTest::qWait(200);
    saveScreenshot(window->createChainPresetPanel()->grab().toImage(), "layer-window-preset-sheet");

    // Delete with no row selected does nothing; with one, the preset goes.
    window->presetShortcutTableView()->clearSelection();
    window->deleteKeyPressed();
    EXPECT_EQ(world.manager->fxChainPresetMenu(), QStringList({"Glow set"}));
    window->presetShortcutTableView()->selectRow(0);
    QTest::keyClick(window->presetShortcutTableView(), Qt::Key_Delete);
    EXPECT_TRUE(world.manager->fxChainPresetMenu().isEmpty());
    EXPECT_EQ(window->numberOfRows(), 0);
    EXPECT_TRUE(second->shortcutStringForFXChainPresetNamed("Glow set").isNull());
    EXPECT_TRUE(QFileInfo::exists(data.path() + "/layer chains/deleted/Glow set.slc"));
    // Deleting a name without a preset is logged; the sheet stays.
    LogCapture log;
    window->createChainTextField()->setText("Nothing");
    window->deleteFXChainPresetClicked();
    EXPECT_TRUE(log.contains("\t\terror deleting preset named Nothing"));
    EXPECT_TRUE(window->createChainPresetPanel()->isVisible());
    window->cancelFXChainPresetClicked();
    EXPECT_FALSE(window->createChainPresetPanel()->isVisible());
    world.compositor->deleteAllLayers();
  }
  Paths::setUserDataDirOverride({});
}

TEST(LayerWindowTest, ThePresetPopUpRebuildsInTheManagersOrderKeepingItsChoice) {
  QTemporaryDir data;
  Paths::setUserDataDirOverride(data.path());
  {
    WindowWorld world;
    auto layer = world.named("A");
    FXChainPresetPopUpButton* popUp = world.panel()->fxChainPresetButton();
    ASSERT_EQ(popUp->layerChainManager(), world.manager.get());
    world.manager->savePreset("b", {});
    world.manager->savePreset("c", {});
    popUp->setLastSelectedChainName("c");
    world.manager->savePreset("a", {});
    QStringList titles;
    for (QAction* item : popUp->menu()->actions()) titles << item->text();
    EXPECT_EQ(titles, QStringList({"a", "b", "c"}));
    EXPECT_EQ(popUp->titleOfSelectedItem(), "c");
    // A post from another thread rebuilds on the main thread.
    std::thread([&] { world.manager->savePreset("d", {}); }).join();
    EXPECT_EQ(popUp->menu()->actions().size(), 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(popUp->menu()->actions().size(), 4);
    world.compositor->deleteAllLayers();
  }
  Paths::setUserDataDirOverride({});
}

// --- Source and comp-mode controls
// -----------------------------------------------------------------

struct Shown {
  bool type, controls, file, fileLabel, tap, style;
  int item;
  QString fileText;
};

Shown shownControls(LayerSourceCompUIController& ui) {
  return {ui.sourceTypePopButton()->isVisibleTo(ui.sourceTypePopButton()->parentWidget()),
          ui.sourceControlsButton()->isVisibleTo(ui.sourceControlsButton()->parentWidget()),
          ui.sourceFileNameField()->isVisibleTo(ui.sourceFileNameField()->parentWidget()),
          ui.sourceFileNameLabel()->isVisibleTo(ui.sourceFileNameLabel()->parentWidget()),
          ui.tapPopButton()->isVisibleTo(ui.tapPopButton()->parentWidget()),
          ui.textPlayerStyleButton()->isVisibleTo(ui.textPlayerStyleButton()->parentWidget()),
          ui.sourceTypePopButton()->indexOfSelectedItem(),
          ui.sourceFileNameField()->text()};
}

TEST(LayerSourceCompTest, TheControlsFollowTheShownLayersSource) {
  WindowWorld world;
  auto layer = world.named("A");
  auto other = world.named("B");
  LayerPanel* window = world.panel();
  window->displayLayer(layer.get());
  LayerSourceCompUIController& ui = *window->sourceCompUIController();
  const struct {
    QString source;  // useSourceNamed
    Shown shown;
  } cases[] = {
      {Layer::kNil, {true, false, false, false, false, false, 0, "<none>"}},
      {Layer::kMovie, {true, true, true, true, false, false, 1, "<none>"}},
      {Layer::kQCPatch, {true, true, true, true, false, false, 2, "<none>"}},
      {Layer::kVideoTap, {true, false, false, true, true, false, 3, "<none>"}},
      {Layer::kWeb, {true, true, true, true, false, false, 4, "WebURL"}},
      {Layer::kImage, {true, true, true, true, false, false, 5, "Image"}},
  };
  for (const auto& c : cases) {
    layer->useSourceNamed(c.source);
    ui.update();
    const Shown s = shownControls(ui);
    SCOPED_TRACE(c.source.toStdString());
    EXPECT_EQ(s.type, c.shown.type);
    EXPECT_EQ(s.controls, c.shown.controls);
    EXPECT_EQ(s.file, c.shown.file);
    EXPECT_EQ(s.fileLabel, c.shown.fileLabel);
    EXPECT_EQ(s.tap, c.shown.tap);
    EXPECT_EQ(s.style, c.shown.style);
    EXPECT_EQ(s.item, c.shown.item);
    EXPECT_EQ(s.fileText, c.shown.fileText);
  }
  // A group hides every source control but keeps comp mode and opacity.
  auto group = world.compositor->groupLayers({other.get()});
  window->displayLayer(group.get());
  const Shown s = shownControls(ui);
  EXPECT_FALSE(s.type || s.controls || s.file || s.fileLabel || s.tap || s.style);
  EXPECT_EQ(group->alphaSlider()->parentWidget(), ui.sourceCompView());
  // Choosing "<none>" asks for the source "nil".
  window->displayLayer(layer.get());
  layer->useSourceNamed(Layer::kMovie);
  ui.sourceTypePopButton()->selectItemAtIndex(0);
  ui.sourceTypeButtonUsed();
  EXPECT_EQ(layer->currentSource(), nullptr);
  world.compositor->deleteAllLayers();
}

QAction* itemTitled(QKNSPopUpButton* popUp, const QString& title) {
  for (QAction* item : popUp->menu()->actions())
    if (item->text() == title) return item;
  return nullptr;
}

TEST(LayerSourceCompTest, CompModesSetFactorsAndRenderingModes) {
  WindowWorld world;
  auto layer = world.named("A");
  LayerPanel* window = world.panel();
  LayerSourceCompUIController& ui = *window->sourceCompUIController();
  QKNSPopUpButton* comp = ui.compModePopButton();
  auto choose = [&](QAction* item) {
    ASSERT_TRUE(item);
    comp->selectItem(item);
    ui.compModeButtonUsed();
  };
  choose(itemTitled(comp, CompModeLists::kAddTitle));
  EXPECT_EQ(layer->sFactor(), 770u);
  EXPECT_EQ(layer->dFactor(), 772u);
  EXPECT_EQ(layer->groupRenderingMode(), 1);
  EXPECT_EQ(world.compositor->contentsRenderingMode(), 1);
  // A Core Image mode (the first item) switches both back.
  choose(comp->menu()->actions().first());
  EXPECT_EQ(layer->groupRenderingMode(), 0);
  EXPECT_EQ(layer->compRenderingMode(), 0);
  EXPECT_EQ(world.compositor->contentsRenderingMode(), 0);
  EXPECT_EQ(layer->compName().value_or(""), comp->menu()->actions().first()->text());

  // An entry that is not two known GL factors changes nothing.
  for (const QString& bad :
       {QStringLiteral("770"), QStringLiteral("770:x"), QStringLiteral("770:9999")}) {
    LogCapture log;
    auto* item = new QAction(QStringLiteral("Odd"), comp->menu());
    item->setData(QStringList{bad, CompModeLists::kBlendKind});
    comp->menu()->addAction(item);
    choose(item);
    EXPECT_EQ(layer->groupRenderingMode(), 0) << bad.toStdString();
    EXPECT_TRUE(log.contains("is not two GL blend factors")) << bad.toStdString();
  }
  world.compositor->deleteAllLayers();
}

TEST(LayerSourceCompTest, TheCompMenuRebuildKeepsTheChoiceOrLogsItOnce) {
  WindowWorld world;
  auto layer = world.named("A");
  LayerSourceCompUIController& ui = *world.panel()->sourceCompUIController();
  QKNSPopUpButton* comp = ui.compModePopButton();
  comp->selectItemWithTitle(CompModeLists::kOverTitle);
  LogCapture log;
  NotificationCenter::defaultCenter().post(Compositor::kCompModesChangedNotification, nullptr);
  EXPECT_FALSE(log.contains("no longer available"));
  // The layer's own mode is selected again by the update that follows.
  EXPECT_EQ(comp->titleOfSelectedItem(), layer->compName().value_or(""));

  // A vanished mode: logged once; the layer's mode is still in the menu.
  auto* gone = comp->menu()->addAction(QStringLiteral("Vanished"));
  comp->selectItem(gone);
  ui.compModesChangedNotification();
  EXPECT_EQ(log.lines().filter("selected comp mode Vanished no longer available").size(), 1);
  EXPECT_EQ(comp->titleOfSelectedItem(), layer->compName().value_or(""));
  world.compositor->deleteAllLayers();
}

TEST(LayerSourceCompTest, TheOpacityControlsFollowTheShownLayer) {
  WindowWorld world;
  auto a = world.named("A");
  auto b = world.named("B");
  LayerPanel* window = world.panel();
  QWidget* strip = window->sourceCompUIController()->sourceCompView();
  window->displayLayer(a.get());
  EXPECT_EQ(a->alphaSlider()->parentWidget(), strip);
  EXPECT_EQ(a->alphaButton()->parentWidget(), strip);
  window->displayLayer(b.get());
  EXPECT_EQ(b->alphaSlider()->parentWidget(), strip);
  EXPECT_NE(a->alphaSlider()->parentWidget(), strip);
  EXPECT_NE(a->alphaButton()->parentWidget(), strip);
  const int w = strip->width();
  EXPECT_EQ(b->alphaSlider()->geometry().width(), w - 39);
  EXPECT_EQ(b->alphaButton()->geometry().x(), w - 34);
  window->displayLayer(nullptr);
  EXPECT_EQ(window->currentlyDisplayedLayer(), nullptr);
  EXPECT_NE(b->alphaSlider()->parentWidget(), strip);
  world.compositor->deleteAllLayers();
}

}  // namespace

namespace {

namespace G = LayerTabGeometry;

// --- Tab geometry
// ------------------------------------------------------------------------------------

TEST(LayerTabGeometryTest, TabWidthsRecordsAndHits) {
  EXPECT_EQ(G::tabWidth(500, 4), 122);
  EXPECT_EQ(G::tabWidth(500, 3), 150);
  EXPECT_EQ(G::tabWidth(500, 0), 150);

  // A group (0) holding two layers (1, 2), then a plain layer (3).
  const auto records = G::records(
      4, QSizeF(700, 28), [](int i) { return i == 0; },
      [](int group, int i) { return group == 0 && (i == 1 || i == 2); });
  ASSERT_EQ(records.size(), 4u);
  const int w = 150;
  EXPECT_EQ(records[0].depth, 0);
  EXPECT_EQ(records[0].leftSideIndex, 0);
  EXPECT_EQ(records[0].rightSideIndex, 2);
  EXPECT_EQ(records[0].tabRect, QRectF(0, -1, 2 * (w + 3) + w, 28));
  for (int i : {1, 2}) {
    EXPECT_EQ(records[std::size_t(i)].depth, 1);
    EXPECT_EQ(records[std::size_t(i)].rightSideIndex, i);
    EXPECT_EQ(records[std::size_t(i)].tabRect.height(), 25);
  }
  EXPECT_EQ(records[3].depth, 0);
  EXPECT_EQ(records[3].tabRect, QRectF(3 * (w + 3), -1, w, 28));
  // The thumbnail is 4:3 at the right end of the layer's own cell.
  const double thumbWidth = 22.0 / 3 * 4;
  EXPECT_EQ(records[1].thumbRect, QRectF(153 + 150 - thumbWidth - 1, 1, thumbWidth, 22));
  EXPECT_EQ(records[1].fxTextOrigin, QPointF(153 + 150 - thumbWidth - 1 - 10, 15));
  EXPECT_EQ(records[1].deleteRect, QRectF(154, 14, 12, 12));
  EXPECT_EQ(records[1].labelLocation, QPointF(153, 2));

  // A member wins over the group that spans it; the group keeps its own
  // cell and the band above its members.
  const struct {
    QPointF point;
    int tab;
  } hits[] = {{{200, 5}, 1}, {{360, 5}, 2},  {{200, 25.5}, 0}, {{20, 5}, 0},
              {{480, 5}, 3}, {{700, 5}, -1}, {{151.5, 5}, 0}};
  for (const auto& hit : hits)
    EXPECT_EQ(G::hitTest(records, hit.point), hit.tab) << hit.point.x() << "," << hit.point.y();
}

TEST(LayerTabGeometryTest, DragsStartPast55Points) {
  const QPointF from(100, 10);
  for (auto [to, starts] : {std::pair{QPointF(150, 10), false},
                            {QPointF(155, 10), false},
                            {QPointF(156, 10), true},
                            {QPointF(44, 10), true},
                            {QPointF(100, 66.5), true},
                            {QPointF(100, 65.9), false}})
    EXPECT_EQ(G::dragStarts(from, to), starts) << to.x() << "," << to.y();
}

TEST(LayerTabGeometryTest, DropTracking) {
  const std::function<bool(int)> none = [](int) { return false; };
  const std::function<bool(int)> emptyGroupAt1 = [](int i) { return i == 1; };
  const struct {
    double x;
    int count;
    bool emptyGroup;
    G::DropPlace place;
  } cases[] = {
      {10, 3, false, {0, -1}},   // before the first
      {100, 3, false, {0, 1}},   // after it
      {160, 3, false, {1, -1}},  // before the second
      {200, 3, true, {1, 0}},    // into an empty group
      {1000, 3, false, {2, 1}},  // past the end: after the last
      {-200, 3, false, {2, 1}},  // left of the strip counts as past the end
      {-10, 3, false, {0, -1}},  // within the first pitch, truncated to 0
      {40, 0, false, {-1, 1}},   // no tabs
  };
  for (const auto& c : cases)
    EXPECT_EQ(G::dropPlace(c.x, 150, c.count, c.emptyGroup ? emptyGroupAt1 : none), c.place) << c.x;
  EXPECT_EQ(G::markerX({1, -1}, 150), 155);
  EXPECT_EQ(G::markerX({1, 0}, 150), 223);
  EXPECT_EQ(G::markerX({1, 1}, 150), 291);
}

// --- Drops, tear-off and the closest windows ----------------------------------------------------

TEST(LayerTabDropTest, DropsMoveLayersWithinAWindow) {
  WindowWorld world;
  auto a = world.named("A");
  auto b = world.named("B");
  auto c = world.named("C");
  LayerPanel* window = world.panel();
  ASSERT_EQ(WindowWorld::tabNames(window), QStringList({"C", "B", "A"}));
  // In place: accepted, nothing moves.
  EXPECT_TRUE(world.drop(b.get(), window, 1, -1));
  EXPECT_TRUE(world.drop(b.get(), window, 2, -1));
  EXPECT_TRUE(world.drop(b.get(), window, 0, 1));
  EXPECT_EQ(world.topNames(), QStringList({"C", "B", "A"}));
  // Reordered.
  EXPECT_TRUE(world.drop(c.get(), window, 2, 1));
  EXPECT_EQ(world.topNames(), QStringList({"B", "A", "C"}));
  EXPECT_EQ(WindowWorld::tabNames(window), QStringList({"B", "A", "C"}));

  // Into an empty group, at 0.
  auto group = world.compositor->groupLayers({b.get()});
  world.compositor->moveTheseLayers({b.get()}, 0, nullptr);
  ASSERT_TRUE(group->layerArray().empty());
  auto tabOf = [&](Layer* layer) {
    const auto& tabs = window->layerArray();
    return int(std::find(tabs.begin(), tabs.end(), layer) - tabs.begin());
  };
  EXPECT_TRUE(world.drop(a.get(), window, tabOf(group.get()), 0));
  ASSERT_EQ(group->layerArray().size(), 1u);
  EXPECT_EQ(group->layerArray()[0].get(), a.get());

  // A group onto its own member: accepted, nothing changes.
  const QStringList before = world.topNames();
  EXPECT_TRUE(world.drop(group.get(), window, tabOf(a.get()), 1));
  EXPECT_EQ(world.topNames(), before);
  ASSERT_EQ(group->layerArray().size(), 1u);
  EXPECT_EQ(group->layerArray()[0].get(), a.get());
  world.compositor->deleteAllLayers();
}

TEST(LayerTabDropTest, AcrossWindowsMembershipAndOrderChangeTogetherOrNeither) {
  WindowWorld world;
  auto a = world.named("A");
  auto b = world.named("B");
  auto c = world.named("C");
  LayerPanel* first = world.panel();
  LayerPanel* second = world.ownWindow(c.get());
  ASSERT_EQ(WindowWorld::tabNames(first), QStringList({"B", "A"}));
  // A onto C's tab, after it: A leaves the first window and goes under C.
  EXPECT_TRUE(world.drop(a.get(), second, 0, 1));
  EXPECT_EQ(a->parentWindow(), second);
  EXPECT_EQ(WindowWorld::tabNames(first), QStringList({"B"}));
  EXPECT_EQ(WindowWorld::tabNames(second), QStringList({"C", "A"}));
  EXPECT_EQ(world.topNames(), QStringList({"C", "A", "B"}));
  EXPECT_EQ(second->currentlyDisplayedLayer(), a.get());

  // A group onto its own member in another window: refused, and neither
  // the windows nor the tree change.
  auto group = world.compositor->groupLayers({b.get()});
  ASSERT_EQ(group->parentWindow(), first);
  LayerPanel* third = world.ownWindow(b.get());
  const QStringList tree = world.topNames();
  EXPECT_FALSE(world.drop(group.get(), third, 0, 1));
  EXPECT_EQ(group->parentWindow(), first);
  EXPECT_EQ(b->parentWindow(), third);
  EXPECT_EQ(world.topNames(), tree);
  ASSERT_EQ(group->layerArray().size(), 1u);
  EXPECT_EQ(group->layerArray()[0].get(), b.get());
  world.compositor->deleteAllLayers();
}

TEST(LayerTabDropTest, ALayerDeletedWhileDraggedRefusesTheDrop) {
  WindowWorld world;
  auto a = world.named("A");
  auto b = world.named("B");
  auto c = world.named("C");
  LayerPanel* window = world.panel();
  LayerWindowTabView* view = window->layerTabView();
  LayerTabMimeData data(world.compositor->sharedLayer(c.get()), view);
  // Queued work deletes the dragged layer while the drag loop spins.
  window->deleteThisLayer(c.get());
  c.reset();
  view->dragMovedTo(view->realTabWidth() * 1.8);
  EXPECT_FALSE(view->performDrop(data));
  EXPECT_EQ(world.topNames(), QStringList({"B", "A"}));
  // Landed on a strip: no tear-off either.
  EXPECT_FALSE(view->dragEnded(data));
  EXPECT_EQ(world.compositor->layerWindowArray().size(), 1u);
  world.compositor->deleteAllLayers();
}

TEST(LayerTabDropTest, ATabDroppedNowhereTearsOffUnlessItIsAllTheWindowHolds) {
  WindowWorld world;
  auto a = world.named("A");
  LayerPanel* window = world.panel();
  LayerWindowTabView* view = window->layerTabView();
  auto ended = [&](Layer* layer) {
    LayerTabMimeData data(world.compositor->sharedLayer(layer), view);
    return view->dragEnded(data);
  };
  // The only tab stays.
  EXPECT_FALSE(ended(a.get()));
  // A group holding every tab stays.
  auto b = world.named("B");
  auto group = world.compositor->groupLayers({a.get(), b.get()});
  ASSERT_EQ(window->layerArray().size(), 3u);
  EXPECT_FALSE(ended(group.get()));
  EXPECT_EQ(world.compositor->layerWindowArray().size(), 1u);
  // A member tears off into a window of its own with the same boxes.
  window->loadSnapshot({{"topBox", QVariantMap{{"collapsed", true}}}});
  EXPECT_TRUE(ended(b.get()));
  ASSERT_EQ(world.compositor->layerWindowArray().size(), 2u);
  LayerPanel* made = world.panel(1);
  EXPECT_EQ(WindowWorld::tabNames(made), QStringList({"B"}));
  EXPECT_EQ(made->currentlyDisplayedLayer(), b.get());
  EXPECT_TRUE(made->topBox()->collapsed());
  EXPECT_TRUE(made->isVisible());
  EXPECT_EQ(WindowWorld::tabNames(window), QStringList({group->layerName(), "A"}));
  world.compositor->deleteAllLayers();
}

TEST(LayerTabDropTest, TheClosestWindowWinsTiesGoToTheTopLeftCorner) {
  const QRectF layerWindow(100, 100, 200, 200);  // centre (200, 200), corner (100, 100)
  const struct {
    std::vector<QRectF> candidates;
    int winner;
  } cases[] = {
      {{}, -1},
      {{QRectF(400, 150, 100, 100), QRectF(230, 150, 100, 100)}, 1},
      // Equally far: the one nearer the top-left corner.
      {{QRectF(250, 150, 100, 100), QRectF(50, 150, 100, 100)}, 1},
      // Equal in both: the earlier one.
      {{QRectF(150, 250, 100, 100), QRectF(150, 250, 100, 100)}, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LayerWindowTabView::closestCandidate(layerWindow, c.candidates), c.winner);
}

TEST(LayerTabDropTest, AClickPicksTheLayerAndTheClosestFollowingWindow) {
  WindowWorld world;
  auto a = world.named("A");
  auto b = world.named("B");
  LayerPanel* window = world.panel();
  window->showWindow();
  Layer* picked = nullptr;
  Layer* queued = nullptr;
  LayerWindowTabView::setControlsCandidates([&](Layer*) {
    return std::vector<LayerWindowTabView::Candidate>{
        {QRectF(0, 0, 10, 10), [&](Layer* layer) { picked = layer; }}};
  });
  LayerWindowTabView::setBinCandidates([&](Layer*) {
    return std::vector<LayerWindowTabView::Candidate>{
        {QRectF(0, 0, 10, 10), [&](Layer* layer) { queued = layer; }}};
  });
  LayerWindowTabView* view = window->layerTabView();
  const double pitch = view->realTabWidth() + 3;
  view->mouseDownAt(QPointF(pitch + 40, 5), Qt::NoModifier);
  EXPECT_EQ(window->currentlyDisplayedLayer(), a.get());
  EXPECT_EQ(picked, a.get());
  view->mouseDownAt(QPointF(40, 5), Qt::ControlModifier);
  EXPECT_EQ(window->currentlyDisplayedLayer(), b.get());
  EXPECT_EQ(queued, b.get());
  // The corner box picks nothing.
  view->mouseDownAt(QPointF(pitch + 4, view->height() - 4), Qt::NoModifier);
  EXPECT_EQ(window->currentlyDisplayedLayer(), b.get());
  LayerWindowTabView::setControlsCandidates({});
  LayerWindowTabView::setBinCandidates({});
  world.compositor->deleteAllLayers();
}

}  // namespace

namespace {

// The strip as a performer sees it: a group with two members, a layer with
// an effect, a tap layer; the shown tab merges with the window, the others
// are lighter; then a drag shows its marker.
TEST(LayerWindowPictureTest, TheTabStripShowsTabsBadgesIconsAndTheDropMarker) {
  WindowWorld world;
  auto a = world.named("A");
  auto b = world.named("B");
  auto group = world.compositor->groupLayers({a.get(), b.get()});
  auto fx = world.named("FX layer");
  ASSERT_TRUE(fx->addCIFXNamed("Bright"));
  auto tap = world.named("Tap layer");
  tap->useSourceNamed(Layer::kVideoTap);
  LayerPanel* window = world.panel();
  window->window()->resize(640, 560);
  window->showLayer(fx.get());
  QTest::qWait(200);
  LayerWindowTabView* view = window->layerTabView();
  ASSERT_EQ(window->layerArray().size(), 5u);
  const QImage strip = view->grab().toImage();
  saveScreenshot(window->window()->screen()->grabWindow(window->window()->winId()).toImage(),
                 "layer-window");
  const auto& records = view->tabRecords();
  auto pixelIn = [&](std::size_t tab, double dx) {
    const QRectF r = records[tab].tabRect;
    return strip.pixelColor(QPoint(int(r.x() + dx), strip.height() / 2));
  };
  const auto& tabs = window->layerArray();
  const std::size_t shown =
      std::size_t(std::find(tabs.begin(), tabs.end(), fx.get()) - tabs.begin());
  const std::size_t other =
      std::size_t(std::find(tabs.begin(), tabs.end(), tap.get()) - tabs.begin());
  const QColor background = window->window()->contentView()->backgroundColor();
  EXPECT_EQ(pixelIn(shown, 16).rgb(), background.rgb());
  EXPECT_GT(pixelIn(other, 16).red(), background.red());
  // "FX" is drawn left of the thumbnail of the layer with an effect only.
  auto inkAround = [&](std::size_t tab) {
    const QPointF origin = records[tab].fxTextOrigin;
    int ink = 0;
    const QColor fill = pixelIn(tab, 16);
    for (int x = int(origin.x()); x < int(origin.x()) + 10; ++x)
      for (int y = 2; y < strip.height() / 2; ++y)
        if (strip.pixelColor(x, y) != fill) ++ink;
    return ink;
  };
  EXPECT_GT(inkAround(shown), 0);
  EXPECT_EQ(inkAround(other), 0);
  // The tap icon fills the tap layer's thumbnail.
  const QRectF thumb = records[other].thumbRect;
  const QColor centre =
      strip.pixelColor(QPoint(int(thumb.center().x()), strip.height() - int(thumb.center().y())));
  EXPECT_NE(centre.rgb(), pixelIn(other, 16).rgb());

  // A drag over the strip shows its marker.
  view->dragMovedTo(records[other].tabRect.x() + 5);
  const QImage marked = view->grab().toImage();
  const double markerX = LayerTabGeometry::markerX(
      {view->dropInsertionIndex(), view->dropInsertionDirection()}, view->realTabWidth());
  EXPECT_NE(marked.pixelColor(int(markerX + 5), marked.height() - 7),
            strip.pixelColor(int(markerX + 5), strip.height() - 7));
  QTest::qWait(100);
  saveScreenshot(window->window()->screen()->grabWindow(window->window()->winId()).toImage(),
                 "layer-window-drop-marker");
  view->dragExited();
  world.compositor->deleteAllLayers();
}

}  // namespace

namespace {

// A layer-controls window that follows the tabs, at a point on screen.
class FakeFollower : public LayerTabFollower {
 public:
  FakeFollower(QPointF centre, bool follows) : centre_(centre), follows_(follows) {}
  bool followsLayerTabs() const override { return follows_; }
  QPointF followerCentre() const override { return centre_; }
  void selectThisLayer(Layer* layer) override { selected = layer; }
  Layer* selected = nullptr;

 private:
  QPointF centre_;
  bool follows_;
};

TEST(LayerTabDropTest, AClickShowsTheLayerInTheNearestFollowingLayerControls) {
  WindowWorld world;
  auto a = world.named("A");
  auto group = world.compositor->groupLayers({a.get()});
  LayerPanel* window = world.panel();
  window->showWindow();
  const QRectF frame = window->screenFrame();
  const double screenHeight = QKWindow::mainScreenFrame().height();
  const QPointF centre(frame.center().x(), screenHeight - frame.center().y());
  FakeFollower near(centre + QPointF(10, 0), true);
  FakeFollower nearest(centre, false);  // does not follow the tabs
  FakeFollower far(centre + QPointF(500, 0), true);
  LayerWindowTabView* view = window->layerTabView();
  view->mouseDownAt(QPointF(view->realTabWidth() + 3 + 40, 5), Qt::NoModifier);
  EXPECT_EQ(window->currentlyDisplayedLayer(), a.get());
  EXPECT_EQ(near.selected, a.get());
  EXPECT_EQ(nearest.selected, nullptr);
  EXPECT_EQ(far.selected, nullptr);
  // A group is shown but picked in no controls.
  near.selected = nullptr;
  view->mouseDownAt(QPointF(40, 5), Qt::NoModifier);
  EXPECT_EQ(window->currentlyDisplayedLayer(), group.get());
  EXPECT_EQ(near.selected, nullptr);
  world.compositor->deleteAllLayers();
}

}  // namespace
