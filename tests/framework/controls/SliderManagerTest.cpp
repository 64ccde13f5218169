#include "framework/controls/BehaviorChainInterface.h"
#include "framework/controls/BehaviorChainManagerInterface.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKSMInterfaceManager.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/controls/SliderControlView.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"

#include <gtest/gtest.h>

#include <QColor>

#include <atomic>
#include <future>
#include <thread>

namespace {

class CountingChain : public BehaviorChainInterface {
 public:
  explicit CountingChain(QString name) : name_(std::move(name)) {}
  QString chainName() const override { return name_; }
  void passPtrThruChain(QKSliderCell&) override { ++passes; }
  bool evaluateConsistently() const override { return true; }
  bool needsEvaluation() const override { return false; }
  std::atomic<int> passes{0};

 private:
  QString name_;
};

class CountingChainRegistry : public BehaviorChainManagerInterface {
 public:
  void resetChainEvalFlags() override { ++resets; }
  std::atomic<int> resets{0};
};

class CountingInspector : public QKSMInterfaceManager {
 public:
  void updateWithLockedStatus(bool) override { ++refreshes; }
  int refreshes = 0;
};

class PlacedView : public SliderControlView {
 public:
  explicit PlacedView(QRectF onScreen) : onScreen_(onScreen) {}
  QRectF bounds() const override { return {0, 0, onScreen_.width(), onScreen_.height()}; }
  QRectF frame() const override { return bounds(); }
  QRectF absVisibleRect() const override { return onScreen_; }
  void setNeedsDisplay() override {}

 private:
  QRectF onScreen_;
};

void settle() {
  MainThread::processUntil([] { return false; }, 0.05);
}

class SliderManagerTest : public testing::Test {
 protected:
  SliderManagerTest() {
    auto registry = std::make_unique<CountingChainRegistry>();
    chains = registry.get();
    manager.setBehaviorChainManager(std::move(registry));
    manager.setInterfaceManager(&inspector);
    manager.setDataSourceController(&dsc);
    dsc.setSliderManager(&manager);
  }
  ~SliderManagerTest() override {
    dsc.setSliderManager(nullptr);
    for (const auto& slider : made) {
      slider->setControlView(nullptr);
      slider->prepareToBeDeleted();
    }
  }
  std::shared_ptr<QKSliderCell> slider() {
    auto cell = QKSliderCell::create();
    made.push_back(cell);
    return cell;
  }

  DataSourceController dsc{DataSourceController::TickThread::Manual};
  CountingInspector inspector;
  QKSliderManager manager;
  CountingChainRegistry* chains = nullptr;
  std::vector<std::shared_ptr<QKSliderCell>> made;
};

}  // namespace

TEST_F(SliderManagerTest, UniqueIdsCountUpAndAreNeverReused) {
  auto first = slider(), second = slider();
  EXPECT_EQ(first->uniqueID(), 0);
  EXPECT_EQ(second->uniqueID(), 1);
  second->prepareToBeDeleted();
  auto third = slider();
  EXPECT_EQ(third->uniqueID(), 2);
  EXPECT_EQ(manager.registeredSliders(), (QKSliderManager::SliderList{first, third}));
  EXPECT_EQ(third->sliderManager(), &manager);
}

TEST_F(SliderManagerTest, SoftTakeoverSettingsReachOldAndNewSliders) {
  auto before = slider();
  manager.setSoftTakeoverTolerance(0.1f);
  manager.setSoftTakeoverMode(1);
  auto after = slider();
  for (const auto& s : {before, after}) {
    EXPECT_FLOAT_EQ(s->softTakeoverTolerance(), 0.1f);
    EXPECT_EQ(s->softTakeoverMode(), 1);
    EXPECT_FLOAT_EQ(s->softTakeoverSpeed(), 0.03f);
  }
}

