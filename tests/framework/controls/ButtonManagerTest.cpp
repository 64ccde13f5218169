#include "tests/framework/controls/ButtonFixture.h"

#include "framework/render/InterfaceColorScheme.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"

#include <QColor>

#include <future>
#include <thread>

namespace {

// Counts the learn-mode changes a cell hears through a delegate-free probe:
// the cell redraws once per change of mode.
class RedrawCounter : public QKButtonCellView {
 public:
  void setNeedsDisplay() override { ++redraws; }
  std::atomic<int> redraws{0};
};

void settle() {
  MainThread::processUntil([] { return false; }, 0.05);
}

}  // namespace

using ButtonManagerTest = ButtonFixture;

TEST_F(ButtonManagerTest, RegistersEveryNewCellAndForgetsDeletedOnes) {
  auto first = button();
  auto second = button();
  EXPECT_EQ(first->knownButtonManager(), &manager);
  EXPECT_EQ(manager.registeredButtons().size(), 2u);
  second->prepareToBeDeleted();
  EXPECT_EQ(manager.registeredButtons(), QKButtonManager::ButtonList{first});
}

TEST_F(ButtonManagerTest, SelectionDeselectsOthersAndRefreshesTheInspectorOnce) {
  auto a = button(), b = button(), c = button(), d = button();
  manager.selectThisButton(a.get());
  settle();
  EXPECT_EQ(inspector.refreshes, 1);
  EXPECT_TRUE(inspector.onMainThread);

  manager.selectThisButton(a.get());  // already the only one: nothing at all
  settle();
  EXPECT_EQ(inspector.refreshes, 1);

  manager.selectThisButton(b.get());
  EXPECT_FALSE(a->selected());
  EXPECT_TRUE(b->selected());

  manager.deselectAllButtons();
  settle();
  const int afterClearing = inspector.refreshes;
  manager.deselectAllButtons();  // nothing selected: no refresh
  settle();
  EXPECT_EQ(inspector.refreshes, afterClearing);

  manager.selectThisButton(c.get());
  manager.deselectThisButton(c.get());
  EXPECT_TRUE(manager.selectedButtons().empty());

  manager.selectThisButton(d.get());
  d->prepareToBeDeleted();
  EXPECT_FALSE(d->selected());
  EXPECT_TRUE(manager.selectedButtons().empty());
}

TEST_F(ButtonManagerTest, BatchEditsReachTheSelectionOnly) {
  auto synced = button(), loose = button(), unselected = button();
  sourceAt({"ZAPH", "s"}, DSType::FloatInfreqRepeat);
  sourceAt({"ZAPH", "t"}, DSType::FloatInfreqRepeat);
  synced->useThisSource({"ZAPH", "s"});
  synced->setSyncFlag(true);

  manager.selectThisButton(loose.get());
  manager.setSelectedButtonsValThresh(0.7f);
  manager.setSelectedButtonsFallToggle(true);
  manager.selectedButtonsUseThisSource({"ZAPH", "t"});
  EXPECT_FLOAT_EQ(loose->threshVal(), 0.7f);
  EXPECT_TRUE(loose->triggerOnFall());
  EXPECT_TRUE(loose->syncFlag()) << "an unbound button is bound to the new source";

  manager.selectThisButton(synced.get());
  manager.selectedButtonsUseThisSource({"ZAPH", "t"});
  EXPECT_EQ(synced->syncArray(), (KeyPath{"ZAPH", "t"}));
  EXPECT_TRUE(synced->syncFlag()) << "a bound button stays bound";

  EXPECT_FLOAT_EQ(unselected->threshVal(), 0.01f);
  EXPECT_FALSE(unselected->triggerOnFall());
}

