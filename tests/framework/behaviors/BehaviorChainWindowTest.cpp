// The behaviour chain windows: the chain list (new, rename, delete), chain
// drags between rows and windows, behaviour panels dragged between windows,
// the behaviour pop-up, window removal, the inspector showing a slider's
// chain, and what the palette looks like.
#include "BehaviorFixture.h"

#include "framework/behaviors/BehaviorChainDragData.h"
#include "framework/behaviors/BehaviorChainListController.h"
#include "framework/behaviors/BehaviorChainTableView.h"
#include "framework/behaviors/BehaviorChainWindow.h"
#include "framework/behaviors/BehaviorCreationController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/QKSliderInspector.h"
#include "framework/fx/FXChainDragDestBox.h"
#include "framework/fx/FXChainScrollView.h"
#include "framework/fx/FXObjectPanel.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationObservers.h"
#include "tests/support/LogCapture.h"
#include "tests/support/NotificationCounter.h"
#include "tests/support/Screenshot.h"

#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QWindow>

#include <thread>

namespace {

using ChainPtr = BehaviorChainManager::ChainPtr;
using WindowPtr = BehaviorChainManager::WindowPtr;

class BehaviorChainWindows : public BehaviorFixture {
 protected:
  BehaviorChainWindows() {
    chains().openANewWindow();
    first = chains().windowAt(0);
    first->window()->contentView()->expand();  // it starts collapsed at its default place
  }

  static void settle() {
    MainThread::processUntil([] { return false; }, 0.05);
  }

  WindowPtr secondWindow() {
    chains().openANewWindow();
    return chains().windowAt(chains().chainListCount() - 1);
  }
  ChainPtr chainIn(BehaviorChainWindow& window, const QString& name,
                   const QStringList& behaviours = {}) {
    ChainPtr chain = window.chainListController()->createNewChain();
    chain->setChainName(name);
    for (const QString& behaviour : behaviours) chain->loadEffectNamed(behaviour);
    return chain;
  }
  static QStringList namesIn(const BehaviorChainWindow& window) {
    QStringList names;
    for (const ChainPtr& chain : window.chains()) names << chain->chainName();
    return names;
  }
  static QStringList rowsOf(BehaviorChainWindow& window) {
    QStringList rows;
    auto* model = window.chainListController();
    for (int row = 0; row < model->rowCount(); ++row)
      rows << model->data(model->index(row, 0), Qt::DisplayRole).toString();
    return rows;
  }
  std::unique_ptr<QMimeData> dragOf(BehaviorChainWindow& window, int row) {
    return std::unique_ptr<QMimeData>(window.chainListController()->writeRow(row));
  }
  static void click(QKButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    settle();
  }

