#pragma once

#include "framework/controls/ControlLockGroup.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/KeyPath.h"
#include "platform/foundation/ObserverSwitch.h"

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class DataSource;
class DataSourceController;
class QKButtonCellDelegate;
class QKButtonCellView;
class QKButtonManager;
struct Notification;

// The model of every button: a value (0 off, 1 on, -1 mixed), a type (1
// toggle, anything else momentary), two titles, and an action sent ("bang")
// when the button is pressed or triggered. A button can be bound to a data
// source by key path: in straight sync its value follows the source through
// a threshold, in edge mode crossings of the threshold trigger it. It learns
// its source from the next MIDI, OSC, key or button message when asked, and
// keeps listening while selected in hardware-learn mode. Buttons locked
// together share their changes. Every cell registers with the button
// manager by posting "QKBNewButtonNotification".
//
// Threads: values, triggers and learn messages arrive on the tick, MIDI, OSC
// or main thread, and the cell acts on that thread (its action too, unless
// `triggerOnMain` queues it for the main thread). The cell's own state is
// safe to read and set from any thread. No call leaves the cell while
// `stateMutex_` is held. Lock order: a lock group's fan-out lock, then
// `stateMutex_`.
class QKButtonCell : public std::enable_shared_from_this<QKButtonCell>, public DataSourceTarget {
 public:
  // The action's sender is the cell; its view, when it has one, is
  // `controlView()`.
  using Action = std::function<void(QKButtonCell& sender)>;

  static const QString kNewButtonNotification;      // "QKBNewButtonNotification"
  static const QString kShowShortcutsNotification;  // "QKBMShowShortcutsNotification"

  // A new cell, announced to the button manager.
  static std::shared_ptr<QKButtonCell> create();
  // A cell bound to `path` with the given title; null for an empty title or
  // path.
  static std::shared_ptr<QKButtonCell> createWithTitle(const QString& title,
                                                       const KeyPath& synchedTo);
  // A cell read from an archive written by `encode`; absent keys take their
  // defaults.
  static std::shared_ptr<QKButtonCell> createFromArchive(const QVariantMap& coder);
  virtual ~QKButtonCell();
  QKButtonCell(const QKButtonCell&) = delete;
  QKButtonCell& operator=(const QKButtonCell&) = delete;

  // A new cell with the same titles, type, trigger mode, key and main-thread
  // setting; value, binding, target, action, delegate and locks are not
  // copied.
  std::shared_ptr<QKButtonCell> copy() const;
  void encode(QVariantMap& coder) const;

  // Detaches the cell from its source, its lock group, its manager and its
  // target; afterwards setters and actions do nothing.
  void prepareToBeDeleted();
  bool deleted() const { return deleted_.load(); }
  QString description() const;

  // --- Value -------------------------------------------------------------
  // The one setter of the value. A value other than 0, 1 and -1 is stored as
  // 1. A change bangs when `output` is asked for; an unchanged toggle button
  // bangs all the same, an unchanged momentary one does nothing. The change
  // is shared with the lock group, with the same `output`.
  void setIntValue(int value, bool andOutput = true);
  void setBoolValue(bool value, bool andOutput = true);
  // Truncated toward zero.
  void setFloatValue(float value, bool andOutput = true);
  int intValue() const { return buttonValue_.load(); }
  float floatValue() const { return static_cast<float>(intValue()); }

  // Sends the action (to the main thread when `triggerOnMain`).
  void bang();
  // A trigger: a toggle button flips (not shared with the lock group), then
  // the action is sent unless a modal window is open.
  void toggle();

  // --- Target, action, delegate, view --------------------------------------
  // The action runs only while `target` is alive, and the cell holds the
  // target until the action returns; an empty target never fires.
  void setTarget(std::weak_ptr<const void> target);
  std::weak_ptr<const void> target() const;
  void setAction(Action action);
  void setDelegate(QKButtonCellDelegate* delegate) { delegate_.store(delegate); }
  QKButtonCellDelegate* delegate() const { return delegate_.load(); }
  // The cell keeps its view's link alive: a call made on another thread
  // while the view is replaced or goes away still reaches a live object.
  void setControlView(std::shared_ptr<QKButtonCellView> view);
  std::shared_ptr<QKButtonCellView> controlView() const;
  void forceRedraw();

  // --- Locking -----------------------------------------------------------
  // Makes `other` a member of this button's lock group; it starts in this
  // button's state (its snapshot, with output).
  void lockThisButtonToMe(const std::shared_ptr<QKButtonCell>& other);
  // Leaves the master and frees this button's own members.
  void unlockMe();
  std::vector<std::shared_ptr<QKButtonCell>> lockedButtonArray() const {
    return lockGroup_.members();
  }
  bool hasLockedButtons() const { return lockGroup_.isMaster(); }
  std::shared_ptr<QKButtonCell> lockedButtonSrc() const { return lockGroup_.master(); }
  bool lockedFlag() const { return lockGroup_.isMember(); }
  void setLockedButtonSrc(const std::shared_ptr<QKButtonCell>& master);
  void setLockedFlag(bool flag);
  // Tries the fan-out lock; on true the caller releases it with
  // `unlockLockedButtons`. False for a button that is not linked.
  bool okayToTriggerLockedButtons() { return lockGroup_.tryLock(); }
  void unlockLockedButtons() { lockGroup_.unlock(); }

