#pragma once

#include "framework/controls/ControlLockGroup.h"
#include "framework/controls/PassStateCache.h"
#include "framework/controls/QKSafeString.h"
#include "framework/controls/SliderLayout.h"
#include "framework/controls/SliderTracker.h"
#include "framework/controls/SoftTakeover.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/KeyPath.h"
#include "platform/foundation/ObserverSwitch.h"

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class BehaviorChainInterface;
class DataSource;
class DataSourceController;
class QKButtonCell;
class QKMIDIMessage;
class QKeyEvent;
class QKSliderCellDelegate;
class QPainter;
class SliderControlView;
class SliderManagerInterface;
struct Notification;

// The model of every slider: a normalised value in 0..1 held inside an
// envelope (a lower and an upper bound), an output range that maps the
// normalised value to the owner's units, marks along the track, and a fill
// value for drawing. When the value changes the cell sends its action to
// its target. It can be bound to a data source, whose values reach it
// through an optional behaviour chain and through soft takeover.
//
// Cells are made with `create` (they must live in a std::shared_ptr: lock
// groups and redraw requests hold them weakly), registered with the slider
// manager by "QKSMNewSliderNotification", and retired with
// `prepareToBeDeleted` before they are released.
//
// Threads: values arrive on the data-source tick thread, on MIDI and OSC
// input threads and on the main thread; every setter may be called from any
// of them. The value state is guarded by the cell's state lock, which is
// held only while the cell computes (and while its behaviour chain passes
// it); it is never held while the cell fans a change out to its lock group,
// talks to its manager or data sources, sends its action or notifies its
// delegate. Binding and unbinding (the sync flag with its subscription) is
// one step under the binding lock, which is held while the cell subscribes.
// Lock order: a lock group's fan-out lock, then the binding lock, then the
// state lock, then the locks of the behaviour chain and of the drawable
// texts. Redraws reach the view on the main thread, one pending request per
// cell.
class QKSliderCell : public std::enable_shared_from_this<QKSliderCell>, public DataSourceTarget {
 public:
  using Ptr = std::shared_ptr<QKSliderCell>;
  // The output action; the sender is the cell (the view forwards to it).
  using Action = std::function<void(QKSliderCell& sender)>;

  static const QString QKSMNewSliderNotification;

  static Ptr create();
  // A cell from a keyed archive (an interface layout).
  static Ptr createWithCoder(const QVariantMap& coder);
  ~QKSliderCell() override;

  QKSliderCell(const QKSliderCell&) = delete;
  QKSliderCell& operator=(const QKSliderCell&) = delete;

  // A new registered cell of the same kind with this one's name, key,
  // range, fill and value. Logged as an error: sliders are not meant to be
  // copied.
  Ptr copy() const;
  void encodeWithCoder(QVariantMap& coder) const;

  // Identity and collaborators -----------------------------------------------

  void setSliderManager(SliderManagerInterface* manager);
  SliderManagerInterface* sliderManager() const { return sliderManager_.load(); }
  DataSourceController* dataSourceController() const { return dataSourceController_.load(); }
  void setUniqueID(long uniqueID) { uniqueID_ = uniqueID; }
  long uniqueID() const { return uniqueID_.load(); }

  void setSliderName(const QString& name);
  QString sliderName() const;
  void setKey(const QString& key);
  QString key() const;  // null once deleted
  bool deleted() const { return deleted_.load(); }
  QString description() const;
  // Key presses and releases on the slider go to the data-source controller.
  void keyDown(const QKeyEvent* event);
  void keyUp(const QKeyEvent* event);

  // The view; null detaches it. Without a view the cell sends no action.
  // Attaching a view lays the slider out in it (setFrame).
  void setControlView(SliderControlView* view);
  SliderControlView* controlView() const { return controlView_.load(); }
  QRectF bounds() const;
  QRectF frame() const;
  QRectF absVisibleRect() const;
  // Asks the view to redraw, on the main thread, coalesced.
  void setNeedsDisplay(bool flag);
  // The view's delegate; none without a view.
  std::shared_ptr<QKSliderCellDelegate> delegate() const;
  void setDelegate(const std::shared_ptr<QKSliderCellDelegate>& delegate);