  WindowPtr first;
};

TEST_F(BehaviorChainWindows, TheFirstWindowIsThePaletteAroundTheFirstList) {
  QKPaletteWindow* palette = first->window();
  ASSERT_NE(palette, nullptr);
  EXPECT_TRUE(palette->isVisible());
  EXPECT_EQ(palette->title(), "Behavior Chains");
  EXPECT_EQ(chains().mainWindow(), palette);
  EXPECT_EQ(first->paletteStackOrder(), 2);
  EXPECT_EQ(palette->windowType(), Qt::Window) << "the normal window level, not floating";
  auto second = secondWindow();
  EXPECT_EQ(second->windowTitle(), "Window 2");
  EXPECT_EQ(chains().mainWindow(), second->window());
  chains().updateWindowNames();
  EXPECT_EQ(first->windowTitle(), "Behavior Chains");
}

TEST_F(BehaviorChainWindows, PlusNamesTheFirstFreeNumberAndDeleteTakesTheRowAway) {
  click(first->addButton());
  click(first->addButton());
  EXPECT_EQ(rowsOf(*first), QStringList({"untitled 1", "untitled 2"}));
  EXPECT_EQ(first->visibleChain()->chainName(), "untitled 2");

  first->chainArrayTableView()->selectRow(0);
  click(first->removeButton());
  EXPECT_EQ(rowsOf(*first), QStringList({"untitled 2"}));
  click(first->addButton());
  EXPECT_EQ(rowsOf(*first), QStringList({"untitled 2", "untitled 1"}));
}

TEST_F(BehaviorChainWindows, RenameRefusesAUsedNameAndOtherwiseTellsTheSlidersOnce) {
  ChainPtr a = chainIn(*first, "A");
  ChainPtr b = chainIn(*first, "B");
  QKSliderCell::Ptr slider = cell();
  slider->useThisBehavior(b);
  auto* model = first->chainListController();
  NotificationCounter renamed(QKSliderManager::kBehaviorNameChangeNotification);
  EXPECT_FALSE(model->setData(model->index(1, 0), "A", Qt::EditRole));
  EXPECT_FALSE(model->setData(model->index(1, 0), "", Qt::EditRole));
  EXPECT_EQ(renamed.count(), 0);
  EXPECT_EQ(rowsOf(*first), QStringList({"A", "B"}));

  EXPECT_TRUE(model->setData(model->index(1, 0), "Wobble", Qt::EditRole));
  EXPECT_EQ(renamed.count(), 1);
  EXPECT_EQ(rowsOf(*first), QStringList({"A", "Wobble"}));
  EXPECT_EQ(slider->behaviorChain(), b);
  EXPECT_EQ(slider->behaviorName(), "Wobble");
}

TEST_F(BehaviorChainWindows, TheDeleteKeyTellsTheSlidersWhileTheChainIsListedThenDetachesThem) {
  ChainPtr doomed = chainIn(*first, "doomed", {"Fall"});
  QKSliderCell::Ptr slider = cell();
  slider->useThisBehavior(doomed);
  slider->setBehaviorFlag(true);
  bool listedWhenHeard = false;
  NotificationObservers watcher;
  watcher.observe(
      QKSliderManager::kBehaviorChainDeletedNotification, nullptr,
      [&](const Notification&) { listedWhenHeard = namesIn(*first).contains("doomed"); });
  QWidget* view = doomed->myView();
  QPointer<QWidget> watchedView = view;
  first->chainArrayTableView()->selectRow(0);
  QTest::keyClick(first->chainArrayTableView(), Qt::Key_Delete);
  settle();
  EXPECT_TRUE(listedWhenHeard);
  EXPECT_EQ(slider->behaviorChain(), nullptr);
  EXPECT_TRUE(rowsOf(*first).isEmpty());
  EXPECT_TRUE(watchedView.isNull()) << "the view goes on the main thread, at deletion";
  EXPECT_EQ(first->myScrollView()->widget(), nullptr);
  // A pass on the tick may hold the last reference: letting go there touches
  // no widget.
  std::thread([last = std::move(doomed)]() mutable { last.reset(); }).join();
}

struct ReorderCase {
  const char* what;
  int from;
  int dropRow;
  QStringList expected;
};

TEST_F(BehaviorChainWindows, ChainDropsWithinAWindowReorder) {
  const std::vector<ReorderCase> cases = {
      {"row 0 above row 2", 0, 2, {"b", "a", "c"}},
      {"row 2 above row 0", 2, 0, {"c", "a", "b"}},
      {"row 1 onto itself", 1, 1, {"a", "b", "c"}},
      {"row 0 below the last row", 0, 3, {"b", "c", "a"}},
  };
  for (const ReorderCase& c : cases) {
    for (const ChainPtr& chain : first->chains()) chains().deleteChain(chain);
    for (const char* name : {"a", "b", "c"}) chainIn(*first, name);
    const auto data = dragOf(*first, c.from);
    auto* list = first->chainListController();
    EXPECT_EQ(list->draggingRow(), c.from);
    EXPECT_EQ(list->validateDrop(data.get(), Qt::CopyAction | Qt::MoveAction), Qt::MoveAction);
    EXPECT_TRUE(list->acceptDrop(data.get(), first->chainArrayTableView(), c.dropRow,
                                 Qt::CopyAction | Qt::MoveAction))
        << c.what;
    EXPECT_EQ(namesIn(*first), c.expected) << c.what;
    EXPECT_EQ(rowsOf(*first), c.expected) << c.what;
  }
}

TEST_F(BehaviorChainWindows, AChainDroppedIntoAnotherWindowEndsLastThere) {
  ChainPtr moved = chainIn(*first, "moved", {"Fall"});
  auto second = secondWindow();
  chainIn(*second, "there");
  const auto data = dragOf(*first, 0);
  EXPECT_TRUE(second->chainListController()->acceptDrop(data.get(), first->chainArrayTableView(), 0,
                                                        Qt::CopyAction | Qt::MoveAction));
  EXPECT_EQ(namesIn(*second), QStringList({"there", "moved"}));
  EXPECT_TRUE(namesIn(*first).isEmpty());
  EXPECT_EQ(first->visibleChain(), nullptr);
  EXPECT_EQ(first->myScrollView()->widget(), nullptr);
  EXPECT_EQ(moved->myBehaviorChainWindow(), second.get());
  EXPECT_EQ(second->visibleChain(), moved);
  EXPECT_EQ(second->myScrollView()->widget(), moved->myView());
  EXPECT_EQ(moved->parentScrollView(), second->myScrollView());
  EXPECT_TRUE(moved->evaluateConsistently());
}

TEST_F(BehaviorChainWindows, ChainDropsThatMoveNothingAnswerNo) {
  ChainPtr a = chainIn(*first, "a");
  chainIn(*first, "b");
  QObject stranger;
  LogCapture log;
  struct Case {
    const char* what;
    QObject* source;
    Qt::DropActions actions;
    bool deleteFirst;
  };
  const std::vector<Case> cases = {
      {"no copy in the mask", first->chainArrayTableView(), Qt::MoveAction, false},
      {"a foreign source", &stranger, Qt::CopyAction, false},
      {"no source (another process)", nullptr, Qt::CopyAction, false},
      {"the chain deleted mid-drag", first->chainArrayTableView(), Qt::CopyAction, true},
  };
  for (const Case& c : cases) {
    const auto data = dragOf(*first, 0);
    if (c.deleteFirst) chains().deleteChain(a);
    const QStringList before = namesIn(*first);
    EXPECT_FALSE(first->chainListController()->acceptDrop(data.get(), c.source, 2, c.actions))
        << c.what;
    EXPECT_EQ(namesIn(*first), before) << c.what;
  }
  QMimeData foreign;
  foreign.setText("a");
  EXPECT_EQ(first->chainListController()->validateDrop(&foreign, Qt::CopyAction), Qt::IgnoreAction);
  EXPECT_EQ(first->chainListController()->validateDrop(dragOf(*first, 0).get(), Qt::MoveAction),
            Qt::IgnoreAction);
  EXPECT_TRUE(log.lines().join('\n').contains("no relevant data in the draggingPasteboard"));
  EXPECT_TRUE(log.lines().join('\n').contains("unknown type of move"));
}

TEST_F(BehaviorChainWindows, AFallPanelDraggedToAnotherWindowsChainRunsThereOnTheTick) {
  ChainPtr source = chainIn(*first, "source", {"Fall"});
  auto second = secondWindow();
  ChainPtr target = chainIn(*second, "target");
  QKSliderCell::Ptr onSource = cell(0.5f);
  onSource->useThisBehavior(source);
  onSource->setBehaviorFlag(true);
  QKSliderCell::Ptr onTarget = cell(0.5f);
  onTarget->useThisBehavior(target);
  onTarget->setBehaviorFlag(true);
  EXPECT_TRUE(source->evaluateConsistently());
  EXPECT_FALSE(target->evaluateConsistently());

  const auto fall = source->findEffectNamed("Fall");
  auto* panel = qobject_cast<FXObjectPanel*>(fall->myPanel());
  ASSERT_NE(panel, nullptr);
  QMimeData data;
  data.setData(FXChainManager::mimeTypeFor(chains().chainFXPboardType()), QByteArray());
  FXChainDragDestBox* box = target->backgroundBox();
  ASSERT_TRUE(box->dragMovedTo(&data, QPointF(10, box->height() - 1)));
  ASSERT_TRUE(box->performDrop(&data, panel, Qt::CopyAction | Qt::MoveAction));
  EXPECT_EQ(source->count(), 0);
  EXPECT_EQ(target->count(), 1);
  EXPECT_FALSE(source->evaluateConsistently());
  EXPECT_TRUE(target->evaluateConsistently());

  // Over manual ticks the target's slider falls, the source's stands.
  onSource->setValue(0.5f);
  onTarget->setValue(0.5f);
  for (float expected : {0.25f, 0.125f}) {
    sliderManager_->evaluateContinuousBehaviors();
    EXPECT_FLOAT_EQ(onTarget->value(), expected);
    EXPECT_FLOAT_EQ(onSource->value(), 0.5f);
  }
}

TEST_F(BehaviorChainWindows, ThePopUpListsTheNineteenSortedAndAddsToTheVisibleChain) {
  BehaviorCreationController* creation = first->creationListController();
  const QStringList names = creation->creationArray();
  ASSERT_EQ(names.size(), 19);
  EXPECT_EQ(names.front(), "AverageWith");
  EXPECT_EQ(names.back(), "Trianglize");
  QMenu* menu = creation->potentialBehaviorsMenu()->menu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title(), "creationMenu");
  ASSERT_EQ(menu->actions().size(), 19);
  QAction* fall = nullptr;
  for (QAction* item : menu->actions())
    if (item->text() == "Fall") fall = item;
  ASSERT_NE(fall, nullptr);

