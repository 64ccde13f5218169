#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <optional>

class QKFile;
class QKWindowContentView;

// What the preset manager needs of the rest of the program: the snapshots
// a project file holds, the fixed palettes, the owners of palette
// shortcuts, the interface lock and the parts File New empties. ZAPH's
// application controller answers it; tests answer with fakes. A snapshot
// that cannot be made answers nullopt. Main thread only.
class PresetManagerHost {
 public:
  virtual ~PresetManagerHost() = default;

  virtual std::optional<QVariantMap> pageControllerSnapshot() = 0;
  virtual std::optional<QVariantMap> sequenceGrabberSnapshot() = 0;
  virtual std::optional<QVariantList> layerChainManagerSnapshot() = 0;
  virtual std::optional<QVariantList> behaviorChainManagerSnapshot() = 0;
  // The chain managers write their chains to their own files.
  virtual void saveChainPresetsToDisk() = 0;
  // The snapshots an "Everything" preset holds besides the window positions.
  virtual QVariantMap compositorSnapshot() = 0;
  virtual QVariantList pluginManagerSnapshot() = 0;

  // The content view of a fixed palette by its window-position key
  // ("pluginManager", "masterClock", …); null when it does not exist.
  virtual QKWindowContentView* paletteContentView(const QString& key) = 0;
  // Palette shortcuts by owner key ("masterClock", "sliderInspector", …);
  // an owner that does not exist adds and restores nothing.
  virtual void putPaletteSnapInDict(const QString& owner, QVariantMap& dict) = 0;
  virtual void matchThisPaletteShortcutSnapshot(const QString& owner, const QVariantMap& dict) = 0;

  virtual bool interfaceLock() = 0;
  virtual bool interfaceLockAll() = 0;
  virtual void setLock(bool lock, bool lockAll) = 0;

  // The main output covers the screen a modal alert would show on.
  virtual bool fullscreenWouldHideAModal() = 0;
  virtual void leaveFullscreen() = 0;

  // File New.
  virtual void cancelFileLoading() = 0;
  virtual void deleteAllLayers() = 0;
  virtual void deleteAllPlugins() = 0;
  virtual void clearRootFolder() = 0;
  virtual void clearOutInPrepForLoad() = 0;

  // The application's version ("projectVersion"); empty leaves it out.
  virtual QString bundleVersion() = 0;

  // --- Recalling presets: the restorers of each kind ---
  virtual void loadCompositorSnapshot(const QVariantMap& /*snapshot*/) {}
  virtual void loadPluginManagerSnapshot(const QVariantList& /*snapshot*/) {}
  virtual QVariantMap layerFXSnapshot() { return {}; }
  virtual QVariantMap layerFXShortcutSnapshot() { return {}; }
  virtual void matchLayerFXSnapshot(const QVariantMap& /*snapshot*/) {}
  virtual void matchLayerFXShortcutSnapshot(const QVariant& /*snapshot*/) {}

  // --- Loading a project: the restorers in the order the loader calls them ---
  virtual void loadSequenceGrabberSnapshot(const QVariantMap& /*snapshot*/) {}
  virtual void loadLayerChainManagerSnapshot(const QVariantList& /*snapshot*/) {}
  virtual void loadBehaviorChainManagerSnapshot(const QVariant& /*snapshot*/) {}
  // Replaces the pages and queues their media on the file loader.
  virtual void loadPageControllerSnapshot(const QVariantMap& /*snapshot*/) {}
  // "appControllerSetup" (invalid when the file has none).
  virtual void loadAppControllerSnapshot(const QVariant& /*snapshot*/) {}
  virtual bool fileLoaderLoading() { return false; }
  // Nothing to load: the file loader ends its (empty) load at once.
  virtual void finishedBatchOfFiles() {}
  // A media file by its ID: the root folder's, else the pages'.
  virtual std::shared_ptr<QKFile> fileForUniqueFileId(long /*uniqueId*/) { return nullptr; }
  // The missing-files window, with or without a search; `update` after a
  // listed file went.
  virtual void openMissingFilesWindow(bool /*startSearch*/) {}
  virtual void updateMissingFilesWindow() {}
};
