#include "framework/toolkit/QKStatChecker.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {
// Panels the checker shows, answered by a chosen button; memory read from a
// file the test writes.
class QKStatCheckerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QKStatChecker::reset();
    memInfo = TestEnvironment::makeTempDir() + QStringLiteral("/meminfo");
    setAvailableKilobytes(8'000'000);
    QKStatChecker::setMemInfoPath(memInfo);
    QKStatChecker::setPresenter(
        [this](const QString& title, const QString& message, const QStringList& buttons, int) {
          panels.push_back({title, message, buttons});
          return answer;
        });
    Log::setSink([this](const QString& line) { logLines << line; });
  }
  void TearDown() override {
    Log::setSink({});
    QKStatChecker::reset();
  }

  void setAvailableKilobytes(long kilobytes) {
    QFile f(memInfo);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QStringLiteral("MemTotal:       16000000 kB\nMemFree:          123456 kB\n"
                           "MemAvailable:   %1 kB\nBuffers: 1 kB\n")
                .arg(kilobytes)
                .toLatin1());
  }
  void preroll(unsigned movies) {
    for (unsigned i = 0; i < movies; ++i) QKStatChecker::incrementCachedMovieCount();
  }
  // Lets the queued panels show.
  void processPanels() {
    MainThread::processUntil([] { return false; }, 0.05);
  }

  struct Panel {
    QString title;
    QString message;
    QStringList buttons;
  };
  QString memInfo;
  std::vector<Panel> panels;
  QStringList logLines;
  int answer = 0;
};
}  // namespace

TEST_F(QKStatCheckerTest, PrerollWarningOnceWhenTheCountPassesTheThreshold) {
  preroll(100);
  processPanels();
  EXPECT_TRUE(panels.empty());
  preroll(1);
  processPanels();
  ASSERT_EQ(panels.size(), 1u);
  EXPECT_EQ(panels[0].title, QStringLiteral("Warning!"));
  EXPECT_EQ(panels[0].message,
            QStringLiteral("The current project now has over 101 pre-rolled movies. This may lead "
                           "to performance or stability problems."));
  EXPECT_EQ(panels[0].buttons,
            (QStringList{QStringLiteral("Continue loading"), QStringLiteral("Stop Pre-rolling")}));
  EXPECT_TRUE(logLines.contains(QStringLiteral("err:Exceeded movie pre-roll safety threshold")));
  preroll(1);
  processPanels();
  EXPECT_EQ(panels.size(), 1u);
  EXPECT_FALSE(QKStatChecker::stopPrerolling());
  EXPECT_EQ(QKStatChecker::cachedMovieCount(), 102u);
}

TEST_F(QKStatCheckerTest, StopPrerollingHoldsUntilTheCountFallsBelowTheThreshold) {
  answer = 1;
  preroll(101);
  processPanels();
  EXPECT_TRUE(QKStatChecker::stopPrerolling());
  EXPECT_TRUE(logLines.contains(QStringLiteral("err:Blocking prerolling until below threshold")));
  QKStatChecker::decrementCachedMovieCount();  // 101 -> 100
  EXPECT_TRUE(QKStatChecker::stopPrerolling());
  QKStatChecker::decrementCachedMovieCount();  // 100 -> 99
  EXPECT_FALSE(QKStatChecker::stopPrerolling());
  EXPECT_TRUE(logLines.contains(QStringLiteral("err:Below VC threshold, resuming pre-rolling")));
}

