// Frames and a chain preset recalled from the layer window's pop-up: the
// recall runs inside the restore gate, alone or inside a restore already
// under way on the main thread.
#include "RestoreFixture.h"
#include "RunningFrames.h"

#include "app/compositor/FXChainPresetPopUpButton.h"
#include "app/compositor/LayerPanel.h"
#include "tests/support/Eventually.h"
#include "tests/support/HangWatchdog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

// A layer window that looks around when a layer of it took a preset, which
// happens inside the recall.
class ProbedPanel : public LayerPanel {
 public:
  ProbedPanel(Compositor* compositor, std::function<void()>* probe)
      : LayerPanel(compositor), probe_(probe) {}
  void fxChainPresetApplied(Layer* layer, const QString& name) override {
    if (*probe_) (*probe_)();
    LayerPanel::fxChainPresetApplied(layer, name);
  }

 private:
  std::function<void()>* probe_;
};

class PresetRecallGateTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    Paths::setUserDataDirOverride(data_.path());
    world_ = std::make_unique<RestoreWorld>();
    world_->compositor->populateCompFilterTypes();
    world_->compositor->setLayerWindowFactory(
        [this](Compositor& owner) { return std::make_unique<ProbedPanel>(&owner, &probe_); });
  }
  void TearDown() override {
    world_.reset();
    Paths::setUserDataDirOverride({});
    GLTest::TearDown();
  }
  LayerPanel* panel() const {
    return dynamic_cast<LayerPanel*>(world_->compositor->layerWindowArray().front().get());
  }
  // Picks the preset in the window's pop-up while `layer` shows, as a
  // performer does.
  void recall(Layer* layer, const QString& preset) {
    panel()->showLayer(layer);
    FXChainPresetPopUpButton* popUp = panel()->fxChainPresetButton();
    popUp->selectItemWithTitle(preset);
    Q_EMIT popUp->activated(popUp->selectedItem());
  }
  // Whether frames come to an end while the main thread waits a while.
  static bool framesRunWhileWaiting(const RunningFrames& frames) {
    const int before = frames.count();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    return frames.count() != before;
  }
  static bool framesResume(const RunningFrames& frames) {
    const int before = frames.count();
    return waitFor([&] { return frames.count() > before + 2; }, 5.0);
  }

  QTemporaryDir data_;
  std::unique_ptr<RestoreWorld> world_;
  std::function<void()> probe_;
};

TEST_F(PresetRecallGateTest, FramesWaitForARecallFromTheWindowAndForAnyRestoreAroundIt) {
  Compositor& compositor = *world_->compositor;
  auto source = world_->named("A");
  auto plain = world_->named("B");
  auto nested = world_->named("C");
  ASSERT_TRUE(source->addCIFXNamed("Bright"));
  panel()->showLayer(source.get());
  panel()->createFXChainPresetClicked();
  panel()->createChainTextField()->setText("Glow");
  QTest::mouseClick(panel()->saveFXChainButton(), Qt::LeftButton);
  ASSERT_EQ(world_->manager->fxChainPresetMenu(), QStringList({"Glow"}));

  RunningFrames frames(compositor, RunningFrames::Gate::Pass);
  ASSERT_TRUE(framesResume(frames)) << "no frames to begin with";

  struct Seen {
    bool recalled = false, restoring = false, framesRan = true;
  } seen;
  probe_ = [&] {
    seen.recalled = true;
    seen.restoring = compositor.restoringPreset();
    seen.framesRan = framesRunWhileWaiting(frames);
  };

  recall(plain.get(), "Glow");
  EXPECT_TRUE(seen.recalled);
  EXPECT_TRUE(seen.restoring);
  EXPECT_FALSE(seen.framesRan) << "a frame ran during the recall";
  EXPECT_EQ(RestoreWorld::chainOf(plain.get()), QStringList({"Bright"}));
  EXPECT_FALSE(compositor.restoringPreset());
  EXPECT_TRUE(framesResume(frames)) << "frames did not resume after the recall";

  // A recall started while a restore holds the gate on the main thread (as
  // queued work does while a restore's alert waits for an answer) neither
  // waits for that restore nor lets frames in when it ends.
  seen = Seen{};
  compositor.restoreGate().beginRestore();
  {
    HangWatchdog watchdog("a recall inside a restore", 20);
    recall(nested.get(), "Glow");
  }
  EXPECT_TRUE(seen.recalled);
  EXPECT_TRUE(seen.restoring);
  EXPECT_FALSE(seen.framesRan) << "a frame ran during the recall";
  EXPECT_EQ(RestoreWorld::chainOf(nested.get()), QStringList({"Bright"}));
  EXPECT_TRUE(compositor.restoringPreset());
  EXPECT_FALSE(framesRunWhileWaiting(frames)) << "a frame ran before the restore ended";
  compositor.restoreGate().endRestore();
  EXPECT_FALSE(compositor.restoringPreset());
  EXPECT_TRUE(framesResume(frames)) << "frames did not resume after the restore";
  probe_ = nullptr;
}

// Nested restores on the holding thread open the gate at the outermost end;
// an end from a thread that holds none leaves it shut.
TEST(RestoreGateTest, RestoresNestOnTheHolderAndOnlyTheHolderEndsThem) {
  RestoreGate gate;
  const auto frameMayRun = [&gate] {
    bool ran = false;
    std::thread frame([&] {
      ran = gate.tryBeginFrame();
      if (ran) gate.endFrame();
    });
    frame.join();
    return ran;
  };
  gate.beginRestore();
  gate.beginRestore();
  gate.endRestore();
  EXPECT_TRUE(gate.restoring());
  EXPECT_FALSE(frameMayRun());
  std::thread([&gate] { gate.endRestore(); }).join();
  EXPECT_TRUE(gate.restoring());
  EXPECT_FALSE(frameMayRun());
  gate.endRestore();
  EXPECT_FALSE(gate.restoring());
  EXPECT_TRUE(frameMayRun());
  gate.endRestore();  // unmatched: nothing to end
  EXPECT_TRUE(frameMayRun());
  { RestoreGate::Scope again(gate); }
  EXPECT_TRUE(frameMayRun());
}

}  // namespace
