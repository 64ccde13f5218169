#pragma once

#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceDictionary.h"
#include "framework/datasource/DataSourceMenuItem.h"
#include "framework/datasource/KeyPath.h"
#include "platform/threading/RWTryLock.h"

#include <QList>
#include <QMap>

#include <atomic>
#include <memory>
#include <vector>

class AltUIItem;
class AppControllerInterface;
class DSInputNaming;
class ExternalSynchObject;
class MIDIManagerInterface;
class OSCMessage;
class QKBMSMCoordinatorInterface;
class QKButtonCell;
class QKButtonManagerInterface;
class QKDSBuiltIn;
class QKMIDIMessage;
class QKOSCManager;
class QKSliderCell;
class QKSliderManagerInterface;
class QKThreadLoop;
class QKeyEvent;
class QTimer;

// The hub of the control data: owns the roots of the data-source tree,
// changes the tree by key path, takes subscriptions, and ticks every node and
// every externally synchronised object every 0.0222 s on its own thread. It
// also owns the "Mouse" source, builds the source menus and coordinates the
// selection of sliders, buttons and other items and the hardware-learn mode.
//
// Roots at start: "ZAPH" (holder), "Key", "MIDI", "OSC" (input holders,
// never ticked, hidden from menus) and "Mouse" (point holder).
//
// One tick (threadProc, or a test calling it directly), all under the tree
// lock taken for reading: every root's tick step (which delivers pending
// values), the externally synchronised objects in the order they were added,
// the slider manager's evaluateContinuousBehaviors, the MIDI manager's bang;
// then the tick counter advances (59999 wraps to 0).
//
// Threads: the tick thread; the main thread (interface, selection, most tree
// changes); the MIDI and OSC input threads and others, which create nodes and
// set values. Values set on immediate kinds reach their subscribers at once
// on the setting thread, concurrently with the tick.
//
// Lock order (the level and synch locks are RWTryLocks taken by spinning with
// a yield; readers re-enter and a waiting writer goes before new readers
// only, so a level is read-locked top-down and never after a level below it;
// a writer is refused, with a log line, on a thread that holds the same lock
// for reading):
//   1. the tree lock (the roots' dictionary), held for reading for a whole
//      tick;
//   2. the holders' element locks, from the root downwards;
//   3. a node's write mutex (a leaf), held only to swap its subscription
//      list or set call, then the DeliveryEpoch collector's lock, taken after
//      the node's mutex is let go; a push reads the published list with no
//      lock at all, inside a DeliveryEpoch::Reader (the tick holds one for
//      its whole walk), and subscribers are called with no lock of the node
//      held;
//   4. the external-synch lock, taken by the tick after the tree walk, never
//      inside it;
//   5. the slider manager's lock (evaluateContinuousBehaviors) and the MIDI
//      manager's output list (bang), last, still under the tree lock.
// A node's identity lock (its name, its parent and its step to deleted) is a
// leaf, taken under a level's write lock when the node is stored there, so
// that a node being deleted is never stored in a live level; a holder being
// deleted closes its level, and a move takes a node only out of an open one.
// The alt-UI selection lock stands alone (items are called outside it).
// Consequences for callers:
//   - the tick thread (a subscriber's action, a set call, an externally
//     synchronised object, a continuous behaviour) must not change the top
//     level, nor insert or remove at a level it is walking: such a change is
//     refused with NO. Tree changes belong on other threads;
//   - a thread holding the slider or button manager's lock must not change
//     the tree, nor start reading it: the tick waits for that lock while
//     holding the tree lock, and a new reader waits behind a writer that
//     waits for the tick;
//   - nothing here waits for the main thread, and managers, subscribers and
//     externally synchronised objects are called with no lock of a node held
//     except the read locks of the levels the tick is walking.
// Waits: NotificationCenter::removeObserver waits for the removed handlers'
// deliveries on other threads to end. Never remove an observer (or stop a
// control's learn, which removes one) while holding a lock that an
// observer's handler may take, here or in a control: the delivering thread
// waits for the lock and the lock's holder for the delivery. Take the
// registration out under the lock and remove it after (ObserverSwitch).
class DataSourceController {
 public:
  enum class TickThread { Launch, Manual };