TEST_F(QKStatCheckerTest, ShortMemoryIsRememberedUntilAReleaseMeasuresAgain) {
  setAvailableKilobytes(50'000);
  EXPECT_TRUE(QKStatChecker::belowPhysicalRAMThreshold());
  EXPECT_TRUE(QKStatChecker::checkMemoryThreshold());
  EXPECT_TRUE(logLines.contains(QStringLiteral("Err: exceeded memory usage threshold")));
  processPanels();
  ASSERT_EQ(panels.size(), 1u);
  EXPECT_EQ(panels[0].buttons, QStringList{QStringLiteral("Okay")});
  EXPECT_TRUE(
      panels[0].message.startsWith(QStringLiteral("ZAPH is running low on available memory.")));
  // Plenty again, but nobody measured: still short, and no second panel.
  setAvailableKilobytes(8'000'000);
  EXPECT_TRUE(QKStatChecker::checkMemoryThreshold());
  processPanels();
  EXPECT_EQ(panels.size(), 1u);
  QKStatChecker::updateBelowMemoryThreshold();
  EXPECT_FALSE(QKStatChecker::checkMemoryThreshold());
  // A released movie measures too.
  setAvailableKilobytes(10);
  QKStatChecker::updateBelowMemoryThreshold();
  setAvailableKilobytes(8'000'000);
  preroll(1);
  QKStatChecker::decrementCachedMovieCount();
  EXPECT_FALSE(QKStatChecker::checkMemoryThreshold());
}

TEST_F(QKStatCheckerTest, NoPrerollWarningWhileTheMemoryWarningIsOpen) {
  preroll(100);
  setAvailableKilobytes(50'000);
  EXPECT_TRUE(QKStatChecker::checkMemoryThreshold());  // queued, not shown yet
  setAvailableKilobytes(8'000'000);
  preroll(1);
  processPanels();
  ASSERT_EQ(panels.size(), 1u);
  EXPECT_EQ(panels[0].buttons, QStringList{QStringLiteral("Okay")});
}

TEST_F(QKStatCheckerTest, UnreadableStatisticsCountAsShortMemory) {
  QKStatChecker::setMemInfoPath(TestEnvironment::rootDir() + QStringLiteral("/no-such-meminfo"));
  EXPECT_EQ(QKStatChecker::availableRAM(), -2.0);
  EXPECT_TRUE(QKStatChecker::belowPhysicalRAMThreshold());
  EXPECT_TRUE(logLines.contains(QStringLiteral("Failed to get VM statistics.")));
  QKStatChecker::setMemInfoPath({});
  EXPECT_GT(QKStatChecker::availableRAM(), 0.0);  // the machine's own
  setAvailableKilobytes(123456);
  QKStatChecker::setMemInfoPath(memInfo);
  EXPECT_EQ(QKStatChecker::availableRAM(), 123456.0);
}

TEST_F(QKStatCheckerTest, TheCountNeverGoesBelowZero) {
  QKStatChecker::decrementCachedMovieCount();
  EXPECT_EQ(QKStatChecker::cachedMovieCount(), 0u);
  preroll(1);
  EXPECT_EQ(QKStatChecker::cachedMovieCount(), 1u);
}

TEST_F(QKStatCheckerTest, LoadingThreadsCountExactlyAndNeverWaitForTheMainThread) {
  // The main thread waits for the loaders (it does not run its event loop
  // meanwhile): the pre-roll warning reached by a loader must not block it.
  std::vector<std::thread> loaders;
  for (int t = 0; t < 8; ++t)
    loaders.emplace_back([] {
      for (int i = 0; i < 50; ++i) QKStatChecker::incrementCachedMovieCount();
      for (int i = 0; i < 20; ++i) QKStatChecker::decrementCachedMovieCount();
    });
  auto joined = std::async(std::launch::async, [&] {
    for (auto& t : loaders) t.join();
  });
  ASSERT_EQ(joined.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(QKStatChecker::cachedMovieCount(), 8u * 30u);
  processPanels();
  EXPECT_LE(panels.size(), 1u);
}

TEST_F(QKStatCheckerTest, SystemVersionTakesTheNewerPaths) {
  EXPECT_GT(QKStatChecker::majorSysVersion(), 4);
}

// A worker asking while the main thread waits for it does not wait for the
// main thread: it gets the main thread's last answer, or, when the main
// thread never looked, an empty list while the look is queued there.
TEST_F(QKStatCheckerTest, RendererVendorsAskedOnAWorkerDoNotWaitForTheMainThread) {
  auto askOnAWorker = [] {
    auto answer = std::async(std::launch::async, [] { return QKStatChecker::gpuVendorArray(); });
    const bool withoutTheMainThread =
        answer.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    // Frees a worker that waits for the main thread after all.
    MainThread::processUntil(
        [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 5.0);
    EXPECT_TRUE(withoutTheMainThread) << "the worker waited for the main thread";
    return answer.get();
  };
  QKStatChecker::reset();
  EXPECT_TRUE(askOnAWorker().isEmpty()) << "the main thread never looked";
  const QStringList onMain = QKStatChecker::gpuVendorArray();
  EXPECT_EQ(askOnAWorker(), onMain);

  QKStatChecker::reset();
  askOnAWorker();
  MainThread::processUntil([] { return false; }, 0.2);  // the queued look
  EXPECT_EQ(askOnAWorker(), onMain);
}

TEST_F(QKStatCheckerTest, OneRendererVendorPerScreenWithGL) {
  const QStringList vendors = QKStatChecker::gpuVendorArray();
  EXPECT_LE(vendors.size(), QGuiApplication::screens().size());
  for (const QString& v : vendors) EXPECT_FALSE(v.isEmpty());
  if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
    EXPECT_FALSE(vendors.isEmpty());
  }
}