  fall->trigger();  // nothing is visible yet: nothing happens
  EXPECT_TRUE(chains().chainNames().isEmpty());
  ChainPtr chain = chainIn(*first, "shown");
  fall->trigger();
  fall->trigger();
  settle();
  EXPECT_EQ(chain->count(), 2);
  EXPECT_EQ(chain->findEffectNamed("Fall")->myName(), "Fall");
  EXPECT_TRUE(chain->evaluateConsistently());
}

TEST_F(BehaviorChainWindows, ARemovedWindowHandsItsChainsToTheFirstAndTheLastStays) {
  chainIn(*first, "one");
  auto second = secondWindow();
  chainIn(*second, "two");
  chainIn(*second, "three");
  auto third = secondWindow();
  EXPECT_EQ(third->windowTitle(), "Window 3");
  EXPECT_TRUE(chains().removeBehaviorChainWindow(second.get()));
  EXPECT_EQ(namesIn(*first), QStringList({"one", "two", "three"}));
  EXPECT_EQ(third->windowTitle(), "Window 2");
  EXPECT_EQ(chains().chainListCount(), 2);
  EXPECT_FALSE(chains().removeBehaviorChainWindow(nullptr));
  EXPECT_TRUE(chains().removeBehaviorChainWindow(first.get()));
  EXPECT_EQ(namesIn(*third), QStringList({"one", "two", "three"}));
  EXPECT_EQ(third->windowTitle(), "Behavior Chains");
  EXPECT_FALSE(chains().removeBehaviorChainWindow(third.get()));
  EXPECT_EQ(chains().chainListCount(), 1);
}