  void setVertFlag(bool flag) { vertFlag_ = flag; }
  bool vertFlag() const { return vertFlag_.load(); }

  // Layout (main thread) -------------------------------------------------------

  // The view's frame changed: the slider is vertical when it is taller than
  // wide, and every rectangle is laid out again in the view's bounds (which
  // run along the slider in both orientations).
  void setFrame(const QRectF& frame);
  // A copy of the rectangles, taken in one step.
  SliderLayout layout() const;
  QRectF controlFrame() const { return layout().controlFrame; }
  QRectF absControlFrame() const { return layout().absControlFrame; }
  QRectF leftEnv() const { return layout().leftEnv; }
  QRectF leftEnvHandle() const { return layout().leftEnvHandle; }
  QRectF rightEnv() const { return layout().rightEnv; }
  QRectF rightEnvHandle() const { return layout().rightEnvHandle; }
  QRectF sliderHead() const { return layout().sliderHead; }
  QRectF sliderBG() const { return layout().sliderBG; }
  // Rebuilds the mark handles from the marks.
  void populateBuildingRects();

  // Mouse tracking, driven by the view on the main thread.
  SliderTracker& tracker() { return tracker_; }
  const SliderTracker& tracker() const { return tracker_; }

  // What the view calls to draw and track the slider (main thread). Cells
  // of their own kind override them; the defaults draw the ordinary slider
  // and hand the mouse to the tracker.
  virtual void drawWithFrame(QPainter& painter, bool vertical, bool enabled,
                             const QSizeF& widgetSize) const;
  // A plain press (the tracker has handled double and Control clicks); true
  // when the view is to send the drags and the end.
  virtual bool startTrackingAt(const QPointF& point, int modifierFlags);
  virtual void continueTracking(const QPointF& point);
  // The end of a tracked press, once: the release, or the view losing the
  // mouse without one (its window deactivated, the view hidden or retired).
  virtual void stopTracking(const QPointF& point);

  // Value ----------------------------------------------------------------------

  void setValue(float value) { setValue(value, true); }
  void setValue(float value, bool andOutput);
  // Evaluates the input once and outputs only when the result differs from
  // the current value.
  void setValueAndOutputIfDifferent(float value);
  // Stores the value with no behaviours, envelope or output. Behaviours
  // write their results with it. A value that is not a number is ignored.
  void justSetValue(float value);
  void justSetValueWithRangedValue(float rangedValue);
  void setValueWithRangedValue(float rangedValue) { setValueWithRangedValue(rangedValue, true); }
  void setValueWithRangedValue(float rangedValue, bool andOutput);
  void jumpSliderBy(float step) { jumpSliderBy(step, true); }
  void jumpSliderBy(float step, bool andOutput);
  void jumpSliderByRangedValue(float step) { jumpSliderByRangedValue(step, true); }
  void jumpSliderByRangedValue(float step, bool andOutput);
  float value() const { return value_.load(); }
  float lastInputValue() const { return lastInputValue_.load(); }
  float rangedValue() const { return rangedFromNormalised(value()); }
  // Sends the action with the value as it stands (through the lock group).
  void bang();
  // The set call of a data source that publishes this slider: gives the
  // source the slider's value.
  void setDataSourceWithVal(DataSource* source);

  // Envelope, range and fill ------------------------------------------------

