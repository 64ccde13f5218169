#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSFloatFreqNonRepeat.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/QKButtonManagerInterface.h"
#include "platform/midi/QKMIDIMessage.h"
#include "platform/osc/OSCMessage.h"
#include "tests/framework/controls/SliderFakes.h"
#include "tests/support/HangWatchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

const KeyPath kLfo{"ZAPH", "LFO"};
const KeyPath kFader{"MIDI", "ctrl [7] ch. 1"};

class SliderBindingTest : public testing::Test {
 protected:
  SliderBindingTest() {
    manager.controller = &dsc;
    dsc.setSliderManager(&manager);
  }

  std::unique_ptr<ViewedSlider> slider() {
    auto s = std::make_unique<ViewedSlider>();
    manager.add(s->cell);
    return s;
  }

  template <class T = DSFloatInfrequent>
  std::shared_ptr<T> sourceAt(const KeyPath& path) {
    auto source = T::createWithName(path.last());
    EXPECT_TRUE(dsc.setDataSource(source, path));
    return source;
  }

  FakeSliderManager manager;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
};

}  // namespace

// Unbound, bound and waiting, through the source's deletion and re-creation.
TEST_F(SliderBindingTest, BindingStateMachine) {
  auto s = slider();
  auto& cell = *s->cell;
  EXPECT_TRUE(cell.useThisSource(kLfo));
  EXPECT_EQ(cell.syncText().string(), "ZAPH/LFO");

  cell.setSyncFlag(true);  // nothing stands there yet: waiting
  EXPECT_FALSE(cell.syncFlag());
  EXPECT_TRUE(cell.syncDeletedUnderMe());
  EXPECT_EQ(cell.dataSourceType(), -2);

  auto lfo = sourceAt(kLfo);  // placed: the slider binds by itself
  EXPECT_TRUE(cell.syncFlag());
  EXPECT_FALSE(cell.syncDeletedUnderMe());
  EXPECT_EQ(cell.dataSourceType(), 3);
  lfo->setValue(0.25f);
  EXPECT_FLOAT_EQ(cell.value(), 0.25f);
  EXPECT_FLOAT_EQ(s->outputs.back(), 0.25f);

  EXPECT_TRUE(dsc.setDataSource(nullptr, kLfo));  // deleted: waiting again
  EXPECT_FALSE(cell.syncFlag());
  EXPECT_TRUE(cell.syncDeletedUnderMe());

  auto again = sourceAt(kLfo);
  EXPECT_TRUE(cell.syncFlag());
  again->setValue(0.75f);
  EXPECT_FLOAT_EQ(cell.value(), 0.75f);

  cell.setSyncFlag(false);  // unbound: values no longer arrive
  EXPECT_FALSE(cell.syncDeletedUnderMe());
  again->setValue(0.1f);
  EXPECT_FLOAT_EQ(cell.value(), 0.75f);

  // A new path keeps a bound slider bound, and clears the waiting state.
  cell.setSyncFlag(true);
  auto other = sourceAt({"ZAPH", "Other"});
  other->setValue(0.6f);
  EXPECT_TRUE(cell.useThisSource(KeyPath{"ZAPH", "Other"}));
  EXPECT_TRUE(cell.syncFlag());
  EXPECT_FLOAT_EQ(cell.value(), 0.6f);  // delivered on subscription
  EXPECT_FALSE(cell.useThisSource(std::nullopt));
}

