#pragma once

#include "framework/fx/ChainFileFolder.h"
#include "framework/fx/FXChainManager.h"
#include "platform/foundation/NotificationObservers.h"

#include <QStringList>

class Compositor;

// The manager of the layers' effect chains (effect folder "vidFX", whose
// name its drag types carry) and of their presets: named chain snapshots
// {"QKPMNameKey", "snapshot"} that any layer can take. The compositor owns
// the one instance.
//
// Presets live in memory, in the project ("layerChainManagerSnapshot", the
// base's snapshot) and as ".slc" property lists in the folder "layer
// chains": the shipped folder and the user's are read at start (a user
// preset replaces a shipped one of its name), files are written to the
// user's folder only, atomically, under the name escaped into a file name.
// Files are never removed: a deleted preset's file moves to "deleted/", a
// file a project replaces to "replaced/"; neither folder is read.
//
// Main thread only (shortcuts fire their presets on the main thread).
class LayerChainManager : public FXChainManager {
 public:
  static const QString kLayersChangedNotification;  // "QKLayersChangedNotification"
  // Posted after every change of the list (object: the manager).
  static const QString kPresetUpdateNotification;  // "QKLayerFXPresetUpdateNotification"
  // Object: a LayerChainManagerClient*, answered before the post returns.
  static const QString kFinderNotification;  // "QKLayerChainManagerFinderNotification"
  static const QString kFolderName;          // "layer chains"
  static const QString kExtension;           // ".slc"

  LayerChainManager();
  ~LayerChainManager() override;
  void updateChainBasedLists() override;

  Compositor* compositor() const { return compositor_; }
  void setCompositor(Compositor* compositor) { compositor_ = compositor; }

  // Replaces the list by the presets of the folders. Only files ending in
  // ".slc" are read; a file that is not a dictionary with a name is skipped
  // (logged).
  void loadFXChainPresetsFromDisk();
  // Every preset, in list order; false when a write failed.
  bool saveFXChainPresetsToDisk();
  // Writes the preset's file; false (logged with the path and reason) when
  // it cannot be written. The preset stays in the list either way.
  bool writeThisFXChainDictToDisk(const QVariantMap& preset);
  // Sorts the list by name (case-sensitive) and posts the update.
  void reloadPresetMenu();
  // The preset names in the order of the list, for the pop-ups.
  QStringList fxChainPresetMenu() const { return menu_; }

  // Saves a chain snapshot as the preset of that name (a preset of the
  // name is replaced): list, file, menu. False for an empty name or when
  // the file cannot be written (the preset is kept in memory).
  bool savePreset(const QString& name, const QVariantList& chainSnapshot);
  // Takes the preset out of the list and the menu, moves its file to
  // "deleted/" and clears every layer's shortcut to it. False when there is
  // no preset of that name.
  bool deletePreset(const QString& name);
  // A project's presets, merged by name (presets not in it stay); the
  // folder gets only those whose file is missing or differs, a differing
  // file first moved to "replaced/".
  void loadSnapshot(const QVariantList& presets);

  // The preset's file name: its name escaped, then ".slc".
  static QString fileNameFor(const QString& presetName);
  // The name of a dictionary with a string "QKPMNameKey" that is not empty.
  static QString presetName(const QVariant& preset);

 private:
  void mergePreset(const QVariantMap& preset);

  ChainFileFolder files_{kFolderName, kExtension};
  Compositor* compositor_ = nullptr;
  QStringList menu_;
  NotificationObservers observers_;
};
