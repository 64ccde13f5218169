// Relinking by name over a tree of 100,000 files without a locate database:
// ours runs the missing-files flow for 20 names (one walk, folded names,
// each hit checked on disk, answers through the main thread); the bare side
// walks the same tree with std::filesystem collecting the names. A second
// benchmark reports the longest gap between ticks of a 10 ms main-thread
// timer while the walk runs and while the update check waits on a silent
// loopback server.
#include "app/shell/InternetCheck.h"
#include "app/shell/MissingFilesSearch.h"
#include "bench/SideBySide.h"
#include "framework/media/QKFile.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kFolders = 400;
constexpr int kFilesPerFolder = 250;  // 100,000 files
constexpr int kMissing = 20;

const QTemporaryDir& tree() {
  static QTemporaryDir dir;
  static bool made = false;
  if (!made) {
    made = true;
    for (int folder = 0; folder < kFolders; ++folder) {
      const QString path =
          dir.path() + QStringLiteral("/set%1/bank%2").arg(folder % 20).arg(folder);
      QDir().mkpath(path);
      const QByteArray base = path.toUtf8();
      for (int file = 0; file < kFilesPerFolder; ++file) {
        const QByteArray name =
            base + "/Clip " + QByteArray::number(folder * kFilesPerFolder + file) + ".mov";
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0) ::close(fd);
      }
    }
  }
  return dir;
}

FileSearch::Options treeOnly() {
  FileSearch::Options options;
  options.roots = {tree().path()};
  options.databaseProgram = QStringLiteral("-");
  return options;
}

// A flow over `kMissing` files named like files of the tree; answers the
// number relinked.
int runFlow() {
  MissingFilesSearch::Files files;
  for (int i = 0; i < kMissing; ++i) {
    auto file = std::make_shared<QKFile>(QStringLiteral("clip %1.MOV").arg(i * 4999), nullptr);
    file->setFullPath(QStringLiteral("/gone/clip %1.MOV").arg(i * 4999));
    files.push_back(file);
  }
  MissingFilesSearch::Files queue;
  int relinked = 0;
  bool done = false;
  MissingFilesSearch::Host host;
  host.missingFiles = [&] { return files; };
  host.snapshotOf = [](const QKFile&) { return QVariantMap(); };
  host.queue = [&]() -> MissingFilesSearch::Files& { return queue; };
  host.relink = [&](const std::shared_ptr<QKFile>&, const QVariantMap&, const QString&) {
    ++relinked;
  };
  host.update = [&] { done = true; };
  host.setStatus = [](const QString&) {};
  host.hideMissingCount = [] {};
  host.window = [] { return nullptr; };
  MissingFilesSearch flow(host, MissingFilesSearch::fileSearchEngines(treeOnly()));
  flow.startSpotlightSearchForAllMissingFiles();
  // Woken by each answer the worker posts.
  while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return relinked;
}

std::size_t bareWalk() {
  std::vector<std::string> names;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(tree().path().toStdString()))
    names.push_back(entry.path().filename().string());
  return names.size();
}

void BM_RelinkFlowOverWalk(benchmark::State& state) {
  tree();
  int relinked = 0;
  std::size_t names = 0;
  const bench::SideBySideSeconds t = bench::sideBySide(
      state, [&] { relinked = runFlow(); }, [&] { names = bareWalk(); });
  const double n = double(state.iterations());
  state.counters["ours_ms"] = 1000 * t.first / n;
  state.counters["bare_ms"] = 1000 * t.second / n;
  state.counters["ours_vs_bare"] = t.first / t.second;
  state.counters["relinked"] = relinked;
  state.counters["entries"] = double(names);
}

// The longest wait between ticks of a 10 ms timer while `work` is under way.
double longestGapMs(const std::function<void(bool& finished)>& work) {
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0;
  qint64 longest = 0;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    longest = std::max(longest, now - last);
    last = now;
  });
  timer.start(10);
  bool finished = false;
  work(finished);
  MainThread::processUntil([&] { return finished; }, 60.0);
  return double(longest);
}

void BM_MainThreadGaps(benchmark::State& state) {
  tree();
  double walkGap = 0;
  double updateGap = 0;
  for (auto _ : state) {
    auto search = std::make_shared<FileSearch>(treeOnly());
    walkGap =
        std::max(walkGap, longestGapMs([&](bool& finished) {
                   search->search(QStringLiteral("clip 99999.mov"), {},
                                  [&finished](const FileSearch::Answer&) { finished = true; });
                 }));
    LoopbackHttpServer silent;
    silent.neverAnswer();
    UserDefaults::standard().setValue(QStringLiteral("updateServerURL"), silent.url());
    UserDefaults::standard().synchronize();  // its file is written now, not while timing
    InternetCheck::Environment environment;
    environment.bundleVersion = QStringLiteral("1.0");
    environment.connectTimeout = 1.0;
    environment.totalTimeout = 1.0;
    bool* flag = nullptr;
    environment.releaseGate = [&flag] {
      if (flag) *flag = true;
    };
    InternetCheck check(environment);
    updateGap = std::max(updateGap, longestGapMs([&](bool& finished) {
                           flag = &finished;
                           check.start();
                         }));
  }
  state.counters["walk_gap_ms"] = walkGap;
  state.counters["update_gap_ms"] = updateGap;
}

BENCHMARK(BM_RelinkFlowOverWalk)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MainThreadGaps)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
