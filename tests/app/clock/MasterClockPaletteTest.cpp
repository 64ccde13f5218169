#include "ClockFixture.h"

#include "app/plugins/clock/MasterClockMeasureDial.h"
#include "app/plugins/clock/MasterClockUIController.h"
#include "app/plugins/clock/NudgeSlider.h"
#include "app/shell/AppController.h"
#include "app/shell/AppWindowMenuController.h"
#include "framework/controls/QKButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "framework/toolkit/TitleBarOnlyCollapsedLevelView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QLineEdit>

#include <thread>

#include <gtest/gtest.h>

namespace {

// The palette over a clock on fake time.
class ClockPaletteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the palette is a real window";
    palette_ = std::make_unique<MasterClockUIController>(&f_.clock);
    palette_->awakeFromNib();
    f_.clock.setView(palette_.get());
  }
  void TearDown() override { palette_.reset(); }

  void type(QLineEdit* field, const QString& text) {
    field->setText(text);
    palette_->textFieldUsed(field);
  }
  double shown(QLineEdit* field) const { return MasterClockUIController::fieldValue(field); }

  ClockFixture f_;
  std::unique_ptr<MasterClockUIController> palette_;
};

struct FieldCase {
  const char* name;
  QString beats;
  bool typeMeasures;  // into the measures-per-minute field, else beats per minute
  QString typed;
  double duration;
  double bpm, mpm;
};

class ClockPaletteFieldTest : public ClockPaletteTest,
                              public ::testing::WithParamInterface<FieldCase> {};

