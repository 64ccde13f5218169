#include "framework/behaviors/NumberDelayElement.h"

#include <gtest/gtest.h>

namespace {

constexpr double kStart = 1000.0;

TEST(NumberDelayElementTest, PushesCloserThanAStepOverwriteTheNewestSlot) {
  NumberDelayElement ring(0.2f, kStart);
  ring.pushFloat(0.4f, kStart + 0.003);
  ring.pushFloat(0.6f, kStart + 0.008);
  EXPECT_EQ(ring.lastTimeIndex(), 0);
  EXPECT_FLOAT_EQ(ring.slot(0), 0.6f);
  EXPECT_FLOAT_EQ(ring.lastValue(), 0.6f);
  EXPECT_FLOAT_EQ(ring.slot(1), 0.2f);
}

TEST(NumberDelayElementTest, APauseFillsEverySlotItSpans) {
  NumberDelayElement ring(0.2f, kStart);
  ring.pushFloat(0.9f, kStart + 0.035);
  EXPECT_EQ(ring.lastTimeIndex(), 4);
  for (int i = 1; i <= 4; ++i) EXPECT_FLOAT_EQ(ring.slot(i), 0.9f) << i;
  EXPECT_FLOAT_EQ(ring.slot(5), 0.2f);
  EXPECT_FLOAT_EQ(ring.slot(0), 0.2f);
  EXPECT_NEAR(ring.lastTime(), kStart + 0.04, 1e-9);
}

TEST(NumberDelayElementTest, TheNewestIndexWrapsFrom1000To0) {
  NumberDelayElement ring(0.0f, kStart);
  double now = kStart;
  for (int i = 0; i < 1000; ++i) {
    now += 0.01;
    ring.pushFloat(0.5f, now);
  }
  ASSERT_EQ(ring.lastTimeIndex(), 1000);
  ring.pushFloat(0.7f, now + 0.01);
  EXPECT_EQ(ring.lastTimeIndex(), 0);
  EXPECT_FLOAT_EQ(ring.slot(0), 0.7f);
}

TEST(NumberDelayElementTest, ReadsByAge) {
  NumberDelayElement ring(0.1f, kStart);
  ring.pushFloat(0.3f, kStart + 0.01);  // slot 1
  ring.pushFloat(0.5f, kStart + 0.02);  // slot 2, lastTime kStart + 0.02
  const double last = ring.lastTime();
  EXPECT_FLOAT_EQ(ring.valueForTime(last), 0.5f);
  EXPECT_FLOAT_EQ(ring.valueForTime(last + 5.0), 0.5f);
  EXPECT_FLOAT_EQ(ring.valueForTime(last - 0.005), 0.5f);
  EXPECT_FLOAT_EQ(ring.valueForTime(last - 0.015), 0.3f);
  EXPECT_FLOAT_EQ(ring.valueForTime(last - 0.025), 0.1f);
  // Exactly the horizon, and older: the slot after the newest.
  ring.pushFloat(0.8f, last + 0.001);  // overwrites slot 2
  EXPECT_FLOAT_EQ(ring.valueForTime(last - NumberDelayElement::kHorizon), 0.1f);
  EXPECT_FLOAT_EQ(ring.valueForTime(last - 60.0), ring.slot(3));
}

TEST(NumberDelayElementTest, AnHourLongPauseWritesTheRingOnceAndHoldsOnlyTheNewValue) {
  NumberDelayElement ring(0.2f, kStart);
  ring.pushFloat(0.3f, kStart + 0.05);
  const std::uint64_t before = ring.slotWrites();
  ring.pushFloat(0.9f, kStart + 0.05 + 3600.0);
  EXPECT_LE(ring.slotWrites() - before, static_cast<std::uint64_t>(NumberDelayElement::kSlots));
  for (int i = 0; i < NumberDelayElement::kSlots; ++i) ASSERT_FLOAT_EQ(ring.slot(i), 0.9f) << i;
  EXPECT_NEAR(ring.lastTime(), kStart + 0.05 + 3600.0, 0.011);
  EXPECT_FLOAT_EQ(ring.valueForTime(ring.lastTime() - 10.0), 0.9f);
}

}  // namespace
