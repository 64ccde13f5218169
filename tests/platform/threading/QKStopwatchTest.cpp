#include "platform/threading/QKStopwatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

TEST(QKStopwatch, CountsFromConstructionAndFromEachRestart) {
  QKStopwatch stopwatch;
  std::this_thread::sleep_for(5ms);
  const double first = stopwatch.timeSinceStart();
  EXPECT_GE(first, 0.005);
  EXPECT_GE(stopwatch.timeSinceStart(), first);  // never runs backwards

  stopwatch.start();
  const double afterRestart = stopwatch.timeSinceStart();
  EXPECT_GE(afterRestart, 0.0);
  EXPECT_LT(afterRestart, first);
  std::this_thread::sleep_for(2ms);
  EXPECT_GE(stopwatch.timeSinceStart(), 0.002);
}
