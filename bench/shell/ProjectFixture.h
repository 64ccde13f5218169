// The project the shell's benchmarks write and read: 64 "Everything"
// presets of four layers each and 8 pages of 64 media files, with a preset
// manager host that answers those snapshots and restores nothing.

#pragma once

#include "app/shell/PresetManagerHost.h"

#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QDateTime>
#include <QTime>
#include <QVariantList>
#include <QVariantMap>

namespace project_fixture {

// What the program's event loop does between two performer actions: the
// events the last one posted (repaints, layouts, widgets deleted later) are
// handled. A benchmark that never returns to an event loop would otherwise
// pile them up, and every later post and widget deletion walks that pile.
inline void handlePostedEvents() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline QVariantMap mediaFile(int page, int cell) {
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

inline QVariantMap pages() {
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

inline QVariantMap layer(int i) {
  return {{QStringLiteral("name"), QStringLiteral("Layer %1").arg(i)},
          {QStringLiteral("opacity"), 0.5 + i * 0.1},
          {QStringLiteral("compMode"), QStringLiteral("Over")},
          {QStringLiteral("fileId"), QVariant::fromValue<qint64>(i * 7)},
          {QStringLiteral("fx"),
           QVariantList{QVariantMap{{QStringLiteral("name"), QStringLiteral("Blur")},
                                    {QStringLiteral("radius"), 3.0}}}}};
}

inline QVariantList presets() {
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

}  // namespace project_fixture
