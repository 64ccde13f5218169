#include "framework/splitview/SplitAnimation.h"

#include <gtest/gtest.h>

namespace {

struct ManualClock {
  ManualClock() {
    SplitAnimation::setClock([this] { return now; });
  }
  ~ManualClock() { SplitAnimation::setClock({}); }
  double now = 0.0;
};

TEST(SplitAnimation, OnlyAnimationsLongerThanAFrameRun) {
  EXPECT_FALSE(SplitAnimation::worthRunning(SplitAnimation::defaultDuration(12)));
  EXPECT_TRUE(SplitAnimation::worthRunning(SplitAnimation::defaultDuration(13)));
}

TEST(SplitAnimation, StepsFollowTheClockAndFinishInTheLastFrame) {
  ManualClock clock;
  const double duration = SplitAnimation::defaultDuration(300);  // 0.4 s
  SplitAnimation collapse(nullptr, 300, duration, true, true);
  SplitAnimation::Step step = collapse.plan(clock.now);
  ASSERT_FALSE(step.finished);
  EXPECT_FLOAT_EQ(step.size, 300);
  EXPECT_DOUBLE_EQ(step.delay, SplitAnimation::kFrame);
  collapse.stepTook(0.0);
  step = collapse.plan(clock.now + duration / 2);
  EXPECT_FLOAT_EQ(step.size, 150);
  EXPECT_TRUE(collapse.plan(clock.now + duration - 0.01).finished);

  SplitAnimation expand(nullptr, 300, duration, false, true);
  EXPECT_FLOAT_EQ(expand.plan(clock.now + duration / 4).size, 75);
}

TEST(SplitAnimation, SlowStepsShortenTheWaitForTheNext) {
  ManualClock clock;
  SplitAnimation a(nullptr, 300, 0.4, true, true);
  a.stepTook(0.01);
  const SplitAnimation::Step step = a.plan(clock.now);
  EXPECT_NEAR(step.delay, SplitAnimation::kFrame - 0.01, 1e-12);
  EXPECT_FLOAT_EQ(step.size, 292);  // floor(300 × 0.39 / 0.4)
}

}  // namespace
