#include "tests/app/stepsequencer/StepSequencerFixture.h"

#include "app/plugins/stepsequencer/StepSequencerDisplay.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/Screenshot.h"

#include <QTableView>

#include <thread>

namespace {

TEST_F(StepSequencerTest, StepsOnTheClockAndPublishesUnderItsGroup) {
  StepSequencer* sequencer = make();
  ASSERT_NE(sequencer, nullptr);
  EXPECT_EQ(sequencer->engine().stepValuesCount(), 16);
  EXPECT_EQ(sequencer->measuresLabel(), QStringLiteral("2 measures"));
  setSteps(sequencer->engine(), {0.0f, 0.5f, 0.95f});
  const auto recorder = record(sequencer);
  tickAt(0.0);
  tickAt(0.13);
  tickAt(0.26);
  ASSERT_EQ(recorder->values.size(), 2u);
  EXPECT_FLOAT_EQ(recorder->values[0], 5.0f / 9.0f);  // ten rows
  EXPECT_FLOAT_EQ(recorder->values[1], 1.0f);
  // The record slider shows the latest output while playing, once the main
  // thread has run.
  MainThread::processUntil([&] { return sequencer->recordSlider()->value() == 1.0f; }, 2.0);
  EXPECT_FLOAT_EQ(sequencer->recordSlider()->value(), 1.0f);

  sequencer->setPluginName(QStringLiteral("seq"));
  EXPECT_EQ(recorder->path, (KeyPath{StepSequencer::kGroupName, QStringLiteral("seq")}));
  manager->deletePlugins({sequencer});
  EXPECT_TRUE(recorder->deleted);
  EXPECT_EQ(dsc.dataSourceForKeyArray({StepSequencer::kGroupName}), nullptr);
}

TEST_F(StepSequencerTest, StopModeKeepsTheLastValueShowsPauseAndRestartsAtZero) {
  StepSequencer* sequencer = make();
  sequencer->loopModeButton(StepSequencerEngine::Stop)->setIntValue(1, true);
  EXPECT_EQ(sequencer->loopModeButton(StepSequencerEngine::Loop)->intValue(), 0);
  std::vector<float> values(16, 0.0f);
  values[15] = 1.0f;
  setSteps(sequencer->engine(), values);
  const auto recorder = record(sequencer);
  tickAt(0.0);
  tickAt(1.95);
  tickAt(2.05);  // past the end
  tickAt(2.2);
  ASSERT_FALSE(recorder->values.empty());
  EXPECT_FLOAT_EQ(recorder->values.back(), 1.0f);
  EXPECT_EQ(recorder->values.size(), 1u);
  EXPECT_TRUE(sequencer->engine().stopped());
  MainThread::processUntil([&] { return sequencer->pauseButton()->intValue() == 1; }, 2.0);
  EXPECT_EQ(sequencer->pauseButton()->intValue(), 1);
  sequencer->pauseButton()->setIntValue(0, true);
  EXPECT_FALSE(sequencer->engine().stopped());
  EXPECT_DOUBLE_EQ(sequencer->engine().currentTime(), 0.0);
}

TEST_F(StepSequencerTest, AStopAtTheEndEndsRecordingOnScreenToo) {
  StepSequencer* sequencer = make();
  sequencer->loopModeButton(StepSequencerEngine::Stop)->setIntValue(1, true);
  sequencer->recordButton()->setIntValue(1, true);
  EXPECT_TRUE(sequencer->engine().recording());
  EXPECT_EQ(sequencer->recordSlider()->sliderName(), QStringLiteral("Recording"));
  tickAt(0.0);
  tickAt(2.1);
  EXPECT_FALSE(sequencer->engine().recording());  // at once
  MainThread::processUntil([&] { return sequencer->recordButton()->intValue() == 0; }, 2.0);
  EXPECT_EQ(sequencer->recordButton()->intValue(), 0);
  EXPECT_EQ(sequencer->recordSlider()->sliderName(), QStringLiteral("Playing"));
}

// The record slider follows the output on the main thread; a refresh still
// waiting when recording starts leaves the slider to the performer.
TEST_F(StepSequencerTest, ARecordSliderRefreshLandingAfterRecordingStartsChangesNothing) {
  StepSequencer* sequencer = make();
  setSteps(sequencer->engine(), {0.0f, 0.95f});
  tickAt(0.0);
  tickAt(0.13);  // publishes 1, the refresh waits
  sequencer->recordButton()->setIntValue(1, true);
  sequencer->recordSlider()->setSyncFlag(false);
  sequencer->recordSlider()->setValue(0.3f, false);
  MainThread::processUntil([] { return false; }, 0.1);
  EXPECT_FLOAT_EQ(sequencer->recordSlider()->value(), 0.3f);
}

TEST_F(StepSequencerTest, RecordingWritesTheSliderIntoTheStepsItPasses) {
  StepSequencer* sequencer = make();
  sequencer->engine().setDrawAsBars(true);
  sequencer->recordButton()->setIntValue(1, true);
  // Recording, the slider follows its source (the mouse, until it learns
  // another); here it is moved by hand.
  EXPECT_TRUE(sequencer->recordSlider()->syncFlag());
  sequencer->recordSlider()->setSyncFlag(false);
  sequencer->recordSlider()->setValue(0.3f, false);
  EXPECT_FLOAT_EQ(sequencer->recordSlider()->value(), 0.3f);
  const auto recorder = record(sequencer);
  tickAt(0.0);
  tickAt(0.05);
  tickAt(0.13);
  EXPECT_EQ(recorder->values.size(), 3u);
  EXPECT_FLOAT_EQ(stepOf(sequencer->engine(), 0).val(), 0.3f);
  EXPECT_FLOAT_EQ(stepOf(sequencer->engine(), 1).val(), 0.3f);
  EXPECT_FLOAT_EQ(stepOf(sequencer->engine(), 2).val(), 0.0f);
}

// A restore while recording used to leave the steps being overwritten with
// the button off.
TEST_F(StepSequencerTest, ARestoreEndsRecording) {
  StepSequencer* sequencer = make();
  const QVariantMap snapshot = sequencer->createSnapshot();
  sequencer->recordButton()->setIntValue(1, true);
  ASSERT_TRUE(sequencer->engine().recording());
  sequencer->loadSnapshot(snapshot);
  EXPECT_FALSE(sequencer->engine().recording());
  EXPECT_EQ(sequencer->recordButton()->intValue(), 0);
  sequencer->recordButton()->setIntValue(1, true);
  NotificationCenter::defaultCenter().post(QStringLiteral("QKPMRestoreStartNotification"));
  EXPECT_FALSE(sequencer->engine().recording());
  EXPECT_EQ(sequencer->recordButton()->intValue(), 0);
}

TEST_F(StepSequencerTest, SnapshotsCarryTheStepsAndTheSettings) {
  StepSequencer* sequencer = make();
  sequencer->rowsSliderUsed(4);
  sequencer->interpolateButtonUsed(true);
  sequencer->loopModeButtonUsed(StepSequencerEngine::ReverseLoop, 1);
  setSteps(sequencer->engine(), {0.25f, 0.5f});
  stepOf(sequencer->engine(), 1).setEnabled(false);
  sequencer->measuresSliderUsed(1);  // steps 8-15 hidden, still stored
  const QVariantMap snapshot = sequencer->createSnapshot();
  EXPECT_EQ(snapshot.value(QStringLiteral("localPreset"))
                .toMap()
                .value(QStringLiteral("stepValues"))
                .toList()
                .size(),
            16);

  StepSequencer* other = make();
  other->loadSnapshot(snapshot);
  EXPECT_EQ(other->engine().stepValuesCount(), 8);
  EXPECT_EQ(other->engine().stepValues().size(), 16u);
  EXPECT_EQ(other->engine().rows(), 4);
  EXPECT_TRUE(other->engine().interpolating());
  EXPECT_EQ(other->engine().loopMode(), StepSequencerEngine::ReverseLoop);
  EXPECT_EQ(other->loopModeButton(StepSequencerEngine::ReverseLoop)->intValue(), 1);
  EXPECT_FLOAT_EQ(stepOf(other->engine(), 0).val(), 0.25f);
  EXPECT_FALSE(stepOf(other->engine(), 1).enabled());
  EXPECT_EQ(other->measures(), 1);
}

TEST_F(StepSequencerTest, BadLocalPresetsChangeOnlyWhatIsValid) {
  StepSequencer* sequencer = make();
  setSteps(sequencer->engine(), {0.4f, 0.6f});
  const struct {
    const char* name;
    QVariantMap preset;
    long steps;
    int rows;
    int loopMode;
  } cases[] = {
      {"measures clamped high", {{"numberMeasures", 40}}, 128, 10, 1},
      {"measures clamped low", {{"numberMeasures", -3}}, 8, 10, 1},
      {"rows clamped", {{"numberRows", 1}}, 16, 2, 1},
      {"loop mode ignored", {{"loopMode", 7}}, 16, 10, 1},
      {"step entries", {{"stepValues", QVariantList{42, QVariantMap{{"val", 0.9}}}}}, 2, 10, 1},
  };
  for (const auto& c : cases) {
    sequencer->loadLocalSnapshot({{"numberMeasures", 2}, {"numberRows", 10}, {"loopMode", 1}});
    setSteps(sequencer->engine(), {0.4f, 0.6f});
    sequencer->loadLocalSnapshot(c.preset);
    EXPECT_EQ(sequencer->engine().stepValuesCount(), c.steps) << c.name;
    EXPECT_EQ(sequencer->engine().rows(), c.rows) << c.name;
    EXPECT_EQ(sequencer->engine().loopMode(), c.loopMode) << c.name;
  }
  // The entry that is no dictionary leaves its step.
  EXPECT_FLOAT_EQ(stepOf(sequencer->engine(), 0).val(), 0.4f);
  EXPECT_FLOAT_EQ(stepOf(sequencer->engine(), 1).val(), 0.9f);
}

// A local preset without steps leaves none in use: the tick must return.
TEST_F(StepSequencerTest, APresetWithNoStepsNeverHangsTheTick) {
  StepSequencer* sequencer = make();
  sequencer->loadLocalSnapshot({{"stepValues", QVariantList{}}});
  EXPECT_EQ(sequencer->engine().stepValuesCount(), 0);
  const auto recorder = record(sequencer);
  std::thread ticker([&] {
    for (double clock : {1.0, 50.0, 1e6}) tickAt(clock);
  });
  ticker.join();
  EXPECT_TRUE(recorder->values.empty());
  sequencer->jumpButtonUsed(StepSequencer::PrevMeasure);
  sequencer->syncWithMasterClockUsed();
}

TEST_F(StepSequencerTest, TheClockLayoutSetsTheSteps) {
  StepSequencer* sequencer = make();
  clock.beats = 3;
  clock.subdivisions = 4;
  NotificationCenter::defaultCenter().post(QStringLiteral("QKMCUpdateParticularsNotification"));
  EXPECT_EQ(sequencer->engine().stepValuesCount(), 24);
  EXPECT_EQ(sequencer->display()->columnsPerMeasure(), 12);
  EXPECT_EQ(sequencer->display()->columnsPerBeat(), 4);
}

TEST_F(StepSequencerTest, TransportButtonsMoveThePosition) {
  StepSequencer* sequencer = make();
  StepSequencerEngine& engine = sequencer->engine();
  engine.setCurrentTime(0.25);
  sequencer->jumpButtonUsed(StepSequencer::PrevMeasure);
  EXPECT_NEAR(engine.currentTime(), 1.25, 1e-9);
  sequencer->jumpButtonUsed(StepSequencer::NextBeat);
  EXPECT_NEAR(engine.currentTime(), 1.5, 1e-9);
  sequencer->jumpButtonUsed(StepSequencer::PrevColumn);
  EXPECT_NEAR(engine.currentTime(), 1.375, 1e-9);
  // Sync: where it would be had it run since the clock started.
  sequencer->pauseButton()->setIntValue(1, true);
  clock.set(5.5);
  sequencer->syncWithMasterClockUsed();
  EXPECT_NEAR(engine.currentTime(), 1.5, 1e-6);
  EXPECT_FALSE(engine.stopped());
  sequencer->flipDirectionButtonUsed();
  EXPECT_FALSE(engine.playingForward());
}

TEST_F(StepSequencerTest, TheWindowShowsTheGridAndItsOptions) {
  StepSequencer* sequencer = make();
  sequencer->engine().seedRandom(3);
  sequencer->rndButtonUsed();
  tickAt(0.0);
  tickAt(0.4);
  QKWindow* window = sequencer->window();
  ASSERT_NE(window, nullptr);
  window->show();
  MainThread::processUntil([] { return false; }, 0.2);
  saveScreenshot(window->grab().toImage(), QStringLiteral("stepsequencer"));
  sequencer->openOptionsPanel();
  MainThread::processUntil([] { return false; }, 0.2);
  EXPECT_TRUE(sequencer->optionsPanel()->isVisible());
  EXPECT_EQ(sequencer->shortcutTableView()->model()->rowCount(), 16);
  saveScreenshot(sequencer->optionsPanel()->grab().toImage(),
                 QStringLiteral("stepsequencer-options"));
  NotificationCenter::defaultCenter().post(QStringLiteral("QKPluginDeletedNotification"));
  EXPECT_FALSE(sequencer->optionsPanel()->isVisible());
}

// The tick runs on its own thread while the main thread edits, resizes,
// randomises and restores (run under ThreadSanitizer).
TEST_F(StepSequencerTest, TheTickRunsBesideEditsAndRestores) {
  StepSequencer* sequencer = make();
  sequencer->interpolateButtonUsed(true);
  const QVariantMap snapshot = sequencer->createSnapshot();
  std::atomic<bool> stop{false};
  std::thread ticker([&] {
    double t = 0.0;
    while (!stop.load()) {
      clock.set(t += 0.01);
      dsc.threadProc();
    }
  });
  for (int round = 0; round < 40; ++round) {
    sequencer->measuresSliderUsed(1 + round % 4);
    sequencer->rndButtonUsed();
    setSteps(sequencer->engine(), {0.1f, 0.2f, 0.3f});
    stepOf(sequencer->engine(), 1).setEnabled(round % 2);
    sequencer->jumpButtonUsed(StepSequencer::NextBeat);
    if (round % 8 == 0) sequencer->loadSnapshot(snapshot);
    MainThread::processUntil([] { return false; }, 0.002);
  }
  stop = true;
  ticker.join();
  manager->deletePlugins({sequencer});
}

}  // namespace
