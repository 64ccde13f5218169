#pragma once

#include "app/shell/PresetManagerHost.h"

#include <memory>

class AppController;
class AppMissingFilesHost;
class MissingFilesSearch;
class PMMissingFilesController;

// The preset manager's view of ZAPH: the application controller's managers.
// Parts not built yet answer empty snapshots (the live input) or nothing:
// the live input's restore and the application controller's own setup. It
// owns the missing-files window, made when first opened.
class AppPresetManagerHost : public PresetManagerHost {
 public:
  explicit AppPresetManagerHost(AppController& app);
  ~AppPresetManagerHost() override;

  std::optional<QVariantMap> pageControllerSnapshot() override;
  std::optional<QVariantMap> sequenceGrabberSnapshot() override;
  std::optional<QVariantList> layerChainManagerSnapshot() override;
  std::optional<QVariantList> behaviorChainManagerSnapshot() override;
  void saveChainPresetsToDisk() override;
  QVariantMap compositorSnapshot() override;
  QVariantList pluginManagerSnapshot() override;
  QKWindowContentView* paletteContentView(const QString& key) override;
  void putPaletteSnapInDict(const QString& owner, QVariantMap& dict) override;
  void matchThisPaletteShortcutSnapshot(const QString& owner, const QVariantMap& dict) override;
  bool interfaceLock() override;
  bool interfaceLockAll() override;
  void setLock(bool lock, bool lockAll) override;
  bool fullscreenWouldHideAModal() override;
  void leaveFullscreen() override;
  void cancelFileLoading() override;
  void deleteAllLayers() override;
  void deleteAllPlugins() override;
  void clearRootFolder() override;
  void clearOutInPrepForLoad() override;
  QString bundleVersion() override;
  void loadCompositorSnapshot(const QVariantMap& snapshot) override;
  void loadPluginManagerSnapshot(const QVariantList& snapshot) override;
  QVariantMap layerFXSnapshot() override;
  QVariantMap layerFXShortcutSnapshot() override;
  void matchLayerFXSnapshot(const QVariantMap& snapshot) override;
  void matchLayerFXShortcutSnapshot(const QVariant& snapshot) override;
  void loadLayerChainManagerSnapshot(const QVariantList& snapshot) override;
  void loadBehaviorChainManagerSnapshot(const QVariant& snapshot) override;
  void loadPageControllerSnapshot(const QVariantMap& snapshot) override;
  bool fileLoaderLoading() override;
  void finishedBatchOfFiles() override;
  std::shared_ptr<QKFile> fileForUniqueFileId(long uniqueId) override;
  void openMissingFilesWindow(bool startSearch) override;
  void updateMissingFilesWindow() override;
  PMMissingFilesController* missingFilesController();

 private:
  AppController& app_;
  std::unique_ptr<AppMissingFilesHost> missingFilesHost_;
  std::unique_ptr<PMMissingFilesController> missingFilesController_;
  // Its search by name; goes before the window it searches for.
  std::unique_ptr<MissingFilesSearch> missingFilesSearch_;
};
