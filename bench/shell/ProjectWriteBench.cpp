// Writing a project in the middle of a show (the backup after every preset
// take): 64 presets and 8 pages of 64 media files. Ours builds the root
// dictionary, serialises it and writes it atomically (the preset manager's
// writer); the bare side serialises the same prebuilt tree with libplist
// and writes the bytes with QSaveFile. Both sides run in every iteration,
// in alternating order:
//
//   build/bin/bench_shell
#include "app/shell/PresetManager.h"
#include "bench/SideBySide.h"
#include "bench/shell/ProjectFixture.h"
#include "bench/WidgetBenchMain.h"
#include "platform/foundation/PropertyList.h"

#include <QDir>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <plist/plist.h>

namespace {

using project_fixture::BenchHost;
using project_fixture::presets;

void BM_WriteProject(benchmark::State& state) {
  QTemporaryDir dir;
  BenchHost host;
  PresetManager manager(&host);
  manager.presetArray() = presets();
  const QString ours = dir.filePath(QStringLiteral("Show.zaph"));
  // The bare side: the same tree, built once, serialised and written.
  const std::optional<QVariantMap> root = manager.createProjectFileDictionary();
  const QByteArray xml = PropertyList::toXml(*root);
  plist_t node = nullptr;
  plist_from_xml(xml.constData(), static_cast<uint32_t>(xml.size()), &node);
  const QString bare = dir.filePath(QStringLiteral("Bare.zaph"));
  const auto [o, b] = bench::sideBySide(
      state,
      [&] {
        if (!manager.writePresetsToVerifiedPath(ours).isEmpty()) state.SkipWithError("not written");
      },
      [&] {
        char* text = nullptr;
        uint32_t length = 0;
        plist_to_xml(node, &text, &length);
        QSaveFile file(bare);
        if (!file.open(QIODevice::WriteOnly) || file.write(text, length) != qint64(length) ||
            !file.commit())
          state.SkipWithError("bare write failed");
        plist_to_xml_free(text);
      });
  plist_free(node);
  const double n = double(state.iterations());
  state.counters["ours_ms"] = 1000 * o / n;
  state.counters["bare_ms"] = 1000 * b / n;
  state.counters["ours_vs_bare"] = o / b;
  state.counters["file_KB"] = double(xml.size()) / 1024.0;
}

BENCHMARK(BM_WriteProject)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