  void setMinEnv(float minEnv) { setMinEnv(minEnv, true); }
  void setMinEnv(float minEnv, bool andOutput);
  void setMaxEnv(float maxEnv) { setMaxEnv(maxEnv, true); }
  void setMaxEnv(float maxEnv, bool andOutput);
  void setMinEnvNumber(std::optional<float> minEnv);  // nullopt is ignored
  void setMaxEnvNumber(std::optional<float> maxEnv);  // nullopt is ignored
  // Store one bound with no rules and no output.
  void justSetMinenv(float minEnv);
  void justSetMaxenv(float maxEnv);
  float minEnv() const { return minEnv_.load(); }
  float maxEnv() const { return maxEnv_.load(); }
  float rangedMinEnv() const { return rangedFromNormalised(minEnv()); }
  float rangedMaxEnv() const { return rangedFromNormalised(maxEnv()); }

  void setMinRange(float minRange);
  void setMaxRange(float maxRange);
  float minRange() const { return minRange_.load(); }
  float maxRange() const { return maxRange_.load(); }

  void setFillValue(float fillValue);
  // Linear in every kind of slider; only a ranged value inside the range.
  void setFillValueWithRangedValue(float rangedValue);
  float fillValue() const { return fillValue_.load(); }

  // Marks ("interesting points"), kept sorted ascending in 0..1 -------------

  void addInterestingPoint(float point);
  void addInterestingPointWithRangedValue(float rangedPoint);
  void removeInterestingPoint(float point);
  void removeAllInterestingPoints();
  // Replaces the mark at the index (a drag moves it); no sorting.
  void setValueForInterestingPointAtIndex(std::optional<float> point, int index);
  void sortInterestingPoints();
  QList<float> interestingPoints() const;
  std::optional<float> findInterestingPointAtIndex(int index) const;
  float firstInterestingPointsValue() const;  // 0 without marks
  float lastInterestingPointsValue() const;   // 0 without marks
  // The nearest mark; of two at the same distance, the lower one.
  std::optional<float> findInterestingPointClosestToValue(float value) const;
  // The first mark within 4 points of the value along the view.
  std::optional<float> findRelevantInterestingPointForValue(float value) const;

  // Output -------------------------------------------------------------------

  // The target is a liveness token: the action is sent only while it lives.
  void setTarget(const std::weak_ptr<void>& target);
  void setAction(Action action);
  Action action() const;
  // Always null: only the cell's own output step sends the action.
  std::shared_ptr<void> target() const { return nullptr; }

  // Input from the bound data source ----------------------------------------

  // The subscription's action: a value pushed by the bound source. Dropped
  // while the cell is deleted or a mouse drag is under way.
  void dataSourceUpdated(DataSource* source);

  // Runs time-based behaviour chains and soft takeover between pushes; the
  // slider manager calls it on every data-source tick.
  void evaluateBehaviors();
  // The same within a walk over many sliders: `recentChain` is the chain the
  // walk used last, taken again without a lock when this slider uses it too
  // (and replaced by this slider's chain otherwise).
  void evaluateBehaviors(std::shared_ptr<BehaviorChainInterface>& recentChain);
  // A MIDI program change arrived: the next MIDI value that jumps by the
  // tolerance or more engages soft takeover.
  void programChangeReceived();

  void setSoftTakeoverMode(int mode) { softTakeoverMode_ = mode; }
  int softTakeoverMode() const { return softTakeoverMode_.load(); }
  void setSoftTakeoverTolerance(float tolerance) { softTakeoverTolerance_ = tolerance; }
  float softTakeoverTolerance() const { return softTakeoverTolerance_.load(); }
  void setSoftTakeoverSpeed(float speed) { softTakeoverSpeed_ = speed; }
  float softTakeoverSpeed() const { return softTakeoverSpeed_.load(); }
  // Engaged when a mouse drag on a bound slider ends; cleared on mouse-down.
  void setSoftTakeoverFlag(bool flag) { softTakeoverFlag_ = flag; }
  bool softTakeoverFlag() const { return softTakeoverFlag_.load(); }
  void setSoftTakeoverMIDICheck(bool flag) { softTakeoverMIDICheck_ = flag; }
  bool softTakeoverMIDICheck() const { return softTakeoverMIDICheck_.load(); }
  float lastReceivedDSValue() const { return lastReceivedDSValue_.load(); }
  // Values that arrive during a mouse drag are dropped.
  void setMouseDown(bool flag) { mouseDown_ = flag; }
  bool mouseDown() const { return mouseDown_.load(); }

