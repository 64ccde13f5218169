#pragma once

#include "framework/controls/PaletteButtons.h"
#include "framework/controls/SliderManagerInterface.h"
#include "framework/datasource/KeyPath.h"
#include "framework/datasource/QKSliderManagerInterface.h"

#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class BehaviorChainManagerInterface;
class DSMenuReloading;
class QKButtonCell;
class QKSMInterfaceManager;
class QKSliderCell;
struct Notification;

// The one registry of every live slider. It gives each new slider its
// unique ID (counted up from 0, never reused), its manager and the current
// soft-takeover settings; keeps the selection that the slider inspector
// edits and applies the inspector's edits to it; holds the slider
// appearance dictionary, the switch that locks the marks and the
// hardware-learn mode; owns the registry of behaviour chains; and on every
// data-source tick lets every slider evaluate its continuous behaviours.
//
// Threads: sliders register and leave on the main thread; the tick thread
// evaluates; MIDI and OSC threads may place sources (rebinding sliders).
// The registry mutex is held only to copy or change the list: every call to
// a slider, to the inspector or to a menu is made outside it, so a slider's
// work (output, rebinding, its own deletion) can never deadlock against the
// registry. Inspector refreshes are queued for the main thread and
// coalesced; nothing here waits for the main thread. Lock order: the tick's
// tree read lock, then the registry mutex.
class QKSliderManager : public SliderManagerInterface, public QKSliderManagerInterface {
 public:
  using SliderPtr = std::shared_ptr<QKSliderCell>;
  using SliderList = std::vector<SliderPtr>;

  static const QString kDeleteSliderNotification;  // "QKSMDeleteSliderNotification"
  // Its object is a SliderManagerClient*, answered before the post returns.
  static const QString kFinderNotification;                // "QKSMFinderNotification"
  static const QString kBehaviorNameChangeNotification;    // "QKSMBehaviorNameChangeNotification"
  static const QString kBehaviorChainDeletedNotification;  // "QKSMBehaviorChainDeletedNotification"
  // The palette buttons saved in a palette-shortcut snapshot, in order.
  static const QStringList& paletteSnapshotKeys();

  QKSliderManager();
  ~QKSliderManager() override;
  QKSliderManager(const QKSliderManager&) = delete;
  QKSliderManager& operator=(const QKSliderManager&) = delete;

  // --- Connections (set at start-up; not owned) -----------------------------------
  void setDataSourceController(DataSourceController* controller) {
    dataSourceController_.store(controller);
  }
  DataSourceController* dataSourceController() const override {
    return dataSourceController_.load();
  }
  void setInterfaceManager(QKSMInterfaceManager* manager) { interfaceManager_.store(manager); }
  QKSMInterfaceManager* interfaceManager() const { return interfaceManager_.load(); }
  void setContextualMenuController(DSMenuReloading* c) { contextualMenuController_.store(c); }
  // A right click on a slider opens its menu (a ContextualMenuProvider).
  DSMenuReloading* contextualMenuController() const { return contextualMenuController_.load(); }
  void setListController(DSMenuReloading* c) { listController_.store(c); }
  DSMenuReloading* listController() const { return listController_.load(); }
  // The inspector palette's buttons ("midiDetectButton" and the keys of
  // paletteSnapshotKeys).
  void setPaletteButton(const QString& key, const std::shared_ptr<QKButtonCell>& button);
  std::shared_ptr<QKButtonCell> paletteButton(const QString& key) const;
  // Replaces the registry of behaviour chains (a BehaviorChainManager from
  // the start).
  void setBehaviorChainManager(std::unique_ptr<BehaviorChainManagerInterface> manager);
  BehaviorChainManagerInterface& behaviorChainManager() const { return *behaviorChainManager_; }

  // --- Registry ----------------------------------------------------------------
  void deleteThisSlider(QKSliderCell* slider) override;
  SliderList registeredSliders() const;

  // --- Settings pushed to every slider -------------------------------------------------
  void setSoftTakeoverMode(int mode);
  void setSoftTakeoverTolerance(float tolerance);
  void setSoftTakeoverSpeed(float speed);
  int softTakeoverMode() const { return softTakeoverMode_.load(); }
  float softTakeoverTolerance() const { return softTakeoverTolerance_.load(); }
  float softTakeoverSpeed() const { return softTakeoverSpeed_.load(); }
  void setLockInterestingPoints(bool locked);
  bool lockInterestingPoints() const override { return lockInterestingPoints_.load(); }
  void setHardwareLearnMode(bool mode) override;
  bool hardwareLearnMode() const override { return hardwareLearnMode_.load(); }

