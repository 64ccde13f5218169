#pragma once

#include "app/mediabin/MBTriggerListener.h"
#include "framework/controls/ButtonManagerClient.h"
#include "framework/controls/QKButton.h"
#include "framework/datasource/AltUIItem.h"
#include "platform/foundation/CutLink.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/foundation/ObserverSwitch.h"
#include "platform/threading/MutLockArray.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <shared_mutex>

class MBFileGridView;
class MBFileTrigger;
class MBMediaBin;
class QKButtonManager;
class QKFile;
class QKPageController;
struct Notification;

// The trigger listeners of one media bin: an ordered list of listeners in
// which listener k plays cell k + transpose of the bin's current page
// (optionally counting only the page's files), the bank's moves over the
// page and the pages, the play-previous, next and random commands, the
// learning of listeners (continuous detection, the MIDI range setup,
// hardware learn) and the table of listeners of the options sheet.
//
// Threads: a listener's action (`triggerCell`) runs on the thread that sets
// its source (MIDI, OSC, tick or main). It reads only the list (under its
// read lock), the current page (under the page controller's read lock,
// until it has the file's ID) and atomics, and hands the ID to the layer
// queue. The detect handlers run on the posting threads only to read their
// message; the rest of each is queued to the main thread in arrival order.
// Everything else runs on the main thread. Listeners are removed from the
// list under its write lock and prepared for deletion after it is released,
// so a trigger under way never waits for the main thread.
class MBTriggerListenersController : public QAbstractTableModel,
                                     public AltUIItem,
                                     public ButtonManagerClient {
  Q_OBJECT
 public:
  enum Column { kCellIndexColumn, kShortcutColumn };
  enum Command { kRowUp, kRowDown, kPrevPage, kNextPage, kPlayPrev, kPlayNext, kPlayRand };
  static constexpr int kCommandCount = 7;
  static const std::array<const char*, kCommandCount> kCommandKeys;  // snapshot keys
  static const QString kSnapshotKey;                                 // "triggerListenersController"
  static const QString kItemArrayKey;                                // "itemArray"
  static const QString kTransposeKey;                                // "transpose"
  static const QString kEjectOnNoteOffKey;                           // "ejectOnNoteOffButton"
  static const QString kNotesDisplayModeKey;                         // "notesDisplayModeToggle"
  static const QString kIdleInstructions;                            // " "

  MBTriggerListenersController(MBMediaBin* bin, MBFileTrigger* queue, QObject* parent = nullptr);
  ~MBTriggerListenersController() override;

  // --- Wiring (main thread) --------------------------------------------------------------
  void setGridView(MBFileGridView* grid);
  // The seven learnable command buttons, made as children of `parent`.
  void makeCommandButtons(QWidget* parent);
  QKButton* commandButton(Command command) const { return commandButtons_[command]; }
  // Draws for play random (the C library's random() unless replaced).
  void setRandomGenerator(std::function<long()> generator) { random_ = std::move(generator); }

  // --- Options ---------------------------------------------------------------------------
  // 1 ejects a listener's file on release; 0 does not; -1 (mixed) only forgets it.
  int ejectOnNoteOff() const { return ejectOnNoteOff_.load(); }
  void setEjectOnNoteOff(int value);
  // Listeners address only the page's files, blanks skipped.
  bool filesOnly() const { return filesOnly_.load(); }
  void setFilesOnly(bool on);
  // The grid's column count (the row moves count in whole rows).
  int gridColumns() const { return gridColumns_.load(); }
  void setGridColumns(int columns);
  int notesDisplayMode() const { return notesDisplayMode_; }
  void setNotesDisplayMode(int value);
  bool showShortcutNames() const { return showShortcutNames_; }
  void setShowShortcutNames(bool on);

  // --- Listeners -------------------------------------------------------------------------
  int count() const;
  std::vector<MBTriggerListener::Ptr> listeners() const;
  MBTriggerListener::Ptr listenerAt(int index) const;
  // The text a cell shows for listener `index` (empty without one).
  QString listenerName(int index) const;

  // --- Triggering (any thread) -------------------------------------------------------------
  void triggerCell(MBTriggerListener& listener);
  // The file ID cell `cell` of the current page addresses; -1 for none.
  long fileIdForCell(int cell) const;

  // --- The bank and the pages (main thread) ------------------------------------------------
  int transpose() const { return transpose_.load(); }
  void setTranspose(int transpose);
  void justSetTranspose(int transpose);
  void rowUpButtonUsed();
  void rowDownButtonUsed();
  void prevPageButtonUsed();
  void nextPageButtonUsed();
  void gotoPrevPage();
  void playPrevButtonUsed();
  void playNextButtonUsed();
  void playRandButtonUsed();

  // --- Learning (main thread) --------------------------------------------------------------
  void addListenerWithSyncArray(const std::optional<KeyPath>& path);
  void removeItemsAtIndexes(const std::set<int>& indexes);
  void clearAllShortcuts();
  void doContinuousDetect(bool on);
  void continuousDetectButtonUsed(int value);
  void doAutoMidiSetup(bool on);
  void autoMidiRangeSetupButtonUsed();
  // Stage 1 takes the first note, stage 2 the last; false (nothing changed)
  // for a note outside 0..127, a channel outside 1..16 or no setup.
  bool doMidiRangeSetup(int note, int channel);
  // The typed note and channel; refused (false) unless both are whole
  // numbers in range.
  bool midiRangeTextFieldUsed(const QString& note, const QString& channel);
  bool continuousDetectSetup() const { return continuousDetectSetup_.load(); }
  int autoMidiSetupStage() const { return autoMidiSetupStage_; }
  int firstCellNote() const { return firstCellNote_; }
  QString instructions() const { return instructions_; }
  bool rangeFieldsShown() const { return rangeFieldsShown_; }
  QString lastDetectedSource() const { return lastDetectedSource_; }

  // --- Hardware learn ----------------------------------------------------------------------
  void hardwareLearnModeUpdated(bool mode);
  void select() override;
  void deselect() override;
  bool selected() const { return selected_.load(); }
  bool hardwareLearnMode() const { return hardwareLearnMode_.load(); }
  void setButtonManager(QKButtonManager* manager) override;
  QKButtonManager* buttonManager() const { return buttonManager_.load(); }

  // --- Snapshots (main thread) -------------------------------------------------------------
  QVariantMap createSnapshot() const;
  void loadSnapshot(const QVariantMap& snapshot);
  // The older "trigger zone" component.
  void loadOldSnapshot(const QVariantMap& component);
  void prepareToBeDeleted();

  // --- Table ---------------------------------------------------------------------------------
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 Q_SIGNALS:
  // The options or the learning state changed: the sheet's widgets follow.
  void optionsChanged();
  void learningChanged();

 private:
  using Link = CutLink<MBTriggerListenersController>;
  struct TriggerGate {
    std::shared_mutex mutex;
    bool open = true;
  };

  MBTriggerListener::Ptr makeListener();
  void appendListener(const MBTriggerListener::Ptr& listener);
  void removeAllListeners();
  void reloadTable();
  void redrawGrid();
  void tellGrid();
  long currentPageId() const;
  void showPage(long pageId);
  int cellCountOfCurrentPage(bool filesOnly) const;
  bool isFree(const QKFile& file) const;
  void triggerFirstFree(bool backwards);
  void setInstructions(const QString& text);
  void setRangeFieldsShown(bool shown);
  void stopRangeObservation();
  void continuousDetected(const KeyPath& path);
  void detectContinuous(const Notification& n, const QString& name);
  void detectRange(const Notification& n);
  // Queues `work` on the main thread, reaching this controller while it lives.
  void onMain(std::function<void(MBTriggerListenersController&)> work) const;

  MBMediaBin* const bin_;
  MBFileTrigger* const queue_;
  QKPageController* const pages_;
  std::shared_ptr<Link> link_;
  std::shared_ptr<TriggerGate> gate_ = std::make_shared<TriggerGate>();
  QPointer<MBFileGridView> grid_;
  std::array<QPointer<QKButton>, kCommandCount> commandButtons_;
  std::function<long()> random_;

  mutable MutLockArray<MBTriggerListener::Ptr> itemArray_;
  std::atomic<int> transpose_{0};
  std::atomic<int> ejectOnNoteOff_{0};
  std::atomic<bool> filesOnly_{false};
  std::atomic<int> gridColumns_{8};
  int notesDisplayMode_ = 0;
  bool showShortcutNames_ = true;

  std::atomic<bool> continuousDetectSetup_{false};
  int autoMidiSetupStage_ = 0;
  int firstCellNote_ = 0;
  QString lastDetectedSource_;
  QString instructions_ = kIdleInstructions;
  bool rangeFieldsShown_ = false;
  std::atomic<bool> hardwareLearnMode_{false};
  std::atomic<bool> selected_{false};
  std::atomic<QKButtonManager*> buttonManager_{nullptr};
  bool deleted_ = false;

  // The detect observations: continuous detection's four, and the range
  // setup's own MIDI one.
  const char rangeObserver_ = 0;
  ObserverSwitch continuousMIDI_;
  ObserverSwitch continuousKey_;
  ObserverSwitch continuousOSC_;
  ObserverSwitch continuousButton_;
  ObserverSwitch rangeMIDI_;
  NotificationObservers observers_;
};
