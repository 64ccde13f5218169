#include "tests/app/stepsequencer/StepSequencerFixture.h"

#include "framework/controls/QKButtonCell.h"
#include "tests/support/LogCapture.h"

#include <future>
#include <limits>

namespace {

using Engine = StepSequencerEngine;

// 4 beats × 2 subdivisions × 2 measures: 16 steps over L = 2 measures.
struct SixteenSteps {
  SixteenSteps() {
    engine.setStepValuesCount(16);
    engine.setDrawAsBars(true);
  }
  Engine engine;
};

TEST(SequencerStepTest, SetValClampsWhileASnapshotLoadsAsStored) {
  SequencerStep step(0.0f, true, nullptr);
  const struct {
    float in, out;
  } cases[] = {{1.7f, 1.0f}, {-0.2f, 0.0f}, {0.4f, 0.4f}, {std::nanf(""), 0.0f}};
  for (const auto& c : cases) {
    step.setVal(c.in);
    EXPECT_FLOAT_EQ(step.val(), c.out) << c.in;
  }
  step.loadSnapshot({{SequencerStep::kVal, 1.7}, {SequencerStep::kEnabled, false}});
  EXPECT_FLOAT_EQ(step.val(), 1.7f);
  EXPECT_FALSE(step.enabled());
  step.loadSnapshot({{SequencerStep::kVal, std::numeric_limits<double>::infinity()}});
  EXPECT_FLOAT_EQ(step.val(), 0.0f);
  EXPECT_FALSE(step.enabled());  // absent keys leave their state
  const QVariantMap snapshot = step.createSnapshot();
  EXPECT_TRUE(snapshot.contains(SequencerStep::kShortcutCell));
}

TEST(StepSequencerEngineTest, SixteenStepsLoopOverTwoMeasures) {
  SixteenSteps s;
  EXPECT_EQ(s.engine.stepsPerMeasure(), 8);
  EXPECT_DOUBLE_EQ(s.engine.loopLength(), 2.0);
  EXPECT_EQ(s.engine.stepValues().size(), 16u);
}

// At 120 BPM a measure lasts 2 s and a step 0.25 s: every change goes out on
// the first tick after its step's boundary.
TEST(StepSequencerEngineTest, EachChangeFallsWithinOneTickOfItsStepBoundary) {
  SixteenSteps s;
  std::vector<float> values;
  for (int i = 0; i < 16; ++i) values.push_back(float(i) / 15.0f);
  setSteps(s.engine, values);
  const double tick = 0.0222, measureSeconds = 2.0;
  int changes = 0;
  for (double t = 0.0; t < 4 * measureSeconds; t += tick) {
    const Engine::Tick result = s.engine.tick(t / measureSeconds, 0.0f);
    if (!result.publish) continue;
    ++changes;
    const int index = int(std::lround(result.value * 15.0f));
    const double loopTime = std::fmod(t, 8 * 0.25 * 2);
    const double late = loopTime - index * 0.25;
    EXPECT_GE(late, -1e-9) << "step " << index << " at " << t;
    EXPECT_LE(late, tick + 1e-9) << "step " << index << " at " << t;
  }
  EXPECT_EQ(changes, 31);  // every step of two loops, but the very first step 0
}

TEST(StepSequencerEngineTest, SpeedScalesTheClock) {
  const struct {
    float speed;
    double clock;
    double position;
  } cases[] = {{0.0f, 1.5, 0.0}, {1.0f, 0.75, 0.75}, {2.0f, 0.75, 1.5}, {2.0f, 1.5, 1.0}};
  for (const auto& c : cases) {
    SixteenSteps s;
    s.engine.setSpeed(c.speed);
    s.engine.tick(c.clock, 0.0f);
    EXPECT_NEAR(s.engine.currentTime(), c.position, 1e-9) << c.speed << " " << c.clock;
  }
}

TEST(StepSequencerEngineTest, LoopModesWrapAndReflectAtTheEnds) {
  const struct {
    int mode;
    bool forward;
    double start;
    double position;
    bool forwardAfter;
    bool paused;
  } cases[] = {
      {Engine::Loop, true, 1.9, 0.3, true, false},
      {Engine::Loop, false, 0.1, 1.7, false, false},
      {Engine::ReverseLoop, true, 1.9, 1.7, false, false},
      {Engine::ReverseLoop, false, 0.1, 0.3, true, false},
      {Engine::Stop, true, 1.9, 2.3, true, true},
      {Engine::Stop, false, 0.1, -0.3, false, true},
      {Engine::Loop, true, 0.1 + 4.0, 0.1 + 4.4 - 4.0, true, false},  // several loops at once
  };
  for (const auto& c : cases) {
    SixteenSteps s;
    s.engine.setLoopMode(c.mode);
    s.engine.setPlayingForward(c.forward);
    s.engine.setCurrentTime(c.start);
    const Engine::Tick tick = s.engine.tick(0.4, 0.0f);
    EXPECT_NEAR(s.engine.currentTime(), c.position, 1e-9) << c.mode << " " << c.forward;
    EXPECT_EQ(s.engine.playingForward(), c.forwardAfter) << c.mode << " " << c.forward;
    EXPECT_EQ(s.engine.stopped(), c.paused) << c.mode;
    EXPECT_EQ(tick.pausedAtEnd, c.paused) << c.mode;
    if (c.paused) {
      EXPECT_FALSE(tick.publish);
    }
  }
}

TEST(StepSequencerEngineTest, UnpausingAtAnEndStartsFromTheOther) {
  SixteenSteps s;
  s.engine.setLoopMode(Engine::Stop);
  s.engine.setCurrentTime(2.3);
  s.engine.setPaused(true);
  s.engine.setPaused(false);
  EXPECT_DOUBLE_EQ(s.engine.currentTime(), 0.0);
  s.engine.setPlayingForward(false);
  s.engine.setCurrentTime(-0.3);
  s.engine.setPaused(true);
  s.engine.setPaused(false);
  EXPECT_DOUBLE_EQ(s.engine.currentTime(), 2.0);
  // Backwards from L the last step plays first.
  s.engine.setLastClockTime(0.0);
  s.engine.tick(0.01, 0.0f);
  EXPECT_EQ(s.engine.lastRenderedColumn(), 15);
}

TEST(StepSequencerEngineTest, DisabledStepsHoldTheValueBeforeThem) {
  SixteenSteps s;
  setSteps(s.engine, {0.1f, 0.2f, 0.3f, 0.4f});
  stepOf(s.engine, 2).setEnabled(false);
  stepOf(s.engine, 3).setEnabled(false);
  std::vector<float> published;
  for (double clock = 0.0; clock < 0.5; clock += 0.01)
    if (const auto tick = s.engine.tick(clock, 0.0f); tick.publish) published.push_back(tick.value);
  // Step 0 is the one already out; 1 holds through 2 and 3.
  ASSERT_FALSE(published.empty());
  EXPECT_FLOAT_EQ(published.front(), 0.2f);
  EXPECT_EQ(std::count(published.begin(), published.end(), 0.2f), 1);
  EXPECT_EQ(std::count(published.begin(), published.end(), 0.3f), 0);
}

// The tick keeps its step search while the play position stays in one
// column: a step switched off or on there, or steps made anew, show on the
// very next tick.
TEST(StepSequencerEngineTest, StepEditsInsideThePlayedColumnShowOnTheNextTick) {
  const auto publishes = [](Engine& engine, double clock, float value) {
    const Engine::Tick tick = engine.tick(clock, 0.0f);
    EXPECT_TRUE(tick.publish) << clock;
    EXPECT_NEAR(tick.value, value, 1e-5) << clock;
  };
  {
    SixteenSteps s;
    setSteps(s.engine, {0.2f, 0.8f});
    s.engine.tick(0.0, 0.0f);
    publishes(s.engine, 0.13, 0.8f);  // step 1's column: 0.125 … 0.25
    stepOf(s.engine, 1).setEnabled(false);
    publishes(s.engine, 0.14, 0.2f);
    stepOf(s.engine, 1).setEnabled(true);
    publishes(s.engine, 0.15, 0.8f);
    stepOf(s.engine, 1).setEnabled(false);
    publishes(s.engine, 0.155, 0.2f);
    s.engine.removeAllSteps();
    s.engine.setStepValuesCount(16);
    setSteps(s.engine, {0.2f, 0.3f});
    publishes(s.engine, 0.16, 0.3f);  // the new step 1 is on
  }
  {
    SixteenSteps s;
    s.engine.setInterpolating(true);
    setSteps(s.engine, {0.2f, 0.8f, 0.4f});
    publishes(s.engine, 1.0 / 16.0, 0.5f);  // halfway from step 0 to step 1
    stepOf(s.engine, 1).setEnabled(false);
    publishes(s.engine, 1.0 / 16.0, 0.25f);  // a quarter of the way to step 2
  }
}

TEST(StepSequencerEngineTest, AClockRestartPlaysFromStepZero) {
  SixteenSteps s;
  setSteps(s.engine, {0.9f, 0.1f, 0.2f, 0.3f, 0.4f});
  s.engine.tick(5.3, 0.0f);
  s.engine.tick(5.55, 0.0f);
  const Engine::Tick tick = s.engine.tick(0.01, 0.0f);
  EXPECT_DOUBLE_EQ(s.engine.currentTime(), 0.0);
  EXPECT_TRUE(tick.publish);
  EXPECT_FLOAT_EQ(tick.value, 0.9f);
}

TEST(StepSequencerEngineTest, RowsSnapTheOutput) {
  const struct {
    float value;
    int rows;
    float out;
  } cases[] = {{0.95f, 10, 1.0f}, {0.5f, 10, 5.0f / 9.0f}, {1.0f, 10, 1.0f},
               {0.0f, 10, 0.0f},  {0.1f, 10, 1.0f / 9.0f}, {0.49f, 2, 0.0f},
               {0.5f, 2, 1.0f},   {1.7f, 10, 1.0f}};
  for (const auto& c : cases)
    EXPECT_FLOAT_EQ(Engine::rowValue(c.value, c.rows), c.out) << c.value << " " << c.rows;
  Engine engine;
  engine.setRows(1);
  EXPECT_EQ(engine.rows(), Engine::kMinRows);  // one row would divide by zero
  engine.setRows(99);
  EXPECT_EQ(engine.rows(), Engine::kMaxRows);
}

TEST(StepSequencerEngineTest, InterpolationRunsTowardsTheNextEnabledStep) {
  SixteenSteps s;
  s.engine.setInterpolating(true);
  setSteps(s.engine, {0.2f, 0.8f});
  // Halfway through step 0 (1/16 measure long).
  Engine::Tick tick = s.engine.tick(1.0 / 16.0, 0.0f);
  ASSERT_TRUE(tick.publish);
  EXPECT_NEAR(tick.value, 0.5f, 1e-5);
  // From the last enabled step the line runs towards step 0.
  for (long i = 2; i < 16; ++i) stepOf(s.engine, i).setEnabled(false);
  stepOf(s.engine, 1).setVal(0.6f);
  tick = s.engine.tick(1.0 / 16.0 + 1.0, 0.0f);  // position 1.0625: step 8's column
  ASSERT_TRUE(tick.publish);
  // From step 1 (at 0.125) to step 0 again (at 2.0).
  EXPECT_NEAR(tick.value, 0.6f + (1.0625f - 0.125f) / (2.0f - 0.125f) * (0.2f - 0.6f), 1e-5);
  // With step 0 off there is nothing to run towards: nothing goes out.
  stepOf(s.engine, 0).setEnabled(false);
  EXPECT_FALSE(s.engine.tick(1.1, 0.0f).publish);
}

// A loop's end is a position of its own (a jump or a tick may land on it):
// the line from the last step has reached step 0 there.
TEST(StepSequencerEngineTest, InterpolationAtTheLoopsEndGivesStepZero) {
  SixteenSteps s;
  s.engine.setInterpolating(true);
  std::vector<float> values(16, 0.6f);
  values[0] = 0.2f;
  setSteps(s.engine, values);
  LogCapture log;
  s.engine.tick(0.0, 0.0f);
  const Engine::Tick tick = s.engine.tick(2.0, 0.0f);
  EXPECT_DOUBLE_EQ(s.engine.currentTime(), 2.0);
  ASSERT_TRUE(tick.publish);
  EXPECT_NEAR(tick.value, 0.2f, 1e-5);
  EXPECT_FALSE(log.contains("couldn't find next step"));
}

TEST(StepSequencerEngineTest, AHiddenStepKeepsItsValue) {
  SixteenSteps s;
  std::vector<float> values(16, 0.0f);
  for (int i = 8; i < 16; ++i) values[size_t(i)] = float(i) / 20.0f;
  setSteps(s.engine, values);
  s.engine.setStepValuesCount(8);
  EXPECT_EQ(s.engine.stepValues().size(), 16u);
  s.engine.setStepValuesCount(16);
  for (long i = 8; i < 16; ++i) EXPECT_FLOAT_EQ(stepOf(s.engine, i).val(), float(i) / 20.0f);
}

TEST(StepSequencerEngineTest, JumpsWrapIntoTheLoop) {
  const struct {
    double start, delta, position;
  } cases[] = {{0.25, -1.0, 1.25}, {1.75, 0.5, 0.25}, {0.0, -0.125, 1.875}, {1.0, 1.0, 2.0}};
  for (const auto& c : cases) {
    SixteenSteps s;
    s.engine.setCurrentTime(c.start);
    s.engine.jump(c.delta);
    EXPECT_NEAR(s.engine.currentTime(), c.position, 1e-9) << c.start << " " << c.delta;
  }
}

TEST(StepSequencerEngineTest, AHeldStepGoesOutOnceButEveryTickWhileRecording) {
  SixteenSteps s;
  setSteps(s.engine, {0.0f, 0.5f});
  int published = 0;
  for (double clock = 0.13; clock < 0.24; clock += 0.02)
    published += s.engine.tick(clock, 0.0f).publish;
  EXPECT_EQ(published, 1);
  EXPECT_TRUE(s.engine.setRecording(true));
  EXPECT_DOUBLE_EQ(s.engine.currentTime(), 0.0);
  s.engine.setLastClockTime(0.0);
  published = 0;
  for (double clock = 0.01; clock < 0.1; clock += 0.02) {
    const Engine::Tick tick = s.engine.tick(clock, 0.7f);
    published += tick.publish;
    EXPECT_TRUE(tick.recorded);
    EXPECT_FLOAT_EQ(tick.value, 0.7f);
  }
  EXPECT_EQ(published, 5);
  EXPECT_FLOAT_EQ(stepOf(s.engine, 0).val(), 0.7f);
}

// With no steps in use every wrap would repeat forever on the tick thread.
TEST(StepSequencerEngineTest, WithoutStepsTheTickLeavesThePositionAndPublishesNothing) {
  for (int mode : {Engine::Stop, Engine::Loop, Engine::ReverseLoop}) {
    Engine engine;
    engine.setLoopMode(mode);
    engine.setCurrentTime(0.5);
    auto done = std::async(std::launch::async, [&engine] {
      Engine::Tick tick = engine.tick(1e6, 0.0f);
      engine.jump(-3.0);
      engine.syncWithClock(2e6);
      tick.publish |= engine.tick(3e6, 0.0f).publish;
      return tick;
    });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready) << mode;
    EXPECT_FALSE(done.get().publish);
    EXPECT_DOUBLE_EQ(engine.currentTime(), 0.5);
  }
}

