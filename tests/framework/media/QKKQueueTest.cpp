// The file watchers of the framework: the delegate watcher with its own
// paths, and the shared centre with one entry per registration.
#include "framework/media/QKKQueue.h"
#include "framework/media/QKKQueueCenter.h"
#include "framework/media/QKKQueueObserver.h"
#include "tests/support/Eventually.h"
#include "tests/support/HangWatchdog.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <vector>

namespace {

// Long enough for a loaded machine; a passing wait ends at once.
constexpr double kPatience = 10.0;

class Recorder : public QKKQueueObserver {
 public:
  void file(const QString& path, std::uint32_t changed) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.emplace_back(path, changed);
  }
  int count(const QString& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    return int(std::count_if(calls_.begin(), calls_.end(),
                             [&](const auto& call) { return call.first == path; }));
  }
  std::uint32_t flags(const QString& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::uint32_t all = 0;
    for (const auto& [p, f] : calls_)
      if (p == path) all |= f;
    return all;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<QString, std::uint32_t>> calls_;
};

QString makeFile(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  return path;
}

// One change of attributes (one chmod), so that it is reported once.
void touchAttributes(const QString& path) {
  QFile::setPermissions(path, QFile::permissions(path) ^ QFile::WriteOther);
}

class QKKQueueTest : public ::testing::Test {
 protected:
  // Changes `path`, then the marker, and waits for the marker's report:
  // events arrive in order, so every report of `path` is in by then.
  bool changeAndSettle(const QString& path) {
    touchAttributes(path);
    const int before = marker_->count(markerPath_);
    touchAttributes(markerPath_);
    return waitFor([&] { return marker_->count(markerPath_) > before; }, kPatience);
  }

  QString folder_ = TestEnvironment::makeTempDir(QStringLiteral("kqueue"));
  QString markerPath_ = makeFile(folder_ + "/marker");
  std::shared_ptr<Recorder> marker_ = std::make_shared<Recorder>();
};

}  // namespace

TEST_F(QKKQueueTest, TheCentreCallsEachRegistrationOnce) {
  auto center = QKKQueueCenter::create();
  ASSERT_TRUE(center);
  const QString path = makeFile(folder_ + "/watched");
  const QString other = makeFile(folder_ + "/other");
  auto one = std::make_shared<Recorder>();
  auto two = std::make_shared<Recorder>();
  auto twice = std::make_shared<Recorder>();
  center->addObserver(one, path);
  center->addObserver(two, path);
  center->addObserver(twice, path);
  center->addObserver(twice, path);
  center->addObserver(twice, other);
  center->addObserver(marker_, markerPath_);
  ASSERT_TRUE(changeAndSettle(path));
  EXPECT_EQ(one->count(path), 1);
  EXPECT_EQ(two->count(path), 1);
  EXPECT_EQ(twice->count(path), 2) << "one call per registration";
  EXPECT_TRUE(one->flags(path) & 0x8);

  center->removeObserver(std::make_shared<Recorder>().get());  // never registered
  EXPECT_EQ(center->entryCount(), 6u);
  center->removeObserver(twice.get(), path);
  EXPECT_EQ(center->entryCount(), 4u) << "its entry for the other path stays";
  center->removeObserver(one.get());
  ASSERT_TRUE(changeAndSettle(path));
  EXPECT_EQ(one->count(path), 1);
  EXPECT_EQ(two->count(path), 2);
  EXPECT_EQ(twice->count(path), 2);
  ASSERT_TRUE(changeAndSettle(other));
  EXPECT_EQ(twice->count(other), 1);
}

TEST_F(QKKQueueTest, AWatcherTellsItsDelegateAndWatchesAPathOnce) {
  auto queue = QKKQueue::create();
  ASSERT_TRUE(queue);
  const QString path = makeFile(folder_ + "/watched");
  queue->setDelegate(marker_);
  queue->watchPath(path);
  queue->watchPath(path);
  queue->watchPath({});
  queue->watchPath(markerPath_);
  EXPECT_EQ(queue->paths(), (std::vector<QString>{path, markerPath_}));
  ASSERT_TRUE(changeAndSettle(path));
  EXPECT_EQ(marker_->count(path), 1) << "a path watched twice is reported once";

  ASSERT_TRUE(QFile::rename(path, path + ".moved"));
  EXPECT_TRUE(waitFor([&] { return (marker_->flags(path) & 0x20) != 0; }, kPatience))
      << "a rename reaches the delegate under the watched path";

  queue->stopWatchingPath(path);
  EXPECT_EQ(queue->paths(), (std::vector<QString>{markerPath_}));
  queue->stopWatchingAllPaths();
  EXPECT_TRUE(queue->paths().empty());
}

TEST_F(QKKQueueTest, StopReturnsAtOnce) {
  HangWatchdog watchdog("stopping the file watchers", 30.0);
  auto queue = QKKQueue::create();
  auto center = QKKQueueCenter::create();
  ASSERT_TRUE(queue && center);
  queue->watchPath(markerPath_);
  center->addObserver(marker_, markerPath_);
  auto stopped = std::async(std::launch::async, [&] {
    queue->stop();
    center->stop();
  });
  EXPECT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(queue->paths().empty());
  EXPECT_EQ(center->entryCount(), 0u);
  queue.reset();
  center.reset();
  EXPECT_EQ(marker_.use_count(), 1) << "the centre let go of its observers";
}
