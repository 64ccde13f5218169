// The button on screen: its drawing (probed in pixels), its mouse and key
// handling under a real event loop, the flash of a button triggered from
// another thread, and the forwarding to its cell.
#include "framework/controls/ButtonViewLink.h"
#include "framework/controls/ContextualMenuProvider.h"
#include "framework/controls/DSMenuReloading.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCellPainter.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/controls/ButtonFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Screenshot.h"

#include <QMenu>
#include <QPainter>
#include <QTest>

#include <memory>
#include <thread>

namespace {

// A cell drawn on its own into a transparent image of `size`.
QImage drawn(const QKButtonCell& cell, QSize size = {60, 20}) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  QKButtonCellPainter::draw(painter, cell, QRectF(QPointF(0, 0), size));
  return image;
}

// The contextual menu controller as a button finds it through its manager.
class MenuController : public DSMenuReloading, public ContextualMenuProvider {
 public:
  MenuController() { menu.addAction(QStringLiteral("Synch To Data Source")); }
  QMenu* contextualMenu() override { return &menu; }
  QMenu menu;
};

void settle(double seconds = 0.05) {
  MainThread::processUntil([] { return false; }, seconds);
}

}  // namespace

// --- Drawing without a manager: the built-in leaf -------------------------------------

struct LookCase {
  const char* name;
  bool down;
  int value;
  QColor fill;
};

class BuiltInLook : public testing::TestWithParam<LookCase> {};

TEST_P(BuiltInLook, FillsTheBodyInTheColourOfItsState) {
  auto cell = QKButtonCell::create();
  ASSERT_EQ(cell->knownButtonManager(), nullptr);
  cell->setTitle(QString());
  cell->setTitle2(QString());
  cell->setIntValue(GetParam().value, false);
  cell->setIsDown(GetParam().down);
  const QImage image = drawn(*cell);
  EXPECT_EQ(image.pixelColor(6, 10), GetParam().fill);
  EXPECT_EQ(image.pixelColor(30, 0), GetParam().down ? QColor(128, 128, 128) : QColor(Qt::black))
      << "a 1-point outline";
  EXPECT_LT(image.pixelColor(0, 0).alpha(), 255) << "rounded corners";
  cell->prepareToBeDeleted();
}

INSTANTIATE_TEST_SUITE_P(
    States, BuiltInLook,
    testing::Values(LookCase{"on", false, 1, Qt::red}, LookCase{"off", false, 0, Qt::white},
                    LookCase{"mixed", false, -1, Qt::white},
                    LookCase{"pressedOverOn", true, 1, QColor(128, 128, 128)},
                    LookCase{"pressedOverOff", true, 0, QColor(128, 128, 128)}),
    [](const auto& info) { return std::string(info.param.name); });

using ButtonView = ButtonFixture;

TEST_F(ButtonView, AThemeLeafWithMissingOrMistypedEntriesTakesTheBuiltInOnesPerEntry) {
  const QVariantMap leaf{{"offFillColor", QColor(Qt::blue)},
                         {"onFillColor", QStringLiteral("not a colour")},
                         {"strokeWidth", 0.0}};
  const QVariantMap byMode{{"non-HLM", leaf}, {"HLM", leaf}};
  const QVariantMap byBinding{{"sync", byMode}, {"unsync", byMode}};
  manager.setAppearanceDict({{"selected", byBinding}, {"unselected", byBinding}});
  auto cell = button();
  cell->setTitle(QString());
  cell->setTitle2(QString());
  EXPECT_EQ(drawn(*cell).pixelColor(30, 10), QColor(Qt::blue));
  EXPECT_EQ(drawn(*cell).pixelColor(30, 0), QColor(Qt::blue)) << "no outline at width 0";
  cell->setIntValue(1, false);
  EXPECT_EQ(drawn(*cell).pixelColor(30, 10), QColor(Qt::red));

  manager.setAppearanceDict({{"selected", byBinding}});  // no "unselected" level
  EXPECT_EQ(QKButtonCellPainter::leaf(QKButtonCellPainter::relevantColorDict(*cell)).on.fill,
            QColor(Qt::red));
}

