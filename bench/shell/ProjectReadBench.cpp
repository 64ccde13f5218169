// Opening a project of 64 presets and 512 media entries (8 pages of 64),
// up to the restorers: ours is the preset manager's load (reading the file
// with our property-list reader, the checks, the preset table, and handing
// every snapshot to its restorer, whose work is not timed: the host takes
// them and loads nothing); the bare side reads the same file and only
// tokenises it with QXmlStreamReader. Both sides run in every iteration,
// in alternating order:
//
//   build/bin/bench_shell --benchmark_filter=ReadProject
#include "app/shell/PresetManager.h"
#include "bench/SideBySide.h"
#include "bench/shell/ProjectFixture.h"
#include "platform/foundation/Log.h"

#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <benchmark/benchmark.h>

namespace {

// Keeps the pages it is handed, to check that every media entry arrived.
class ReadingHost : public project_fixture::BenchHost {
 public:
  void loadPageControllerSnapshot(const QVariantMap& snapshot) override { loaded = snapshot; }
  QVariantMap loaded;
};

int mediaEntries(const QVariantMap& pages) {
  int count = 0;
  for (const QVariant& page : pages.value(QStringLiteral("pages")).toList())
    count += int(page.toMap().value(QStringLiteral("files")).toList().size());
  return count;
}

void BM_ReadProject(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("Show.zaph"));
  {
    project_fixture::BenchHost host;
    PresetManager writer(&host);
    writer.presetArray() = project_fixture::presets();
    if (!writer.writePresetsToVerifiedPath(path).isEmpty()) {
      state.SkipWithError("the project could not be written");
      return;
    }
  }
  ReadingHost host;
  PresetManager reader(&host);
  const Log::Sink sink = Log::setSink([](const QString&) {});
  qint64 tokens = 0;
  const auto [o, b] = bench::sideBySide(
      state, [&] { reader.loadPresetsFromVerifiedPath(path); },
      [&] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) state.SkipWithError("bare read failed");
        QXmlStreamReader xml(file.readAll());
        while (!xml.atEnd()) {
          xml.readNext();
          ++tokens;
        }
        if (xml.hasError()) state.SkipWithError("bare tokenising failed");
      },
      project_fixture::handlePostedEvents);
  Log::setSink(sink);
  if (reader.presetArray().size() != 64 || mediaEntries(host.loaded) != 512)
    state.SkipWithError("the project did not load whole");
  const double n = double(state.iterations());
  state.counters["ours_ms"] = 1000 * o / n;
  state.counters["bare_ms"] = 1000 * b / n;
  state.counters["ours_vs_bare"] = o / b;
  state.counters["file_KB"] = double(QFile(path).size()) / 1024.0;
  state.counters["tokens"] = double(tokens) / n;
}

BENCHMARK(BM_ReadProject)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace
