#include "framework/render/DeferredReleaseArrays.h"

#include "platform/gl/RenderThread.h"
#include "tests/support/GLTest.h"

#include <gtest/gtest.h>

namespace {
// Counts the releases of the objects it makes.
struct Tracker {
  int released = 0;
  std::shared_ptr<void> make() {
    return std::shared_ptr<int>(new int(0), [this](int* p) {
      ++released;
      delete p;
    });
  }
};
}  // namespace

TEST(DeferredReleaseArrays, ARendererGoesAtTheNextRendererPurge) {
  DeferredReleaseArrays arrays;
  Tracker tracker;
  arrays.addRenderer(tracker.make());
  arrays.addRenderer(tracker.make());
  EXPECT_EQ(arrays.pendingRenderers(), 2u);
  arrays.purgeBuffers();
  EXPECT_EQ(tracker.released, 0);
  arrays.purgeRenderers();
  EXPECT_EQ(tracker.released, 2);
  EXPECT_EQ(arrays.pendingRenderers(), 0u);
}

TEST(DeferredReleaseArrays, ABufferLivesThrough29PurgesAndGoesInThe30th) {
  DeferredReleaseArrays arrays;
  Tracker first, second;
  arrays.addBuffer(first.make());
  arrays.purgeBuffers();
  arrays.addBuffer(second.make());  // one purge later
  for (int purge = 2; purge <= 29; ++purge) arrays.purgeBuffers();
  EXPECT_EQ(first.released, 0) << "29 purges survived";
  arrays.purgeBuffers();  // the 30th since the first hand-over
  EXPECT_EQ(first.released, 1);
  EXPECT_EQ(second.released, 0);
  arrays.purgeBuffers();
  EXPECT_EQ(second.released, 1);
  EXPECT_EQ(arrays.pendingBuffers(), 0u);
}

TEST(DeferredReleaseArrays, NullIsIgnoredAndEmptyPurgesDoNothing) {
  DeferredReleaseArrays arrays;
  arrays.addRenderer(nullptr);
  arrays.addBuffer(nullptr);
  EXPECT_EQ(arrays.pendingRenderers(), 0u);
  EXPECT_EQ(arrays.pendingBuffers(), 0u);
  arrays.purgeAfterFrame();
  EXPECT_EQ(arrays.pendingBuffers(), 0u);
}

TEST(DeferredReleaseArrays, AnObjectKeptElsewhereOutlivesItsPurge) {
  DeferredReleaseArrays arrays;
  Tracker tracker;
  std::shared_ptr<void> kept = tracker.make();
  arrays.addRenderer(kept);
  arrays.purgeRenderers();
  EXPECT_EQ(tracker.released, 0);
  kept.reset();
  EXPECT_EQ(tracker.released, 1);
}

TEST(DeferredReleaseArrays, AReleasedObjectMayHandOverOthersWithoutDeadlock) {
  DeferredReleaseArrays arrays;
  Tracker inner;
  std::shared_ptr<void> innerObject = inner.make();
  // A renderer whose release hands its buffer and a renderer over.
  arrays.addRenderer(std::shared_ptr<int>(new int(0), [&](int* p) {
    arrays.addBuffer(innerObject);
    arrays.addRenderer(std::move(innerObject));
    delete p;
  }));
  arrays.purgeRenderers();
  EXPECT_EQ(arrays.pendingRenderers(), 1u) << "waits for the next purge";
  EXPECT_EQ(arrays.pendingBuffers(), 1u);
  arrays.purgeRenderers();
  EXPECT_EQ(inner.released, 0) << "the buffer array still holds it";
}

TEST(DeferredReleaseArrays, HandOversFromManyThreadsAreAllReleased) {
  DeferredReleaseArrays arrays;
  std::atomic<int> released{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 250; ++i) {
        arrays.addRenderer(std::shared_ptr<int>(new int(0), [&](int* p) {
          ++released;
          delete p;
        }));
        if (i % 50 == 0) arrays.purgeRenderers();
      }
    });
  for (std::thread& thread : threads) thread.join();
  arrays.purgeRenderers();
  EXPECT_EQ(released.load(), 1000);
}

class DeferredReleaseOnTheRenderThread : public GLTest {};

TEST_F(DeferredReleaseOnTheRenderThread,
       TheRenderThreadPurgesAfterEachFrameAndTheMainThreadOnlyWithoutIt) {
  DeferredReleaseArrays& arrays = DeferredReleaseArrays::shared();
  std::thread::id releasedOn;
  arrays.addRenderer(std::shared_ptr<int>(new int(0), [&](int* p) {
    releasedOn = std::this_thread::get_id();
    delete p;
  }));
  EXPECT_FALSE(arrays.purgeIfNoFrameIsDrawn()) << "frames are being drawn";
  EXPECT_EQ(arrays.pendingRenderers(), 1u);
  ASSERT_TRUE(gl::RenderThread::instance().runFrameNow());
  EXPECT_EQ(arrays.pendingRenderers(), 0u);
  EXPECT_NE(releasedOn, std::this_thread::get_id());

  gl::RenderThread::instance().stop();
  Tracker tracker;
  arrays.addRenderer(tracker.make());
  EXPECT_TRUE(arrays.purgeIfNoFrameIsDrawn());
  EXPECT_EQ(tracker.released, 1);
}