TEST_F(ButtonView, ShortcutsShowTheLastNameInANarrowBodyAndTheWholePathInAWiderOne) {
  auto cell = button();
  cell->setTitle(QStringLiteral("T"));
  const KeyPath path{"MIDI", "note [1] ch. 1"};
  cell->useThisSource(path);
  cell->setSyncFlag(true);
  ASSERT_TRUE(cell->syncFlag());
  EXPECT_EQ(QKButtonCellPainter::text(*cell, 30), QStringLiteral("T")) << "shortcuts not shown";
  manager.showShortcuts(1);
  // A frame 31 wide with a 1-point outline has a body 30 wide.
  EXPECT_EQ(QKButtonCellPainter::bodyRect(*cell, QRectF(0, 0, 31, 20), 1).width(), 30);
  EXPECT_EQ(QKButtonCellPainter::text(*cell, 30), QStringLiteral("note [1] ch. 1"));
  EXPECT_EQ(QKButtonCellPainter::text(*cell, 31), QStringLiteral("MIDI/note [1] ch. 1"));
  cell->setSyncFlag(false);
  cell->setIntValue(-1, false);
  EXPECT_EQ(QKButtonCellPainter::text(*cell, 31), QStringLiteral("Mixed"));
}

TEST(ButtonTiles, AStripOfExactlyThreeTilesIsUsedAndShowsTheTileOfTheState) {
  QImage strip(60, 20, QImage::Format_ARGB32_Premultiplied);
  QPainter paint(&strip);
  paint.fillRect(0, 0, 20, 20, Qt::blue);     // off
  paint.fillRect(20, 0, 20, 20, Qt::green);   // pressed
  paint.fillRect(40, 0, 20, 20, Qt::yellow);  // on
  paint.end();
  auto cell = QKButtonCell::create();
  cell->setTitle(QString());
  cell->setTitle2(QString());
  LogCapture log;
  EXPECT_TRUE(cell->useThisImageTile(strip, QSizeF(20, 20)));
  EXPECT_EQ(drawn(*cell, {40, 30}).pixelColor(20, 15), QColor(Qt::blue));
  cell->setIntValue(1, false);
  EXPECT_EQ(drawn(*cell, {40, 30}).pixelColor(20, 15), QColor(Qt::yellow));
  cell->setIsDown(true);
  EXPECT_EQ(drawn(*cell, {40, 30}).pixelColor(20, 15), QColor(Qt::green));
  EXPECT_EQ(drawn(*cell, {40, 30}).pixelColor(2, 15), QColor(128, 128, 128))
      << "the colours stay around the tile";
  EXPECT_FALSE(log.contains("img size"));

  EXPECT_FALSE(cell->useThisImageTile(strip.copy(0, 0, 59, 20), QSizeF(20, 20)));
  EXPECT_TRUE(log.contains("err-button's img size doesn't match up with size of passed tile"));
  EXPECT_TRUE(cell->imgTiles().isNull()) << "the earlier strip is gone too";
  log.clear();
  EXPECT_FALSE(cell->useThisImageTile(strip, QSizeF(0, 20)));
  EXPECT_TRUE(log.contains("err-button's img size doesn't match up with size of passed tile"));
  EXPECT_TRUE(cell->imgTiles().isNull());
  EXPECT_FALSE(cell->useThisImageTile(QImage(), QSizeF(20, 20)));
  cell->prepareToBeDeleted();
}

TEST_F(ButtonView, TheSyncToggleIsNineWideAtCreationAndHalfTheHeightAfterTheNextFrame) {
  QKButton view(button());
  view.setFrame(QRectF(0, 0, 60, 20));
  view.setSyncToggleState(true);
  ASSERT_TRUE(view.syncToggleView());
  EXPECT_EQ(view.syncToggleView()->geometry(), QRect(0, 0, 9, 20));
  EXPECT_EQ(view.syncToggleView()->title(), QStringLiteral("S"));
  view.setFrame(QRectF(0, 0, 60, 20));
  EXPECT_EQ(view.syncToggleView()->geometry(), QRect(0, 0, 10, 20));
  // The body starts half its height to the right: 0.5 + 19 / 2.
  EXPECT_EQ(QKButtonCellPainter::bodyRect(*view.cell(), QRectF(view.rect()), 1).left(), 10.0);
  view.setSyncToggleState(false);
  EXPECT_EQ(view.syncToggleView(), nullptr);
}