  // Binding to a data source -----------------------------------------------------

  // Chooses the key path (kept even when no source stands there); a bound
  // slider stays bound across the change. False only without a path.
  bool useThisSource(const std::optional<KeyPath>& path);
  KeyPath syncArray() const;
  // Subscribes to or unsubscribes from the source at the path. A failed
  // subscription leaves the slider waiting for its source.
  void setSyncFlag(bool flag);
  bool syncFlag() const { return syncFlag_.load(); }
  // Bound was asked for but the source is missing: the slider binds by
  // itself once a source is placed at its path.
  bool syncDeletedUnderMe() const { return syncDeletedUnderMe_.load(); }
  // The bound source's type, or -2 when the path names no source.
  int dataSourceType() const;
  // False only for a push-on-change source (types 3, 4, 5) that has never
  // been given a value.
  bool validDataSourceValAvailable() const;

  // The subscription reports a rename (the path follows the source), the
  // source's deletion (the slider waits for it), and the controller reports
  // a source placed at a path (a waiting slider binds again).
  void dataSourceNameChanged(DataSource* source) override;
  void currentDataSourceDeletedUnderMe() override;
  void wasThisDataSourceDeletedOutFromUnderMe(const KeyPath& path);

  // Hardware learn: detection listens to the MIDI and OSC detect
  // notifications; outside hardware-learn mode one accepted message ends it.
  // Sliders do not learn keys.
  void startAllDetect();
  void stopAllDetect();
  void startMIDIDetect();
  void startOSCDetect();
  void stopMIDIDetect();
  void stopOSCDetect();
  bool detectingMIDI() const { return midiDetect_.isOn(); }
  bool detectingOSC() const { return oscDetect_.isOn(); }
  // Learns from one MIDI message: a note (on or off), a controller or the
  // pitch wheel binds the slider to its source under "MIDI", named as the
  // controller names it; other messages are ignored.
  void learnFromMIDIMessage(const QKMIDIMessage& message);
  // Learns the OSC source of that name (its address).
  void learnFromOSCSource(const QString& sourceName);
  // The slider manager tells every slider when hardware-learn mode changes.
  void hardwareLearnModeUpdated(bool hardwareLearnMode);
  bool hardwareLearnMode() const { return hardwareLearnMode_.load(); }

  // Behaviour chain -------------------------------------------------------------

  // The chain is held weakly; its name is kept so that it can be found again.
  // Without a chain the behaviour flag is switched off (the name stays).
  void useThisBehavior(const std::shared_ptr<BehaviorChainInterface>& chain);
  // Asks the manager for the chain of that name; an unknown name changes
  // nothing.
  void useBehaviorNamed(const QString& name);
  // The chain runs only when the flag is on and a chain is set.
  void setBehaviorFlag(bool flag);
  std::shared_ptr<BehaviorChainInterface> behaviorChain() const;
  QString behaviorName() const;
  bool behaviorFlag() const { return behaviorFlag_.load(); }
  // The states the chain's behaviours keep for this slider, for the thread
  // passing it through the chain; null on any other thread.
  PassStateCache* passStateCache() {
    return passingThread_.load(std::memory_order_relaxed) == std::this_thread::get_id()
               ? &passStateCache_
               : nullptr;
  }

  // Locking, selection and interface lock -----------------------------------------

  // Makes `other` a member of this slider's lock group (freeing it from any
  // group first); it takes over this slider's settings at once.
  void lockThisSliderToMe(const Ptr& other);
  // Leaves this slider's master and frees its own members.
  void unlockMe();
  void setLockedSliderSrc(const Ptr& master);
  Ptr lockedSliderSrc() const { return lockGroup_.master(); }
  void setLockedFlag(bool flag);
  bool lockedFlag() const { return lockGroup_.isMember(); }
  std::vector<Ptr> lockedSliderArray() const { return lockGroup_.members(); }
  bool hasLockedSliders() const { return lockGroup_.isMaster(); }

