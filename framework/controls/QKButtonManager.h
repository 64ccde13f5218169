#pragma once

#include "framework/controls/PaletteButtons.h"
#include "framework/datasource/KeyPath.h"
#include "framework/datasource/QKButtonManagerInterface.h"
#include "platform/threading/MutLockArray.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class DataSourceController;
class DSMenuReloading;
class QKBMInterfaceManager;
class QKButtonCell;
struct Notification;

// The one registry of every live button cell. It adopts each cell that
// announces itself ("QKBNewButtonNotification"), keeps the selection that
// the button inspector edits and applies the inspector's edits to it, holds
// the hardware-learn mode and the button appearance dictionary, and saves
// the inspector palette's own buttons in preset snapshots.
//
// Threads: registration and selection come from the main thread; data-source
// placements, hardware-learn changes and inspector requests may come from
// the tick, MIDI or OSC threads. No call to a cell or to the inspector is
// made while the registry or selection lock is held: the manager copies the
// list under its lock and calls outside it. Inspector refreshes and menu
// reloads are queued for the main thread and coalesced; nothing here waits
// for the main thread.
class QKButtonManager : public QKButtonManagerInterface {
 public:
  using ButtonList = std::vector<std::shared_ptr<QKButtonCell>>;

  // Its object is a ButtonManagerClient*, answered before the post returns.
  static const QString kManagerFinderNotification;  // "QKBManagerFinderNotification"
  // The palette buttons saved in a palette-shortcut snapshot, in order.
  static const QStringList& paletteButtonKeys();

  // Builds the default appearance merged with the stored theme's
  // "buttonColorDict" and starts adopting button cells.
  QKButtonManager();
  ~QKButtonManager() override;
  QKButtonManager(const QKButtonManager&) = delete;
  QKButtonManager& operator=(const QKButtonManager&) = delete;

  // --- Connections (set once at start-up; not owned) ---------------------------
  void setDataSourceController(DataSourceController* controller) {
    dataSourceController_.store(controller);
  }
  DataSourceController* dataSourceController() const { return dataSourceController_.load(); }
  void setInterfaceManager(QKBMInterfaceManager* manager) { interfaceManager_.store(manager); }
  QKBMInterfaceManager* interfaceManager() const { return interfaceManager_.load(); }
  void setContextualMenuController(DSMenuReloading* c) { contextualMenuController_.store(c); }
  DSMenuReloading* contextualMenuController() const { return contextualMenuController_.load(); }
  void setListController(DSMenuReloading* c) { listController_.store(c); }
  DSMenuReloading* listController() const { return listController_.load(); }
  // The inspector palette's own buttons, by their keys (paletteButtonKeys).
  void setPaletteButton(const QString& key, const std::shared_ptr<QKButtonCell>& button);
  std::shared_ptr<QKButtonCell> paletteButton(const QString& key) const;
  std::shared_ptr<QKButtonCell> hardwareLearnButton() const;
  // Whether the inspector asks every button to show its source path.
  bool showShortcutsRequested() const;

  // --- Registry -----------------------------------------------------------
  // From a cell's prepareToBeDeleted: deselects it (refreshing the
  // inspector) and unregisters it.
  void deleteThisButton(QKButtonCell* cell);
  ButtonList registeredButtons();

  // --- Selection (main thread) ----------------------------------------------------
  void selectThisButton(QKButtonCell* cell) override;
  void deselectAllButtons() override;
  void deselectThisButton(QKButtonCell* cell) override;
  std::vector<QKButtonCell*> selectedButtonArray() override;
  ButtonList selectedButtons() const;

  // --- Edits of the selected buttons, in selection order ---------------------------
  void setSelectedButtonsSyncFlag(bool flag);
  void setSelectedButtonsValThresh(float threshold);
  void setSelectedButtonsRiseToggle(bool rise);
  void setSelectedButtonsFallToggle(bool fall);
  void setSelectedButtonsTriggerMode(int mode);
  void selectedButtonsStartMIDIDetect();
  void selectedButtonsStartOSCDetect();
  void selectedButtonsStartKeyDetect();
  void selectedButtonsUseThisSource(const KeyPath& path);
  void selectedButtonsSetSyncToggle(bool shown);

  // --- Hardware learn ------------------------------------------------------------
  bool hardwareLearnMode() const { return hardwareLearnMode_.load(); }
  // Tells every registered cell when the mode changes.
  void setHardwareLearnMode(bool mode) override;

  // --- Appearance (main thread) ------------------------------------------------------
  // Three levels ("selected"/"unselected", "sync"/"unsync", "HLM"/"non-HLM")
  // down to a leaf of 11 entries.
  const QVariantMap& appearanceDict() const { return appearanceDict_; }
  // Replaces the dictionary (a theme switch); an empty one is ignored.
  void setAppearanceDict(const QVariantMap& dictionary);
  void colorsUpdated();
  static QVariantMap defaultAppearanceDict();

  // --- Other operations ---------------------------------------------------------------
  // Asks every button to show (1) or hide its source path.
  void showShortcuts(int senderValue);
  // A data source was placed at `path`: buttons that lost theirs there bind
  // again.
  void wasThisDataSourceDeletedOutFromUnderAnyButtons(const KeyPath& path) override;
  void reloadDSContextualMenu() override;
  // False for the path that a bound MIDI-, OSC- or key-detect button or the
  // hardware-learn button of the inspector follows: a button learning its
  // source must not take the one that drives the inspector itself.
  bool isThisDetectedSrcArraySafe(const KeyPath& path) const;
  void putPaletteSnapInDict(QVariantMap& dictionary) const;
  void matchThisPaletteShortcutSnapshot(const QVariantMap& dictionary);

  // --- Inspector requests (any thread; queued and coalesced) ---------------------------
  void refreshInspector(bool lockedStatus = false);
  void showIncomingValue(float value);

 private:
  void newButtonNotification(const Notification& notification);
  void buttonManagerFinderNotification(const Notification& notification);
  void forEachSelected(const std::function<void(QKButtonCell&)>& edit);
  void forEachRegistered(const std::function<void(QKButtonCell&)>& message);

  std::atomic<DataSourceController*> dataSourceController_{nullptr};
  std::atomic<QKBMInterfaceManager*> interfaceManager_{nullptr};
  std::atomic<DSMenuReloading*> contextualMenuController_{nullptr};
  std::atomic<DSMenuReloading*> listController_{nullptr};
  std::atomic<bool> hardwareLearnMode_{false};

  MutLockArray<std::shared_ptr<QKButtonCell>> buttonArray_;
  mutable std::mutex selectionMutex_;
  ButtonList selectedButtonArray_;
  PaletteButtons paletteButtons_;

  QVariantMap appearanceDict_;
  // Queued main-thread work checks it, so a manager that has gone away is
  // never called.
  std::shared_ptr<QKButtonManager*> liveness_;
  std::atomic<float> incomingValue_{0};
};
