#include "tests/app/clock/ClockFixture.h"

#include "platform/midi/QKMIDIMessage.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void send(MasterClock& clock, std::uint8_t type) {
  clock.midiClockReceived(QKMIDIMessage(type, 0, 0, 0));
}

// `count` timing clocks, `interval` seconds apart.
void clocks(ClockFixture& f, int count, double interval) {
  for (int i = 0; i < count; ++i) {
    f.time += interval;
    send(f.clock, 0xF8);
  }
}

struct TapCase {
  const char* name;
  int beats;
  std::vector<double> intervals;  // between taps
  double duration;                // expected measure duration
  int downbeatTap;                // index of the tap that became the downbeat
};

class TapTempo : public testing::TestWithParam<TapCase> {};

TEST_P(TapTempo, SetsTheMeasureFromTheSeries) {
  const TapCase& c = GetParam();
  ClockFixture f;
  f.clock.setBeatsPerMeasure(c.beats);
  std::vector<double> taps{f.time};
  f.clock.tapBeat(f.time);
  for (double i : c.intervals) {
    f.time += i;
    taps.push_back(f.time);
    f.clock.tapBeat(f.time);
  }
  EXPECT_NEAR(f.clock.measureDurationExact(), c.duration, 1e-9);
  EXPECT_DOUBLE_EQ(f.clock.lastDownbeat(), taps[size_t(c.downbeatTap)]);
}

INSTANTIATE_TEST_SUITE_P(
    MasterClock, TapTempo,
    testing::Values(TapCase{"TwoTaps", 4, {0.5}, 2.0, 0},
                    TapCase{"RunningAverage", 4, {0.5, 0.5, 0.6}, 2.2, 0},
                    // A tap after a pause of three averages starts a new
                    // series: the tempo stays.
                    TapCase{"PauseRestarts", 4, {0.5, 1.5}, 2.0, 0},
                    TapCase{"NinthTapDropsTheFirst", 4, std::vector<double>(8, 0.5), 2.0, 1},
                    TapCase{"ThreeBeats", 3, {0.5, 0.5}, 1.5, 0}),
    [](const testing::TestParamInfo<TapCase>& info) { return info.param.name; });

TEST(TapTempo, ASingleTapOrTwoAtOneInstantChangeNothing) {
  ClockFixture f;
  f.clock.tapBeat(f.time);
  f.clock.tapBeat(f.time);
  EXPECT_FLOAT_EQ(f.clock.measureDuration(), 4.0f);
}

TEST(MIDIClock, EstimatesTheTempoEveryTwentyFourClocks) {
  struct Case {
    int beats;
    double interval;
    float bpm;
    double duration;
  };
  for (Case c : {Case{4, 0.02, 125.0f, 1.92}, Case{3, 0.5 / 24, 90.0f, 2.0}}) {
    ClockFixture f;
    f.clock.setBeatsPerMeasure(c.beats);
    f.clock.setListenForMIDIClock(true);
    send(f.clock, 0xFA);
    EXPECT_TRUE(f.clock.midiClockSlaveRunning());
    clocks(f, 23, c.interval);
    EXPECT_FLOAT_EQ(f.clock.measureDuration(), 4.0f);
    clocks(f, 1, c.interval);
    EXPECT_FLOAT_EQ(f.clock.calculatedBPM(), c.bpm);
    EXPECT_NEAR(f.clock.measureDurationExact(), c.duration, 1e-9);
  }
}

TEST(MIDIClock, AClockWithoutStartContinuesFromThePosition) {
  ClockFixture f;
  f.clock.setListenForMIDIClock(true);
  f.run(2.0);
  f.clock.threadProc();
  send(f.clock, 0xF8);
  EXPECT_TRUE(f.clock.midiClockSlaveRunning());
  EXPECT_DOUBLE_EQ(f.clock.measurePositionExact(), 48.0 / 96.0);
  f.run(1.0);  // the free-running ticks do nothing while a slave
  EXPECT_DOUBLE_EQ(f.clock.measurePositionExact(), 48.0 / 96.0);
}

