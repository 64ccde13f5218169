// Writing a project in the middle of a show (the backup after every preset
// take): 64 presets and 8 pages of 64 media files. Ours builds the root
// dictionary, serialises it and writes it atomically (the preset manager's
// writer); the bare side serialises the same prebuilt tree with libplist
// and writes the bytes with QSaveFile. Both sides run in every iteration,
// in alternating order:
//
//   build/bin/bench_shell
#include "app/shell/PresetManager.h"
#include "app/shell/PresetManagerHost.h"
#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"
#include "platform/foundation/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <plist/plist.h>

namespace {

QVariantMap mediaFile(int page, int cell) {
  const QString name = QStringLiteral("clip-%1-%2.mov").arg(page).arg(cell);
  return {{QStringLiteral("fileName"), name},
          {QStringLiteral("fullPath"), QStringLiteral("/home/vj/show/media/") + name},
          {QStringLiteral("relPathToProject"), QStringLiteral("media/") + name},
          {QStringLiteral("relPathToApp"), QStringLiteral("../../home/vj/show/media/") + name},
          {QStringLiteral("uniqueID"), QVariant::fromValue<qint64>(page * 1000 + cell)},
          {QStringLiteral("rate"), 1.0},
          {QStringLiteral("loopMode"), QVariant::fromValue<qint64>(cell % 3)},
          {QStringLiteral("inPoint"), 0.0},
          {QStringLiteral("outPoint"), 12.5 + cell},
          {QStringLiteral("preroll"), cell % 2 == 0},
          {QStringLiteral("added"), QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC)}};
}

QVariantMap pages() {
  QVariantList list;
  for (int p = 0; p < 8; ++p) {
    QVariantList files;
    for (int c = 0; c < 64; ++c) files.append(mediaFile(p, c));
    list.append(QVariantMap{{QStringLiteral("pageName"), QStringLiteral("Bank %1").arg(p)},
                            {QStringLiteral("uniqueID"), QVariant::fromValue<qint64>(p)},
                            {QStringLiteral("files"), files}});
  }
  return {{QStringLiteral("pages"), list}};
}

QVariantMap layer(int i) {
  return {{QStringLiteral("name"), QStringLiteral("Layer %1").arg(i)},
          {QStringLiteral("opacity"), 0.5 + i * 0.1},
          {QStringLiteral("compMode"), QStringLiteral("Over")},
          {QStringLiteral("fileId"), QVariant::fromValue<qint64>(i * 7)},
          {QStringLiteral("fx"),
           QVariantList{QVariantMap{{QStringLiteral("name"), QStringLiteral("Blur")},
                                    {QStringLiteral("radius"), 3.0}}}}};
}

QVariantList presets() {
  QVariantList list;
  for (int i = 0; i < 64; ++i) {
    QVariantList layers;
    for (int l = 0; l < 4; ++l) layers.append(layer(l));
    list.append(QVariantMap{
        {QStringLiteral("QKPMNameKey"), QStringLiteral("Scene %1").arg(i)},
        {QStringLiteral("QKPMTypeKey"), QStringLiteral("Everything")},
        {QStringLiteral("QKPMIndexKey"), QVariant::fromValue<qint64>(i)},
        {QStringLiteral("compositorSnapshot"),
         QVariantMap{{QStringLiteral("layerSnapArray"), layers},
                     {QStringLiteral("contentsRenderingMode"), QVariant::fromValue<qint64>(0)}}},
        {QStringLiteral("PMSnapshot"), QVariantList()},
        {QStringLiteral("windPosSnapshot"), QVariantMap()}});
  }
  return list;
}

class BenchHost : public PresetManagerHost {
 public:
  std::optional<QVariantMap> pageControllerSnapshot() override { return pages_; }
  std::optional<QVariantMap> sequenceGrabberSnapshot() override {
    return QVariantMap{{QStringLiteral("seqSnapArray"), QVariantList()}};
  }
  std::optional<QVariantList> layerChainManagerSnapshot() override { return QVariantList(); }
  std::optional<QVariantList> behaviorChainManagerSnapshot() override { return QVariantList(); }
  void saveChainPresetsToDisk() override {}
  QVariantMap compositorSnapshot() override { return {}; }
  QVariantList pluginManagerSnapshot() override { return {}; }
  QKWindowContentView* paletteContentView(const QString&) override { return nullptr; }
  void putPaletteSnapInDict(const QString&, QVariantMap&) override {}
  void matchThisPaletteShortcutSnapshot(const QString&, const QVariantMap&) override {}
  bool interfaceLock() override { return false; }
  bool interfaceLockAll() override { return false; }
  void setLock(bool, bool) override {}
  bool fullscreenWouldHideAModal() override { return false; }
  void leaveFullscreen() override {}
  void cancelFileLoading() override {}
  void deleteAllLayers() override {}
  void deleteAllPlugins() override {}
  void clearRootFolder() override {}
  void clearOutInPrepForLoad() override {}
  QString bundleVersion() override { return QStringLiteral("0.1.0"); }

 private:
  QVariantMap pages_ = pages();
};

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
