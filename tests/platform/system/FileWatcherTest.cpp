// The inotify watcher: the flag of each kind of change, one report per
// registration, and a stop that returns at once and closes its descriptors.
#include "platform/system/FileWatcher.h"
#include "tests/support/Eventually.h"
#include "tests/support/HangWatchdog.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <map>
#include <mutex>

namespace {

// Long enough for a loaded machine; a passing wait ends at once.
constexpr double kPatience = 10.0;

// What each registration was told, joined.
class Reports {
 public:
  FileWatcher::Callback callback() {
    return [this](int id, std::uint32_t flags) {
      std::lock_guard<std::mutex> lock(mutex_);
      flags_[id] |= flags;
      ++calls_[id];
    };
  }
  std::uint32_t flags(int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    return flags_[id];
  }
  int calls(int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_[id];
  }

 private:
  std::mutex mutex_;
  std::map<int, std::uint32_t> flags_;
  std::map<int, int> calls_;
};

QString makeFile(const QString& folder, const QString& name) {
  const QString path = folder + QLatin1Char('/') + name;
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("first");
  return path;
}

// The inotify descriptors open in the process (other descriptors come and
// go with Qt's own threads).
int inotifyDescriptors() {
  int count = 0;
  const QDir fds(QStringLiteral("/proc/self/fd"));
  for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::Files))
    if (fd.symLinkTarget().contains(QLatin1String("inotify"))) ++count;
  return count;
}

}  // namespace

TEST(FileWatcher, EachChangeGivesItsFlag) {
  const QString folder = TestEnvironment::makeTempDir(QStringLiteral("watch"));
  const struct {
    const char* name;
    std::function<void(const QString&)> change;
    std::uint32_t flag;
  } cases[] = {
      {"write",
       [](const QString& p) {
         QFile f(p);
         ASSERT_TRUE(f.open(QIODevice::Append));
         f.write("more");
       },
       FileWatcher::kWrite},
      {"chmod", [](const QString& p) { QFile::setPermissions(p, QFile::ReadOwner); },
       FileWatcher::kAttrib},
      {"rename", [&](const QString& p) { QFile::rename(p, p + ".moved"); }, FileWatcher::kRename},
      {"delete", [](const QString& p) { QFile::remove(p); }, FileWatcher::kDelete},
  };
  for (const auto& c : cases) {
    Reports reports;
    FileWatcher watcher(reports.callback());
    ASSERT_TRUE(watcher.isRunning());
    const QString path = makeFile(folder, c.name);
    const int id = watcher.addWatch(path);
    ASSERT_GT(id, 0) << c.name;
    c.change(path);
    EXPECT_TRUE(waitFor([&] { return (reports.flags(id) & c.flag) != 0; }, kPatience)) << c.name;
  }
}

TEST(FileWatcher, EveryRegistrationIsReportedAndEndsOnItsOwn) {
  const QString folder = TestEnvironment::makeTempDir(QStringLiteral("watch"));
  const QString path = makeFile(folder, "a");
  const QString marker = makeFile(folder, "marker");
  Reports reports;
  FileWatcher watcher(reports.callback());
  const int first = watcher.addWatch(path);
  const int second = watcher.addWatch(path);
  const int last = watcher.addWatch(marker);
  ASSERT_NE(first, second);
  // Events come in order: once the marker's change is reported, so is the
  // file's before it.
  // One chmod each, so that each is reported once.
  const auto toggle = [](const QString& p) {
    QFile::setPermissions(p, QFile::permissions(p) ^ QFile::WriteOther);
  };
  const auto changeAndSettle = [&] {
    toggle(path);
    const int before = reports.calls(last);
    toggle(marker);
    return waitFor([&] { return reports.calls(last) > before; }, kPatience);
  };
  ASSERT_TRUE(changeAndSettle());
  EXPECT_EQ(reports.calls(first), 1);
  EXPECT_EQ(reports.calls(second), 1);

  watcher.removeWatch(first);
  watcher.removeWatch(12345);  // unknown: ignored
  ASSERT_TRUE(changeAndSettle());
  EXPECT_EQ(reports.calls(first), 1);
  EXPECT_EQ(reports.calls(second), 2) << "the other registration still watches";

  QString error;
  EXPECT_EQ(watcher.addWatch(folder + "/missing", &error), -1);
  EXPECT_FALSE(error.isEmpty());
}

TEST(FileWatcher, StopReturnsAtOnceAndClosesEverything) {
  const QString folder = TestEnvironment::makeTempDir(QStringLiteral("watch"));
  const int before = inotifyDescriptors();
  HangWatchdog watchdog("stopping a file watcher", 30.0);
  {
    Reports reports;
    FileWatcher watcher(reports.callback());
    ASSERT_GT(watcher.addWatch(makeFile(folder, "a")), 0);
    EXPECT_EQ(inotifyDescriptors(), before + 1);
    auto stopped = std::async(std::launch::async, [&] { watcher.stop(); });
    EXPECT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_FALSE(watcher.isRunning());
    EXPECT_EQ(watcher.addWatch(folder + "/a"), -1);
    EXPECT_EQ(inotifyDescriptors(), before);
  }
  // Stopped from its own callback: the thread ends by itself.
  std::atomic<bool> called{false};
  std::unique_ptr<FileWatcher> watcher;
  watcher = std::make_unique<FileWatcher>([&](int, std::uint32_t) {
    watcher.reset();
    called = true;
  });
  ASSERT_GT(watcher->addWatch(makeFile(folder, "b")), 0);
  QFile::remove(folder + "/b");
  EXPECT_TRUE(waitFor([&] { return called.load(); }, kPatience));
  EXPECT_TRUE(waitFor([&] { return inotifyDescriptors() == before; }, kPatience));
}