TEST(StepSequencerEngineTest, RandomisingIsReproducibleWithASeed) {
  const auto draw = [](std::uint32_t seed) {
    SixteenSteps s;
    s.engine.setStepValuesCount(8);  // the hidden steps are drawn too
    s.engine.seedRandom(seed);
    s.engine.randomize();
    std::vector<float> values;
    for (const auto& step : s.engine.stepValues()) values.push_back(step->val());
    return values;
  };
  const std::vector<float> first = draw(7);
  EXPECT_EQ(first, draw(7));
  EXPECT_NE(first, draw(8));
  ASSERT_EQ(first.size(), 16u);
  for (float value : first) {
    EXPECT_GE(value, 0.0f);
    EXPECT_LT(value, 1.0f);
  }
}

TEST(StepSequencerEngineTest, AJumpToAStepOutsideTheStepsInUseDoesNothing) {
  SixteenSteps s;
  s.engine.setCurrentTime(0.5);
  for (long index : {-1L, 16L, 40L}) EXPECT_FALSE(s.engine.jumpToStep(index, 3.0));
  EXPECT_DOUBLE_EQ(s.engine.currentTime(), 0.5);
  EXPECT_TRUE(s.engine.jumpToStep(4, 3.0));
  EXPECT_DOUBLE_EQ(s.engine.currentTime(), 0.5);
  EXPECT_DOUBLE_EQ(s.engine.lastClockTime(), 3.0);
}

}  // namespace