// Two threads switching a binding at once: afterwards the slider holds one
// subscription when its flag is on and none when it is off.
TEST_F(SliderBindingTest, SwitchingTheBindingFromTwoThreadsKeepsFlagAndSubscriptionTogether) {
  auto cell = QKSliderCell::create();
  manager.add(cell);
  auto lfo = sourceAt(kLfo);
  cell->useThisSource(kLfo);
  HangWatchdog watchdog("switching a binding from two threads", 30.0);
  struct Case {
    const char* name;
    bool first, second;
  };
  for (const Case& c : {Case{"both on", true, true}, Case{"on and off", true, false}}) {
    for (int round = 0; round < 300; ++round) {
      cell->setSyncFlag(false);
      std::atomic<int> ready{0};
      auto set = [&](bool flag) {
        ++ready;
        while (ready.load() < 2) std::this_thread::yield();
        cell->setSyncFlag(flag);
      };
      std::thread first(set, c.first), second(set, c.second);
      first.join();
      second.join();
      ASSERT_EQ(lfo->fetchCallCount(), cell->syncFlag() ? 1u : 0u) << c.name << ", round " << round;
    }
  }
  cell->prepareToBeDeleted();
}

TEST_F(SliderBindingTest, InputRootsCreateTheirSourceOnDemand) {
  auto s = slider();
  s->cell->useThisSource(KeyPath{"OSC", "/fader/1"});
  s->cell->setSyncFlag(true);
  EXPECT_TRUE(s->cell->syncFlag());
  ASSERT_NE(dsc.dataSourceForKeyArray({"OSC", "/fader/1"}), nullptr);
  EXPECT_EQ(s->cell->syncText().string(), "OSC//fader/1");
}

TEST_F(SliderBindingTest, BindingClearsTheInterfaceLockAndLockingUnbinds) {
  auto s = slider();
  s->cell->setLockUIFlag(true);
  s->cell->useThisSource(kFader);
  s->cell->setSyncFlag(true);
  EXPECT_FALSE(s->cell->lockUIFlag());
  s->cell->setLockUIFlag(true);
  EXPECT_TRUE(s->cell->lockUIFlag());
  EXPECT_FALSE(s->cell->syncFlag());
}

TEST_F(SliderBindingTest, RenamedSourceIsFollowed) {
  auto s = slider();
  sourceAt(kLfo);
  s->cell->useThisSource(kLfo);
  s->cell->setSyncFlag(true);
  ASSERT_TRUE(dsc.changeNameFrom(kLfo, {"ZAPH", "Wobble"}));
  EXPECT_EQ(s->cell->syncArray(), (KeyPath{"ZAPH", "Wobble"}));
  EXPECT_EQ(s->cell->syncText().string(), "ZAPH/Wobble");
  dsc.dataSourceForKeyArray({"ZAPH", "Wobble"})->setValue(0.9f);
  EXPECT_FLOAT_EQ(s->cell->value(), 0.9f);
}

TEST_F(SliderBindingTest, FrequentSourceDeliversOnTheTickAndRepeatsDrawNothing) {
  auto s = slider();
  auto clock = sourceAt<DSFloatFrequent>(kLfo);
  s->cell->useThisSource(kLfo);
  s->cell->setSyncFlag(true);
  s->outputs.clear();
  clock->setValue(0.4f);
  EXPECT_TRUE(s->outputs.empty());  // not before the tick
  dsc.threadProc();
  EXPECT_EQ(s->outputs, (std::vector<float>{0.4f}));
  const int redraws = s->redrawsAfterEvents();
  clock->setValue(0.4f);
  dsc.threadProc();
  EXPECT_EQ(s->outputs.size(), 2u);             // output on every push
  EXPECT_EQ(s->redrawsAfterEvents(), redraws);  // but the same value is not redrawn
}

TEST_F(SliderBindingTest, ValuesDuringAMouseDragAreDropped) {
  auto s = slider();
  auto fader = sourceAt(kFader);
  s->cell->useThisSource(kFader);
  s->cell->setSyncFlag(true);
  s->cell->setMouseDown(true);
  fader->setValue(0.9f);
  EXPECT_FLOAT_EQ(s->cell->value(), 0.0f);  // the value delivered on subscription
  s->cell->setMouseDown(false);
  fader->setValue(0.8f);
  EXPECT_FLOAT_EQ(s->cell->value(), 0.8f);
}