TEST(MIDIClock, NinetySixClocksWrapOneMeasureAndBumpOncePerBeat) {
  ClockFixture f;
  auto subscriber = std::make_shared<BumpRecorder>();
  f.clock.subscribeObject(subscriber, &BumpRecorder::bump);
  f.clock.setListenForMIDIClock(true);
  send(f.clock, 0xFA);
  clocks(f, 95, 0.02);
  EXPECT_EQ(f.clock.measuresElapsed(), 0);
  EXPECT_EQ(subscriber->count, 3);
  clocks(f, 1, 0.02);
  EXPECT_EQ(f.clock.measuresElapsed(), 1);
  EXPECT_EQ(f.clock.measurePositionExact(), 0.0);
  EXPECT_EQ(subscriber->count, 4);
}

TEST(MIDIClock, StopLetsTheClockRunOnFromTheLastMIDIDownbeat) {
  ClockFixture f;
  f.clock.setListenForMIDIClock(true);
  send(f.clock, 0xFA);
  clocks(f, 96 + 48, 0.02);  // 1.92 s measures; half way through the second
  const double downbeat = f.time - 48 * 0.02;
  send(f.clock, 0xFC);
  EXPECT_FALSE(f.clock.midiClockSlaveRunning());
  EXPECT_NEAR(f.clock.lastDownbeat(), downbeat, 1e-9);
  f.clock.threadProc();
  EXPECT_NEAR(f.clock.measurePositionExact(), 0.5, 1e-9);
}

// A stop, a long pause and a start: the first estimate after the start must
// not span the pause (10 s would read as about 6 BPM).
TEST(MIDIClock, AStartForgetsTheLastEstimateTime) {
  ClockFixture f;
  f.clock.setListenForMIDIClock(true);
  send(f.clock, 0xFA);
  clocks(f, 24, 0.02);
  send(f.clock, 0xFC);
  f.time += 10.0;
  send(f.clock, 0xFA);
  clocks(f, 24, 0.02);
  EXPECT_FLOAT_EQ(f.clock.calculatedBPM(), 125.0f);
  EXPECT_NEAR(f.clock.measureDurationExact(), 1.92, 1e-9);
}

TEST(MIDIClock, BurstsAndStrayClocksKeepEveryValueFinite) {
  ClockFixture f;
  f.clock.setListenForMIDIClock(true);
  send(f.clock, 0xFA);
  clocks(f, 200, 0.0);  // all at one instant
  EXPECT_TRUE(std::isfinite(f.clock.measureDurationExact()));
  EXPECT_FLOAT_EQ(f.clock.measureDuration(), 4.0f);
  clocks(f, 24, 10.0);  // below 1 BPM
  EXPECT_FLOAT_EQ(f.clock.measureDuration(), 4.0f);
  EXPECT_LT(f.clock.measurePositionExact(), 1.0);
}

TEST(MIDIClock, ListeningOffLeavesSlaveModeWithTheEstimateOrTheCurrentDuration) {
  {
    ClockFixture f;  // an estimate was made: it stays
    f.clock.setListenForMIDIClock(true);
    send(f.clock, 0xFA);
    clocks(f, 24, 0.02);
    f.clock.setListenForMIDIClock(false);
    EXPECT_FALSE(f.clock.midiClockSlaveRunning());
    EXPECT_NEAR(f.clock.measureDurationExact(), 1.92, 1e-6);
  }
  {
    ClockFixture f;  // none was made: the duration stays
    f.clock.setListenForMIDIClock(true);
    send(f.clock, 0xFA);
    clocks(f, 10, 0.02);
    f.clock.setListenForMIDIClock(false);
    EXPECT_FALSE(f.clock.midiClockSlaveRunning());
    EXPECT_FLOAT_EQ(f.clock.measureDuration(), 4.0f);
    f.run(1.0);
    f.clock.threadProc();
    EXPECT_GT(f.clock.measurePositionExact(), 0.2);  // running again
  }
}

TEST(MIDIClock, IgnoredWhileNotListening) {
  ClockFixture f;
  f.run(1.0);
  f.clock.threadProc();
  const double position = f.clock.measurePositionExact();
  for (std::uint8_t type : {0xFA, 0xF8, 0xFC, 0xFB}) send(f.clock, type);
  EXPECT_FALSE(f.clock.midiClockSlaveRunning());
  EXPECT_EQ(f.clock.measurePositionExact(), position);
  EXPECT_EQ(f.clock.measuresElapsed(), 0);
}

}  // namespace