TEST_P(ClockPaletteFieldTest, TypedTempoSetsTheDurationAndTheOtherField) {
  const FieldCase& c = GetParam();
  type(palette_->beatsPerMeasureField(), c.beats);
  type(c.typeMeasures ? palette_->measuresPerMinuteField() : palette_->beatsPerMinuteField(),
       c.typed);
  EXPECT_DOUBLE_EQ(f_.clock.measureDurationExact(), c.duration);
  EXPECT_DOUBLE_EQ(shown(palette_->beatsPerMinuteField()), c.bpm);
  EXPECT_DOUBLE_EQ(shown(palette_->measuresPerMinuteField()), c.mpm);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ClockPaletteFieldTest,
    ::testing::Values(FieldCase{"Bpm120FourBeats", "4", false, "120", 2.0, 120, 30},
                      FieldCase{"Mpm30ThreeBeats", "3", true, "30", 2.0, 90, 30},
                      FieldCase{"ZeroStops", "4", false, "0", -1.0, 0, 0},
                      FieldCase{"NegativeStops", "4", true, "-5", -1.0, 0, 0},
                      FieldCase{"TextStops", "4", false, "fast", -1.0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ClockPaletteTest, BeatsAndSubdivisionsAreRaisedToTheirLeastAndCappedInFieldAndClock) {
  int particulars = 0;
  NotificationCenter::defaultCenter().addObserver(
      &particulars, QString::fromLatin1(MasterClock::kUpdateParticularsNotification), nullptr,
      [&](const Notification&) { ++particulars; });
  const struct {
    QLineEdit* field;
    QString typed;
    int expected;
    std::function<int()> inClock;
  } cases[] = {
      {palette_->beatsPerMeasureField(), "1", 2, [&] { return f_.clock.beatsPerMeasure(); }},
      {palette_->beatsPerMeasureField(), "100000", MasterClock::kMaxBeats,
       [&] { return f_.clock.beatsPerMeasure(); }},
      {palette_->subdivisionsField(), "0", 1, [&] { return f_.clock.quantizedSubdivisions(); }},
      {palette_->subdivisionsField(), "3", 3, [&] { return f_.clock.quantizedSubdivisions(); }},
  };
  for (const auto& c : cases) {
    type(c.field, c.typed);
    EXPECT_EQ(c.field->text(), QString::number(c.expected)) << c.typed.toStdString();
    EXPECT_EQ(c.inClock(), c.expected) << c.typed.toStdString();
  }
  NotificationCenter::defaultCenter().removeObserver(&particulars);
  EXPECT_EQ(particulars, 4);
  EXPECT_DOUBLE_EQ(f_.clock.measureDurationExact(), 4.0);  // the duration stays
}

// Held at +0.25 for a second (33 firings of the 0.03 s repeat) at a 4 s
// measure: about 0.5 s shorter. Release springs back; the tempo stays bent.
TEST_F(ClockPaletteTest, TheNudgeBendsTheTempoWhileHeldAndSpringsBack) {
  NudgeSlider* nudge = palette_->nudgeSlider();
  nudge->knobPressed();
  EXPECT_TRUE(nudge->repeating());
  nudge->setFloatValue(0.25);
  for (int i = 0; i < 33; ++i) nudge->repeatFired();
  const double bent = 4.0 - 33 * 0.015625;
  EXPECT_NEAR(f_.clock.measureDurationExact(), bent, 1e-9);
  EXPECT_NEAR(shown(palette_->beatsPerMinuteField()), 60.0 / bent * 4, 1e-9);
  nudge->knobReleased();
  EXPECT_EQ(nudge->floatValue(), 0.0);
  nudge->repeatFired();  // the timer's last firing: a nudge of 0, then it stops
  EXPECT_FALSE(nudge->repeating());
  EXPECT_NEAR(f_.clock.measureDurationExact(), bent - 0.015625, 1e-9);

  nudge->knobPressed();  // held at the centre: nothing moves
  for (int i = 0; i < 10; ++i) nudge->repeatFired();
  nudge->knobReleased();
  EXPECT_NEAR(f_.clock.measureDurationExact(), bent - 0.015625, 1e-9);
}

TEST_F(ClockPaletteTest, TheButtonsTapRestartAndMarkTheDownbeat) {
  f_.run(1.0);
  palette_->restartClockButton()->bang();
  MainThread::processUntil([] { return false; }, 0.05);  // actions run on the main thread
  EXPECT_EQ(f_.clock.measuresElapsed(), 0);
  EXPECT_DOUBLE_EQ(f_.clock.lastDownbeat(), f_.time);

  for (int i = 0; i < 4; ++i) {  // taps 0.5 s apart: 120 BPM at 4 beats
    palette_->tapBeatUsed();
    f_.time += 0.5;
  }
  EXPECT_NEAR(f_.clock.measureDurationExact(), 2.0, 1e-9);
  EXPECT_NEAR(shown(palette_->beatsPerMinuteField()), 120, 1e-9);
  EXPECT_NEAR(shown(palette_->measuresPerMinuteField()), 30, 1e-9);

  f_.time += 0.3;
  palette_->downbeatButtonUsed();
  EXPECT_DOUBLE_EQ(f_.clock.lastDownbeat(), f_.time);
}

TEST_F(ClockPaletteTest, TheMidiSwitchAndTheShortcutSnapshotReachTheClock) {
  palette_->listenForMIDIClockButton()->setIntValue(1, false);
  palette_->buttonUsed();
  EXPECT_TRUE(f_.clock.listenForMIDIClock());
  QVariantMap snapshot;
  f_.clock.putPaletteSnapInDict(snapshot);
  for (const char* key : {"downbeatButton", "beatTapButton", "measureTapButton",
                          "restartClockButton", "listenForMIDIClock"})
    EXPECT_TRUE(snapshot.contains(key)) << key;
  snapshot.insert("listenForMIDIClock", false);
  f_.clock.matchThisPaletteShortcutSnapshot(snapshot);
  EXPECT_FALSE(f_.clock.listenForMIDIClock());
  EXPECT_EQ(palette_->listenForMIDIClockButton()->intValue(), 0);
}

TEST_F(ClockPaletteTest, ARestoreOrADeletedPluginClosesTheOptionsSheet) {
  for (const char* name : {"QKPMRestoreStartNotification", "QKPluginDeletedNotification"}) {
    palette_->openOptionsPanel();
    EXPECT_TRUE(palette_->optionsPanelOpen());
    NotificationCenter::defaultCenter().post(QString::fromLatin1(name));
    EXPECT_FALSE(palette_->optionsPanelOpen()) << name;
  }
}

// The MIDI thread's estimate is stored and shown once on the main thread,
// and applied while the clock runs free.
TEST_F(ClockPaletteTest, AnEstimatedTempoFromAnotherThreadIsShownAndApplied) {
  std::thread([&] {
    palette_->setDisplayBPM(100.0f);
    palette_->setDisplayBPM(90.0f);
  }).join();
  ASSERT_TRUE(MainThread::processUntil(
      [&] { return shown(palette_->beatsPerMinuteField()) == 90.0; }, 3.0));
  EXPECT_NEAR(f_.clock.measureDurationExact(), 60.0 / 90 * 4, 1e-6);
}

// The clock feeds the dial and the strip only while the palette shows.
TEST_F(ClockPaletteTest, TheTickFeedsTheDialAndTheStripWhileThePaletteShows) {
  ASSERT_TRUE(palette_->clockWindowVisible());
  f_.run(1.0);
  EXPECT_NEAR(palette_->levelView()->val(), 0.25, 0.01);
  palette_->window()->hide();
  EXPECT_FALSE(palette_->clockWindowVisible());
  f_.run(1.0);
  EXPECT_NEAR(palette_->levelView()->val(), 0.25, 0.01);
  EXPECT_EQ(palette_->paletteStackOrder(), 7);
}

TEST(ClockPaletteInZaph, ShowsAtStartUpInTheWindowMenuWithItsDialTurning) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the palette is a real window";
  AppController controller;
  MasterClockUIController* palette = controller.clockPalette();
  ASSERT_TRUE(palette);
  EXPECT_TRUE(palette->window()->isVisible());
  EXPECT_EQ(palette->window()->title(), "Clock");
  QStringList titles;
  for (QAction* entry : controller.appWindowMenuController()->paletteEntries())
    titles << entry->text();
  EXPECT_TRUE(titles.contains("Clock")) << titles.join(", ").toStdString();
  MasterClock* clock = controller.masterClockObject();
  const double start = palette->dial()->lastPosition();
  ASSERT_TRUE(MainThread::processUntil(
      [&] {
        return palette->dial()->lastPosition() != start && clock->measurePositionExact() > 0.2;
      },
      5.0));
  saveScreenshot(palette->window()->grab().toImage(), "clock-palette-collapsed");
  palette->window()->contentView()->expand();  // palettes start collapsed
  MainThread::processUntil([] { return false; }, 0.3);
  saveScreenshot(palette->window()->grab().toImage(), "clock-palette");
  palette->openOptionsPanel();
  MainThread::processUntil([] { return false; }, 0.1);
  saveScreenshot(palette->window()->grab().toImage(), "clock-palette-options");
  palette->closeOptionsPanel();
  controller.applicationWillTerminate();
}

}  // namespace
