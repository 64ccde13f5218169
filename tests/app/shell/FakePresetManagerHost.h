#pragma once

#include "app/shell/PresetManagerHost.h"
#include "platform/foundation/NotificationCenter.h"

#include <QStringList>

#include <map>
#include <stdexcept>

// The preset manager's host in tests: snapshots from fields, and every
// restore, File New step and loader call recorded in `calls`, in order.
class FakePresetManagerHost : public PresetManagerHost {
 public:
  std::optional<QVariantMap> pageControllerSnapshot() override { return pages; }
  std::optional<QVariantMap> sequenceGrabberSnapshot() override { return grabber; }
  std::optional<QVariantList> layerChainManagerSnapshot() override { return layerChains; }
  std::optional<QVariantList> behaviorChainManagerSnapshot() override { return behaviorChains; }
  void saveChainPresetsToDisk() override { calls << QStringLiteral("saveChains"); }
  QVariantMap compositorSnapshot() override { return compositorState; }
  QVariantList pluginManagerSnapshot() override { return pluginState; }
  QKWindowContentView* paletteContentView(const QString& key) override {
    const auto found = palettes.find(key);
    return found == palettes.end() ? nullptr : found->second;
  }
  void putPaletteSnapInDict(const QString& owner, QVariantMap& dict) override {
    if (owner == QLatin1String("masterClock"))
      dict.insert(QStringLiteral("listenForMIDIClock"), clockFollowsMIDI);
  }
  void matchThisPaletteShortcutSnapshot(const QString& owner, const QVariantMap& dict) override {
    calls << QStringLiteral("match ") + owner;
    if (owner == QLatin1String("masterClock"))
      clockFollowsMIDI = dict.value(QStringLiteral("listenForMIDIClock")).toBool();
  }
  bool interfaceLock() override { return lock; }
  bool interfaceLockAll() override { return lockAll; }
  void setLock(bool newLock, bool newLockAll) override {
    calls << QStringLiteral("setLock %1 %2").arg(newLock).arg(newLockAll);
    lock = newLock && !newLockAll;
    lockAll = newLockAll;
  }
  bool fullscreenWouldHideAModal() override { return fullscreen; }
  void leaveFullscreen() override {
    calls << QStringLiteral("leaveFullscreen");
    fullscreen = false;
  }
  void cancelFileLoading() override { calls << QStringLiteral("cancelFileLoading"); }
  void deleteAllLayers() override { calls << QStringLiteral("deleteAllLayers"); }
  void deleteAllPlugins() override { calls << QStringLiteral("deleteAllPlugins"); }
  void clearRootFolder() override { calls << QStringLiteral("clearRootFolder"); }
  void clearOutInPrepForLoad() override { calls << QStringLiteral("clearOutInPrepForLoad"); }
  QString bundleVersion() override { return QStringLiteral("5.0.1"); }

  // The restorers record their calls in `calls`; a throwing one throws.
  void loadCompositorSnapshot(const QVariantMap& snapshot) override {
    restore(QStringLiteral("compositor"), snapshot);
  }
  void loadPluginManagerSnapshot(const QVariantList& snapshot) override {
    restore(QStringLiteral("plugins"), snapshot);
  }
  QVariantMap layerFXSnapshot() override { return {{QStringLiteral("Layer 1"), fxChain}}; }
  QVariantMap layerFXShortcutSnapshot() override {
    return {{QStringLiteral("Layer 1"), fxShortcut}};
  }
  void matchLayerFXSnapshot(const QVariantMap& snapshot) override {
    restore(QStringLiteral("layerFX"), snapshot);
  }
  void matchLayerFXShortcutSnapshot(const QVariant& snapshot) override {
    restore(QStringLiteral("layerFXShortcuts"), snapshot);
  }
  void loadSequenceGrabberSnapshot(const QVariantMap& snapshot) override {
    restore(QStringLiteral("capture"), snapshot);
  }
  void loadLayerChainManagerSnapshot(const QVariantList& snapshot) override {
    restore(QStringLiteral("layerChains"), snapshot);
  }
  void loadBehaviorChainManagerSnapshot(const QVariant& snapshot) override {
    restore(QStringLiteral("behaviorChains"), snapshot);
  }
  void loadPageControllerSnapshot(const QVariantMap& snapshot) override {
    restore(QStringLiteral("pages"), snapshot);
    loaderBusy = withMedia;
  }
  void loadAppControllerSnapshot(const QVariant& snapshot) override {
    restore(QStringLiteral("appController"), snapshot);
  }
  bool fileLoaderLoading() override { return loaderBusy; }
  void finishedBatchOfFiles() override {
    calls << QStringLiteral("finishedBatchOfFiles");
    NotificationCenter::defaultCenter().post(QStringLiteral("QKFileLoaderFinishedLoad"));
  }
  void openMissingFilesWindow(bool search) override {
    calls << QStringLiteral("missingFilesWindow %1").arg(search);
  }
  void updateMissingFilesWindow() override { calls << QStringLiteral("updateMissingFiles"); }

  void restore(const QString& what, const QVariant& snapshot) {
    calls << what;
    restored[what] = snapshot;
    if (what == throwingRestorer) throw std::runtime_error("restorer failed");
  }

  std::optional<QVariantMap> pages = QVariantMap{{QStringLiteral("pages"), QVariantList()}};
  std::optional<QVariantMap> grabber =
      QVariantMap{{QStringLiteral("seqSnapArray"), QVariantList()}};
  std::optional<QVariantList> layerChains = QVariantList();
  std::optional<QVariantList> behaviorChains = QVariantList();
  std::map<QString, QKWindowContentView*> palettes;
  bool clockFollowsMIDI = false;
  bool lock = false;
  bool lockAll = false;
  bool fullscreen = false;
  QStringList calls;
  std::map<QString, QVariant> restored;
  QString throwingRestorer;
  QVariantMap compositorState{{QStringLiteral("layerSnapArray"), QVariantList()}};
  QVariantList pluginState;
  QVariant fxChain = QStringLiteral("chain A");
  QVariant fxShortcut = QStringLiteral("shortcut A");
  bool withMedia = false;  // a page load leaves the loader busy
  bool loaderBusy = false;
};