TEST_F(SliderManagerTest, SelectionAndItsRefreshes) {
  auto a = slider(), b = slider(), c = slider();
  manager.selectOnlyThisSlider(a.get());
  manager.selectThisSliderToo(b.get());
  EXPECT_EQ(manager.selectedSliders(), (QKSliderManager::SliderList{a, b}));
  manager.selectOnlyThisSlider(c.get());
  EXPECT_FALSE(a->selected());
  EXPECT_FALSE(b->selected());
  EXPECT_TRUE(c->selected());
  settle();
  EXPECT_EQ(inspector.refreshes, 1) << "three requests, one coalesced refresh";

  manager.deselectAllSliders();
  settle();
  EXPECT_EQ(inspector.refreshes, 1) << "deselecting all does not refresh";
  EXPECT_TRUE(manager.selectedSliderArray().empty());

  manager.selectOnlyThisSlider(a.get());
  a->prepareToBeDeleted();
  EXPECT_TRUE(manager.selectedSliders().empty()) << "a deleted slider leaves the selection";
}

TEST_F(SliderManagerTest, TheSliderUnderAPointPrefersTheOnlySelectedOne) {
  PlacedView left({0, 0, 100, 20}), overlapping({50, 0, 100, 20}), empty({});
  auto first = slider(), second = slider(), hidden = slider();
  first->setControlView(&left);
  second->setControlView(&overlapping);
  hidden->setControlView(&empty);
  EXPECT_EQ(manager.visibleSliderAtPoint({60, 10}), first);
  manager.selectOnlyThisSlider(second.get());
  EXPECT_EQ(manager.visibleSliderAtPoint({60, 10}), second);
  manager.selectThisSliderToo(first.get());
  EXPECT_EQ(manager.visibleSliderAtPoint({60, 10}), first)
      << "with two selected, registration order";
  EXPECT_EQ(manager.visibleSliderAtPoint({500, 10}), nullptr);
}

TEST_F(SliderManagerTest, TheTickEvaluatesEverySliderThenResetsTheChains) {
  auto chain = std::make_shared<CountingChain>("Smooth");
  auto a = slider(), b = slider();
  for (const auto& s : {a, b}) {
    s->useThisBehavior(chain);
    s->setBehaviorFlag(true);
  }
  dsc.threadProc();
  dsc.threadProc();
  EXPECT_EQ(chain->passes.load(), 4);
  EXPECT_EQ(chains->resets.load(), 2);
}

TEST_F(SliderManagerTest, ChainsAreFollowedThroughRenamesAndDeletion) {
  auto smooth = std::make_shared<CountingChain>("Smooth");
  auto other = std::make_shared<CountingChain>("Other");
  auto waiting = slider(), elsewhere = slider();
  waiting->useThisBehavior(smooth);
  elsewhere->useThisBehavior(other);
  manager.behaviorDeleted(smooth.get());
  EXPECT_EQ(waiting->behaviorChain(), nullptr);
  EXPECT_EQ(waiting->behaviorName(), QStringLiteral("Smooth"));

  auto reborn = std::make_shared<CountingChain>("Smooth");
  manager.behaviorNameChanged(reborn);
  EXPECT_EQ(waiting->behaviorChain(), reborn);
  EXPECT_EQ(elsewhere->behaviorChain(), other);
}

TEST_F(SliderManagerTest, AStoredThemeLeafChangesOnlyThatColour) {
  const QColor red = Qt::red;
  const QVariantMap theme{
      {"sliderColorDict",
       QVariantMap{
           {"selected",
            QVariantMap{{"sync", QVariantMap{{"HLM", QVariantMap{{"QKSliderColor", red}}}}}}}}}};
  UserDefaults::standard().setValue("colors", KeyedArchive::archive(theme));
  QKSliderManager themed;
  UserDefaults::standard().remove("colors");
  auto leaf = [](const QVariantMap& d) {
    return d.value("selected").toMap().value("sync").toMap().value("HLM").toMap();
  };
  const QVariantMap changed = leaf(themed.sliderColorDict());
  const QVariantMap defaults = leaf(QKSliderManager::defaultSliderColorDict());
  EXPECT_EQ(changed.value("QKSliderColor").value<QColor>(), red);
  EXPECT_EQ(changed.size(), 10);
  EXPECT_EQ(changed.value("QKSliderColorBG"), defaults.value("QKSliderColorBG"));
}