  // --- Messages to every slider ----------------------------------------------------------
  void programChangeReceived() override;
  void wasThisDataSourceDeletedOutFromUnderAnySliders(const KeyPath& path) override;
  void colorsUpdated();
  // Once per tick on the tick thread, after the tick's values were pushed.
  void evaluateContinuousBehaviors() override;

  // --- Behaviour chains ---------------------------------------------------------------------
  std::shared_ptr<BehaviorChainInterface> findBehaviorChainNamed(
      const QString& name) const override;
  // A chain took a new name: sliders using it, and sliders without a chain
  // that wait for a chain of that name, use it.
  void behaviorNameChanged(const std::shared_ptr<BehaviorChainInterface>& chain);
  // A chain was deleted: the sliders using it drop it.
  void behaviorDeleted(const BehaviorChainInterface* chain);

  // --- Selection (main thread) ------------------------------------------------------------------
  void selectOnlyThisSlider(QKSliderCell* slider) override;
  void selectThisSliderToo(QKSliderCell* slider) override;
  void deselectThisSlider(QKSliderCell* slider) override;
  void deselectAllSliders() override;
  std::vector<QKSliderCell*> selectedSliderArray() override;
  SliderList selectedSliders() const override;

  // --- Edits of the selected sliders, in selection order
  // -------------------------------------------
  void selectedSlidersUseThisSource(const KeyPath& path);
  void setSelectedSlidersSyncFlag(bool flag);
  void selectedSlidersStartMIDIDetect();
  void selectedSlidersStartOSCDetect();
  void selectedSlidersUseThisBehavior(const std::shared_ptr<BehaviorChainInterface>& chain);
  void setSelectedSlidersBehaviorFlag(bool flag);
  void selectedSlidersSetSyncToggle(bool shown);
  void selectedSlidersSetBehavToggle(bool shown);

  // --- Other operations
  // ------------------------------------------------------------------------------
  void reloadDSContextualMenu() override;
  // The slider under a point in screen coordinates: the only selected
  // slider when it covers the point, else the first registered one that does.
  SliderPtr visibleSliderAtPoint(const QPointF& point) const;
  // Three levels ("selected"/"unselected", "sync"/"unsync", "HLM"/"non-HLM")
  // down to a leaf of ten entries.
  QVariantMap sliderColorDict() const override;
  // Replaces the dictionary (a theme switch); an empty one is ignored.
  void setSliderColorDict(const QVariantMap& dictionary);
  static QVariantMap defaultSliderColorDict();
  // The padlock shipped with the program (resources/images/padlock.png).
  QImage padlockImage() const override;

  void putPaletteSnapInDict(QVariantMap& dictionary) const;
  void matchThisPaletteShortcutSnapshot(const QVariantMap& dictionary);

  // --- Inspector requests (any thread; queued and coalesced)
  // --------------------------------------------
  void updateWithLockedStatus(bool lockedStatus) override;
  void updateValueRelatedOnly() override;

 private:
  void newSliderNotification(const Notification& notification);
  void sliderManagerFinderNotification(const Notification& notification);
  void forEachRegistered(const std::function<void(QKSliderCell&)>& message) const;
  void forEachSelected(const std::function<void(QKSliderCell&)>& edit);
  bool anySelected(const SliderList& sliders) const;

  std::atomic<DataSourceController*> dataSourceController_{nullptr};
  std::atomic<QKSMInterfaceManager*> interfaceManager_{nullptr};
  std::atomic<DSMenuReloading*> contextualMenuController_{nullptr};
  std::atomic<DSMenuReloading*> listController_{nullptr};

  std::atomic<long> idCount_{0};
  std::atomic<bool> lockInterestingPoints_{true};
  std::atomic<bool> hardwareLearnMode_{false};
  std::atomic<int> softTakeoverMode_{3};
  std::atomic<float> softTakeoverTolerance_{0.05f};
  std::atomic<float> softTakeoverSpeed_{0.03f};
  std::unique_ptr<BehaviorChainManagerInterface> behaviorChainManager_;

  mutable std::mutex sliderArrayLock_;  // guards sliderArray_ and evaluationList_
  SliderList sliderArray_;
  // The tick's copy of the registry, made on the first tick after a change
  // (and dropped at the change, so a deleted slider is not kept by it).
  std::shared_ptr<const SliderList> evaluationList_;

  mutable std::mutex stateMutex_;  // guards the selection and the colour dictionary
  SliderList selectedSliderArray_;
  QVariantMap sliderColorDict_;

  PaletteButtons paletteButtons_;

  std::shared_ptr<QKSliderManager*> liveness_;
};