// --- Mouse and keys ---------------------------------------------------------------------

class ButtonClicks : public ButtonFixture {
 protected:
  ButtonClicks() { manager.setContextualMenuController(&menu); }
  ~ButtonClicks() override {
    menu.menu.hide();
    manager.setContextualMenuController(nullptr);
  }

  // A shown button around a recorded cell.
  std::unique_ptr<QKButton> shown(int type) {
    auto view = std::make_unique<QKButton>(button(type));
    view->setFrame(QRectF(20, 20, 60, 20));
    view->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    return view;
  }

  MenuController menu;
};

TEST_F(ButtonClicks, AMomentaryButtonBangsOnceAtThePressAndLooksPressedUntilTheRelease) {
  auto view = shown(0);
  QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(30, 10));
  EXPECT_EQ(bangsOf(view->cell().get()), 1);
  EXPECT_TRUE(view->cell()->isDown());
  EXPECT_TRUE(view->cell()->selected());
  EXPECT_EQ(
      view->grab().toImage().pixelColor(5, 10).rgb(),
      ThemeDict::color(QKButtonCellPainter::relevantColorDict(*view->cell()), "transitionFillColor")
          .rgb());
  QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(30, 10));
  EXPECT_FALSE(view->cell()->isDown());
  EXPECT_EQ(bangsOf(view->cell().get()), 1);
  saveScreenshot(view->grab().toImage(), "button-momentary");
}

TEST_F(ButtonClicks, AToggleAtMixedTurnsOnAndBangs) {
  auto view = shown(1);
  view->setIntValue(-1, false);
  QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(30, 10));
  EXPECT_EQ(view->intValue(), 1);
  EXPECT_EQ(bangsOf(view->cell().get()), 1);
  QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(30, 10));
  EXPECT_EQ(view->intValue(), 0);
  EXPECT_EQ(bangsOf(view->cell().get()), 2);
}

TEST_F(ButtonClicks, ShiftOnlyTogglesTheSelection) {
  auto view = shown(1);
  QTest::mouseClick(view.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 10));
  EXPECT_TRUE(view->cell()->selected());
  QTest::mouseClick(view.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 10));
  EXPECT_FALSE(view->cell()->selected());
  EXPECT_EQ(view->intValue(), 0);
  EXPECT_EQ(bangCount(), 0);
}

TEST_F(ButtonClicks, ARightClickSelectsAndOpensTheMenuWithoutPressing) {
  auto view = shown(0);
  QTest::mouseClick(view.get(), Qt::RightButton, {}, QPoint(30, 10));
  EXPECT_TRUE(view->cell()->selected());
  EXPECT_TRUE(menu.menu.isVisible());
  EXPECT_EQ(bangCount(), 0);
  EXPECT_FALSE(view->cell()->isDown());
}

TEST_F(ButtonClicks, AButtonDeselectedByAnothersClickRedrawsInItsUnselectedLook) {
  auto first = shown(0);
  auto second = shown(0);
  QTest::mouseClick(first.get(), Qt::LeftButton, {}, QPoint(30, 10));
  settle();
  ASSERT_TRUE(first->cell()->selected());
  QTest::mouseClick(second.get(), Qt::LeftButton, {}, QPoint(30, 10));
  EXPECT_FALSE(first->cell()->selected());
  EXPECT_TRUE(first->repaintPending());
}

TEST_F(ButtonClicks, PreventClickSelectPressesWithoutSelecting) {
  auto view = shown(0);
  view->setPreventClickSelect(true);
  QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(30, 10));
  EXPECT_EQ(bangCount(), 1);
  EXPECT_FALSE(view->cell()->selected());
}

TEST_F(ButtonClicks, KeysGoToTheDataSourceController) {
  auto view = shown(0);
  QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(30, 10));
  QTest::keyPress(view.get(), Qt::Key_Q);
  auto key = dsc.dataSourceForKeyArray({"Key", "q"});
  ASSERT_TRUE(key);
  EXPECT_EQ(key->value(), 1.0f);
  QTest::keyRelease(view.get(), Qt::Key_Q);
  EXPECT_EQ(key->value(), 0.0f);
}

