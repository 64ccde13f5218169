#include "platform/gl/FramePacer.h"

#include <gtest/gtest.h>

#include <vector>

using gl::FramePacer;

using namespace std::chrono_literals;

namespace {
constexpr FramePacer::Duration kPeriod = 10ms;
const FramePacer::TimePoint kStart{100s};
}  // namespace

TEST(FramePacer, PeriodComesFromTheRefreshRateAndFallsBackTo60Hz) {
  struct Case {
    double hertz;
    FramePacer::Duration expected;
  };
  const Case cases[] = {
      {60.0, FramePacer::periodForRate(60.0)},
      {120.0,
       std::chrono::duration_cast<FramePacer::Duration>(std::chrono::duration<double>(1.0 / 120))},
      {0.0, FramePacer::periodForRate(60.0)},
      {-5.0, FramePacer::periodForRate(60.0)},
      {1e9, FramePacer::periodForRate(60.0)},
      {std::numeric_limits<double>::quiet_NaN(), FramePacer::periodForRate(60.0)},
  };
  for (const Case& c : cases) EXPECT_EQ(FramePacer::periodForRate(c.hertz), c.expected) << c.hertz;
  EXPECT_NEAR(std::chrono::duration<double>(FramePacer::periodForRate(60.0)).count(), 1.0 / 60,
              1e-9);
}

// Each row: when the frame due at the current deadline finishes (offset
// from that deadline), where the next deadline lands (offset from the
// start) and how many boundaries were skipped.
TEST(FramePacer, LateFramesSkipMissedBoundariesInsteadOfCatchingUp) {
  struct Step {
    FramePacer::Duration finishedAfterDeadline;
    FramePacer::Duration nextDeadlineFromStart;
    std::int64_t skipped;
  };
  const std::vector<Step> steps = {
      {2ms, 10ms, 0},   // on time
      {10ms, 20ms, 0},  // finished exactly on the next boundary: due at once
      {11ms, 40ms, 1},  // missed the boundary at 30 ms
      {35ms, 80ms, 3},  // missed 50, 60 and 70 ms: no burst of four frames
      {0ms, 90ms, 0},
  };
  FramePacer pacer(kPeriod);
  pacer.reset(kStart);
  for (const Step& step : steps) {
    const FramePacer::TimePoint finished = pacer.deadline() + step.finishedAfterDeadline;
    EXPECT_EQ(pacer.frameDone(finished), step.skipped);
    EXPECT_EQ(pacer.deadline() - kStart, step.nextDeadlineFromStart);
    EXPECT_TRUE(pacer.deadline() >= finished);
  }
}

TEST(FramePacer, ANewPeriodAppliesFromTheNextFrame) {
  FramePacer pacer(kPeriod);
  pacer.reset(kStart);
  pacer.setPeriod(20ms);
  pacer.frameDone(kStart + 1ms);
  EXPECT_EQ(pacer.deadline() - kStart, 20ms);
  pacer.setPeriod(FramePacer::Duration::zero());  // refused
  EXPECT_EQ(pacer.period(), 20ms);
}