  // --- Registration and selection --------------------------------------------
  void setButtonManager(QKButtonManager* manager);
  // Asks for a manager first when there is none (may still answer null).
  QKButtonManager* buttonManager();
  QKButtonManager* knownButtonManager() const { return buttonManager_.load(); }
  void buttonManagerCheck();
  void select();
  void deselect();
  bool selected() const { return selected_.load(); }
  bool showShortcut() const { return showShortcut_.load(); }

  // --- Plain settings -------------------------------------------------------
  int buttonType() const { return buttonType_.load(); }
  void setButtonType(int type) { buttonType_.store(type); }
  QString title() const;
  void setTitle(const QString& title);
  QString title2() const;
  void setTitle2(const QString& title);
  QString mixedString() const;
  // Empty once deleted.
  QString key() const;
  void setKey(const QString& key);
  bool isDown() const { return isDown_.load(); }
  void setIsDown(bool down) { isDown_.store(down); }
  int modifiersOnClick() const { return modifiersOnClick_.load(); }
  void setModifiersOnClick(int modifiers) { modifiersOnClick_.store(modifiers); }
  bool preventClickSelect() const { return preventClickSelect_.load(); }
  void setPreventClickSelect(bool prevent) { preventClickSelect_.store(prevent); }
  bool triggerOnMain() const { return triggerOnMain_.load(); }
  void setTriggerOnMain(bool onMain) { triggerOnMain_.store(onMain); }
  // 1 or 0; an invalid value or 0 clears the flag, 1 sets it, anything
  // else leaves it.
  QVariant triggerOnMainNumber() const;
  void setTriggerOnMainNumber(const QVariant& number);
  bool preventSyncToggle() const { return preventSyncToggle_.load(); }
  void setPreventSyncToggle(bool prevent) { preventSyncToggle_.store(prevent); }
  float lineWidth() const { return lineWidth_.load(); }
  void setLineWidth(float width) { lineWidth_.store(width); }
  float radius() const { return radius_.load(); }
  void setRadius(float radius) { radius_.store(radius); }
  QImage imgTiles() const;
  QSizeF imgTileSize() const;
  void setImgTiles(const QImage& tiles, const QSizeF& tileSize);
  // Takes an image of three equal tiles in a row (off, pressed, on) to draw
  // over the button; any earlier one goes. A null image leaves the button
  // without tiles; a tile of zero size, or an image that is not exactly
  // three tiles wide, is refused (logged). True when the image is used.
  bool useThisImageTile(const QImage& image, const QSizeF& tileSize);
  // Buttons do not publish their value as a source: only logged.
  void setDataSourceWithVal();

  // --- Binding -------------------------------------------------------------
  // Sets the key path (shared with the lock group); rebinds when bound.
  // False only for an empty path; kinds of cells may refuse more (a learnt
  // path they refuse is not bound either).
  virtual bool useThisSource(const KeyPath& path);
  // Binds to (subscribes) or unbinds from the source at the path. A binding
  // that cannot be made leaves the button lost (`syncDeletedUnderMe`).
  void setSyncFlag(bool flag);
  bool syncFlag() const { return syncFlag_.load(); }
  KeyPath syncArray() const;
  bool syncDeletedUnderMe() const { return syncDeletedUnderMe_.load(); }
  // The bound path's source type; -2 when there is no source there.
  int dataSourceType() const;
  // False only for an infrequent source that has not received a value yet.
  bool validDataSourceValAvailable() const;

  // Messages of the source subscription.
  void dataSourceUpdated(DataSource* source);
  void dataSourceNameChanged(DataSource* source) override;
  void dataSourceTypeChanged(DataSource* source) override;
  void currentDataSourceDeletedUnderMe() override;
  // A source was placed at `path`: a button that lost its source there binds
  // again.
  void wasThisDataSourceDeletedOutFromUnderMe(const KeyPath& path);

  // --- Trigger settings ------------------------------------------------------
  // 0 straight sync, any other edge triggering; 0 is refused while bound to
  // a value-less source.
  void setTriggerMode(int mode);
  int triggerMode() const { return triggerMode_.load(); }
  void setThreshVal(float threshold);
  float threshVal() const { return threshVal_.load(); }
  void setTriggerOnRise(bool rise);
  bool triggerOnRise() const { return triggerOnRise_.load(); }
  void setTriggerOnFall(bool fall);
  bool triggerOnFall() const { return triggerOnFall_.load(); }

