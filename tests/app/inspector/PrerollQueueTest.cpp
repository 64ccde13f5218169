// The serial queue on the worker pool, and the pre-roll operation.
#include "app/inspector/MISerialQueue.h"
#include "app/inspector/QKMIPrerollOperation.h"
#include "app/inspector/QKMIMoviePropertiesController.h"
#include "framework/media/QKMovieTextureContext.h"
#include "platform/foundation/WorkerPool.h"
#include "tests/app/inspector/InspectorTestSupport.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

// Records when it runs, and whether another operation ran at the same time.
class RecordingOperation : public MIOperation {
 public:
  RecordingOperation(int id, std::vector<int>& order, std::mutex& mutex, std::atomic<int>& running,
                     std::atomic<bool>& overlapped)
      : id_(id), order_(order), mutex_(mutex), running_(running), overlapped_(overlapped) {}
  void main() override {
    if (running_.fetch_add(1) != 0) overlapped_ = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    {
      std::lock_guard lock(mutex_);
      order_.push_back(id_);
    }
    running_.fetch_sub(1);
  }

 private:
  int id_;
  std::vector<int>& order_;
  std::mutex& mutex_;
  std::atomic<int>& running_;
  std::atomic<bool>& overlapped_;
};

TEST(MISerialQueue, RunsInOrderOneAtATimeOnThePool) {
  WorkerPool pool(3, 64);
  MISerialQueue queue(pool);
  std::vector<int> order;
  std::mutex mutex;
  std::atomic<int> running{0};
  std::atomic<bool> overlapped{false};
  for (int i = 0; i < 12; ++i)
    queue.addOperation(std::make_shared<RecordingOperation>(i, order, mutex, running, overlapped));
  EXPECT_FALSE(queue.addOperation(nullptr));
  ASSERT_TRUE(queue.waitUntilAllOperationsAreFinished(10.0));
  EXPECT_FALSE(overlapped.load());
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  pool.shutdown(false);
}

TEST(MISerialQueue, CancelReleasesWaitingOperations) {
  WorkerPool pool(1, 64);
  MISerialQueue queue(pool);
  std::atomic<bool> release{false};
  struct Blocker : MIOperation {
    std::atomic<bool>& release;
    explicit Blocker(std::atomic<bool>& r) : release(r) {}
    void main() override {
      while (!release) std::this_thread::yield();
    }
  };
  auto waiting = std::make_shared<Blocker>(release);
  queue.addOperation(std::make_shared<Blocker>(release));
  queue.addOperation(waiting);
  EXPECT_EQ(queue.operationCount(), 2u);
  queue.cancelAllOperations();
  EXPECT_EQ(waiting.use_count(), 1) << "the queue let the waiting operation go";
  release = true;
  EXPECT_TRUE(queue.waitUntilAllOperationsAreFinished(5.0));
  pool.shutdown(false);
}

TEST(QKMIPrerollOperation, NoFileNoOperationAndAVanishedFileIsSkipped) {
  EXPECT_EQ(QKMIPrerollOperation::initWithQTFile(nullptr), nullptr);
  InspectorFiles files;
  auto file =
      std::dynamic_pointer_cast<QKQTFile>(files.make(QKFile::kMovieKind, QStringLiteral("gone")));
  auto operation = QKMIPrerollOperation::initWithQTFile(file);
  ASSERT_TRUE(operation);
  EXPECT_EQ(operation->file(), file);
  file.reset();
  LogCapture log;
  operation->main();
  EXPECT_TRUE(log.contains(QStringLiteral("pre-roll skipped")));
}

// Applying two movies whose pre-roll is on pre-rolls both, one after the
// other, on the shared pool; turning it off lets the pre-roll go.
TEST(QKMIPrerollOperation, AppliedMoviesArePreRolled) {
  InspectorFiles files;
  FakeInspectorHost host;
  MediaInspector inspector(&host);
  inspector.awakeFromNib();
  TestClipSpec spec;
  spec.frames = 10;
  auto a = files.movie(spec, QStringLiteral("a.mov"));
  auto b = files.movie(spec, QStringLiteral("b.mov"));
  inspector.selectTheseFiles({entry(a), entry(b)});
  for (const auto& file : {a, b}) {
    inspector.pendingPropsFor(*file)->insert(MovieProps::kDoMoviePreroll, 1);
    EXPECT_FALSE(file->visualContext());
  }
  inspector.applyChanges();
  MISerialQueue& queue = inspector.moviePropertiesController()->preRollQueue();
  ASSERT_TRUE(MainThread::processUntil(
      [&] { return queue.operationCount() == 0 && a->visualContext() && b->visualContext(); },
      10.0));

  for (const auto& file : {a, b})
    inspector.pendingPropsFor(*file)->insert(MovieProps::kDoMoviePreroll, 0);
  inspector.applyChanges();
  EXPECT_TRUE(
      MainThread::processUntil([&] { return !a->visualContext() && !b->visualContext(); }, 5.0));
}

}  // namespace