TEST_F(BehaviorChainWindows, LookupsAndDisplaySeeEveryWindow) {
  chainIn(*first, "A");
  auto second = secondWindow();
  ChainPtr b = chainIn(*second, "B");
  chainIn(*second, "C");
  EXPECT_EQ(sliderManager_->findBehaviorChainNamed("B"), b);
  QKSliderCell::Ptr slider = cell();
  sliderManager_->selectOnlyThisSlider(slider.get());
  sliderManager_->selectedSlidersUseThisBehavior(sliderManager_->findBehaviorChainNamed("B"));
  EXPECT_EQ(slider->behaviorChain(), b);
  chains().displayChainNamed("B");
  EXPECT_EQ(second->visibleChain(), b);
  EXPECT_EQ(second->chainListController()->selectedRow(), 0);
}

TEST_F(BehaviorChainWindows, TheInspectorShowsASlidersChainButNotForAParameterSlider) {
  ChainPtr a = chainIn(*first, "A", {"Threshold"});
  ChainPtr b = chainIn(*first, "B");
  QKSliderInspector inspector;
  inspector.setSliderManager(sliderManager_.get());
  QWidget elsewhere;
  auto* control = new QKSliderControl(&elsewhere);
  control->setFrame(QRect(10, 10, 200, 20));
  control->cell()->useThisBehavior(b);
  first->selectChain(a);
  sliderManager_->selectOnlyThisSlider(control->cell());
  inspector.updatingOnMainThread();
  EXPECT_EQ(first->visibleChain(), b);

  first->selectChain(a);
  auto* parameter =
      a->findEffectNamed("Threshold")->myPanel()->findChild<QKSliderControl*>("threshSlider");
  ASSERT_NE(parameter, nullptr);
  parameter->cell()->useThisBehavior(b);
  sliderManager_->selectOnlyThisSlider(parameter->cell());
  inspector.updatingOnMainThread();
  EXPECT_EQ(first->visibleChain(), a);
}

