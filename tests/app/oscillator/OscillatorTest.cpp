#include "app/plugins/oscillator/Oscillator.h"
#include "framework/controls/QKButton.h"
#include "framework/curves/QKSingleSpline.h"
#include "framework/curves/QKSingleSplineOpenGLView.h"
#include "framework/datasource/MasterClockInterface.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/MainThread.h"
#include "framework/toolkit/TitleBarOnlyCollapsedLevelView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>

#include <cmath>

namespace {

using Phase = OscillatorPhase;

TEST(OscillatorPhaseTest, TheFrequencyScalesTheClockInCyclesPerMeasure) {
  const struct {
    double frequency;
    double clock;
    double position;
  } cases[] = {{1.0, 0.25, 0.25}, {1.0, 1.75, 0.75}, {0.5, 1.0, 0.5},
               {0.5, 2.5, 0.25},  {0.0, 3.3, 0.0},   {2.0, 0.625, 0.25}};
  for (const auto& c : cases) {
    Phase phase;
    phase.resync(0.0, c.frequency);
    const Phase::Tick tick = phase.advance(c.clock, c.frequency);
    EXPECT_TRUE(tick.publish);
    EXPECT_NEAR(tick.position, c.position, 1e-9) << c.frequency << " " << c.clock;
  }
}

TEST(OscillatorPhaseTest, AClockRestartStartsThePhaseAgain) {
  Phase phase;
  phase.resync(0.0, 1.0);
  phase.advance(5.4, 1.0);
  EXPECT_NEAR(phase.advance(0.2, 1.0).position, 0.0, 1e-9);
  EXPECT_NEAR(phase.advance(0.45, 1.0).position, 0.25, 1e-9);
}

TEST(OscillatorPhaseTest, StopModePausesAtTheBoundaryAndResumesByItsRules) {
  Phase phase;
  phase.setLoopMode(Phase::Stop);
  phase.resync(0.0, 1.0);
  EXPECT_TRUE(phase.advance(0.9, 1.0).publish);
  const Phase::Tick crossing = phase.advance(1.1, 1.0);
  EXPECT_FALSE(crossing.publish);
  EXPECT_TRUE(crossing.paused);
  EXPECT_TRUE(phase.stopped());
  // Resumed before any evaluation: the cycle starts again at 0.
  phase.setPaused(false);
  EXPECT_DOUBLE_EQ(phase.currentTime(), 0.0);
  // Crossing again, then evaluated while paused: resuming plays on.
  phase.resync(0.0, 1.0);
  phase.advance(1.2, 1.0);
  const Phase::Tick frozen = phase.advance(1.5, 1.0);
  EXPECT_TRUE(frozen.publish);
  EXPECT_NEAR(frozen.position, 0.2, 1e-9);
  phase.setPaused(false);
  EXPECT_NEAR(phase.advance(1.6, 1.0).position, 0.3, 1e-9);
  // Backward, a restart stands just below the end.
  Phase back;
  back.setLoopMode(Phase::Stop);
  back.setState(0.1, 0.1, 0.0, false);
  EXPECT_TRUE(back.advance(0.2, 1.0).paused);
  back.setPaused(false);
  EXPECT_DOUBLE_EQ(back.currentTime(), 0.99);
}

TEST(OscillatorPhaseTest, ReverseLoopBouncesBetweenTheEnds) {
  Phase phase;
  phase.setLoopMode(Phase::ReverseLoop);
  phase.setState(37.4, 37.4, 0.0, true);
  EXPECT_NEAR(phase.advance(0.0, 1.0).position, 0.6, 1e-9);
  EXPECT_FALSE(phase.playingForward());
  EXPECT_NEAR(phase.advance(0.5, 1.0).position, 0.1, 1e-9);
  EXPECT_NEAR(phase.advance(0.8, 1.0).position, 0.2, 1e-9);  // -0.2 bounced
  EXPECT_TRUE(phase.playingForward());
  phase.setState(1.0, 1.0, 0.0, true);  // exactly 1 is the wave's start
  EXPECT_NEAR(phase.advance(0.0, 1.0).position, 0.0, 1e-9);
}

TEST(OscillatorPhaseTest, AfterTenMillionCyclesTheWaveResolvesAThousandth) {
  Phase phase;
  phase.resync(0.0, 1.0);
  for (long measure = 1; measure <= 10; ++measure) phase.advance(double(measure) * 1e6, 1.0);
  EXPECT_NEAR(phase.advance(1e7 + 0.001, 1.0).position, 0.001, 1e-6);
  EXPECT_NEAR(phase.advance(1e7 + 0.002, 1.0).position, 0.002, 1e-6);
  EXPECT_LT(std::fabs(phase.currentTime()), 1.0);  // kept near zero
}

TEST(OscillatorFractionTest, ShowsTheFrequencyAsReducedWholeNumbers) {
  const struct {
    float frequency;
    long cycles;
    long measures;
  } cases[] = {{1.0f, 1, 1},        {0.5f, 1, 2},       {1.5f, 3, 2},  {32.0f, 32, 1},
               {0.333f, 333, 1000}, {0.0004f, 0, 1000}, {0.25f, 1, 4}, {0.001f, 1, 1000}};
  for (const auto& c : cases)
    EXPECT_EQ(Oscillator::convertFreqToCycles(c.frequency), std::make_pair(c.cycles, c.measures))
        << c.frequency;
}

TEST(OscillatorPresetTest, EachPresetDrawsItsShape) {
  const struct {
    Oscillator::Preset preset;
    std::vector<std::pair<float, float>> points;  // phase, value
  } cases[] = {
      {Oscillator::Triangle, {{0.0f, 0.0f}, {0.25f, 0.5f}, {0.5f, 1.0f}, {0.75f, 0.5f}}},
      {Oscillator::Saw, {{0.0f, 0.0f}, {0.5f, 0.5f}, {0.9f, 0.9f}}},
      {Oscillator::Square, {{0.1f, 0.0f}, {0.3f, 1.0f}, {0.7f, 1.0f}, {0.9f, 0.0f}}},
      {Oscillator::Cosine, {{0.0f, 1.0f}, {0.5f, 0.0f}}},
      {Oscillator::Sine, {{0.0f, 0.5f}, {0.25f, 1.0f}, {0.75f, 0.0f}}},  // rises from 0.5
  };
  for (const auto& c : cases) {
    QKSingleSpline spline;
    Oscillator::applyPreset(spline, c.preset);
    for (const auto& [phase, value] : c.points)
      EXPECT_NEAR(spline.evaluateAt(phase), value, 0.02) << c.preset << " at " << phase;
  }
}

class FakeClock : public MasterClockInterface {
 public:
  void midiClockReceived(const QKMIDIMessage&) override {}
  float measurePosition() const override { return position; }
  long measuresElapsed() const override { return elapsed; }
  void set(double clock) {
    elapsed = static_cast<long>(std::floor(clock));
    position = static_cast<float>(clock - std::floor(clock));
  }
  std::atomic<float> position{0.0f};
  std::atomic<long> elapsed{0};
};

class OscillatorTest : public PluginHost {
 protected:
  MasterClockInterface* masterClock() override { return &clock; }
  Oscillator* make() { return PluginHost::make<Oscillator>(); }
  std::shared_ptr<ValueRecorder> record(const QString& name) {
    auto recorder = std::make_shared<ValueRecorder>();
    EXPECT_TRUE(
        dsc.subscribeObject(recorder, &ValueRecorder::updated, {Oscillator::kGroupName, name}));
    recorder->values.clear();
    return recorder;
  }
  FakeClock clock;
};

TEST_F(OscillatorTest, PublishesTheWaveAtTheClocksPhaseFromItsFirstTick) {
  clock.set(3.25);
  Oscillator* oscillator = make();
  ASSERT_NE(oscillator, nullptr);
  EXPECT_FLOAT_EQ(oscillator->frequency(), 1.0f);
  EXPECT_EQ(oscillator->cyclesText(), QStringLiteral("1"));
  EXPECT_EQ(oscillator->measuresText(), QStringLiteral("1"));
  oscillator->waveTypeButtonClicked(Oscillator::Saw);
  const auto recorder = record(oscillator->windowTitle());
  dsc.threadProc();
  ASSERT_EQ(recorder->values.size(), 1u);
  EXPECT_NEAR(recorder->values.back(), 0.25f, 0.02f);
  clock.set(3.75);
  dsc.threadProc();
  EXPECT_NEAR(recorder->values.back(), 0.75f, 0.02f);
  // Half a cycle per measure, typed as a fraction.
  oscillator->textFieldUsed(1, 2);
  oscillator->textFieldUsed(1, 0);  // ignored
  EXPECT_FLOAT_EQ(oscillator->frequency(), 0.5f);
  clock.set(4.25);
  dsc.threadProc();
  EXPECT_NEAR(recorder->values.back(), 0.0f, 0.02f);  // 0.75 + 0.5 × 0.5
  // Re-aligned to the clock: 4.5 measures × 0.5 = 2.25 cycles.
  clock.set(4.5);
  oscillator->resyncWithClockButtonUsed();
  dsc.threadProc();
  EXPECT_NEAR(recorder->values.back(), 0.25f, 0.02f);

  if (QKWindow* window = oscillator->window()) {
    window->show();
    MainThread::processUntil([] { return false; }, 0.1);
    saveScreenshot(window->grab().toImage(), QStringLiteral("oscillator"));
  }
}

TEST_F(OscillatorTest, TheStopModePausesTheSwitchAfterOneCycle) {
  Oscillator* oscillator = make();
  oscillator->loopModeButtonUsed(OscillatorPhase::Stop, 1);
  const auto recorder = record(oscillator->windowTitle());
  clock.set(0.5);
  dsc.threadProc();
  clock.set(1.1);
  dsc.threadProc();  // crosses: nothing published, paused
  EXPECT_EQ(recorder->values.size(), 1u);
  EXPECT_TRUE(oscillator->phase().stopped());
  MainThread::processUntil([&] { return oscillator->pauseButton()->intValue() == 1; }, 2.0);
  EXPECT_EQ(oscillator->pauseButton()->intValue(), 1);
  oscillator->loopModeButtonUsed(OscillatorPhase::Loop, 1);  // loop resumes
  EXPECT_FALSE(oscillator->phase().stopped());
}

TEST_F(OscillatorTest, AStoredWaveMenuOverridesAStoredCurve) {
  Oscillator* oscillator = make();
  oscillator->waveTypeButtonClicked(Oscillator::Saw);
  QVariantMap snapshot = oscillator->createSnapshot();
  QVariantList components = snapshot.value(QStringLiteral("componentArray")).toList();
  for (QVariant& component : components) {
    QVariantMap map = component.toMap();
    if (map.value(QStringLiteral("componentName")) == QStringLiteral("wave settings"))
      map.insert(QStringLiteral("waveTypeMenu"), QStringLiteral("Square"));
    component = map;
  }
  snapshot.insert(QStringLiteral("componentArray"), components);
  Oscillator* other = make();
  other->loadSnapshot(snapshot);
  const auto& spline = *other->waveformView()->theSpline();
  EXPECT_NEAR(spline.evaluateAt(0.5f), 1.0f, 0.02f);
  EXPECT_NEAR(spline.evaluateAt(0.1f), 0.0f, 0.02f);
  // Without the menu the stored curve comes back.
  Oscillator* third = make();
  third->loadSnapshot(oscillator->createSnapshot());
  EXPECT_NEAR(third->waveformView()->theSpline()->evaluateAt(0.5f), 0.5f, 0.02f);
}

TEST_F(OscillatorTest, OscillatorsShareOneGroupThatGoesWithTheLast) {
  Oscillator* first = make();
  Oscillator* second = make();
  const auto recorder = record(second->windowTitle());
  EXPECT_NE(dsc.dataSourceForKeyArray({Oscillator::kGroupName, first->windowTitle()}), nullptr);
  second->setPluginName(QStringLiteral("lfo"));
  EXPECT_EQ(recorder->path, (KeyPath{Oscillator::kGroupName, QStringLiteral("lfo")}));
  manager->deletePlugins({first});
  EXPECT_NE(dsc.dataSourceForKeyArray({Oscillator::kGroupName}), nullptr);
  manager->deletePlugins({second});
  EXPECT_EQ(dsc.dataSourceForKeyArray({Oscillator::kGroupName}), nullptr);
}

TEST_F(OscillatorTest, TheTitleLevelFollowsTheWaveAndTheOptionsSheetClosesOnRestoresAndDeletions) {
  clock.set(3.25);
  Oscillator* oscillator = make();
  oscillator->waveTypeButtonClicked(Oscillator::Saw);
  ASSERT_NE(oscillator->titleBarLevelView(), nullptr);
  EXPECT_FALSE(oscillator->titleBarLevelView()->active()) << "shown only while collapsed";
  dsc.threadProc();
  EXPECT_NEAR(oscillator->titleBarLevelView()->val(), 0.25f, 0.02f);

  for (const char* closer : {"QKPMRestoreStartNotification", "QKPluginDeletedNotification"}) {
    SCOPED_TRACE(closer);
    oscillator->optionsButtonClicked();
    EXPECT_TRUE(oscillator->optionsPanelShown());
    NotificationCenter::defaultCenter().post(QString::fromLatin1(closer));
    MainThread::processUntil([&] { return !oscillator->optionsPanelShown(); }, 1.0);
    EXPECT_FALSE(oscillator->optionsPanelShown());
  }
  if (QKWindow* window = oscillator->window()) {
    window->show();
    oscillator->optionsButtonClicked();
    MainThread::processUntil([] { return false; }, 0.1);
    // The sheet is a window of its own over the palette.
    saveScreenshot(QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(
                       window->frameGeometry().adjusted(-10, -10, 10, 10)),
                   QStringLiteral("oscillator-options"));
    oscillator->closeOptionsPanelClicked();
  }
  for (int preset = Oscillator::Triangle; preset <= Oscillator::Square; ++preset)
    EXPECT_FALSE(oscillator->presetButton(Oscillator::Preset(preset))->cell()->imgTiles().isNull())
        << preset;
}

TEST_F(OscillatorTest, MissingButtonImagesLeaveTheTitlesAndLogOnce) {
  QTemporaryDir empty;
  Paths::setResourcesDirOverride(empty.path());
  LogCapture log;
  Oscillator* oscillator = make();
  Paths::setResourcesDirOverride({});
  EXPECT_TRUE(oscillator->presetButton(Oscillator::Saw)->cell()->imgTiles().isNull());
  EXPECT_EQ(log.lines().filter(QStringLiteral("couldn't find the path to the resource")).size(), 1);
}

}  // namespace
