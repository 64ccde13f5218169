// The waveform oscillator on a clock of the test's: its shapes, rates,
// restarts and resync, random and drunk from a seeded generator, the group
// it shares with the oscillator, and its snapshot.
#include "app/plugins/oscillator/Oscillator.h"
#include "app/plugins/waveform/WaveShapes.h"
#include "app/plugins/waveform/Waveform.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/MasterClockInterface.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/TitleBarLevelView.h"
#include "platform/foundation/MainThread.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <cmath>

namespace {

TEST(WaveShapesTest, EachShapeAtFivePositions) {
  const double positions[] = {0.0, 0.25, 0.5, 0.75, 0.999};
  const struct {
    int type;
    float values[5];
  } cases[] = {
      {WaveShapes::Square, {0, 0, 1, 1, 1}},
      {WaveShapes::Saw, {0, 0.25f, 0.5f, 0.75f, 0.999f}},
      {WaveShapes::Triangle, {0, 0.5f, 1, 0.5f, 0.002f}},
      {WaveShapes::Sine, {0.5f, 1, 0.5f, 0, 0.496858f}},
      {WaveShapes::Cosine, {1, 0.5f, 0, 0.5f, 0.99998f}},
  };
  for (const auto& c : cases)
    for (int i = 0; i < 5; ++i)
      EXPECT_NEAR(WaveShapes::value(c.type, positions[i], 0.3, 0.5f, 0.1f), c.values[i], 2e-5)
          << c.type << " at " << positions[i];
  for (double f : positions) {
    EXPECT_FLOAT_EQ(WaveShapes::value(WaveShapes::Random, f, 0.37, 0.9f, 1.0f), 0.37f);
    // Drunk: last + (1 − 2u) × rate, held in 0..1.
    EXPECT_FLOAT_EQ(WaveShapes::value(WaveShapes::Drunk, f, 0.25, 0.5f, 0.2f), 0.6f);
    EXPECT_FLOAT_EQ(WaveShapes::value(WaveShapes::Drunk, f, 0.0, 0.5f, 1.0f), 1.0f);
    EXPECT_FLOAT_EQ(WaveShapes::value(WaveShapes::Drunk, f, 0.999, 0.5f, 1.0f), 0.0f);
    EXPECT_FLOAT_EQ(WaveShapes::value(7, f, 0.5, 0.5f, 0.5f), 0.0f);
    EXPECT_FLOAT_EQ(WaveShapes::value(-1, f, 0.5, 0.5f, 0.5f), 0.0f);
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
  float position = 0;
  long elapsed = 0;
};

class WaveformTest : public PluginHost {
 protected:
  MasterClockInterface* masterClock() override { return &clock; }
  Waveform* make() { return PluginHost::make<Waveform>(); }
  std::shared_ptr<ValueRecorder> record(const QString& name) {
    auto recorder = std::make_shared<ValueRecorder>();
    EXPECT_TRUE(
        dsc.subscribeObject(recorder, &ValueRecorder::updated, {Waveform::kGroupName, name}));
    return recorder;
  }
  // The value published by the tick at clock reading `at`.
  float tickAt(double at, const ValueRecorder& recorder) {
    clock.set(at);
    dsc.threadProc();
    return recorder.values.empty() ? NAN : recorder.values.back();
  }
  FakeClock clock;
};

TEST_F(WaveformTest, TheSawRisesOncePerMeasureAtRateOneTwiceAtTwoAndStandsAtZero) {
  Waveform* wave = make();
  wave->buttonUsed(WaveShapes::Saw);
  auto recorder = record(wave->windowTitle());
  const struct {
    float rate;
    double clock;
    float value;
  } cases[] = {{1, 0.25, 0.25f},  {1, 0.75, 0.75f}, {1, 1.5, 0.5f},  {2, 1.625, 0.75f},
               {2, 1.875, 0.25f}, {0, 2.5, 0.25f},  {0, 7.0, 0.25f}, {1, 7.25, 0.5f}};
  for (const auto& c : cases) {
    wave->frequencySlider()->setValueWithRangedValue(c.rate, true);
    EXPECT_NEAR(tickAt(c.clock, *recorder), c.value, 1e-5) << c.rate << " at " << c.clock;
  }
  EXPECT_NEAR(wave->titleBarLevelView()->val(), 0.5f, 1e-5);
  EXPECT_NEAR(wave->lastResult(), 0.5f, 1e-5);
}

TEST_F(WaveformTest, AClockRestartResetsThePhaseAndResyncRealignsIt) {
  Waveform* wave = make();
  wave->buttonUsed(WaveShapes::Saw);
  auto recorder = record(wave->windowTitle());
  tickAt(5.4, *recorder);
  EXPECT_NEAR(tickAt(0.2, *recorder), 0.0f, 1e-6);  // went back: restart
  EXPECT_NEAR(tickAt(0.45, *recorder), 0.25f, 1e-5);
  wave->frequencySlider()->setValueWithRangedValue(4.0f, true);
  clock.set(3.1);
  wave->resyncWithClockButtonUsed();  // 3.1 × 4 = 12.4 cycles
  EXPECT_NEAR(wave->currentTime(), 0.4, 1e-5);
  EXPECT_NEAR(tickAt(3.15, *recorder), 0.6f, 1e-4);
}

TEST_F(WaveformTest, ThePhaseStaysFineAfterHoursAtTheFastestRate) {
  Waveform* wave = make();
  wave->buttonUsed(WaveShapes::Saw);
  wave->frequencySlider()->setValueWithRangedValue(32.0f, true);
  auto recorder = record(wave->windowTitle());
  // Two hours at 120 BPM: 3600 measures, 115200 cycles, in steps.
  for (double at = 0; at <= 3600; at += 7.5) tickAt(at, *recorder);
  EXPECT_LT(wave->currentTime(), 1.0);
  // A thousandth of a measure moves the saw by 0.032, as at the start.
  const float before = tickAt(3600.001, *recorder);
  const float after = tickAt(3600.002, *recorder);
  EXPECT_NEAR(after - before, 0.032f, 1e-3);
}

TEST_F(WaveformTest, RandomAndDrunkDrawFromASeededGenerator) {
  const auto run = [this](int type, std::uint32_t seed) {
    Waveform* wave = make();
    wave->setRandomSeed(seed);
    wave->buttonUsed(type);
    wave->frequencySlider()->setValueWithRangedValue(32.0f, true);  // drunk: steps up to 1
    auto recorder = record(wave->windowTitle());
    for (int i = 0; i < 40; ++i) tickAt(1.0, *recorder);  // the clock stands: still new values
    return recorder->values;
  };
  const std::vector<float> random = run(WaveShapes::Random, 7);
  EXPECT_EQ(random, run(WaveShapes::Random, 7));
  EXPECT_NE(random, run(WaveShapes::Random, 8));
  EXPECT_GT(*std::max_element(random.begin(), random.end()) -
                *std::min_element(random.begin(), random.end()),
            0.5f);
  const std::vector<float> drunk = run(WaveShapes::Drunk, 11);
  EXPECT_EQ(drunk, run(WaveShapes::Drunk, 11));
  for (float v : drunk) {
    EXPECT_GE(v, 0.0f);
    EXPECT_LE(v, 1.0f);
  }
  // At rate 0 the drunk walk stands where it is.
  Waveform* still = make();
  still->buttonUsed(WaveShapes::Drunk);
  still->frequencySlider()->setValueWithRangedValue(0.0f, true);
  auto recorder = record(still->windowTitle());
  const float first = tickAt(2.0, *recorder);
  EXPECT_FLOAT_EQ(tickAt(2.5, *recorder), first);
}

TEST_F(WaveformTest, TheButtonsActAsARadioGroupStartingOnTheSine) {
  Waveform* wave = make();
  EXPECT_EQ(wave->waveType(), WaveShapes::Sine);
  wave->waveButton(WaveShapes::Square)->setIntValue(1, true);  // a click
  EXPECT_EQ(wave->waveType(), WaveShapes::Square);
  for (int type = 0; type < WaveShapes::kCount; ++type)
    EXPECT_EQ(wave->waveButton(type)->intValue(), type == WaveShapes::Square ? 1 : 0) << type;
}

TEST_F(WaveformTest, TheSnapshotRoundTripsAndBadWaveTypesAreIgnored) {
  Waveform* wave = make();
  wave->buttonUsed(WaveShapes::Triangle);
  wave->frequencySlider()->setValueWithRangedValue(4.0f, true);
  QVariantMap snapshot = wave->createSnapshot();
  EXPECT_TRUE(snapshot.contains("drunkbuttonSnap"));
  Waveform* copy = make();
  copy->loadSnapshot(snapshot);  // not marked by the plug-in manager: no components
  EXPECT_NEAR(copy->frequencySlider()->rangedValue(), 1.0f, 1e-4);
  QVariantList marked;
  for (const QVariant& entry : snapshot.value("componentArray").toList()) {
    QVariantMap component = entry.toMap();
    component.insert("restore", 1);
    marked.append(component);
  }
  snapshot.insert("componentArray", marked);
  copy->loadSnapshot(snapshot);
  EXPECT_EQ(copy->waveType(), WaveShapes::Triangle);
  EXPECT_NEAR(copy->frequencySlider()->rangedValue(), 4.0f, 1e-4);
  for (const QVariant& bad : {QVariant(7), QVariant(-1), QVariant("2"), QVariant(2.5)}) {
    const QVariantList components{
        QVariantMap{{"componentName", "wave settings"}, {"waveType", bad}}};
    copy->loadSnapshot({{"componentArray", components}});
    EXPECT_EQ(copy->waveType(), WaveShapes::Triangle) << bad.toString().toStdString();
  }
  copy->loadSnapshot({});  // no components: nothing changes
  EXPECT_EQ(copy->waveType(), WaveShapes::Triangle);
  EXPECT_NEAR(copy->frequencySlider()->rangedValue(), 4.0f, 1e-4);
}

TEST_F(WaveformTest, SharesTheOscillatorsGroupAndFollowsARename) {
  Waveform* wave = make();
  auto* oscillator = PluginHost::make<Oscillator>();
  const KeyPath group{Waveform::kGroupName};
  ASSERT_NE(dsc.dataSourceForKeyArray(group), nullptr);
  EXPECT_NE(dsc.dataSourceForKeyArray({Waveform::kGroupName, wave->windowTitle()}), nullptr);
  EXPECT_NE(dsc.dataSourceForKeyArray({Waveform::kGroupName, oscillator->windowTitle()}), nullptr);
  auto recorder = record(wave->windowTitle());
  wave->setPluginName(QStringLiteral("LFO"));
  EXPECT_EQ(recorder->path, (KeyPath{Waveform::kGroupName, QStringLiteral("LFO")}));
  // The group stays while one member is left, and goes with the last.
  manager->deleteAllPlugins();
  EXPECT_EQ(dsc.dataSourceForKeyArray(group), nullptr);
}

TEST_F(WaveformTest, AWaveDrivesABoundSliderOnTheClock) {
  Waveform* wave = make();
  wave->buttonUsed(WaveShapes::Saw);
  QKSliderControl slider;
  slider.cell()->useThisSource(KeyPath{Waveform::kGroupName, wave->windowTitle()});
  slider.cell()->setSyncFlag(true);
  ASSERT_TRUE(slider.syncFlag());
  clock.set(0.3);
  dsc.threadProc();
  EXPECT_NEAR(slider.value(), 0.3f, 1e-4);
  slider.prepareToBeDeleted();
}

TEST_F(WaveformTest, TheWindowShowsTheShapesTheRateAndTheLevel) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the window is real";
  Waveform* wave = make();
  auto recorder = record(wave->windowTitle());
  tickAt(0.25, *recorder);  // the sine's top
  QKWindow* window = wave->window();
  ASSERT_NE(window, nullptr);
  window->show();
  MainThread::processUntil([] { return false; }, 0.1);
  const QImage image = window->grab().toImage();
  saveScreenshot(image, QStringLiteral("waveform-window"));
  EXPECT_FLOAT_EQ(wave->titleBarLevelView()->val(), 1.0f);
}

}  // namespace
