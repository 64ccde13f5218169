#include "tests/app/clock/ClockFixture.h"

#include "framework/datasource/MasterClockClient.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/NotificationCounter.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const char* const kBeats[] = {"Beat 1", "Beat 2", "Beat 3", "Beat 4"};

TEST(MasterClock, DefaultsPulseEachBeatSourceOnceASecondForOneDataSourceTick) {
  ClockFixture f;
  EXPECT_FLOAT_EQ(f.clock.measureDuration(), 4.0f);
  EXPECT_EQ(f.clock.beatsPerMeasure(), 4);
  EXPECT_EQ(f.clock.quantizedSubdivisions(), 2);

  std::vector<int> pulses;  // beat number per pulse, in order
  int everyBeat = 0;
  f.run(4.1, [&] {
    for (int n = 0; n < 4; ++n)
      if (f.source(kBeats[n])->value() == 1.0f) pulses.push_back(n + 1);
    if (f.source(QStringLiteral("Every Beat"))->value() == 1.0f) ++everyBeat;
  });
  EXPECT_EQ(pulses, (std::vector<int>{2, 3, 4, 1}));
  EXPECT_EQ(everyBeat, 4);
  EXPECT_EQ(f.clock.measuresElapsed(), 1);
  EXPECT_NEAR(f.source(QStringLiteral("measurePosition"))->value(), 0.0, 0.04);
}

TEST(MasterClock, BumpsSubscribersEightTimesAMeasureEveryHalfSecond) {
  ClockFixture f;
  std::vector<double> times;
  auto target = std::make_shared<BumpRecorder>();
  target->inside = [&] { times.push_back(f.time); };
  f.clock.subscribeObject(target, &BumpRecorder::bump);
  f.run(4.1);
  ASSERT_EQ(times.size(), 8u);
  for (size_t i = 1; i < times.size(); ++i)
    EXPECT_NEAR(times[i] - times[i - 1], 0.5, MasterClock::kTickInterval + 1e-9);
}

TEST(MasterClock, TempoChangeKeepsThePhase) {
  ClockFixture f;
  NotificationCounter changed(MasterClockInterface::kMeasureDurationChangedNotification);
  f.run(2.0);
  f.clock.threadProc();
  EXPECT_NEAR(f.clock.measurePositionExact(), 0.5, 1e-9);
  f.clock.setMeasureDuration(2.0);
  EXPECT_NEAR(f.clock.lastDownbeat(), f.time - 1.0, 1e-9);
  f.clock.threadProc();
  EXPECT_NEAR(f.clock.measurePositionExact(), 0.5, 1e-9);
  EXPECT_EQ(changed.count(), 1);
  f.clock.setMeasureDuration(2.0);
  EXPECT_EQ(changed.count(), 1);
}

TEST(MasterClock, ADurationOfZeroStopsAtThePositionAndAPositiveOneResumes) {
  ClockFixture f;
  f.run(1.0);
  const double frozen = f.clock.measurePositionExact();
  for (double bad : {0.0, -3.0}) {
    f.clock.setMeasureDuration(bad);
    EXPECT_FLOAT_EQ(f.clock.measureDuration(), -1.0f);
    f.run(5.0);
    EXPECT_EQ(f.clock.measurePositionExact(), frozen);
    EXPECT_EQ(f.clock.measuresElapsed(), 0);
  }
  f.clock.setMeasureDuration(std::numeric_limits<double>::quiet_NaN());
  EXPECT_FLOAT_EQ(f.clock.measureDuration(), -1.0f);
  f.clock.setMeasureDuration(4.0);
  f.clock.threadProc();
  EXPECT_NEAR(f.clock.measurePositionExact(), frozen, 1e-9);
  f.run(1.0);
  f.clock.threadProc();
  EXPECT_NEAR(f.clock.measurePositionExact(), frozen + 0.25, 1e-9);
}

TEST(MasterClock, AWrapOverSeveralMeasuresCountsOne) {
  ClockFixture f;
  f.run(1.0);
  f.time += 11.5;  // almost three measures without a tick
  f.clock.threadProc();
  EXPECT_EQ(f.clock.measuresElapsed(), 1);
  EXPECT_NEAR(f.clock.measurePositionExact(), 0.125, 1e-9);
}

TEST(MasterClock, PositionStaysBelowOneAndExactAfterAHundredHours) {
  ClockFixture f;
  const double downbeat = f.clock.lastDownbeat();
  const double hundredHours = 100.0 * 3600.0;  // a whole number of 4 s measures
  struct Case {
    double offset;
    double position;
  };
  for (Case c : {Case{0.0, 0.0}, Case{1.0, 0.25}, Case{4.0 - 1e-7, 1.0 - 2.5e-8}, Case{4.0, 0.0}}) {
    f.time = downbeat + hundredHours + c.offset;
    f.clock.threadProc();
    EXPECT_LT(f.clock.measurePositionExact(), 1.0) << c.offset;
    EXPECT_NEAR(f.clock.measurePositionExact(), c.position, 1e-6) << c.offset;
    EXPECT_LT(f.clock.lastQuantizedTick(), 8);
  }
}

TEST(MasterClock, BeatCountChangesAddAndRemoveOnlyTheDifference) {
  ClockFixture f;
  std::shared_ptr<DataSource> beat1 = f.source(QStringLiteral("Beat 1"));
  f.clock.setBeatsPerMeasure(6);
  EXPECT_EQ(f.source(QStringLiteral("Beat 1")), beat1);
  EXPECT_NE(f.source(QStringLiteral("Beat 6")), nullptr);
  EXPECT_EQ(f.source(QStringLiteral("Beat 7")), nullptr);
  f.clock.setBeatsPerMeasure(4);
  EXPECT_EQ(f.source(QStringLiteral("Beat 1")), beat1);
  EXPECT_EQ(f.source(QStringLiteral("Beat 5")), nullptr);
  EXPECT_EQ(f.source(QStringLiteral("Beat 6")), nullptr);
  EXPECT_FLOAT_EQ(f.clock.measureDuration(), 4.0f);

  // A bound Beat 1 still pulses after the changes.
  int pulses = 0;
  f.run(4.1, [&] { pulses += beat1->value() == 1.0f; });
  EXPECT_EQ(pulses, 1);
}