  // Selection requests, through the data-source controller (which keeps the
  // selections of sliders, buttons and other controls exclusive).
  void selectJustMe();
  void selectMeToo();
  void deselectJustMe();
  // Called by the slider manager on the cells it selects or deselects.
  void setSelected(bool flag);
  bool selected() const { return selected_.load(); }

  // The user's lock against mouse changes; locking a bound slider unbinds it.
  void setLockUIFlag(bool flag);
  bool lockUIFlag() const { return lockUIFlag_.load(); }

  // The text attributes of the slider's current colour set, taken from the
  // manager's appearance dictionary, and a redraw.
  void forceRedraw();
  // The leaf of the manager's appearance dictionary (or of the built-in one
  // when the manager has none) for the slider's selection, binding and
  // learn mode; empty when a level is missing.
  QVariantMap getRelevantColorDict() const;
  static QVariantMap hardCodedColorDict();

  // Snapshot -------------------------------------------------------------------

  QVariantMap createSnapshot() const;
  // Restores key by key through the ordinary setters (so locked sliders
  // follow); absent or mistyped keys leave their setting alone, except the
  // interface lock. Envelopes are put in order and marks clamped and sorted.
  void loadSnapshot(const QVariantMap& snapshot);

  // Detaches the cell from its group, selection, binding, chain and manager;
  // afterwards its setters do nothing. Once.
  void prepareToBeDeleted();

  // Toggle buttons ---------------------------------------------------------------

  // Shows or removes the small "S" button that switches the binding from the
  // slider itself (through the lock group), and the "B" button that switches
  // the behaviour chain. A shown button loads the snapshot last stored for
  // it, so it keeps its own binding; removing a button stores nothing.
  void setSyncToggleState(bool shown);
  void setBehavToggleState(bool shown);
  std::shared_ptr<QKButtonCell> syncToggle() const;
  std::shared_ptr<QKButtonCell> behavToggle() const;
  // The buttons' actions (queued for the main thread).
  void syncToggleTriggered(QKButtonCell& button);
  void behavToggleTriggered(QKButtonCell& button);
  // Stored button snapshots (empty: none); loaded into a shown button.
  void setSyncToggleDict(const QVariantMap& snapshot);
  void setBehavToggleDict(const QVariantMap& snapshot);
  QVariantMap syncToggleDict() const;
  QVariantMap behavToggleDict() const;

  // Drawable texts ------------------------------------------------------------

  const QKSafeString& sliderNameText() const { return sliderNameText_; }
  const QKSafeString& envText() const { return envText_; }
  const QKSafeString& valueText() const { return valueText_; }
  const QKSafeString& syncText() const { return syncText_; }

 protected:
  QKSliderCell();

  // Two-phase creation: the registration posts the cell, which must already
  // be owned by a shared pointer.
  template <typename Cell>
  static std::shared_ptr<Cell> createCell() {
    std::shared_ptr<Cell> cell(new Cell());
    cell->finishInit();
    return cell;
  }
  virtual Ptr createEmptyOfSameKind() const;

  // Lays out the value marker (`sliderHead`) and the bar (`sliderBG`) in
  // `layout`, whose track is laid out, for the value and the fill value.
  // Runs under the state lock: it must not call back into the cell.
  virtual void layOutValueRects(SliderLayout& layout, float value, float fillValue) const;

  // The mapping between normalised and ranged values; linear here. A range
  // with equal ends maps every ranged value to 0.
  virtual float rangedFromNormalised(float normalised) const;
  virtual float normalisedFromRanged(float ranged) const;
  static float linearRangedFromNormalised(float normalised, float minRange, float maxRange);
  static float linearNormalisedFromRanged(float ranged, float minRange, float maxRange);

