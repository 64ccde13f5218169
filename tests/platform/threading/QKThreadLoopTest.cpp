#include "platform/foundation/Log.h"
#include "platform/threading/QKThreadLoop.h"

#include <gtest/gtest.h>

#include <atomic>
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
  std::vector<QString> lines;
  std::mutex m;
  auto previous = Log::setSink([&](const QString& l) {
    std::lock_guard<std::mutex> lock(m);
    lines.push_back(l);
  });
  std::atomic<int> calls{0};
  QKThreadLoop loop(0.001, [&] {
    if (++calls == 1) throw std::runtime_error("boom");
  }, QStringLiteral("DSC"));
  loop.start();
  while (calls.load() < 3) std::this_thread::sleep_for(1ms);
  loop.stop();
  Log::setSink(previous);
  std::lock_guard<std::mutex> lock(m);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), QStringLiteral("caught exception in DSC: boom"));
}

TEST(QKThreadLoop, ALongCallDoesNotCauseACatchUpBurst) {
  std::vector<std::chrono::steady_clock::time_point> times;
  std::mutex m;
  QKThreadLoop loop(0.005, [&] {
    std::lock_guard<std::mutex> lock(m);
    times.push_back(std::chrono::steady_clock::now());
    if (times.size() == 1) std::this_thread::sleep_for(30ms);  // six periods late
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
  // After the late call, the next calls keep (at least nearly) the period
  // instead of firing back to back to make up the missed ones.
  const auto gap = times[3] - times[2];
  EXPECT_GT(gap, 2ms);
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
