#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceHolder.h"
#include "platform/midi/QKMIDIMessage.h"
#include "framework/datasource/DataSourceController.h"
#include "tests/framework/controls/SliderFakes.h"

#include <gtest/gtest.h>

#include <memory>

// Sliders made in code, registered with the real slider manager and bound
// through the real data-source controller.
namespace {

class SliderThroughManagersTest : public testing::Test {
 protected:
  SliderThroughManagersTest() {
    manager.setDataSourceController(&dsc);
    dsc.setSliderManager(&manager);
  }
  ~SliderThroughManagersTest() override { dsc.setSliderManager(nullptr); }

  std::unique_ptr<ViewedSlider> slider() { return std::make_unique<ViewedSlider>(); }

  DataSourceController dsc{DataSourceController::TickThread::Manual};
  QKSliderManager manager;
};

}  // namespace

TEST_F(SliderThroughManagersTest, RegisteredSlidersBindAndRebind) {
  auto a = slider();
  auto b = slider();
  EXPECT_EQ(a->cell->sliderManager(), &manager);
  EXPECT_EQ(a->cell->dataSourceController(), &dsc);
  EXPECT_NE(a->cell->uniqueID(), b->cell->uniqueID());

  const KeyPath path{"ZAPH", "Clock", "beat"};
  a->cell->useThisSource(path);
  a->cell->setSyncFlag(true);
  EXPECT_TRUE(a->cell->syncDeletedUnderMe());
  auto clock = DataSourceHolder::createWithName(QStringLiteral("Clock"));
  ASSERT_TRUE(dsc.setDataSource(clock, {"ZAPH", "Clock"}));
  auto beat = DSFloatInfrequent::createWithName(QStringLiteral("beat"));
  ASSERT_TRUE(dsc.setDataSource(beat, path));
  EXPECT_TRUE(a->cell->syncFlag());
  beat->setValue(0.5f);
  EXPECT_FLOAT_EQ(a->cell->value(), 0.5f);
}

TEST_F(SliderThroughManagersTest, HardwareLearnModeReachesTheSelectedSlider) {
  auto s = slider();
  s->cell->selectJustMe();
  EXPECT_EQ(manager.selectedSliders().size(), 1u);
  dsc.setHardwareLearnMode(true);
  EXPECT_TRUE(s->cell->hardwareLearnMode());
  EXPECT_TRUE(s->cell->detectingMIDI());
  dsc.midiMsgReceived(QKMIDIMessage(0x90, 10, 36, 100));
  EXPECT_EQ(s->cell->syncArray(), (KeyPath{"MIDI", "note [36] ch. 10"}));
  EXPECT_TRUE(s->cell->syncFlag());
  dsc.setHardwareLearnMode(false);
  EXPECT_FALSE(s->cell->detectingMIDI());

  // A slider made while the mode is on starts in it.
  dsc.setHardwareLearnMode(true);
  auto later = slider();
  EXPECT_TRUE(later->cell->hardwareLearnMode());
  dsc.setHardwareLearnMode(false);
}

TEST_F(SliderThroughManagersTest, SelectionEditsReachTheToggles) {
  auto a = slider();
  auto b = slider();
  a->cell->selectJustMe();
  b->cell->selectMeToo();
  manager.selectedSlidersSetSyncToggle(true);
  manager.selectedSlidersSetBehavToggle(true);
  EXPECT_NE(a->cell->syncToggle(), nullptr);
  EXPECT_NE(b->cell->behavToggle(), nullptr);
  manager.selectedSlidersStartOSCDetect();
  EXPECT_TRUE(a->cell->detectingOSC() && b->cell->detectingOSC());
  manager.selectedSlidersStartMIDIDetect();
  dsc.midiMsgReceived(QKMIDIMessage(0xB0, 2, 1, 0));  // one-shot: the sliders stop listening
  EXPECT_FALSE(a->cell->detectingMIDI() || a->cell->detectingOSC());
  EXPECT_FALSE(b->cell->detectingMIDI());
  EXPECT_EQ(b->cell->syncArray(), (KeyPath{"MIDI", "ctrl [1] ch. 2"}));
}

TEST_F(SliderThroughManagersTest, LockedSlidersSaveAndRestore) {
  auto master = slider();
  auto member = slider();
  master->cell->useThisSource(KeyPath{"MIDI", "ctrl [1] ch. 1"});
  master->cell->setSyncFlag(true);
  master->cell->lockThisSliderToMe(member->cell);
  EXPECT_TRUE(member->cell->syncFlag());  // took the master's binding
  dsc.dataSourceForKeyArray({"MIDI", "ctrl [1] ch. 1"})->setValue(0.8f);
  EXPECT_FLOAT_EQ(member->cell->value(), 0.8f);

  const QVariantMap saved = master->cell->createSnapshot();
  auto restored = slider();
  restored->cell->loadSnapshot(saved);
  EXPECT_TRUE(restored->cell->syncFlag());
  EXPECT_FLOAT_EQ(restored->cell->value(), 0.8f);
}
