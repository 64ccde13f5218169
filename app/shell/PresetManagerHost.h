#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

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
};