TEST(MasterClock, BeatsAndSubdivisionsAreBounded) {
  ClockFixture f;
  f.clock.setBeatsPerMeasure(100000);
  EXPECT_EQ(f.clock.beatsPerMeasure(), MasterClock::kMaxBeats);
  EXPECT_EQ(f.source(QStringLiteral("Beat 65")), nullptr);
  f.clock.setBeatsPerMeasure(0);
  EXPECT_EQ(f.clock.beatsPerMeasure(), MasterClock::kMaxBeats);
  f.clock.setQuantizedSubdivisions(0);
  EXPECT_EQ(f.clock.quantizedSubdivisions(), 1);
  f.clock.setQuantizedSubdivisions(1000);
  EXPECT_EQ(f.clock.quantizedSubdivisions(), MasterClock::kMaxSubdivisions);
  f.run(4.0);  // every tick index stays in range
  EXPECT_LT(f.clock.lastQuantizedTick(), MasterClock::kMaxBeats * MasterClock::kMaxSubdivisions);
}

TEST(MasterClock, SetBPMOnTheMainThreadIgnoresBadValues) {
  ClockFixture f;
  for (double bad : {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), 0.0, -120.0}) {
    f.clock.setBPM(bad);
    EXPECT_FLOAT_EQ(f.clock.measureDuration(), 4.0f) << bad;
  }
  f.clock.setBPM(120.0);
  EXPECT_FLOAT_EQ(f.clock.measureDuration(), 2.0f);
}

TEST(MasterClock, RestartAndDownbeat) {
  ClockFixture f;
  f.run(5.0);
  EXPECT_EQ(f.clock.measuresElapsed(), 1);
  f.clock.restart();
  f.clock.threadProc();
  EXPECT_EQ(f.clock.measuresElapsed(), 0);
  EXPECT_EQ(f.clock.measurePositionExact(), 0.0);
  f.run(1.0);
  f.clock.setLastDownbeat(f.time);  // the downbeat button: the next tick counts a measure
  f.clock.threadProc();
  EXPECT_EQ(f.clock.measuresElapsed(), 1);
}

struct Finder : MasterClockClient {
  void setMasterClock(MasterClockInterface* c) override { clock = c; }
  MasterClockInterface* clock = nullptr;
};

TEST(MasterClock, AnswersTheFinderNotificationSynchronously) {
  ClockFixture f;
  Finder finder;
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(MasterClockInterface::kFinderNotification),
      static_cast<MasterClockClient*>(&finder));
  EXPECT_EQ(finder.clock, &f.clock);
}

TEST(MasterClock, PaletteShortcutSnapshotCarriesMIDIListening) {
  ClockFixture f;
  QVariantMap snap;
  f.clock.putPaletteSnapInDict(snap);
  EXPECT_EQ(snap.value(QStringLiteral("listenForMIDIClock")), QVariant(false));
  f.clock.matchThisPaletteShortcutSnapshot({{QStringLiteral("listenForMIDIClock"), true}});
  EXPECT_TRUE(f.clock.listenForMIDIClock());
  f.clock.matchThisPaletteShortcutSnapshot({});
  EXPECT_TRUE(f.clock.listenForMIDIClock());
}

// --- subscribers -------------------------------------------------------------

TEST(MasterClockSubscribers, AreBumpedInOrderAndOneUnsubscribeRemovesDuplicates) {
  ClockFixture f;
  std::vector<int> log;
  auto a = std::make_shared<BumpRecorder>(&log, 1);
  auto b = std::make_shared<BumpRecorder>(&log, 2);
  f.clock.subscribeObject(a, &BumpRecorder::bump);
  f.clock.subscribeObject(b, &BumpRecorder::bump);
  f.clock.subscribeObject(a, &BumpRecorder::bump);
  f.run(0.55);
  EXPECT_EQ(log, (std::vector<int>{1, 2, 1}));
  f.clock.unsubscribeObject(a, &BumpRecorder::bump);
  log.clear();
  f.run(0.5);
  EXPECT_EQ(log, (std::vector<int>{2}));
}

TEST(MasterClockSubscribers, MayUnsubscribeInsideABump) {
  ClockFixture f;
  auto a = std::make_shared<BumpRecorder>();
  auto b = std::make_shared<BumpRecorder>();
  a->inside = [&] { f.clock.unsubscribeObject(a, &BumpRecorder::bump); };
  f.clock.subscribeObject(a, &BumpRecorder::bump);
  f.clock.subscribeObject(b, &BumpRecorder::bump);
  f.run(2.05);
  EXPECT_EQ(a->count, 1);
  EXPECT_EQ(b->count, 4);
}

TEST(MasterClockSubscribers, ADestroyedTargetIsNeverCalled) {
  ClockFixture f;
  std::vector<int> log;
  auto a = std::make_shared<BumpRecorder>(&log, 1);
  auto b = std::make_shared<BumpRecorder>(&log, 2);
  f.clock.subscribeObject(a, &BumpRecorder::bump);
  f.clock.subscribeObject(b, &BumpRecorder::bump);
  a.reset();
  f.run(0.55);
  EXPECT_EQ(log, (std::vector<int>{2}));
}

}  // namespace