// Soft takeover as the bound source's values arrive, in each mode.
TEST_F(SliderBindingTest, SoftTakeoverOverTheFourModes) {
  struct Case {
    const char* name;
    int mode;
    std::vector<float> hardware;  // values sent by the source, one per update
    std::vector<float> expect;    // the slider's value after each
    bool engagedAfter;
  };
  const Case cases[] = {
      {"off: the first value is skipped, then followed", 0, {0.9f, 0.8f}, {0.5f, 0.8f}, false},
      {"jump", 1, {0.9f, 0.1f}, {0.9f, 0.1f}, false},
      {"pick-up", 2, {0.1f, 0.3f, 0.46f, 0.2f}, {0.5f, 0.5f, 0.46f, 0.2f}, false},
      {"pick-up still waiting", 2, {0.9f, 0.7f}, {0.5f, 0.5f}, true},
      {"glide", 3, {0.6f, 0.6f, 0.6f, 0.6f}, {0.53f, 0.56f, 0.59f, 0.6f}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = slider();
    auto fader = sourceAt<DSFloatInfreqRepeat>(kFader);
    s->cell->useThisSource(kFader);
    s->cell->setSyncFlag(true);
    s->cell->setSoftTakeoverMode(c.mode);
    s->cell->setValue(0.5f);             // the user moved the slider by mouse...
    s->cell->setSoftTakeoverFlag(true);  // ...and the drag ended
    for (std::size_t i = 0; i < c.hardware.size(); ++i) {
      fader->setValue(c.hardware[i]);
      EXPECT_NEAR(s->cell->value(), c.expect[i], 1e-6) << "update " << i;
      EXPECT_FLOAT_EQ(s->cell->lastReceivedDSValue(), c.hardware[i]);
      dsc.threadProc();  // a value and a tick never step twice
    }
    EXPECT_EQ(s->cell->softTakeoverFlag(), c.engagedAfter);
    dsc.setDataSource(nullptr, kFader);
  }
}

// Between values, the tick keeps a glide moving and a jump landing.
TEST_F(SliderBindingTest, TheTickStepsTakeoverOncePerTick) {
  struct Case {
    int mode;
    std::vector<float> expectPerTick;
  };
  for (const Case& c : {Case{3, {0.23f, 0.25f, 0.25f}}, Case{1, {0.25f, 0.25f, 0.25f}},
                        Case{2, {0.2f, 0.2f, 0.2f}}}) {
    SCOPED_TRACE(c.mode);
    auto s = slider();
    auto fader = sourceAt(kFader);
    s->cell->useThisSource(kFader);
    s->cell->setSyncFlag(true);
    fader->setValue(0.25f);
    s->cell->setSoftTakeoverMode(c.mode);
    s->cell->setValue(0.2f);
    s->cell->setSoftTakeoverFlag(true);
    for (float expected : c.expectPerTick) {
      s->cell->evaluateBehaviors();
      dsc.threadProc();  // a second evaluation in the same tick does nothing
      EXPECT_NEAR(s->cell->value(), expected, 1e-6);
    }
    dsc.setDataSource(nullptr, kFader);
  }
}

// After a program change the next MIDI value that jumps by the tolerance
// engages the takeover.
TEST_F(SliderBindingTest, ProgramChangeArmsTheJumpCheck) {
  auto s = slider();
  auto fader = sourceAt(kFader);
  s->cell->useThisSource(kFader);
  s->cell->setSyncFlag(true);
  s->cell->setSoftTakeoverMode(2);
  fader->setValue(0.5f);

  dsc.programChangeReceived();
  fader->setValue(0.53f);  // a small step: applied
  EXPECT_FLOAT_EQ(s->cell->value(), 0.53f);
  EXPECT_FALSE(s->cell->softTakeoverFlag());

  dsc.programChangeReceived();
  fader->setValue(0.63f);  // a jump: the slider holds until the hardware comes back
  EXPECT_TRUE(s->cell->softTakeoverFlag());
  EXPECT_FLOAT_EQ(s->cell->value(), 0.53f);
  fader->setValue(0.55f);
  EXPECT_FLOAT_EQ(s->cell->value(), 0.55f);

  // Only sliders bound under "MIDI" arm the check.
  auto osc = slider();
  osc->cell->useThisSource(KeyPath{"OSC", "/x"});
  osc->cell->setSyncFlag(true);
  osc->cell->programChangeReceived();
  EXPECT_FALSE(osc->cell->softTakeoverMIDICheck());
}

// A behaviour chain on a bound slider: every value passes once; a
// time-based chain also runs on every tick from the last input.
TEST_F(SliderBindingTest, ChainOnABoundSlider) {
  auto s = slider();
  auto fader = sourceAt(kFader);
  auto half = std::make_shared<FakeChain>([](float v) { return v / 2.0f; });
  s->cell->useThisSource(kFader);
  s->cell->setSyncFlag(true);
  s->cell->useThisBehavior(half);
  s->cell->setBehaviorFlag(true);
  half->passes = 0;
  fader->setValue(0.8f);
  EXPECT_EQ(half->passes, 1);
  EXPECT_FLOAT_EQ(s->cell->value(), 0.4f);
  EXPECT_FLOAT_EQ(s->cell->lastInputValue(), 0.8f);

  half->consistent = true;
  dsc.threadProc();
  dsc.threadProc();
  EXPECT_EQ(half->passes, 3);
  EXPECT_FLOAT_EQ(s->cell->value(), 0.4f);  // always from the input, never 0.2
}

TEST_F(SliderBindingTest, SnapshotRestoresTheValueOnlyWhenTheSourceHasNone) {
  struct Case {
    const char* name;
    bool sourceHasValue;
    float expect;
  };
  for (const Case& c : {Case{"source never set", false, 0.3f}, Case{"source set", true, 0.9f}}) {
    SCOPED_TRACE(c.name);
    auto source = sourceAt({"ZAPH", "Knob"});
    if (c.sourceHasValue) source->setValue(0.9f);
    auto s = slider();
    s->cell->loadSnapshot(
        {{"syncArray", QVariantList{"ZAPH", "Knob"}}, {"syncFlag", true}, {"value", 0.3}});
    EXPECT_TRUE(s->cell->syncFlag());
    EXPECT_EQ(s->cell->validDataSourceValAvailable(), c.sourceHasValue);
    EXPECT_FLOAT_EQ(s->cell->value(), c.expect);
    dsc.setDataSource(nullptr, {"ZAPH", "Knob"});
  }

  // Bound in the snapshot but missing here: the slider waits for its source.
  auto s = slider();
  s->cell->loadSnapshot({{"syncArray", QVariantList{"ZAPH", "Later"}}, {"syncFlag", true}});
  EXPECT_FALSE(s->cell->syncFlag());
  EXPECT_TRUE(s->cell->syncDeletedUnderMe());
  sourceAt({"ZAPH", "Later"});
  EXPECT_TRUE(s->cell->syncFlag());
}

TEST_F(SliderBindingTest, PublishingTheSlidersValue) {
  auto s = slider();
  auto published = DSFloatFrequent::createWithName(
      QStringLiteral("Opacity"), std::weak_ptr<DataSourceTarget>(s->cell),
      [](DataSourceTarget& target, DataSource* source) {
        static_cast<QKSliderCell&>(target).setDataSourceWithVal(source);
      });
  ASSERT_TRUE(dsc.setDataSource(published, {"ZAPH", "Opacity"}));
  s->cell->setValue(0.35f);
  dsc.threadProc();
  EXPECT_FLOAT_EQ(published->value(), 0.35f);
}

TEST_F(SliderBindingTest, SelectionGoesThroughTheController) {
  auto a = slider();
  auto b = slider();
  a->cell->selectJustMe();
  EXPECT_TRUE(a->cell->selected());
  b->cell->selectMeToo();
  EXPECT_TRUE(a->cell->selected() && b->cell->selected());
  b->cell->selectJustMe();
  EXPECT_FALSE(a->cell->selected());
  b->cell->deselectJustMe();
  EXPECT_TRUE(manager.selectedSliderArray().empty());

  a->cell->selectJustMe();
  a->cell->prepareToBeDeleted();  // a retired slider leaves the selection
  EXPECT_TRUE(manager.selectedSliderArray().empty());
}

// Learning from MIDI by status byte, through the controller's MIDI input
// (which names the source and posts the detect notification): a one-shot
// learn takes one message.
TEST_F(SliderBindingTest, LearnFromMIDIByStatusByte) {
  struct Case {
    const char* name;
    int type, channel, data1;
    std::optional<KeyPath> expect;  // nullopt: ignored
  };
  const Case cases[] = {
      {"control change", 0xB0, 1, 7, KeyPath{"MIDI", "ctrl [7] ch. 1"}},
      {"note on", 0x90, 4, 60, KeyPath{"MIDI", "note [60] ch. 4"}},
      {"note off: the same source as note on", 0x80, 4, 60, KeyPath{"MIDI", "note [60] ch. 4"}},
      {"pitch wheel", 0xE0, 16, 99, KeyPath{"MIDI", "ptch.whl. ch. 16"}},
      {"program change", 0xC0, 1, 5, std::nullopt},
      {"aftertouch", 0xA0, 1, 5, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = slider();
    s->cell->startMIDIDetect();
    dsc.midiMsgReceived(QKMIDIMessage(static_cast<std::uint8_t>(c.type), c.channel,
                                      static_cast<std::uint8_t>(c.data1), 100));
    if (c.expect) {
      EXPECT_EQ(s->cell->syncArray(), *c.expect);
      EXPECT_TRUE(s->cell->syncFlag());
      EXPECT_FALSE(s->cell->detectingMIDI());  // one message taken
    } else {
      EXPECT_EQ(s->cell->syncArray(), (KeyPath{"Mouse", "X"}));
      EXPECT_FALSE(s->cell->syncFlag());
      EXPECT_TRUE(s->cell->detectingMIDI());  // still listening
    }
  }
}

// A control that switches detection on is never learnt by a detecting
// slider.
TEST_F(SliderBindingTest, PathsOfTheInspectorsLearnButtonsAreNotLearnt) {
  struct LearnButtons : QKButtonManagerInterface {
    void wasThisDataSourceDeletedOutFromUnderAnyButtons(const KeyPath&) override {}
    void reloadDSContextualMenu() override {}
    void selectThisButton(QKButtonCell*) override {}
    void deselectThisButton(QKButtonCell*) override {}
    void deselectAllButtons() override {}
    std::vector<QKButtonCell*> selectedButtonArray() override { return {}; }
    void setHardwareLearnMode(bool) override {}
    std::vector<KeyPath> detectionButtonSyncArrays() override { return {kFader}; }
  } buttons;
  dsc.setButtonManager(&buttons);
  auto s = slider();
  s->cell->startMIDIDetect();
  dsc.midiMsgReceived(QKMIDIMessage(0xB0, 1, 7, 1));  // the learn button's own controller
  EXPECT_FALSE(s->cell->syncFlag());
  EXPECT_TRUE(s->cell->detectingMIDI());
  dsc.midiMsgReceived(QKMIDIMessage(0xB0, 1, 8, 1));
  EXPECT_EQ(s->cell->syncArray(), (KeyPath{"MIDI", "ctrl [8] ch. 1"}));
  dsc.setButtonManager(nullptr);
}

TEST_F(SliderBindingTest, LearnFromOSC) {
  auto s = slider();
  s->cell->startOSCDetect();
  auto message = OSCMessage::createWithAddress(QStringLiteral("/mix/level"));
  message->addFloat(0.4f);
  dsc.receivedOSCMessage(message.get());
  EXPECT_EQ(s->cell->syncArray(), (KeyPath{"OSC", "/mix/level"}));
  EXPECT_TRUE(s->cell->syncFlag());
  EXPECT_FLOAT_EQ(s->cell->value(), 0.4f);
  EXPECT_FALSE(s->cell->detectingOSC());
}

TEST_F(SliderBindingTest, LearnInHardwareLearnModeFollowsEveryControl) {
  auto s = slider();
  s->cell->selectJustMe();
  manager.setHardwareLearnMode(true);  // a selected slider starts listening
  EXPECT_TRUE(s->cell->detectingMIDI() && s->cell->detectingOSC());
  dsc.midiMsgReceived(QKMIDIMessage(0xB0, 1, 7, 64));
  EXPECT_EQ(s->cell->syncArray(), (KeyPath{"MIDI", "ctrl [7] ch. 1"}));
  s->cell->learnFromOSCSource(QStringLiteral("/pad/2"));
  EXPECT_EQ(s->cell->syncArray(), (KeyPath{"OSC", "/pad/2"}));
  EXPECT_TRUE(s->cell->syncFlag());
  EXPECT_TRUE(s->cell->detectingMIDI());

  s->cell->deselectJustMe();  // deselected: detection ends
  EXPECT_FALSE(s->cell->detectingMIDI() || s->cell->detectingOSC());
  manager.setHardwareLearnMode(false);
  EXPECT_FALSE(s->cell->hardwareLearnMode());
}

TEST_F(SliderBindingTest, LearningTheCurrentPathKeepsTheBindingAndEndsTheLearn) {
  auto s = slider();
  s->cell->useThisSource(kFader);
  s->cell->setSyncFlag(true);
  auto fader = dsc.dataSourceForKeyArray(kFader);
  s->cell->startAllDetect();
  dsc.midiMsgReceived(QKMIDIMessage(0xB0, 1, 7, 0));
  EXPECT_TRUE(s->cell->syncFlag());
  EXPECT_FALSE(s->cell->detectingMIDI() || s->cell->detectingOSC());
  EXPECT_EQ(dsc.dataSourceForKeyArray(kFader), fader);
  EXPECT_FLOAT_EQ(s->cell->value(), 0.0f);  // the controller's value arrived
  fader->setValue(0.7f);
  EXPECT_FLOAT_EQ(s->cell->value(), 0.7f);
}

// The "S" button switches the binding from the slider; its action comes on
// the main thread. A binding that cannot be made puts the button back.
TEST_F(SliderBindingTest, SyncToggleSwitchesTheBinding) {
  auto s = slider();
  auto delegate = std::make_shared<RecordingDelegate>();
  s->cell->setDelegate(delegate);
  s->cell->useThisSource(kFader);
  s->cell->setSyncToggleState(true);
  auto button = s->cell->syncToggle();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->title(), "S");
  EXPECT_EQ(button->buttonType(), 1);
  EXPECT_TRUE(button->triggerOnMain());
  EXPECT_TRUE(button->preventSyncToggle());
  EXPECT_EQ(button->intValue(), 0);
  EXPECT_EQ(delegate->notices.back(), "ui");

  button->setIntValue(1);
  EXPECT_FALSE(s->cell->syncFlag());  // not before the main thread runs the action
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(s->cell->syncFlag());

  s->cell->setSyncFlag(false);  // the binding moves the button too, silently
  EXPECT_EQ(button->intValue(), 0);

  s->cell->useThisSource(KeyPath{"ZAPH", "nowhere"});
  button->setIntValue(1);
  QCoreApplication::sendPostedEvents();
  EXPECT_FALSE(s->cell->syncFlag());
  EXPECT_EQ(button->intValue(), 0);

  s->cell->setSyncToggleState(false);
  EXPECT_EQ(s->cell->syncToggle(), nullptr);
  EXPECT_TRUE(button->deleted());
}

TEST_F(SliderBindingTest, BehaviourToggleSwitchesTheChain) {
  auto s = slider();
  s->cell->setBehavToggleState(true);
  auto button = s->cell->behavToggle();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->title(), "B");
  button->setIntValue(1);
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(s->cell->behaviorFlag());
  s->cell->setBehaviorFlag(false);
  EXPECT_EQ(button->intValue(), 0);
}

