#include "tests/support/LogCapture.h"
#include "platform/threading/QKThreadLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

TEST(QKThreadLoop, CallsUntilStoppedAndStopJoins) {
  std::atomic<int> calls{0};
  QKThreadLoop loop(0.002, [&] { ++calls; });
  EXPECT_FALSE(loop.running());
  loop.start();
  while (calls.load() < 5) std::this_thread::sleep_for(1ms);
  loop.stop();
  const int atStop = calls.load();
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(calls.load(), atStop);
  EXPECT_FALSE(loop.running());
}

TEST(QKThreadLoop, ExceptionsAreLoggedAndTheLoopGoesOn) {
  LogCapture log;
  std::atomic<int> calls{0};
  QKThreadLoop loop(0.001, [&] {
    if (++calls == 1) throw std::runtime_error("boom");
  }, QStringLiteral("DSC"));
  loop.start();
  while (calls.load() < 3) std::this_thread::sleep_for(1ms);
  loop.stop();
  const QStringList lines = log.lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), QStringLiteral("caught exception in DSC: boom"));
}

TEST(QKThreadLoop, ALongCallDoesNotCauseACatchUpBurst) {
  using Clock = std::chrono::steady_clock;
  std::vector<Clock::time_point> times;
  Clock::time_point longCallEnd;
  std::mutex m;
  QKThreadLoop loop(0.005, [&] {
    std::lock_guard<std::mutex> lock(m);
    times.push_back(Clock::now());
    if (times.size() == 1) {
      std::this_thread::sleep_for(40ms);  // eight periods late
      longCallEnd = Clock::now();
    }
  });
  loop.start();
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(m);
      if (times.size() >= 4) break;
    }
    std::this_thread::sleep_for(1ms);
  }
  loop.stop();
  // Making up the missed periods would fire about eight calls back to back
  // right after the long one; skipping them leaves at most one call in the
  // first 4 ms (the next period boundary).
  const auto soonAfter = std::count_if(times.begin() + 1, times.end(), [&](auto t) {
    return t - longCallEnd < 4ms;
  });
  EXPECT_LE(soonAfter, 1);
}

TEST(QKThreadLoop, StopFromItsOwnProcedure) {
  std::atomic<int> calls{0};
  QKThreadLoop* self = nullptr;
  QKThreadLoop loop(0.001, [&] {
    if (++calls == 2) self->stop();
  });
  self = &loop;
  loop.start();
  while (loop.running()) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(calls.load(), 2);
  loop.start();  // restartable
  while (calls.load() < 3) std::this_thread::sleep_for(1ms);
  loop.stop();
}
