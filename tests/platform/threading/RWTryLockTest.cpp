#include "platform/threading/RWTryLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(RWTryLock, ReadersShareWritersExclude) {
  RWTryLock lock;
  ASSERT_TRUE(lock.tryReadLock());
  EXPECT_TRUE(lock.tryReadLock());
  EXPECT_EQ(lock.readerCount(), 2);
  EXPECT_FALSE(lock.tryWriteLock());
  lock.readUnlock();
  lock.readUnlock();
  ASSERT_TRUE(lock.tryWriteLock());
  EXPECT_FALSE(lock.tryReadLock());
  EXPECT_FALSE(lock.tryWriteLock());
  lock.unlock();
  EXPECT_EQ(lock.readerCount(), 0);
  EXPECT_FALSE(lock.isWriteLocked());
}

TEST(RWTryLock, ReadersReenterWhileAWriterWaits) {
  RWTryLock lock;
  lock.readLock();
  std::atomic<bool> writerHasLock{false};
  std::thread writer([&] {
    lock.writeLock();
    writerHasLock = true;
    lock.writeUnlock();
  });
  // The waiting writer must not hold back a nested read on this thread.
  for (int i = 0; i < 1000; ++i) {
    lock.readLock();
    lock.readUnlock();
  }
  EXPECT_FALSE(writerHasLock.load());
  lock.readUnlock();
  writer.join();
  EXPECT_TRUE(writerHasLock.load());
}

TEST(RWTryLock, WriteLockRefusedToAThreadHoldingTheReadLock) {
  RWTryLock lock;
  lock.readLock();
  EXPECT_TRUE(lock.heldForReadingByThisThread());
  EXPECT_FALSE(lock.writeLock());
  {
    RWTryLock::WriteGuard guard(lock);
    EXPECT_FALSE(guard.ownsLock());
  }
  lock.readUnlock();
  EXPECT_FALSE(lock.heldForReadingByThisThread());
  RWTryLock::WriteGuard guard(lock);
  EXPECT_TRUE(guard.ownsLock());
}

TEST(RWTryLock, WritersAreMutuallyExclusiveUnderContention) {
  RWTryLock lock;
  long counter = 0;
  std::atomic<int> readersSeenDuringWrite{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        RWTryLock::WriteGuard guard(lock);
        if (lock.readerCount() != 0) ++readersSeenDuringWrite;
        ++counter;
      }
    });
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; ++i) {
        RWTryLock::ReadGuard guard(lock);
        [[maybe_unused]] volatile long seen = counter;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 4 * 5000);
  EXPECT_EQ(readersSeenDuringWrite.load(), 0);
}

TEST(RWTryLock, ReadHoldsStayTrackedInAnyReleaseOrder) {
  RWTryLock a, b, c;
  a.readLock();
  b.readLock();
  c.readLock();
  b.readUnlock();  // a hole before the last hold
  EXPECT_TRUE(a.heldForReadingByThisThread());
  EXPECT_FALSE(b.heldForReadingByThisThread());
  EXPECT_TRUE(c.heldForReadingByThisThread());
  EXPECT_FALSE(c.writeLock());  // still refused: the hold is known
  c.readUnlock();
  b.readLock();  // takes the freed place
  a.readUnlock();
  EXPECT_TRUE(b.heldForReadingByThisThread());
  b.readUnlock();
  for (RWTryLock* lock : {&a, &b, &c}) {
    EXPECT_FALSE(lock->heldForReadingByThisThread());
    ASSERT_TRUE(lock->writeLock());
    lock->writeUnlock();
  }
}