TEST_F(SliderManagerTest, PaletteShortcutsWriteFourKeysAndReadTheMidiDetectButtonToo) {
  std::map<QString, std::shared_ptr<QKButtonCell>> buttons;
  for (const char* key : {"showSyncToggleButton", "useBehaviorButton", "midiDetectButton"}) {
    buttons[key] = QKButtonCell::create();
    manager.setPaletteButton(key, buttons[key]);
  }
  QVariantMap stored;
  manager.putPaletteSnapInDict(stored);
  EXPECT_EQ(stored.keys(), (QStringList{"showSyncToggleButton", "useBehaviorButton"}));

  stored.insert("midiDetectButton", QVariantMap{{"syncArray", QStringList{"MIDI", "n"}}});
  manager.matchThisPaletteShortcutSnapshot(stored);
  EXPECT_EQ(buttons["midiDetectButton"]->syncArray(), (KeyPath{"MIDI", "n"}));
  for (auto& [key, button] : buttons) button->prepareToBeDeleted();
}

TEST_F(SliderManagerTest, InspectorRequestsFromOtherThreadsAreQueuedNotAwaited) {
  auto requested = std::async(std::launch::async, [&] {
    for (int i = 0; i < 5; ++i) {
      manager.updateWithLockedStatus(false);
      manager.registeredSliders();
    }
  });
  ASSERT_EQ(requested.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(inspector.refreshes, 0);
  settle();
  EXPECT_EQ(inspector.refreshes, 1);
}

// Run under ThreadSanitizer (the tsan preset): the tick evaluates while the
// main thread makes and deletes sliders.
TEST_F(SliderManagerTest, TheTickRunsWhileSlidersComeAndGo) {
  auto chain = std::make_shared<CountingChain>("Smooth");
  std::atomic<bool> stop{false};
  std::thread tick([&] {
    while (!stop.load()) dsc.threadProc();
  });
  for (int i = 0; i < 300; ++i) {
    auto s = QKSliderCell::create();
    s->useThisBehavior(chain);
    s->setBehaviorFlag(true);
    if (i % 3 == 0) {
      made.push_back(s);
    } else {
      s->prepareToBeDeleted();
    }
  }
  // The loop may end before the tick thread first runs.
  while (chain->passes.load() == 0) std::this_thread::yield();
  stop.store(true);
  tick.join();
  EXPECT_EQ(manager.registeredSliders().size(), made.size());
  EXPECT_GT(chain->passes.load(), 0);
}

TEST_F(SliderManagerTest, HardwareLearnAndDetectEditsReachTheSliders) {
  auto selected = slider(), other = slider();
  manager.selectOnlyThisSlider(selected.get());
  manager.setHardwareLearnMode(true);
  manager.setHardwareLearnMode(true);
  EXPECT_TRUE(selected->hardwareLearnMode());
  EXPECT_TRUE(other->hardwareLearnMode());
  EXPECT_TRUE(selected->detectingMIDI()) << "a selected slider listens in learn mode";
  EXPECT_FALSE(other->detectingMIDI());
  manager.setHardwareLearnMode(false);
  EXPECT_FALSE(selected->detectingMIDI());

  manager.selectedSlidersStartOSCDetect();
  EXPECT_TRUE(selected->detectingOSC());
  EXPECT_FALSE(other->detectingOSC());
}

TEST_F(SliderManagerTest, ASourcePlacedAtALostPathRebindsItsSliders) {
  const KeyPath path{"ZAPH", "later"};
  auto waiting = slider();
  waiting->useThisSource(path);
  waiting->setSyncFlag(true);
  ASSERT_TRUE(waiting->syncDeletedUnderMe());
  ASSERT_TRUE(dsc.setDataSource(DSFloatInfrequent::createWithName("later"), path));
  EXPECT_TRUE(waiting->syncFlag());
}