 private:
  using FanOut = ControlLockGroup<QKSliderCell>::FanOut;

  void finishInit();
  void decode(const QVariantMap& coder);

  // True when the change must be dropped (an echo of this cell's own
  // fan-out, or a change arriving while the fan-out runs elsewhere).
  template <typename Send>
  bool fanOutStops(Send&& send) {
    return lockGroup_.fanOut(std::forward<Send>(send)) == FanOut::Busy;
  }
  template <typename Send>
  bool fanOutStops(bool output, Send&& send) {
    return lockGroup_.fanOut(output, std::forward<Send>(send)) == FanOut::Busy;
  }

  // What the tick needs to know of the bound source.
  struct SourceState {
    int type;
    bool valueReceived;
  };
  std::optional<SourceState> boundSourceState() const;
  std::shared_ptr<DataSource> boundSource() const;
  void rememberSource(DataSource* source);
  void forgetSource();
  static long currentTick();
  bool subscribeToSource();
  void unsubscribeFromSource();
  // Sets the flag and subscribes or unsubscribes, with the binding lock held.
  void switchBinding(bool flag);
  bool boundToMIDI() const;
  void receiveSourceValue(float value, int sourceType);
  void applyTakeoverStepLocked(int mode, const SoftTakeover::Step& step);
  void applyTextAttributes();
  void storeRangeEnd(std::atomic<float>& end, float value);
  void learnPath(const KeyPath& path);
  std::shared_ptr<QKButtonCell> makeToggle(const QString& title,
                                           void (QKSliderCell::*triggered)(QKButtonCell&));
  // Removes or adds one toggle; false when it was already as asked.
  bool changeToggle(std::shared_ptr<QKButtonCell> QKSliderCell::*button, const QVariantMap& stored,
                    bool shown, const QString& title,
                    void (QKSliderCell::*triggered)(QKButtonCell&), int value);
  void toggleLayoutChanged();
  // Places the toggle buttons and the track, and tells the view.
  void resizeInternalButtons();
  void midiDetectReceivedNotification(const Notification& notification);
  void oscDetectReceivedNotification(const Notification& notification);

  // The value pipeline, each with the state lock held.
  void evaluateInputLocked(float input);
  void runChainLocked();
  void passThroughChainLocked(BehaviorChainInterface& chain);
  void clampToEnvelopeLocked();
  void valueTextStepLocked();
  void writeValueTextLocked();
  // The chain to pass through: `recent` when this slider uses it, else the
  // slider's own (stored in `recent`); null without one.
  BehaviorChainInterface* chainForTick(std::shared_ptr<BehaviorChainInterface>& recent) const;
  void updateEnvTextLocked();
  // Stores under the state lock need no total order with other atomics:
  // release stores, which cost no fence on the tick's path.
  void markEvaluatedLocked() { lastOutputValue_.store(value_.load(), std::memory_order_release); }

  // Sets, evaluates and outputs this cell's own value, with no fan-out.
  void applyValue(float input, bool output);
  void outputStep();
  void inspectorStep();
  template <typename Notice>
  void tellDelegate(Notice notice);

  // The layout of the drawn parts follows the value, the envelope and the
  // marks; these recompute it (under the state lock).
  void updateMinEnvRects();
  void updateMaxEnvRects();
  void updateSliderValueRects();
  void updateMarkRects();

  // Collaborators.
  std::atomic<SliderManagerInterface*> sliderManager_{nullptr};
  std::atomic<DataSourceController*> dataSourceController_{nullptr};
  std::atomic<SliderControlView*> controlView_{nullptr};
  std::weak_ptr<QKSliderCellDelegate> delegate_;  // under stateLock_
  std::atomic<bool> deleted_{false};
  std::atomic<bool> vertFlag_{false};

  // Identity, under stateLock_.
  QString sliderName_ = QStringLiteral("defaultName");
  QString key_;