// A button shown again takes the snapshot last stored for it, or none:
// removing a button stores nothing.
TEST_F(SliderBindingTest, ToggleShownAgainLoadsTheStoredSnapshot) {
  auto s = slider();
  s->cell->setSyncToggleState(true);
  s->cell->syncToggle()->setTitle(QStringLiteral("changed"));
  s->cell->setSyncToggleState(false);
  EXPECT_TRUE(s->cell->syncToggleDict().isEmpty());

  s->cell->setSyncToggleState(true);  // nothing stored: a fresh button
  EXPECT_EQ(s->cell->syncToggle()->title(), "S");
  EXPECT_TRUE(s->cell->syncToggle()->useThisSource(KeyPath{"Key", "s"}));
  QVariantMap stored = s->cell->syncToggle()->createSnapshot();
  s->cell->setSyncToggleDict(stored);
  s->cell->setSyncToggleState(false);
  s->cell->setSyncToggleState(true);
  EXPECT_EQ(s->cell->syncToggle()->syncArray(), (KeyPath{"Key", "s"}));

  // The slider's snapshot carries the buttons and their state.
  const QVariantMap snapshot = s->cell->createSnapshot();
  EXPECT_TRUE(snapshot.value("syncToggleFlag").toBool());
  EXPECT_FALSE(snapshot.value("behavToggleFlag").toBool());
  EXPECT_FALSE(snapshot.contains("behavToggle"));
  auto restored = slider();
  restored->cell->loadSnapshot(snapshot);
  ASSERT_NE(restored->cell->syncToggle(), nullptr);
  EXPECT_EQ(restored->cell->syncToggle()->syncArray(), (KeyPath{"Key", "s"}));
  EXPECT_EQ(restored->cell->behavToggle(), nullptr);
}

