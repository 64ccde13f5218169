#include "platform/foundation/MainThread.h"
#include "platform/foundation/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

TEST(WorkerPool, AFullQueueRefusesAndShutdownLetsAWorkerWaitingForTheMainThreadFinish) {
  WorkerPool pool(1, 2);
  std::promise<void> gate;
  auto opened = gate.get_future().share();
  std::atomic<bool> started{false};
  std::atomic<bool> mainThreadRan{false};
  ASSERT_TRUE(pool.post([&] {
    started = true;
    opened.wait();
    MainThread::runAndWait([&] { mainThreadRan = true; });
  }));
  while (!started) std::this_thread::yield();
  EXPECT_TRUE(pool.post([] {}));
  EXPECT_TRUE(pool.post([] {}));
  EXPECT_FALSE(pool.post([] {}));  // bounded
  gate.set_value();
  pool.shutdown();  // on the main thread: serves the worker's call, then joins
  EXPECT_TRUE(mainThreadRan);
  // A later post starts the threads again.
  std::promise<bool> onWorker;
  ASSERT_TRUE(pool.post([&] { onWorker.set_value(pool.isWorkerThread()); }));
  EXPECT_TRUE(onWorker.get_future().get());
  EXPECT_FALSE(pool.isWorkerThread());
}

TEST(WorkerPool, WorkThatThrowsIsLoggedAndTheWorkerGoesOn) {
  WorkerPool pool(1, 4);
  std::promise<void> done;
  ASSERT_TRUE(pool.post([] { throw std::runtime_error("broken clip"); }));
  ASSERT_TRUE(pool.post([&] { done.set_value(); }));
  EXPECT_EQ(done.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
}