  // --- Learn ---------------------------------------------------------------
  void startMIDIDetect();
  void startOSCDetect();
  void startKeyDetect();
  void startButtonDetect();
  void stopMIDIDetect();
  void stopOSCDetect();
  void stopKeyDetect();
  void stopButtonDetect();
  void startAllDetect();
  void stopAllDetect();
  bool detectingMIDI() const { return detecting(kMIDI); }
  bool detectingOSC() const { return detecting(kOSC); }
  bool detectingKey() const { return detecting(kKey); }
  bool detectingButton() const { return detecting(kButton); }
  void hardwareLearnModeUpdated(bool hardwareLearnMode);
  bool hardwareLearnMode() const { return hardwareLearnMode_.load(); }
  // Binds to a learnt path (what each detect handler does with the path it
  // built from its message).
  void learnSource(const KeyPath& path);

  // --- "S" sync toggle ---------------------------------------------------------
  void setSyncToggleState(bool shown);
  std::shared_ptr<QKButtonCell> syncToggle() const;
  void syncToggleTriggered(QKButtonCell& sender);
  void setSyncToggleDict(const QVariantMap& snapshot);
  QVariantMap syncToggleDict() const;

  // --- Snapshot --------------------------------------------------------------
  // Empty (and logged) once deleted. Kinds of cells that hold more state
  // (the local preset buttons) add to both.
  virtual QVariantMap createSnapshot() const;
  virtual void loadSnapshot(const QVariantMap& snapshot, bool andOutput = true);

 protected:
  QKButtonCell();
  // Announces the cell; called once by the factories after the shared
  // pointer exists.
  void didCreate();

 private:
  enum DetectKind { kMIDI, kOSC, kKey, kButton, kDetectKinds };
  using LockGroup = ControlLockGroup<QKButtonCell>;

  // What one trigger needs of the cell's guarded state, read under a single
  // hold of `stateMutex_`: the live target (null once it is gone), the
  // action and the view.
  struct Firing {
    std::shared_ptr<const void> target;
    std::shared_ptr<const Action> action;
    std::shared_ptr<QKButtonCellView> view;
  };
  Firing firing() const;
  void toggleWith(const Firing& firing);
  void fire(const Firing& firing);

  void storeValue(int value);
  void setNeedsDisplay() const;
  void refreshInspector(bool lockedStatus = false) const;
  bool subscribe(const KeyPath& path);
  void unsubscribe(const KeyPath& path);
  bool triggersOn(DataSource* source, float* newValue);
  bool detecting(DetectKind kind) const { return detect_[kind].isOn(); }
  void startDetect(DetectKind kind);
  void stopDetect(DetectKind kind);
  void handleDetect(DetectKind kind, const Notification& notification);
  void showShortcutsNotification(const Notification& notification);
  void addSyncToggle();
  void removeSyncToggle();

  std::atomic<bool> deleted_{false};
  std::atomic<QKButtonCellDelegate*> delegate_{nullptr};
  std::atomic<int> buttonValue_{0};
  std::atomic<bool> isDown_{false};
  std::atomic<int> modifiersOnClick_{0};
  std::atomic<bool> selected_{false};
  std::atomic<QKButtonManager*> buttonManager_{nullptr};
  std::atomic<DataSourceController*> dataSourceController_{nullptr};
  std::atomic<bool> showShortcut_{false};
  std::atomic<bool> syncFlag_{false};
  std::atomic<int> triggerMode_{1};
  std::atomic<bool> syncDeletedUnderMe_{false};
  std::atomic<bool> hardwareLearnMode_{false};
  std::atomic<float> threshVal_{0.01f};
  std::atomic<bool> triggerOnRise_{true};
  std::atomic<bool> triggerOnFall_{false};
  std::atomic<bool> preventClickSelect_{false};
  std::atomic<bool> triggerOnMain_{false};
  std::atomic<bool> preventSyncToggle_{false};
  std::atomic<int> buttonType_{0};
  std::atomic<float> lineWidth_{0.0f};
  std::atomic<float> radius_{0.0f};

  // The buttons locked to this one, or its master, with the fan-out that
  // shares a change among them (a change arriving while this button fans
  // out is dropped).
  LockGroup lockGroup_;
  // The learn observers, one per kind.
  ObserverSwitch detect_[kDetectKinds] = {
      {this, QString::fromLatin1(InputNotifications::MIDIDetect)},
      {this, QString::fromLatin1(InputNotifications::OSCDetect)},
      {this, QString::fromLatin1(InputNotifications::KeyDetect)},
      {this, QString::fromLatin1(DataSourceNotifications::ButtonDetect)}};

  mutable std::mutex stateMutex_;  // guards everything below
  QString title_ = QStringLiteral("Title");
  QString title2_ = QStringLiteral("Alt.Title");
  QString key_;
  QString mixedString_ = QStringLiteral("Mixed");
  KeyPath syncArray_ = {QStringLiteral("Mouse"), QStringLiteral("X")};
  std::weak_ptr<const void> target_;
  std::shared_ptr<const Action> action_;
  std::shared_ptr<QKButtonCellView> controlView_;
  std::shared_ptr<QKButtonCell> syncToggle_;
  QVariantMap syncToggleDict_;
  QImage imgTiles_;
  QSizeF imgTileSize_;
};
