#pragma once

#include "app/shell/PresetManagerHost.h"

class AppController;

// The preset manager's view of ZAPH: the application controller's managers.
// Parts not built yet answer empty snapshots (the live input) or nothing.
class AppPresetManagerHost : public PresetManagerHost {
 public:
  explicit AppPresetManagerHost(AppController& app) : app_(app) {}

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
  void clearOutInPrepForLoad() override {}
  QString bundleVersion() override;

 private:
  AppController& app_;
};