// Locking copies the master's buttons into the new member.
TEST_F(SliderBindingTest, LockingCopiesTheToggles) {
  auto master = slider();
  auto member = slider();
  master->cell->setSyncToggleState(true);
  master->cell->setBehavToggleState(true);
  master->cell->lockThisSliderToMe(member->cell);
  EXPECT_NE(member->cell->syncToggle(), nullptr);
  EXPECT_NE(member->cell->behavToggle(), nullptr);
  member->cell->setSyncToggleState(false);  // shared with the group
  EXPECT_EQ(master->cell->syncToggle(), nullptr);
}

// While pick-up waits for the hardware, the tick must not pass the slider's
// already processed value through its chain again (an inverting chain would
// flip the slider on every tick).
TEST_F(SliderBindingTest, WaitingTakeoverDoesNotReprocessTheValue) {
  auto s = slider();
  auto fader = sourceAt(kFader);
  auto invert = std::make_shared<FakeChain>([](float v) { return 1.0f - v; });
  s->cell->useThisSource(kFader);
  s->cell->setSyncFlag(true);
  fader->setValue(0.9f);
  s->cell->useThisBehavior(invert);
  s->cell->setBehaviorFlag(true);
  s->cell->setSoftTakeoverMode(2);
  s->cell->setValue(0.3f);  // shows 0.7
  s->cell->setSoftTakeoverFlag(true);
  for (int tick = 0; tick < 3; ++tick) {
    dsc.threadProc();
    EXPECT_FLOAT_EQ(s->cell->value(), 0.7f) << "tick " << tick;
  }
  invert->needsEval = true;  // a changed behaviour setting runs it on the input
  dsc.threadProc();
  EXPECT_FLOAT_EQ(s->cell->value(), 0.7f);
}