TEST_F(BehaviorChainWindows, ThePaletteShowsTheListAndTheVisibleChainsPanels) {
  chainIn(*first, "first");
  ChainPtr shown = chainIn(*first, "second", {"Invert", "Scale"});
  chainIn(*first, "third");
  first->selectChain(shown);
  auto* folded = qobject_cast<FXObjectPanel*>(shown->findEffectNamed("Scale")->myPanel());
  ASSERT_NE(folded, nullptr);
  folded->setCollapsedFlag(true);  // what a click on its triangle does
  shown->findEffectNamed("Scale")->collapse();
  QKPaletteWindow* palette = first->window();
  settle();
  const QImage picture = palette->grab().toImage();
  ASSERT_FALSE(saveScreenshot(picture, "behavior-chains").isEmpty());

  // The selected row is highlighted: its colour differs from another row's.
  auto* table = first->chainArrayTableView();
  const QRect selectedRow = table->visualRect(first->chainListController()->index(1, 0));
  const QRect otherRow = table->visualRect(first->chainListController()->index(2, 0));
  const QPoint inSelected =
      table->viewport()->mapTo(palette, QPoint(selectedRow.right() - 3, selectedRow.center().y()));
  const QPoint inOther =
      table->viewport()->mapTo(palette, QPoint(otherRow.right() - 3, otherRow.center().y()));
  EXPECT_NE(picture.pixelColor(inSelected), picture.pixelColor(inOther));

  // Two panels in the scroll view, the folded one shorter, each with a title
  // strip unlike the empty area under them.
  auto* invert = qobject_cast<FXObjectPanel*>(shown->findEffectNamed("Invert")->myPanel());
  ASSERT_NE(invert, nullptr);
  EXPECT_TRUE(invert->isVisible());
  EXPECT_TRUE(folded->isVisible());
  EXPECT_LT(folded->height(), invert->height());
  const QPoint invertTitle = invert->mapTo(palette, QPoint(invert->width() / 2, 4));
  const QPoint foldedTitle = folded->mapTo(palette, QPoint(folded->width() / 2, 4));
  const QWidget* viewport = first->myScrollView()->viewport();
  const QPoint empty =
      viewport->mapTo(palette, QPoint(viewport->width() / 2, viewport->height() - 3));
  EXPECT_NE(picture.pixelColor(invertTitle), picture.pixelColor(empty));
  EXPECT_NE(picture.pixelColor(foldedTitle), picture.pixelColor(empty));
}

// However the palette grows (a drag on its corner, the window system, a
// restored frame), everything under the title bar is painted: no band of
// stale or black pixels under the panes.
TEST_F(BehaviorChainWindows, AnEnlargedPaletteIsPaintedToItsNewBottom) {
  chainIn(*first, "shown", {"Invert"});
  QKPaletteWindow* palette = first->window();
  settle();
  const QSize original = palette->size();
  ASSERT_FALSE(saveScreenshot(palette->grab().toImage(), "behavior-chains-first").isEmpty());

  palette->resize(360, 300);
  settle();
  const QImage picture = palette->grab().toImage();
  ASSERT_FALSE(saveScreenshot(picture, "behavior-chains-enlarged").isEmpty());
  ASSERT_EQ(picture.size(), QSize(360, 300));
  // Just inside the border: along the new bottom edge, down both sides, and
  // across the old bottom edge.
  const QRgb fill = palette->contentView()->backgroundColor().rgb();
  for (const QPoint probe : {QPoint(4, 250), QPoint(180, 295), QPoint(356, 250),
                             QPoint(4, original.height() + 4), QPoint(356, original.height() + 4)})
    EXPECT_EQ(picture.pixel(probe), fill) << probe.x() << "," << probe.y();
}

// A press on the resize corner reaches the palette through its children, as
// the window system delivers it, and a drag from there enlarges it.
TEST_F(BehaviorChainWindows, ThePaletteGrowsFromItsResizeCorner) {
  QKPaletteWindow* palette = first->window();
  settle();
  ASSERT_EQ(palette->size(), QSize(260, 193));
  const int chainAreaBefore = first->myScrollView()->height();
  const QPoint corner(250, 183);
  QWindow* handle = palette->windowHandle();
  QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, corner);
  QTest::mouseMove(handle, corner + QPoint(50, 60));
  QTest::mouseMove(handle, corner + QPoint(100, 110));
  QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, corner + QPoint(100, 110));
  settle();
  EXPECT_EQ(palette->size(), QSize(360, 303));
  EXPECT_EQ(first->myScrollView()->height(), chainAreaBefore + 110) << "the chain area grows";
}

}  // namespace