// --- Triggers from elsewhere ------------------------------------------------------------

TEST_F(ButtonView, ATriggerFromAWorkerThreadFlashesOnTheMainThreadAndASecondDoesNotRestartIt) {
  const KeyPath path{"MIDI", "note [3] ch. 1"};
  QKButton view(button(0));
  view.setFrame(QRectF(0, 0, 40, 20));
  view.useThisSource(path);
  view.setSyncFlag(true);
  auto source = std::dynamic_pointer_cast<DSFloatInfrequent>(dsc.dataSourceForKeyArray(path));
  ASSERT_TRUE(source);
  auto trigger = [&] {
    std::thread worker([&] {
      source->setValue(0.0f);
      source->setValue(1.0f);
    });
    worker.join();
  };

  trigger();
  EXPECT_EQ(bangsOf(view.cell().get()), 1) << "the bang runs on the worker thread";
  EXPECT_NE(bangThreads.back(), QThread::currentThread());
  EXPECT_FALSE(view.cell()->isDown()) << "the flash waits for the main thread";
  ASSERT_TRUE(MainThread::processUntil([&] { return view.flashing(); }, 2.0));
  EXPECT_TRUE(view.cell()->isDown());

  const int remaining = view.remainingFlashMilliseconds();
  trigger();
  ASSERT_TRUE(MainThread::processUntil([&] { return !view.flashPending(); }, 2.0));
  EXPECT_EQ(bangsOf(view.cell().get()), 2);
  if (view.flashing()) {
    EXPECT_LE(view.remainingFlashMilliseconds(), remaining);
  }
  ASSERT_TRUE(MainThread::processUntil([&] { return !view.flashing(); }, 2.0));
  EXPECT_FALSE(view.cell()->isDown());
  view.setSyncFlag(false);
}

TEST_F(ButtonView, ButtonsGoingAwayWhileAWorkerTriggersThemAreNeverReached) {
  const KeyPath path{"MIDI", "note [4] ch. 1"};
  std::vector<std::unique_ptr<QKButton>> views;
  for (int i = 0; i < 8; ++i) {
    views.push_back(std::make_unique<QKButton>(button(i % 2)));
    views.back()->useThisSource(path);
    views.back()->setSyncFlag(true);
  }
  auto source = std::dynamic_pointer_cast<DSFloatInfrequent>(dsc.dataSourceForKeyArray(path));
  ASSERT_TRUE(source);
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    for (float v = 0; !stop.load(); v = 1 - v) source->setValue(v);
  });
  while (!views.empty()) {
    settle(0.005);
    views.pop_back();
  }
  stop.store(true);
  worker.join();
  settle();
  SUCCEED() << "no view was called after it went (checked by the sanitizers)";
}

// --- Forwarding --------------------------------------------------------------------------

TEST_F(ButtonView, OnceDeletedSettersDoNothingAndGettersAnswerTheirFixedValues) {
  QKButton view(button(1));
  view.setKey(QStringLiteral("k"));
  view.setTitle(QStringLiteral("before"));
  EXPECT_EQ(view.description(), QStringLiteral("<Button before>"));
  view.prepareToBeDeleted();
  EXPECT_TRUE(view.cell()->deleted());
  view.setTitle(QStringLiteral("after"));
  view.setIntValue(1);
  EXPECT_EQ(view.title(), QStringLiteral("before"));
  EXPECT_EQ(view.intValue(), 0);
  EXPECT_TRUE(view.key().isNull());
  EXPECT_FALSE(view.useThisSource({"MIDI", "x"}));
  EXPECT_TRUE(view.preventSyncToggle());
  EXPECT_EQ(view.syncToggle(), nullptr);
  EXPECT_FALSE(view.lockedFlag());
  EXPECT_FALSE(view.okayToTriggerLockedButtons());
  view.hardwareLearnModeUpdated(true);
  EXPECT_TRUE(view.cell()->hardwareLearnMode()) << "passed on even once deleted";
}
