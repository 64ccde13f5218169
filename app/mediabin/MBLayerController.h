#pragma once

#include "app/mediabin/MBFileTrigger.h"
#include "app/mediabin/MBLayerItem.h"
#include "app/mediabin/MBLayerTableView.h"
#include "app/mediabin/MBQuantizeTarget.h"
#include "framework/controls/ButtonManagerClient.h"
#include "framework/datasource/AltUIItem.h"
#include "platform/foundation/CutLink.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/foundation/ObserverCheck.h"
#include "platform/threading/RWTryLock.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QIcon>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class MBLayerQueueHost;
class QKButton;
class QKButtonManager;
class QKNSPopUpButton;
class QKQuantizePicker;

// The media bin's layer queue: the layers that may receive files from the
// bin, in table order, one of them on deck. A triggered file ID is given to
// a queue item by the queue's rules (the layer already playing the file,
// an "@layer" page name, then the Manual, Cycle or Poly mode); the quantize
// picker decides when, and a short trigger thread then has every layer
// with a pending file load it on the main thread. The controller is also
// the model of its table (five columns) and a learnable item of hardware
// learn.
//
// Threads: `triggerThisFile`, `ejectThisFile`, `trigger`,
// `triggerThisLayer`, `mostRecentLayer` and the row stepping run on any
// thread (MIDI, OSC, tick, clock, render, main); they take only the queue's
// read lock and never wait for the main thread. Adding, removing and
// reordering items (write lock), the table, the pop-ups and the layer
// window switch run on the main thread: calls from elsewhere queue their
// interface work there, coalesced. The controller is made, wired and
// deleted on the main thread; `prepareToBeDeleted` waits for trigger
// threads under way.
class MBLayerController : public QAbstractTableModel,
                          public MBQuantizeTarget,
                          public MBFileTrigger,
                          public AltUIItem,
                          public ButtonManagerClient {
  Q_OBJECT
 public:
  enum Column { kNextColumn, kNameColumn, kActiveColumn, kOnDeckColumn, kShortcutColumn };
  enum Mode { kManual, kCycle, kPoly };
  static const QStringList kModeTitles;                   // "Manual", "Cycle", "Poly"
  static const QString kDragType;                         // "QKMBLayerDragType"
  static const QString kSnapshotKey;                      // "layerController"
  static const QString kVisiblePagesChangedNotification;  // "QKMBVisiblePagesChangedNotification"
  static const QString kLayerTriggerFileNotification;     // "QKLayerTriggerFileNotification"

  MBLayerController(MBLayerQueueHost* host, long binId, QObject* parent = nullptr);
  ~MBLayerController() override;

  // --- Wiring (main thread, before awakeFromNib) ---------------------------------------
  void setQuantizePicker(QKQuantizePicker* picker);
  void setNextLayerPopUpButton(QKNSPopUpButton* popUp);
  void setCycleModeButton(QKNSPopUpButton* popUp);
  void setAutoSwitchLayerTabsToggle(QCheckBox* toggle);
  void setNotesDisplayModeToggle(QCheckBox* toggle) { notesDisplayModeToggle_ = toggle; }
  QCheckBox* notesDisplayModeToggle() const { return notesDisplayModeToggle_; }
  void setTableView(MBLayerTableView* table);
  void setRowButtons(QKButton* prev, QKButton* next, QKButton* random);
  // Draws for the random row (the C library's random() unless replaced).
  void setRandomGenerator(std::function<long()> generator) { random_ = std::move(generator); }
  // Builds the queue from the layer set.
  void awakeFromNib();

  // --- Triggering (any thread) ---------------------------------------------------------
  void triggerThisFile(long fileId) override;
  void trigger() override;
  void triggerThisLayer(const QString& layerName) override;
  QString mostRecentLayer() const override;
  void ejectThisFile(long fileId) override;
  // The layer named by the on-deck item; empty when the row is outside.
  QString currentLayer() const override;
  // The layer of the first item whose pending file is `fileId`; empty for none.
  QString layerForFileIdInLayerQueueArray(long fileId) const override;
  bool fileIsPlaying(const QKFile& file, QString* layerName) const override;
  void makeThisLayerNext(const QString& layerName);
  bool containsLayer(const QString& layerName) const;

  // --- On-deck row ---------------------------------------------------------------------
  void nextLayerPopUpButtonUsed();
  void prevRowButtonUsed();
  void nextRowButtonUsed();
  void randRowButtonUsed();
  void setNextTriggerRow(int row);
  void setNextTriggerRowByLayerItem(MBLayerItem& item);
  int nextTriggerRow() const { return nextTriggerRow_.load(); }
  int cycleMode() const { return mode_.load(); }
  void setCycleMode(int mode);

  // --- Queue (main thread) -------------------------------------------------------------
  void reloadAvailableLayersMethod();
  void refresh();
  void setAllLayersActiveTo(bool active);
  // A copy of the items, in queue order.
  std::vector<MBLayerItem::Ptr> items() const;
  bool loadingPreset() const { return loadingPreset_.load(); }

  // --- Snapshots (main thread) ---------------------------------------------------------
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  void loadOldSnapshot(const QVariantMap& component);
  void prepareToBeDeleted();

  // --- Table side (main thread) --------------------------------------------------------
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
  void makeNextLayerColumnPressed(int row);
  void detectShortcutForItemAtIndex(int row);
  // The rows of the last drag out of this table, inserted before `row`
  // (-1 counts as 0) in their order. False (nothing moved) without rows.
  bool moveDraggedRows(int row);
  void setDraggedRows(std::vector<int> rows) { draggedIndices_ = std::move(rows); }
  // The text of the shortcut column for `row`.
  QString shortcutText(int row) const;

  // --- Hardware learn ------------------------------------------------------------------
  void select() override;
  void deselect() override;
  bool selected() const { return selected_.load(); }
  bool hardwareLearnMode() const { return hardwareLearnMode_.load(); }
  void hardwareLearnModeUpdated(bool mode);
  void setButtonManager(QKButtonManager* manager) override;
  QKButtonManager* buttonManager() const { return buttonManager_.load(); }
  MBLayerTableView* tableView() const { return table_; }
  MBLayerQueueHost* host() const { return host_; }

 private:
  using Link = CutLink<MBLayerController>;

  MBLayerItem* findItemLocked(const QString& name) const;
  bool isLayerNameInLayerQueueArray(const QString& name) const;
  void addLayerToQueueWithLayer(const QString& name);
  MBLayerItem* nextAvailableLayerLocked() const;
  void updateNextLayerPopUpButton();
  void setMostRecentLayerName(const QString& name);
  void performPickerTrigger();
  void doTriggerNow();
  void showRow(int row);
  void applyOnDeckRow();
  void reloadTable();
  void layerListChanged(const QVariantMap& userInfo);
  void startPresetRestore();
  void stopPresetRestore();
  void observeTapList();
  MBLayerItem::Ptr makeItem(const QString& layerName);
  void deleteItems(std::vector<MBLayerItem::Ptr> items);

  MBLayerQueueHost* const host_;
  const long binId_;
  std::shared_ptr<Link> link_;
  // The items' actions run while this lives.
  std::shared_ptr<int> itemTarget_ = std::make_shared<int>(0);

  QPointer<QKQuantizePicker> picker_;
  QPointer<QKNSPopUpButton> nextLayerPopUp_;
  QPointer<QKNSPopUpButton> cycleModeButton_;
  QPointer<QCheckBox> autoSwitchToggle_;
  QPointer<QCheckBox> notesDisplayModeToggle_;
  QPointer<MBLayerTableView> table_;
  QPointer<QKButton> prevButton_, nextButton_, randButton_;
  QIcon arrowImage_;
  std::function<long()> random_;

  mutable RWTryLock queueLock_;
  std::vector<MBLayerItem::Ptr> layerQueueArray_;
  std::vector<int> draggedIndices_;
  std::atomic<int> nextTriggerRow_{0};
  std::atomic<int> mode_{kManual};
  std::atomic<bool> autoSwitch_{false};
  std::atomic<bool> switchLayerOnDeck_{false};
  mutable std::mutex recentMutex_;
  QString mostRecentLayerName_;
  std::atomic<bool> loadingPreset_{false};
  std::atomic<QKButtonManager*> buttonManager_{nullptr};
  std::atomic<bool> hardwareLearnMode_{false};
  std::atomic<bool> selected_{false};
  std::atomic<bool> waitingForTrigger_{false};
  std::atomic<int> runningThreads_{0};
  QPoint lastClickedColAndRow_{-1, -1};
  std::atomic<bool> deleted_{false};

  // Coalescing keys of the main-thread work.
  const char onDeckKey_ = 0, scrollKey_ = 0;
  std::atomic<bool> tablePending_{false};
  std::atomic<bool> pickerPending_{false};
  std::atomic<int> rowToShow_{-1};
  // Whether a trigger's "FileTriggered" post reaches anyone.
  const ObserverCheck triggeredObservers_{kVisiblePagesChangedNotification};

  NotificationObservers tapListObserver_;
  NotificationObservers observers_;

  friend class MBLayerTableView;
};
