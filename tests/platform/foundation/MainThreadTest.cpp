#include "platform/foundation/MainThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(MainThread, RunIsInlineOnTheMainThread) {
  ASSERT_TRUE(MainThread::isMainThread());
  bool ran = false;
  MainThread::run([&] { ran = true; });
  EXPECT_TRUE(ran);
  MainThread::runAndWait([&] { ran = false; });
  EXPECT_FALSE(ran);
}

TEST(MainThread, WorkFromAnotherThreadRunsOnTheMainThread) {
  std::atomic<bool> onMain{false}, waited{false};
  std::thread worker([&] {
    EXPECT_FALSE(MainThread::isMainThread());
    MainThread::runAndWait([&] { onMain = MainThread::isMainThread(); });
    waited = true;
  });
  EXPECT_TRUE(MainThread::processUntil([&] { return waited.load(); }, 5.0));
  worker.join();
  EXPECT_TRUE(onMain.load());
}

TEST(MainThread, DelayedCallsCanBeCancelledPerTarget) {
  int kept = 0, cancelled = 0;
  int targetA = 0, targetB = 0;
  MainThread::runLater(&targetA, 0.01, [&] { ++cancelled; });
  MainThread::runLater(&targetB, 0.01, [&] { ++kept; });
  MainThread::cancel(&targetA);
  EXPECT_TRUE(MainThread::processUntil([&] { return kept == 1; }, 5.0));
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_EQ(cancelled, 0);
  MainThread::runLater(&targetA, 0.0, [&] { ++cancelled; });  // after cancel: runs
  EXPECT_TRUE(MainThread::processUntil([&] { return cancelled == 1; }, 5.0));
}

TEST(MainThread, CoalescedRequestsRunOnceWithTheLatestWork) {
  int key = 0;
  std::vector<int> runs;
  std::thread worker([&] {
    for (int i = 1; i <= 50; ++i) MainThread::coalesce(&key, [&runs, i] { runs.push_back(i); });
  });
  worker.join();
  MainThread::processUntil([&] { return !runs.empty(); }, 5.0);
  MainThread::processUntil([] { return false; }, 0.05);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs.front(), 50);
}

TEST(MainThread, ExceptionsInWorkAreCaught) {
  bool after = false;
  MainThread::run([] { throw std::runtime_error("x"); });
  MainThread::run([&] { after = true; });
  EXPECT_TRUE(after);
}
