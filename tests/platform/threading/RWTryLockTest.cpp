#include "platform/threading/RWTryLock.h"

#include "tests/support/Eventually.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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
  EXPECT_TRUE(waitFor([&] { return lock.writersWaiting() == 1; }));
  // The waiting writer must not hold back a nested read on this thread, but
  // goes before a reader that does not hold the lock yet.
  for (int i = 0; i < 1000; ++i) {
    lock.readLock();
    lock.readUnlock();
  }
  bool newReaderGotIn = true;
  std::thread([&] { newReaderGotIn = lock.tryReadLock(); }).join();
  EXPECT_FALSE(newReaderGotIn);
  EXPECT_FALSE(writerHasLock.load());
  lock.readUnlock();
  writer.join();
  EXPECT_TRUE(writerHasLock.load());
  EXPECT_EQ(lock.writersWaiting(), 0);
}

// Readers coming back to back, each re-entering its read, never leave the
// lock free: a writer still gets in while they go on.
TEST(RWTryLock, AWriterGetsInWhileReadersComeBackToBack) {
  RWTryLock lock;
  std::atomic<bool> stop{false};
  std::atomic<bool> written{false};
  std::vector<std::thread> readers;
  for (int i = 0; i < 6; ++i)
    readers.emplace_back([&] {
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (!stop.load() && std::chrono::steady_clock::now() < end) {
        lock.readLock();
        lock.readLock();
        for (volatile int k = 0; k < 1000; ++k) {
        }
        lock.readUnlock();
        lock.readUnlock();
      }
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::thread writer([&] {
    for (int i = 0; i < 20; ++i) {
      lock.writeLock();
      lock.writeUnlock();
    }
    written = true;
  });
  const bool beforeTheReadersGaveUp = waitFor([&] { return written.load(); }, 4.0);
  stop = true;
  writer.join();
  for (std::thread& reader : readers) reader.join();
  EXPECT_TRUE(beforeTheReadersGaveUp) << "the writer waited until the readers stopped";
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