  // The value state.
  std::atomic<float> lastInputValue_{0.5f};
  std::atomic<float> value_{0.5f};
  std::atomic<float> lastReceivedDSValue_{-1.0f};
  std::atomic<float> lastOutputValue_{-1.0f};
  QList<float> interestingPoints_;  // under stateLock_
  std::atomic<float> maxEnv_{1.0f};
  std::atomic<float> minEnv_{0.0f};
  std::atomic<float> maxRange_{1.0f};
  std::atomic<float> minRange_{0.0f};
  std::atomic<float> fillValue_{0.0f};
  std::atomic<long> uniqueID_{0};

  // Selection, interface lock, binding and behaviours.
  std::atomic<bool> selected_{false};
  std::atomic<bool> lockUIFlag_{false};
  QStringList syncArray_{QStringLiteral("Mouse"), QStringLiteral("X")};  // under stateLock_
  std::weak_ptr<BehaviorChainInterface> behaviorChain_;                  // under stateLock_
  // The chain's identity (0 for none), written with behaviorChain_ and read
  // by the tick without the state lock.
  std::atomic<std::uint64_t> behaviorChainIdentity_{0};
  QString behaviorName_;  // under stateLock_
  std::atomic<bool> syncFlag_{false};
  // Held across a change of syncFlag_ and the subscription that goes with
  // it (the subscription delivers the source's value, and a node made for
  // it announces itself, so a thread may come back in). Taken after the lock
  // group's fan-out, never while stateLock_ is held.
  std::recursive_mutex bindingLock_;
  // The source that last pushed to this bound slider, so that the tick need
  // not look it up by path; forgotten when the binding or path changes.
  std::atomic<const DataSource*> knownSourceId_{nullptr};
  std::weak_ptr<DataSource> knownSource_;  // under stateLock_
  std::atomic<bool> syncDeletedUnderMe_{false};
  std::atomic<bool> behaviorFlag_{false};
  // The thread passing this cell through its chain (holding the state lock).
  std::atomic<std::thread::id> passingThread_{};
  PassStateCache passStateCache_;  // under stateLock_, by the passing thread
  std::atomic<bool> hardwareLearnMode_{false};
  std::shared_ptr<QKButtonCell> syncToggle_;   // under stateLock_
  std::shared_ptr<QKButtonCell> behavToggle_;  // under stateLock_
  QVariantMap syncToggleDict_;                 // under stateLock_
  QVariantMap behavToggleDict_;                // under stateLock_
  ObserverSwitch midiDetect_;
  ObserverSwitch oscDetect_;

  // Soft takeover.
  std::atomic<bool> softTakeoverFlag_{false};
  std::atomic<bool> softTakeoverMIDICheck_{false};
  std::atomic<int> softTakeoverMode_{3};
  std::atomic<float> softTakeoverTolerance_{0.05f};
  std::atomic<float> softTakeoverSpeed_{0.03f};
  std::atomic<long> lastTakeoverEvalTime_{-1};
  std::atomic<bool> mouseDown_{false};

  // Output, under outputLock_.
  mutable std::mutex outputLock_;
  std::weak_ptr<void> target_;
  std::shared_ptr<const Action> action_;

  ControlLockGroup<QKSliderCell> lockGroup_;

  // Drawable texts.
  QKSafeString sliderNameText_;
  QKSafeString envText_;
  QKSafeString valueText_;
  QKSafeString syncText_;
  int valueTextRedrawCount_ = 0;  // under stateLock_
  // The bits of the ranged value valueText_ shows, under stateLock_ (the
  // text is written again only when it would change).
  std::optional<std::uint32_t> valueTextShows_;
  std::atomic<bool> redrawPending_{false};

  SliderLayout layout_;        // under stateLock_
  float laidOutValue_ = 0.5f;  // the value layout_ shows, under stateLock_
  SliderTracker tracker_{*this};
  friend class SliderTracker;

  mutable std::recursive_mutex stateLock_;
};