  // Manual: no tick thread; the owner calls threadProc (tests).
  explicit DataSourceController(TickThread tickThread = TickThread::Launch);
  ~DataSourceController();
  DataSourceController(const DataSourceController&) = delete;
  DataSourceController& operator=(const DataSourceController&) = delete;

  // Connections (not owned; they must outlive the tick thread).
  void setSliderManager(QKSliderManagerInterface* manager);
  void setButtonManager(QKButtonManagerInterface* manager);
  void setCoordinator(QKBMSMCoordinatorInterface* coordinator);
  void setAppController(AppControllerInterface* appController);
  // Takes the MIDI and OSC managers from the application controller.
  void awakeFromNib();

  // --- Tick ---
  void launchTheThread();
  // Ends the tick thread and waits for a tick under way (at quit).
  void stopTheThread();
  bool tickThreadRunning() const;
  // One tick.
  void threadProc();
  static int32_t DSCTime();

  // --- Tree by path ---
  std::shared_ptr<DataSource> dataSourceForKeyArray(const KeyPath& path) const;
  // The same, consuming the names it walked from the front of `path`.
  std::shared_ptr<DataSource> dataSourceForValidMutableKeyArray(KeyPath& path) const;
  // Puts the node at the path. What stood there is prepared for deletion
  // first (its subscribers hear currentDataSourceDeletedUnderMe) and
  // removed; a null node only deletes. A path of several names needs an
  // existing holder at its parent path: without one nothing changes and the
  // answer is false. A one-name path sets a root. Posts
  // "QKDSSourcesChangedNotification" (also when nothing changed), and reloads
  // the menus when a node they show was concerned.
  bool setDataSource(std::shared_ptr<DataSource> source, const KeyPath& forKeyArray);
  // Moves the node at `from` to `to`, keeping the same object with its
  // subscriptions and children; every moved path is announced. A node that
  // stood at `to` is prepared for deletion when the node takes its place. A
  // move into the node's own subtree is refused, and so is the move of a
  // node that is deleted, or whose holder is, while it moves (false, the
  // tree as it was).
  bool changeNameFrom(const KeyPath& from, const KeyPath& to);
  // The node at the path; when nothing is there and the path lies under
  // "MIDI", "Key" or "OSC", an infrequent float named after the last name is
  // created there (once, even when several threads ask at the same time).
  // Null when the path is elsewhere or its parent is missing.
  std::shared_ptr<DataSource> inputSourceForKeyArray(const KeyPath& path);
  // Top-level insertion and removal.
  bool safelyInsertObject(const std::shared_ptr<DataSource>& source, const QString& forKey);
  std::shared_ptr<DataSource> safelyRemoveObjectForKey(const QString& key);
  // A node now stands at the path: the slider manager, the button manager
  // and every externally synchronised object are told, so that controls
  // bound to it can bind again.
  void checkForBrokenSlidersAtKeyArray(const KeyPath& path);

  // --- Subscriptions ---
  // Subscribes the target to the node at the path (created first under
  // "MIDI", "Key" and "OSC", see inputSourceForKeyArray). Unless the node is
  // of type 0, the target receives the current value before this returns.
  bool subscribeObject(std::weak_ptr<DataSourceTarget> target, DataSourceCall::Action selector,
                       const KeyPath& toFetchSourceArray);
  template <class T>
  bool subscribeObject(const std::shared_ptr<T>& target, void (T::*selector)(DataSource*),
                       const KeyPath& toFetchSourceArray) {
    return subscribeCall(DataSourceCall::createWithTarget(target, selector), toFetchSourceArray);
  }
  // Removes every subscription of the target to the node at the path.
  void unsubscribeObject(const DataSourceTarget* target, const KeyPath& fetchingFromSourceArray);

  // --- External synchronisation ---
  // Ticked after the tree, in the order added; an object already there is
  // not added again.
  void addToExternalSynchArray(std::shared_ptr<ExternalSynchObject> object);
  // Waits for a tick under way to be done with the object.
  void removeFromExternalSynchArray(const ExternalSynchObject* object);

  // --- Selection ---
  void deselectEverything();
  void selectJustThisSlider(QKSliderCell* slider);
  void selectThisSliderToo(QKSliderCell* slider);
  void deselectThisSlider(QKSliderCell* slider);
  void deselectAllSliders();
  void selectThisButton(QKButtonCell* button);
  void deselectThisButton(QKButtonCell* button);
  void deselectAllButtons();
  void selectThisAltUIItem(AltUIItem* item);
  void deselectThisAltUIItem(AltUIItem* item);
  void deselectAllAltUIItems();

