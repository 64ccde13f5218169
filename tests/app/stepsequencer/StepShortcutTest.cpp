#include "tests/app/stepsequencer/StepSequencerFixture.h"

#include "app/plugins/stepsequencer/StepSequencerShortcutController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "platform/foundation/MainThread.h"
#include "platform/midi/QKMIDIMessage.h"

#include <thread>

namespace {

class StepShortcutTest : public StepSequencerTest {
 protected:
  void SetUp() override {
    sequencer = make();
    ASSERT_NE(sequencer, nullptr);
    controller = sequencer->shortcutController();
    ASSERT_NE(controller, nullptr);
  }
  // A key pressed and let go on the MIDI input thread, then the main
  // thread's turn.
  void note(int number) {
    std::thread([&] {
      dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, std::uint8_t(number), 127));
      dsc.midiMsgReceived(QKMIDIMessage(0x90, 1, std::uint8_t(number), 0));
    }).join();
    MainThread::processUntil([] { return false; }, 0.02);
  }
  QString shortcutText(int row) const {
    return controller->data(controller->index(row, StepSequencerShortcutController::ShortcutColumn))
        .toString();
  }
  StepSequencer* sequencer = nullptr;
  StepSequencerShortcutController* controller = nullptr;
};

TEST_F(StepShortcutTest, LearnModeWalksTheStepsFromTheNotesPlayed) {
  EXPECT_EQ(controller->rowCount(), 16);
  EXPECT_EQ(controller->data(controller->index(0, 0)).toString(), QStringLiteral("1"));
  EXPECT_EQ(shortcutText(0), StepSequencerShortcutController::kNoShortcut);
  sequencer->detectionButton()->setIntValue(1, true);
  EXPECT_EQ(shortcutText(0), StepSequencerShortcutController::kDetecting);
  note(60);
  EXPECT_NE(shortcutText(0), StepSequencerShortcutController::kDetecting);
  EXPECT_TRUE(shortcutText(0).startsWith(QStringLiteral("MIDI/"))) << shortcutText(0).toStdString();
  EXPECT_EQ(shortcutText(1), StepSequencerShortcutController::kDetecting);
  // The same note again fills no second step: step 2 keeps waiting.
  note(60);
  EXPECT_EQ(shortcutText(1), StepSequencerShortcutController::kDetecting);
  for (int n = 61; n < 76; ++n) note(n);
  EXPECT_EQ(sequencer->detectionButton()->intValue(), 0);  // ended after step 16
  QStringList learnt;
  for (int row = 0; row < 16; ++row) learnt << shortcutText(row);
  EXPECT_EQ(learnt.removeDuplicates(), 0);
  EXPECT_FALSE(learnt.contains(StepSequencerShortcutController::kDetecting));
  EXPECT_FALSE(learnt.contains(StepSequencerShortcutController::kNoShortcut));
  EXPECT_TRUE(controller->lastDetectedDataSourceString().isEmpty());
}

TEST_F(StepShortcutTest, SelectingARowMovesLearning) {
  sequencer->detectionButton()->setIntValue(1, true);
  note(60);
  note(61);
  EXPECT_EQ(shortcutText(2), StepSequencerShortcutController::kDetecting);
  controller->selectRow(0);
  EXPECT_EQ(shortcutText(0), StepSequencerShortcutController::kDetecting);
  EXPECT_NE(shortcutText(2), StepSequencerShortcutController::kDetecting);
  note(70);
  EXPECT_EQ(shortcutText(1), StepSequencerShortcutController::kDetecting);
  // Off: nothing learns any more.
  sequencer->detectionButton()->setIntValue(0, true);
  for (int row = 0; row < 16; ++row)
    EXPECT_NE(shortcutText(row), StepSequencerShortcutController::kDetecting) << row;
}

TEST_F(StepShortcutTest, ClearReachesTheHiddenSteps) {
  sequencer->measuresSliderUsed(1);
  sequencer->engine().stepLock().readLock();
  const auto hidden = sequencer->engine().stepValues()[12];
  sequencer->engine().stepLock().readUnlock();
  hidden->shortcutCell()->useThisSource({QStringLiteral("MIDI"), QStringLiteral("x")});
  hidden->shortcutCell()->setSyncFlag(true);
  ASSERT_TRUE(hidden->shortcutCell()->syncFlag());
  controller->clearShortcutsButtonUsed();
  EXPECT_FALSE(hidden->shortcutCell()->syncFlag());
}

TEST_F(StepShortcutTest, AStepsShortcutWhilePausedResumesThere) {
  sequencer->detectionButton()->setIntValue(1, true);
  for (int n = 60; n < 65; ++n) note(n);  // steps 1-5
  sequencer->detectionButton()->setIntValue(0, true);
  sequencer->pauseButton()->setIntValue(1, true);
  ASSERT_TRUE(sequencer->engine().stopped());
  clock.set(7.3);
  note(64);  // step 5's
  EXPECT_FALSE(sequencer->engine().stopped());
  EXPECT_DOUBLE_EQ(sequencer->engine().currentTime(), 4.0 / 8.0);
  EXPECT_NEAR(sequencer->engine().lastClockTime(), 7.3, 1e-5);
  // A hidden step's shortcut does nothing.
  sequencer->measuresSliderUsed(1);
  sequencer->engine().setCurrentTime(0.25);
  sequencer->engine().stepLock().readLock();
  const auto hidden = sequencer->engine().stepValues()[10];
  sequencer->engine().stepLock().readUnlock();
  hidden->shortcutTriggered();
  EXPECT_DOUBLE_EQ(sequencer->engine().currentTime(), 0.25);
}

}  // namespace