TEST_F(ButtonManagerTest, HardwareLearnModeIsPassedOnOnlyWhenItChanges) {
  auto cell = button();
  auto view = std::make_shared<RedrawCounter>();
  cell->setControlView(view);
  manager.setHardwareLearnMode(true);
  manager.setHardwareLearnMode(true);
  EXPECT_EQ(view->redraws.load(), 1);
  EXPECT_TRUE(cell->hardwareLearnMode());
  auto late = button();
  EXPECT_TRUE(late->hardwareLearnMode()) << "new buttons take the mode from the manager";
  manager.setHardwareLearnMode(false);
  EXPECT_FALSE(cell->hardwareLearnMode());
  cell->setControlView(nullptr);
}

TEST_F(ButtonManagerTest, PaletteShortcutsSkipMissingButtonsAndRestoreTheOthers) {
  auto midi = button(), learn = button();
  midi->useThisSource({"MIDI", "note [1] ch. 1"});
  manager.setPaletteButton("midiDetectButton", midi);
  manager.setPaletteButton("hardwareLearnButton", learn);
  QVariantMap stored;
  manager.putPaletteSnapInDict(stored);
  EXPECT_EQ(stored.keys(), (QStringList{"hardwareLearnButton", "midiDetectButton"}));

  midi->useThisSource({"MIDI", "other"});
  stored.insert("oscDetectButton", QVariantMap{{"syncArray", QStringList{"OSC", "x"}}});
  manager.matchThisPaletteShortcutSnapshot(stored);
  EXPECT_EQ(midi->syncArray(), (KeyPath{"MIDI", "note [1] ch. 1"}));
}

TEST_F(ButtonManagerTest, AStoredThemeLeafChangesOnlyThatColour) {
  const QColor red = Qt::red;
  const QVariantMap theme{
      {"buttonColorDict",
       QVariantMap{
           {"selected",
            QVariantMap{{"sync", QVariantMap{{"HLM", QVariantMap{{"onFillColor", red}}}}}}}}}};
  UserDefaults::standard().setValue("colors", KeyedArchive::archive(theme));
  QKButtonManager themed;
  UserDefaults::standard().remove("colors");
  auto leaf = [](const QVariantMap& d, const char* a, const char* b, const char* c) {
    return d.value(a).toMap().value(b).toMap().value(c).toMap();
  };
  const QVariantMap changed = leaf(themed.appearanceDict(), "selected", "sync", "HLM");
  const QVariantMap defaults =
      leaf(QKButtonManager::defaultAppearanceDict(), "selected", "sync", "HLM");
  EXPECT_EQ(changed.value("onFillColor").value<QColor>(), red);
  EXPECT_EQ(changed.value("offFillColor"), defaults.value("offFillColor"));
  EXPECT_EQ(changed.size(), 11);
  EXPECT_EQ(leaf(themed.appearanceDict(), "unselected", "sync", "HLM"),
            leaf(QKButtonManager::defaultAppearanceDict(), "unselected", "sync", "HLM"));
}

// A source placed from an input thread rebinds a selected button: the
// inspector refresh that follows is queued, so the input thread never waits
// for a main thread that may itself be waiting for the manager.
TEST_F(ButtonManagerTest, RebindingFromAnotherThreadNeverWaitsForTheMainThread) {
  const KeyPath path{"ZAPH", "late"};
  auto cell = button();
  cell->useThisSource(path);
  cell->setSyncFlag(true);
  ASSERT_TRUE(cell->syncDeletedUnderMe());
  manager.selectThisButton(cell.get());
  settle();
  const int before = inspector.refreshes;

  auto placed = std::async(std::launch::async, [&] {
    for (int i = 0; i < 3; ++i) {
      dsc.setDataSource(DSFloatInfrequent::createWithName("late"), path);
      manager.registeredButtons();  // what a registration on the main thread takes
    }
  });
  // The main thread does not run its event loop until the worker is done.
  ASSERT_EQ(placed.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(cell->syncFlag());
  EXPECT_EQ(inspector.refreshes, before) << "nothing ran on the main thread yet";
  settle();
  EXPECT_EQ(inspector.refreshes, before + 1) << "the queued refreshes were coalesced";
  EXPECT_TRUE(inspector.onMainThread);
}