  // --- Input: MIDI, OSC and keys named into sources (see DSInputNaming) ---
  // On the MIDI input thread, for every message but clock, start and stop.
  void midiMsgReceived(const QKMIDIMessage& message);
  // On the OSC input thread; a null message, or one without an address or a
  // value, is ignored.
  void receivedOSCMessage(const OSCMessage* message);
  void oscDictReceived(const QMap<QString, QList<OSCMessage>>& messages);
  // Key presses and releases alike.
  void keyDown(const QKeyEvent* event);
  // False for a path bound to one of the buttons that switch detection or
  // learning on: a control in detect mode never adopts it.
  bool isThisDetectedSrcArraySafe(const KeyPath& path) const;

  // --- Other ---
  bool hardwareLearnMode() const { return hardwareLearnMode_.load(); }
  // Only a change is passed on (button manager, slider manager) and posted.
  void setHardwareLearnMode(bool mode);
  void programChangeReceived();
  MIDIManagerInterface* midiManager() const { return midiManager_.load(); }
  QKOSCManager* oscManager() const { return oscManager_.load(); }
  QKDSBuiltIn* builtInDataSources() const { return builtInDataSources_.get(); }
  // An indented dump of the whole tree.
  QString description() const;

  // --- Menus (data; DataSourceMenuAdapter makes widgets of them) ---
  DataSourceMenu getDataSourcesMenu() const;
  DataSourceMenu getDataSourceMenuWithDepth(int depth) const;
  DataSourceMenu getColorDataSourcesMenu() const;
  DataSourceMenu getPointDataSourcesMenu() const;
  DataSourceMenuItems extractMenuItemsMatchingMask(int mask, int toLevel,
                                                   int carryOverToLevel) const;
  DataSourceMenuItems extractMenuItemsToLevel(int toLevel, int carryOverToLevel) const;
  DataSourceMenuItems getDataSourceMenuItemArray() const;

 private:
  bool subscribeCall(std::shared_ptr<DataSourceCall> call, const KeyPath& path);
  // The holder at the path's parent (null: the top level, or `found` false
  // when there is no holder there).
  std::shared_ptr<DataSourceHolder> parentHolderForPath(const KeyPath& path, bool& found) const;
  bool insertAt(const std::shared_ptr<DataSourceHolder>& parent,
                const std::shared_ptr<DataSource>& source, const QString& key);
  // The children of `parent`, or the roots.
  DataSourceDictionary& levelOf(const std::shared_ptr<DataSourceHolder>& parent);
  bool removeFrom(const std::shared_ptr<DataSourceHolder>& parent, const QString& key,
                  const DataSource* source);
  void postSourcesChanged(bool reloadMenus);
  // The inspector shows sliders; buttons and other items are deselected.
  void showSlidersOnly();
  DataSourceMenu menuWithItems(DataSourceMenuItems items) const;
  void startPointerSampling();
  static void advanceDSCTime();

  DataSourceDictionary elementDict_;  // the roots; its lock is the tree lock
  std::unique_ptr<QKThreadLoop> threadLoop_;

  mutable RWTryLock externalSynchLock_;
  std::vector<std::shared_ptr<ExternalSynchObject>> externalSynchArray_;

  std::atomic<QKSliderManagerInterface*> sliderManager_{nullptr};
  std::atomic<QKButtonManagerInterface*> buttonManager_{nullptr};
  std::atomic<AppControllerInterface*> appController_{nullptr};
  std::atomic<QKBMSMCoordinatorInterface*> coordinator_{nullptr};
  std::atomic<MIDIManagerInterface*> midiManager_{nullptr};
  std::atomic<QKOSCManager*> oscManager_{nullptr};

  std::shared_ptr<QKDSBuiltIn> builtInDataSources_;
  std::unique_ptr<DSInputNaming> inputNaming_;
  std::unique_ptr<QTimer> pointerTimer_;  // main thread

  std::atomic<bool> hardwareLearnMode_{false};
  RWTryLock altUIItemsLock_;
  std::vector<AltUIItem*> selectedAltUIItemsArray_;
};
