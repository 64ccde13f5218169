#include "app/plugins/clock/QKQuantizePicker.h"
#include "app/plugins/clock/QuantizeTriggerTarget.h"
#include "framework/controls/QKButton.h"
#include "tests/app/clock/ClockFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace {

struct Target : QuantizeTriggerTarget {
  explicit Target(const MasterClock* clock = nullptr) : clock(clock) {}
  void trigger() override {
    ++count;
    thread = std::this_thread::get_id();
    if (clock) positions.push_back(clock->measurePositionExact());
  }
  const MasterClock* clock;
  std::atomic<int> count{0};
  std::thread::id thread;
  std::vector<double> positions;
};

// A picker bound to the fixture's clock, its choice made by title.
struct PickerFixture : ClockFixture {
  PickerFixture() : target(&clock) {
    picker.setTheThingThatGetsBangedOnTrigger(&target);
    picker.setManualTriggerButton(&button);
    picker.awakeFromNib();  // finds the clock through the notification
  }
  void choose(const QString& title) {
    picker.selectItemWithTitle(title);
    picker.iAmMyOwnTarget();
    EXPECT_EQ(picker.titleOfSelectedItem(), title);
  }
  Target target;
  QKButton button;
  QKQuantizePicker picker;
};

TEST(QKQuantizePicker, MenuFollowsSubdivisionsAndBeats) {
  struct Case {
    int subdivisions, beats;
    QStringList notes;
  };
  const Case cases[] = {
      {2, 4, {"eighth note (1/2)", "quarter note (1)", "half note (2)", "whole note (4)"}},
      {4,
       4,
       {"sixteenth note (1/4)", "eighth note (1/2)", "quarter note (1)", "half note (2)",
        "whole note (4)"}},
      {6, 4, {"sextuplet (1/6)", "triplet (1/3)", "half note (2)", "whole note (4)"}},
      {12, 4, {"sextuplet (1/6)", "triplet (1/3)", "half note (2)", "whole note (4)"}},
      {3, 3, {"triplet (1/3)", "half note (2)"}},
      {1, 1, {"quarter note (1)"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(QKQuantizePicker::menuTitles(c.subdivisions, c.beats),
              QStringList{"Immediately"} + c.notes + QStringList{"Manually..."})
        << c.subdivisions << "," << c.beats;
}

TEST(QKQuantizePicker, TitleSetsTheGranularity) {
  struct Case {
    const char* title;
    double granularity;
  };
  const Case cases[] = {{"Immediately", -1.0},
                        {"whole note (4)", 1.0},
                        {"half note (2)", 0.5},
                        {"quarter note (1)", 0.25},
                        {"eighth note (1/2)", 0.125},
                        {"triplet (1/3)", 1.0 / 12},
                        {"sixteenth note (1/4)", 0.0625},
                        {"pentuplet (1/5)", 0.05},
                        {"sextuplet (1/6)", 1.0 / 24},
                        {"septuplet (1/7)", 1.0 / 28},
                        {"octuplet (1/8)", 0.03125},
                        {"Manually...", -2.0}};
  for (const Case& c : cases) {
    double g = 99.0;
    EXPECT_TRUE(QKQuantizePicker::granularityForTitle(QString::fromLatin1(c.title), &g)) << c.title;
    EXPECT_DOUBLE_EQ(g, c.granularity) << c.title;
  }
  double g = 99.0;
  EXPECT_FALSE(QKQuantizePicker::granularityForTitle(QStringLiteral("quarter note"), &g));
  EXPECT_EQ(g, 99.0);
}

TEST(QKQuantizePicker, ImmediatelyFiresOnTheCallersThread) {
  PickerFixture f;
  EXPECT_EQ(f.picker.titleOfSelectedItem(), QStringLiteral("Immediately"));
  std::thread::id caller;
  std::thread([&] {
    caller = std::this_thread::get_id();
    f.picker.trigger();
  }).join();
  EXPECT_EQ(f.target.count, 1);
  EXPECT_EQ(f.target.thread, caller);
  EXPECT_FALSE(f.picker.triggerArmed());
}

// An armed trigger fires on the first bump at or after the next boundary of
// its note value, and never before: also after the clock stood still.
TEST(QKQuantizePicker, ArmedTriggerFiresAtTheNextBoundary) {
  struct Case {
    const char* title;
    double armAt;     // seconds into the first 4 s measure
    double stopFor;   // seconds the clock stands still right after arming
    double boundary;  // the position of the boundary it must fire at
  };
  const Case cases[] = {
      {"quarter note (1)", 1.2, 0.0, 0.5},  {"eighth note (1/2)", 1.2, 0.0, 0.375},
      {"whole note (4)", 1.2, 0.0, 1.0},    {"half note (2)", 2.4, 0.0, 1.0},
      {"quarter note (1)", 1.2, 10.0, 0.5}, {"whole note (4)", 3.0, 10.0, 1.0},
  };
  for (const Case& c : cases) {
    PickerFixture f;
    f.choose(QString::fromLatin1(c.title));
    f.run(c.armAt);
    f.picker.trigger();
    if (c.stopFor > 0.0) {
      f.clock.setMeasureDuration(0.0);
      f.run(c.stopFor);
      f.clock.setMeasureDuration(4.0);
    }
    f.run(4.5);
    ASSERT_EQ(f.target.positions.size(), 1u) << c.title << " " << c.stopFor;
    const double boundary = std::fmod(c.boundary, 1.0);  // a whole measure fires after the wrap
    EXPECT_GE(f.target.positions[0], boundary - 1e-9) << c.title;
    EXPECT_LT(f.target.positions[0], boundary + 0.0076) << c.title;
  }
}

// A long idle time after a fire must not make the next request fire on the
// very next bump, off the grid.
TEST(QKQuantizePicker, ARequestAfterIdleMeasuresWaitsForTheBoundary) {
  PickerFixture f;
  f.choose(QStringLiteral("quarter note (1)"));
  f.run(0.1);
  f.picker.trigger();
  f.run(1.0);
  ASSERT_EQ(f.target.count, 1);
  f.run(8.0 + 1.2);  // idle two measures, now at 0.575, in another quarter
  f.picker.trigger();
  f.run(0.4);  // past the bump at 0.625, inside the same quarter
  EXPECT_EQ(f.target.count, 1);
  f.run(0.5);
  ASSERT_EQ(f.target.count, 2);
  EXPECT_GE(f.target.positions[1], 0.75 - 1e-9);
  EXPECT_LT(f.target.positions[1], 0.75 + 0.0076);
}

TEST(QKQuantizePicker, TwoRequestsGiveOneTrigger) {
  PickerFixture f;
  f.choose(QStringLiteral("eighth note (1/2)"));
  f.picker.trigger();
  f.picker.trigger();
  f.run(2.0);
  EXPECT_EQ(f.target.count, 1);
}

TEST(QKQuantizePicker, ManuallyFiresOnlyFromTheButton) {
  PickerFixture f;
  EXPECT_TRUE(f.button.isHidden());
  f.choose(QStringLiteral("Manually..."));
  EXPECT_FALSE(f.button.isHidden());
  f.picker.manualTriggerButtonUsed();  // nothing armed
  f.picker.trigger();
  f.run(4.5);
  EXPECT_EQ(f.target.count, 0);
  f.picker.manualTriggerButtonUsed();
  f.picker.manualTriggerButtonUsed();
  EXPECT_EQ(f.target.count, 1);
  f.choose(QStringLiteral("Immediately"));
  EXPECT_TRUE(f.button.isHidden());
}

TEST(QKQuantizePicker, SnapshotKeepsTheChoiceByTitle) {
  PickerFixture f;
  f.choose(QStringLiteral("eighth note (1/2)"));
  const QVariantMap snap = f.picker.createSnapshot();
  EXPECT_EQ(snap.value(QStringLiteral("menu title")), QStringLiteral("eighth note (1/2)"));
  EXPECT_TRUE(snap.contains(QStringLiteral("manualTriggerButton")));

  f.clock.setQuantizedSubdivisions(4);  // the title moves to another index
  QKQuantizePicker other;
  other.awakeFromNib();
  other.loadSnapshot(snap);
  EXPECT_DOUBLE_EQ(other.granularity(), 0.125);
  other.loadSnapshot({{QStringLiteral("menu title"), QStringLiteral("no such note")}});
  EXPECT_DOUBLE_EQ(other.granularity(), 0.125);
  other.loadSnapshot({});
  EXPECT_DOUBLE_EQ(other.granularity(), 0.125);
}

TEST(QKQuantizePicker, ParticularsChangeKeepsTheNoteValueOrTheNearest) {
  struct Case {
    const char* chosen;
    int subdivisions;
    const char* kept;
  };
  const Case cases[] = {{"eighth note (1/2)", 4, "eighth note (1/2)"},
                        {"eighth note (1/2)", 3, "triplet (1/3)"},
                        {"quarter note (1)", 6, "triplet (1/3)"},
                        {"Manually...", 8, "Manually..."}};
  for (const Case& c : cases) {
    PickerFixture f;
    f.choose(QString::fromLatin1(c.chosen));
    f.clock.setQuantizedSubdivisions(c.subdivisions);
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(MasterClock::kUpdateParticularsNotification));
    EXPECT_EQ(f.picker.titleOfSelectedItem(), QString::fromLatin1(c.kept)) << c.chosen;
    double g = 0.0;
    QKQuantizePicker::granularityForTitle(QString::fromLatin1(c.kept), &g);
    EXPECT_DOUBLE_EQ(f.picker.granularity(), g);
  }
}

TEST(QKQuantizePicker, ADeletedPickerIsNoLongerBumped) {
  PickerFixture f;
  f.choose(QStringLiteral("eighth note (1/2)"));
  f.picker.trigger();
  f.picker.prepareToBeDeleted();
  f.run(2.0);
  EXPECT_EQ(f.target.count, 0);
}

}  // namespace
