#include "framework/controls/QKSliderCell.h"

#include "framework/controls/BehaviorChainInterface.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKSliderCellDelegate.h"
#include "framework/controls/SliderColorDict.h"
#include "framework/controls/SliderGeometry.h"
#include "framework/controls/SliderPainter.h"
#include "framework/controls/SliderControlView.h"
#include "framework/controls/SliderManagerInterface.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DSInputNaming.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/InputNotifications.h"
#include "platform/midi/QKMIDIMessage.h"
#include "framework/render/TheApplication.h"
#include "platform/foundation/VariantNumbers.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <thread>

const QString QKSliderCell::QKSMNewSliderNotification = QStringLiteral("QKSMNewSliderNotification");

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

QString formatTwoDecimals(float v) { return QString::asprintf("%0.2f", static_cast<double>(v)); }

// The 0.01 gap kept between the envelopes is worked out in double precision
// and stored as a float.
float offsetByHundredth(float bound, double direction) {
  return static_cast<float>(static_cast<double>(bound) + direction * 0.01);
}

float clampToUnit(float v) { return std::clamp(v, 0.0f, 1.0f); }

}  // namespace

// Creation ---------------------------------------------------------------------

QKSliderCell::QKSliderCell()
    : midiDetect_(this, QString::fromLatin1(InputNotifications::MIDIDetect)),
      oscDetect_(this, QString::fromLatin1(InputNotifications::OSCDetect)),
      sliderNameText_(QStringLiteral("defaultName")),
      envText_(QStringLiteral("0.00 / 1.00")),
      valueText_(QStringLiteral("0.5")),
      syncText_(QStringLiteral("Mouse/X")) {}

QKSliderCell::Ptr QKSliderCell::create() { return createCell<QKSliderCell>(); }

QKSliderCell::Ptr QKSliderCell::createEmptyOfSameKind() const { return create(); }

void QKSliderCell::finishInit() {
  updateMinEnvRects();
  updateMaxEnvRects();
  updateSliderValueRects();
  NotificationCenter::defaultCenter().post(QKSMNewSliderNotification, this);
  selected_ = true;
  setSelected(false);
}

QKSliderCell::~QKSliderCell() {
  if (!deleted_.load()) {
    Log::line(
        QStringLiteral("\t\tERROR: slider %1 wasn't prepped for deletion!").arg(sliderName()));
    prepareToBeDeleted();
  }
  NotificationCenter::defaultCenter().removeObserver(this);
}

QKSliderCell::Ptr QKSliderCell::copy() const {
  Log::line("*******!!!!!!!!!!!!********!!!!!!!!!!!!!! QKSliderCell:copyWithZone: - err");
  Ptr other = createEmptyOfSameKind();
  other->setSliderName(sliderName());
  const QString k = key();
  if (!k.isNull()) other->setKey(k);
  other->setMinRange(minRange());
  other->setMaxRange(maxRange());
  other->setFillValue(fillValue());
  other->setValue(value());
  return other;
}

// Identity and collaborators ---------------------------------------------------

void QKSliderCell::setSliderManager(SliderManagerInterface* manager) {
  sliderManager_ = manager;
  if (!manager) return;
  dataSourceController_ = manager->dataSourceController();
  if (manager->hardwareLearnMode()) hardwareLearnMode_ = true;
}

void QKSliderCell::setSliderName(const QString& name) {
  {
    Lock lock(stateLock_);
    sliderName_ = name;
  }
  sliderNameText_.setString(name);
  setNeedsDisplay(true);
}

QString QKSliderCell::sliderName() const {
  Lock lock(stateLock_);
  return sliderName_;
}

void QKSliderCell::setKey(const QString& key) {
  Lock lock(stateLock_);
  key_ = key;
}

QString QKSliderCell::key() const {
  if (deleted()) return QString();
  Lock lock(stateLock_);
  return key_;
}

QString QKSliderCell::description() const {
  if (deleted()) return QStringLiteral("<Slider Cell -deleted!->");
  const QString name = sliderName();
  if (name.isNull()) return QStringLiteral("<Slider Cell -unknown!->");
  return QStringLiteral("<Slider Cell %1>").arg(name);
}

void QKSliderCell::setControlView(SliderControlView* view) {
  controlView_ = view;
  if (view) setFrame(view->frame());
}

// Layout -------------------------------------------------------------------------

void QKSliderCell::setFrame(const QRectF& frame) {
  setVertFlag(frame.height() > frame.width());
  SliderControlView* view = controlView();
  {
    Lock lock(stateLock_);
    layout_.controlFrame = view ? view->bounds() : QRectF();
    layout_.absControlFrame = view ? view->frameInWindow() : QRectF();
  }
  resizeInternalButtons();
  Lock lock(stateLock_);
  updateMinEnvRects();
  updateMaxEnvRects();
  updateSliderValueRects();
  updateMarkRects();
}

SliderLayout QKSliderCell::layout() const {
  Lock lock(stateLock_);
  return layout_;
}

void QKSliderCell::populateBuildingRects() {
  Lock lock(stateLock_);
  updateMarkRects();
}

void QKSliderCell::updateSliderValueRects() {
  Lock lock(stateLock_);
  const float value = value_.load();
  layOutValueRects(layout_, value, fillValue_.load());
  laidOutValue_ = value;
}

void QKSliderCell::layOutValueRects(SliderLayout& layout, float value, float fillValue) const {
  layout.sliderHead = SliderGeometry::sliderHead(layout.track, value);
  layout.sliderBG = SliderGeometry::sliderBG(layout.track, value, fillValue);
}

void QKSliderCell::drawWithFrame(QPainter& painter, bool vertical, bool enabled,
                                 const QSizeF& widgetSize) const {
  SliderPainter::paint(painter, *this, vertical, enabled, widgetSize);
}

bool QKSliderCell::startTrackingAt(const QPointF& point, int modifierFlags) {
  return tracker_.startTrackingAt(point, modifierFlags);
}

void QKSliderCell::continueTracking(const QPointF& point) { tracker_.continueTracking(point); }

void QKSliderCell::stopTracking(const QPointF& point) { tracker_.stopTracking(point); }

void QKSliderCell::updateMinEnvRects() {
  Lock lock(stateLock_);
  layout_.leftEnv = SliderGeometry::leftEnv(layout_.track, minEnv_.load());
  layout_.leftEnvHandle = SliderGeometry::leftEnvHandle(layout_.track, layout_.leftEnv);
}

void QKSliderCell::updateMaxEnvRects() {
  Lock lock(stateLock_);
  layout_.rightEnv = SliderGeometry::rightEnv(layout_.track, maxEnv_.load());
  layout_.rightEnvHandle = SliderGeometry::rightEnvHandle(layout_.rightEnv);
}

void QKSliderCell::updateMarkRects() {
  Lock lock(stateLock_);
  layout_.markHandles = SliderGeometry::markHandles(layout_.track, interestingPoints_);
}

void QKSliderCell::resizeInternalButtons() {
  {
    Lock lock(stateLock_);
    const bool sync = syncToggle_ != nullptr;
    const bool behav = behavToggle_ != nullptr;
    layout_.clipToTrack = sync || behav;
    layout_.track = SliderGeometry::track(layout_.controlFrame, layout_.clipToTrack);
    const SliderGeometry::ToggleFrames frames =
        SliderGeometry::toggleFrames(layout_.controlFrame, sync, behav);
    layout_.syncToggleFrame = frames.sync;
    layout_.behavToggleFrame = frames.behav;
  }
  if (SliderControlView* view = controlView()) view->toggleButtonsChanged();
}

QRectF QKSliderCell::bounds() const {
  SliderControlView* view = controlView();
  return view ? view->bounds() : QRectF();
}

QRectF QKSliderCell::frame() const {
  SliderControlView* view = controlView();
  return view ? view->frame() : QRectF();
}

QRectF QKSliderCell::absVisibleRect() const {
  SliderControlView* view = controlView();
  return view ? view->absVisibleRect() : QRectF();
}

void QKSliderCell::setNeedsDisplay(bool flag) {
  if (!flag || !controlView()) return;
  if (redrawPending_.exchange(true)) return;
  std::weak_ptr<QKSliderCell> weak = weak_from_this();
  MainThread::post([weak] {
    Ptr cell = weak.lock();
    if (!cell) return;
    cell->redrawPending_ = false;
    if (SliderControlView* view = cell->controlView()) view->setNeedsDisplay();
  });
}

std::shared_ptr<QKSliderCellDelegate> QKSliderCell::delegate() const {
  if (!controlView()) return nullptr;
  Lock lock(stateLock_);
  return delegate_.lock();
}

void QKSliderCell::setDelegate(const std::shared_ptr<QKSliderCellDelegate>& delegate) {
  if (!controlView()) return;
  Lock lock(stateLock_);
  delegate_ = delegate;
}

template <typename Notice>
void QKSliderCell::tellDelegate(Notice notice) {
  if (std::shared_ptr<QKSliderCellDelegate> d = delegate()) ((*d).*notice)(*this);
}

// The value pipeline -------------------------------------------------------------

void QKSliderCell::evaluateInputLocked(float input) {
  lastInputValue_ = input;
  value_ = input;
  runChainLocked();
  clampToEnvelopeLocked();
}

void QKSliderCell::runChainLocked() {
  if (!behaviorFlag_.load()) return;
  if (std::shared_ptr<BehaviorChainInterface> chain = behaviorChain_.lock())
    passThroughChainLocked(*chain);
}

// The behaviours' writes during the pass only store the value (this thread
// holds the state lock); the caller lays the slider out once, after the
// envelope clamp.
void QKSliderCell::passThroughChainLocked(BehaviorChainInterface& chain) {
  passingThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  chain.passPtrThruChain(*this);
  passingThread_.store(std::thread::id(), std::memory_order_relaxed);
}

// Below the lower bound gives the lower bound, then above the upper bound the
// upper bound. A value that is not a number (a behaviour's division by zero)
// takes the lower bound, so no NaN ever reaches an output.
void QKSliderCell::clampToEnvelopeLocked() {
  float v = value_.load();
  const float lower = minEnv_.load();
  const float upper = maxEnv_.load();
  if (std::isnan(v) || v < lower) v = lower;
  if (v > upper) v = upper;
  value_.store(v, std::memory_order_release);
}

// An unselected slider rewrites its value text on every tenth evaluation
// (when the text would change: a settled slider formats nothing).
void QKSliderCell::valueTextStepLocked() {
  if (selected_.load() || valueTextRedrawCount_ == 0) {
    if (valueTextShows_ != std::bit_cast<std::uint32_t>(rangedValue())) writeValueTextLocked();
  }
  if (++valueTextRedrawCount_ > 9) valueTextRedrawCount_ = 0;
}

void QKSliderCell::writeValueTextLocked() {
  const float ranged = rangedValue();
  valueText_.setTwoDecimals(ranged);
  valueTextShows_ = std::bit_cast<std::uint32_t>(ranged);
}

void QKSliderCell::updateEnvTextLocked() {
  envText_.setString(QStringLiteral("%1 / %2").arg(formatTwoDecimals(rangedMinEnv()),
                                                   formatTwoDecimals(rangedMaxEnv())));
}

void QKSliderCell::outputStep() {
  if (!controlView()) return;
  std::shared_ptr<void> target;
  std::shared_ptr<const Action> action;
  {
    std::lock_guard<std::mutex> guard(outputLock_);
    target = target_.lock();
    action = action_;
  }
  if (!target || !action || !*action) return;
  if (TheApplication::modalWindowRunning()) return;
  (*action)(*this);
}

void QKSliderCell::inspectorStep() {
  if (!selected_.load()) return;
  if (SliderManagerInterface* manager = sliderManager()) manager->updateValueRelatedOnly();
}

// Value ----------------------------------------------------------------------------

void QKSliderCell::setValue(float value, bool andOutput) {
  if (deleted() || std::isnan(value)) return;
  if (fanOutStops(andOutput,
                  [value](QKSliderCell& other, bool out) { other.setValue(value, out); }))
    return;
  applyValue(value, andOutput);
}

void QKSliderCell::applyValue(float input, bool output) {
  {
    Lock lock(stateLock_);
    evaluateInputLocked(input);
    valueTextStepLocked();
    updateSliderValueRects();
    markEvaluatedLocked();
  }
  if (output) outputStep();
  inspectorStep();
  setNeedsDisplay(true);
}

// The input is evaluated once: its result is what is stored and output, and
// the input stays the last input (the chain does not run a second time on
// its own result).
void QKSliderCell::setValueAndOutputIfDifferent(float value) {
  if (deleted() || std::isnan(value)) return;
  if (fanOutStops([value](QKSliderCell& other) { other.setValueAndOutputIfDifferent(value); }))
    return;
  {
    Lock lock(stateLock_);
    const float before = value_.load();
    evaluateInputLocked(value);
    valueTextStepLocked();
    if (value_.load() == before) return;
    updateSliderValueRects();
    markEvaluatedLocked();
  }
  outputStep();
  inspectorStep();
  setNeedsDisplay(true);
}

// A value that is not a finite number is ignored.
void QKSliderCell::justSetValue(float value) {
  if (!std::isfinite(value)) return;
  if (passingThread_.load(std::memory_order_relaxed) == std::this_thread::get_id()) {
    value_.store(value, std::memory_order_release);  // a behaviour of this cell's pass
    return;
  }
  Lock lock(stateLock_);
  value_ = value;
  updateSliderValueRects();
}

void QKSliderCell::justSetValueWithRangedValue(float rangedValue) {
  justSetValue(normalisedFromRanged(rangedValue));
}

void QKSliderCell::setValueWithRangedValue(float rangedValue, bool andOutput) {
  setValue(normalisedFromRanged(rangedValue), andOutput);
}

void QKSliderCell::jumpSliderBy(float step, bool andOutput) { setValue(value() + step, andOutput); }

void QKSliderCell::jumpSliderByRangedValue(float step, bool andOutput) {
  setValueWithRangedValue(rangedValue() + step, andOutput);
}

void QKSliderCell::bang() {
  if (fanOutStops([](QKSliderCell& other) { other.bang(); })) return;
  outputStep();
}

// Ranged values ----------------------------------------------------------------------

float QKSliderCell::linearRangedFromNormalised(float normalised, float minRange, float maxRange) {
  return minRange + normalised * (maxRange - minRange);
}

float QKSliderCell::linearNormalisedFromRanged(float ranged, float minRange, float maxRange) {
  const float span = maxRange - minRange;
  if (span == 0.0f) return 0.0f;
  return (ranged - minRange) / span;
}

float QKSliderCell::rangedFromNormalised(float normalised) const {
  return linearRangedFromNormalised(normalised, minRange(), maxRange());
}

float QKSliderCell::normalisedFromRanged(float ranged) const {
  return linearNormalisedFromRanged(ranged, minRange(), maxRange());
}

// Envelope, range and fill -----------------------------------------------------------

void QKSliderCell::setMaxEnv(float maxEnv, bool andOutput) {
  if (deleted() || std::isnan(maxEnv)) return;
  if (fanOutStops(andOutput,
                  [maxEnv](QKSliderCell& other, bool out) { other.setMaxEnv(maxEnv, out); }))
    return;
  bool reevaluate;
  float input;
  {
    Lock lock(stateLock_);
    float upper = maxEnv;
    const float lower = minEnv_.load();
    if (lower >= upper) upper = offsetByHundredth(lower, +1.0);
    if (upper > 1.0f) upper = 1.0f;
    maxEnv_ = upper;
    updateEnvTextLocked();
    updateMaxEnvRects();
    input = lastInputValue_.load();
    reevaluate = value_.load() > upper || input > upper;
  }
  // Every member of a lock group re-evaluates for itself from its own input.
  if (reevaluate)
    applyValue(input, andOutput);
  else
    setNeedsDisplay(true);
  tellDelegate(&QKSliderCellDelegate::QKSliderMaxEnvChanged);
}

void QKSliderCell::setMinEnv(float minEnv, bool andOutput) {
  if (deleted() || std::isnan(minEnv)) return;
  if (fanOutStops(andOutput,
                  [minEnv](QKSliderCell& other, bool out) { other.setMinEnv(minEnv, out); }))
    return;
  bool reevaluate;
  float input;
  {
    Lock lock(stateLock_);
    float lower = minEnv;
    const float upper = maxEnv_.load();
    if (lower > upper) lower = offsetByHundredth(upper, -1.0);
    if (lower < 0.0f) lower = 0.0f;
    minEnv_ = lower;
    updateEnvTextLocked();
    updateMinEnvRects();
    input = lastInputValue_.load();
    reevaluate = lower > value_.load() || lower > input;
  }
  if (reevaluate)
    applyValue(input, andOutput);
  else
    setNeedsDisplay(true);
  tellDelegate(&QKSliderCellDelegate::QKSliderMinEnvChanged);
}

void QKSliderCell::setMinEnvNumber(std::optional<float> minEnv) {
  if (minEnv) setMinEnv(*minEnv);
}

void QKSliderCell::setMaxEnvNumber(std::optional<float> maxEnv) {
  if (maxEnv) setMaxEnv(*maxEnv);
}

void QKSliderCell::justSetMinenv(float minEnv) {
  if (!std::isfinite(minEnv)) return;
  Lock lock(stateLock_);
  minEnv_ = minEnv;
  updateMinEnvRects();
}

void QKSliderCell::justSetMaxenv(float maxEnv) {
  if (!std::isfinite(maxEnv)) return;
  Lock lock(stateLock_);
  maxEnv_ = maxEnv;
  updateMaxEnvRects();
}

void QKSliderCell::setMinRange(float minRange) { storeRangeEnd(minRange_, minRange); }

void QKSliderCell::setMaxRange(float maxRange) { storeRangeEnd(maxRange_, maxRange); }

// A range end that is not a finite number is ignored.
void QKSliderCell::storeRangeEnd(std::atomic<float>& end, float value) {
  if (!std::isfinite(value)) return;
  {
    Lock lock(stateLock_);
    end = value;
    updateEnvTextLocked();
    writeValueTextLocked();
  }
  setNeedsDisplay(true);
}

void QKSliderCell::setFillValue(float fillValue) {
  if (std::isnan(fillValue) || fillValue == fillValue_.load()) return;
  fillValue_ = fillValue;
  updateSliderValueRects();
  setNeedsDisplay(true);
}

void QKSliderCell::setFillValueWithRangedValue(float rangedValue) {
  const float low = minRange();
  const float high = maxRange();
  if (rangedValue < low || rangedValue > high) return;
  fillValue_ = linearNormalisedFromRanged(rangedValue, low, high);
  updateSliderValueRects();
}

// Marks ----------------------------------------------------------------------------------

void QKSliderCell::addInterestingPoint(float point) {
  if (deleted() || std::isnan(point)) return;
  if (fanOutStops([point](QKSliderCell& other) { other.addInterestingPoint(point); })) return;
  {
    Lock lock(stateLock_);
    interestingPoints_.append(clampToUnit(point));
  }
  sortInterestingPoints();
  tellDelegate(&QKSliderCellDelegate::QKSliderInterestingPointsChanged);
}

void QKSliderCell::addInterestingPointWithRangedValue(float rangedPoint) {
  addInterestingPoint(normalisedFromRanged(rangedPoint));
}

void QKSliderCell::removeInterestingPoint(float point) {
  if (deleted()) return;
  if (fanOutStops([point](QKSliderCell& other) { other.removeInterestingPoint(point); })) return;
  {
    Lock lock(stateLock_);
    interestingPoints_.removeAll(point);
  }
  sortInterestingPoints();
  tellDelegate(&QKSliderCellDelegate::QKSliderInterestingPointsChanged);
}

void QKSliderCell::removeAllInterestingPoints() {
  if (deleted()) return;
  if (fanOutStops([](QKSliderCell& other) { other.removeAllInterestingPoints(); })) return;
  {
    Lock lock(stateLock_);
    interestingPoints_.clear();
    updateMarkRects();
  }
  setNeedsDisplay(true);
  tellDelegate(&QKSliderCellDelegate::QKSliderInterestingPointsChanged);
}

void QKSliderCell::setValueForInterestingPointAtIndex(std::optional<float> point, int index) {
  if (deleted()) return;
  if (fanOutStops([point, index](QKSliderCell& other) {
        other.setValueForInterestingPointAtIndex(point, index);
      }))
    return;
  if (!point || std::isnan(*point)) return;
  Lock lock(stateLock_);
  if (index < 0 || index >= interestingPoints_.size()) return;
  interestingPoints_[index] = *point;
  updateMarkRects();
}

void QKSliderCell::sortInterestingPoints() {
  {
    Lock lock(stateLock_);
    std::sort(interestingPoints_.begin(), interestingPoints_.end());
    updateMarkRects();
  }
  setNeedsDisplay(true);
  inspectorStep();
}

QList<float> QKSliderCell::interestingPoints() const {
  Lock lock(stateLock_);
  return interestingPoints_;
}

std::optional<float> QKSliderCell::findInterestingPointAtIndex(int index) const {
  Lock lock(stateLock_);
  if (index < 0 || index >= interestingPoints_.size()) return std::nullopt;
  return interestingPoints_[index];
}

float QKSliderCell::firstInterestingPointsValue() const {
  Lock lock(stateLock_);
  return interestingPoints_.isEmpty() ? 0.0f : interestingPoints_.first();
}

float QKSliderCell::lastInterestingPointsValue() const {
  Lock lock(stateLock_);
  return interestingPoints_.isEmpty() ? 0.0f : interestingPoints_.last();
}

// Walks the sorted marks; a mark replaces the closest so far only when it is
// strictly closer, and the walk ends at the second mark that is not.
std::optional<float> QKSliderCell::findInterestingPointClosestToValue(float value) const {
  Lock lock(stateLock_);
  if (interestingPoints_.isEmpty()) return std::nullopt;
  float best = interestingPoints_.first();
  float bestDistance = std::fabs(best - value);
  int notCloser = 0;
  for (qsizetype i = 1; i < interestingPoints_.size(); ++i) {
    const float distance = std::fabs(interestingPoints_[i] - value);
    if (distance < bestDistance) {
      best = interestingPoints_[i];
      bestDistance = distance;
    } else if (++notCloser == 2) {
      break;
    }
  }
  return best;
}

// Without a view (no width) no mark is near enough.
// Along the slider: a vertical slider's bounds run along it too.
std::optional<float> QKSliderCell::findRelevantInterestingPointForValue(float value) const {
  if (!controlView()) return std::nullopt;
  const double width = layout().controlFrame.width();
  if (!(width > 0.0)) return std::nullopt;
  const double reach = 4.0 / width;
  Lock lock(stateLock_);
  for (float point : interestingPoints_) {
    if (std::fabs(static_cast<double>(point) - value) < reach) return point;
  }
  return std::nullopt;
}

// Output ---------------------------------------------------------------------------------

void QKSliderCell::setTarget(const std::weak_ptr<void>& target) {
  std::lock_guard<std::mutex> guard(outputLock_);
  target_ = target;
}

void QKSliderCell::setAction(Action action) {
  std::lock_guard<std::mutex> guard(outputLock_);
  action_ = std::make_shared<const Action>(std::move(action));
}

QKSliderCell::Action QKSliderCell::action() const {
  std::lock_guard<std::mutex> guard(outputLock_);
  return action_ ? *action_ : Action();
}

// Behaviour chain -------------------------------------------------------------------------

void QKSliderCell::useThisBehavior(const std::shared_ptr<BehaviorChainInterface>& chain) {
  if (fanOutStops([chain](QKSliderCell& other) { other.useThisBehavior(chain); })) return;
  {
    Lock lock(stateLock_);
    behaviorChain_ = chain;
    behaviorChainIdentity_.store(chain ? chain->chainIdentity() : 0, std::memory_order_release);
    if (chain) behaviorName_ = chain->chainName();
  }
  if (!chain) behaviorFlag_ = false;
}

void QKSliderCell::useBehaviorNamed(const QString& name) {
  if (fanOutStops([name](QKSliderCell& other) { other.useBehaviorNamed(name); })) return;
  SliderManagerInterface* manager = sliderManager();
  if (!manager) return;
  std::shared_ptr<BehaviorChainInterface> chain = manager->findBehaviorChainNamed(name);
  if (!chain) return;
  useThisBehavior(chain);
  if (selected_.load()) manager->updateWithLockedStatus(false);
}

void QKSliderCell::setBehaviorFlag(bool flag) {
  if (fanOutStops([flag](QKSliderCell& other) { other.setBehaviorFlag(flag); })) return;
  behaviorFlag_ = flag;
  if (selected_.load()) {
    if (SliderManagerInterface* manager = sliderManager()) manager->updateWithLockedStatus(false);
  }
  tellDelegate(&QKSliderCellDelegate::QKSliderBehavFlagChanged);
  if (std::shared_ptr<QKButtonCell> button = behavToggle())
    button->setIntValue(flag ? 1 : 0, false);
}

std::shared_ptr<BehaviorChainInterface> QKSliderCell::behaviorChain() const {
  Lock lock(stateLock_);
  return behaviorChain_.lock();
}

QString QKSliderCell::behaviorName() const {
  Lock lock(stateLock_);
  return behaviorName_;
}

// Locking ---------------------------------------------------------------------------------

void QKSliderCell::lockThisSliderToMe(const Ptr& other) {
  lockGroup_.lockToMe(shared_from_this(), other, [](QKSliderCell& member, const Ptr& master) {
    member.setLockedSliderSrc(master);
  });
}

void QKSliderCell::unlockMe() {
  lockGroup_.unlockAll(
      this, [](QKSliderCell & master) -> auto& { return master.lockGroup_; });
}

// A member takes over its master's marks.
void QKSliderCell::setLockedSliderSrc(const Ptr& master) {
  lockGroup_.setMaster(master);
  if (!master || master.get() == this) return;
  const QList<float> marks = master->interestingPoints();
  {
    Lock lock(stateLock_);
    interestingPoints_.clear();
    for (float mark : marks) interestingPoints_.append(clampToUnit(mark));
  }
  sortInterestingPoints();
  tellDelegate(&QKSliderCellDelegate::QKSliderInterestingPointsChanged);
}

// A new member loads its master's snapshot, keeping its own interface lock.
void QKSliderCell::setLockedFlag(bool flag) {
  unlockMe();
  lockGroup_.setIsMember(flag);
  if (!flag) return;
  Ptr master = lockGroup_.master();
  if (!master) return;
  const bool ownInterfaceLock = lockUIFlag();
  loadSnapshot(master->createSnapshot());
  lockUIFlag_ = ownInterfaceLock;
}

// Selection and interface lock ---------------------------------------------------------

void QKSliderCell::setSelected(bool flag) {
  if (selected_.exchange(flag) == flag) return;
  applyTextAttributes();
  if (flag && hardwareLearnMode_.load())
    startAllDetect();
  else if (!flag)
    stopAllDetect();
  setNeedsDisplay(true);
}

void QKSliderCell::setLockUIFlag(bool flag) {
  if (lockUIFlag_.exchange(flag) == flag) return;
  if (syncFlag()) {
    setSyncFlag(false);
    return;
  }
  if (selected()) {
    if (SliderManagerInterface* manager = sliderManager()) manager->updateWithLockedStatus(false);
  }
  setNeedsDisplay(true);
}

QVariantMap QKSliderCell::getRelevantColorDict() const {
  SliderManagerInterface* manager = sliderManager();
  QVariantMap all = manager ? manager->sliderColorDict() : QVariantMap();
  if (all.isEmpty()) {
    static const QVariantMap builtIn = hardCodedColorDict();
    all = builtIn;
  }
  return SliderColorDict::leaf(all, selected(), syncFlag(), hardwareLearnMode_.load());
}

QVariantMap QKSliderCell::hardCodedColorDict() { return SliderColorDict::builtIn(); }

void QKSliderCell::applyTextAttributes() {
  const QVariantMap colors = getRelevantColorDict();
  if (colors.isEmpty()) return;
  const QVariantMap nameAttributes = colors.value(QStringLiteral("QKSliderTextAttribs")).toMap();
  const QVariantMap otherAttributes =
      colors.value(QStringLiteral("QKSliderEnvTextAttribs")).toMap();
  sliderNameText_.setAttributes(nameAttributes);
  envText_.setAttributes(otherAttributes);
  valueText_.setAttributes(otherAttributes);
  syncText_.setAttributes(otherAttributes);
}

void QKSliderCell::forceRedraw() {
  applyTextAttributes();
  setNeedsDisplay(true);
}

// Snapshot ----------------------------------------------------------------------------------

namespace SnapshotKey {
const QString value = QStringLiteral("value");
const QString minEnv = QStringLiteral("minenv");
const QString maxEnv = QStringLiteral("maxenv");
const QString behaviorFlag = QStringLiteral("behaviorFlag");
const QString behaviorName = QStringLiteral("behaviorName");
const QString syncFlag = QStringLiteral("syncFlag");
const QString syncArray = QStringLiteral("syncArray");
const QString syncGen = QStringLiteral("syncGen");
const QString syncSpec = QStringLiteral("syncSpec");
const QString interestingPoints = QStringLiteral("interestingPoints");
const QString lockUIFlag = QStringLiteral("lockUIFlag");
const QString sliderName = QStringLiteral("sliderName");
const QString key = QStringLiteral("key");
const QString syncToggleFlag = QStringLiteral("syncToggleFlag");
const QString syncToggle = QStringLiteral("syncToggle");
const QString behavToggleFlag = QStringLiteral("behavToggleFlag");
const QString behavToggle = QStringLiteral("behavToggle");
}  // namespace SnapshotKey

namespace {

std::optional<float> numberIn(const QVariantMap& map, const QString& key) {
  const QVariant v = map.value(key);
  if (!VariantNumbers::isNumber(v)) return std::nullopt;
  const float f = static_cast<float>(v.toDouble());
  if (std::isnan(f)) return std::nullopt;
  return f;
}

std::optional<bool> boolIn(const QVariantMap& map, const QString& key) {
  const QVariant v = map.value(key);
  if (v.metaType().id() == QMetaType::Bool) return v.toBool();
  if (VariantNumbers::isNumber(v)) return v.toDouble() != 0.0;
  return std::nullopt;
}

std::optional<QString> stringIn(const QVariantMap& map, const QString& key) {
  const QVariant v = map.value(key);
  if (v.metaType().id() != QMetaType::QString) return std::nullopt;
  return v.toString();
}

std::optional<QVariantMap> mapIn(const QVariantMap& map, const QString& key) {
  const QVariant v = map.value(key);
  if (v.metaType().id() != QMetaType::QVariantMap) return std::nullopt;
  return v.toMap();
}

std::optional<KeyPath> pathIn(const QVariantMap& map, const QString& key) {
  const QVariant v = map.value(key);
  if (v.metaType().id() == QMetaType::QStringList) return v.toStringList();
  if (v.metaType().id() != QMetaType::QVariantList) return std::nullopt;
  KeyPath path;
  for (const QVariant& name : v.toList()) {
    if (name.metaType().id() != QMetaType::QString) return std::nullopt;
    path.append(name.toString());
  }
  return path;
}

QVariantList pathAsList(const KeyPath& path) {
  QVariantList list;
  for (const QString& name : path) list.append(name);
  return list;
}

// Stored marks are clamped into 0..1 and sorted; entries that are not
// numbers are left out.
std::optional<QList<float>> marksIn(const QVariantMap& map, const QString& key) {
  const QVariant v = map.value(key);
  if (v.metaType().id() != QMetaType::QVariantList) return std::nullopt;
  QList<float> marks;
  for (const QVariant& entry : v.toList()) {
    if (!VariantNumbers::isNumber(entry)) continue;
    const float mark = static_cast<float>(entry.toDouble());
    if (!std::isnan(mark)) marks.append(clampToUnit(mark));
  }
  std::sort(marks.begin(), marks.end());
  return marks;
}

}  // namespace

QVariantMap QKSliderCell::createSnapshot() const {
  QVariantMap snapshot;
  snapshot.insert(SnapshotKey::value, static_cast<double>(value()));
  snapshot.insert(SnapshotKey::minEnv, static_cast<double>(minEnv()));
  snapshot.insert(SnapshotKey::maxEnv, static_cast<double>(maxEnv()));
  snapshot.insert(SnapshotKey::behaviorFlag, behaviorFlag());
  snapshot.insert(SnapshotKey::syncFlag, syncFlag());
  snapshot.insert(SnapshotKey::lockUIFlag, lockUIFlag());
  QVariantList marks;
  {
    Lock lock(stateLock_);
    if (!behaviorName_.isNull()) snapshot.insert(SnapshotKey::behaviorName, behaviorName_);
    if (!syncArray_.isEmpty()) snapshot.insert(SnapshotKey::syncArray, pathAsList(syncArray_));
    for (float mark : interestingPoints_) marks.append(static_cast<double>(mark));
    snapshot.insert(SnapshotKey::sliderName, sliderName_);
    if (!key_.isNull()) snapshot.insert(SnapshotKey::key, key_);
  }
  snapshot.insert(SnapshotKey::interestingPoints, marks);

  // A shown button's own snapshot, otherwise the one stored for it.
  auto putToggle = [&snapshot](const std::shared_ptr<QKButtonCell>& button,
                               const QVariantMap& stored, const QString& flagKey,
                               const QString& key) {
    snapshot.insert(flagKey, button != nullptr);
    const QVariantMap state = button ? button->createSnapshot() : stored;
    if (!state.isEmpty()) snapshot.insert(key, state);
  };
  putToggle(syncToggle(), syncToggleDict(), SnapshotKey::syncToggleFlag, SnapshotKey::syncToggle);
  putToggle(behavToggle(), behavToggleDict(), SnapshotKey::behavToggleFlag,
            SnapshotKey::behavToggle);
  return snapshot;
}

void QKSliderCell::loadSnapshot(const QVariantMap& snapshot) {
  if (std::optional<bool> shown = boolIn(snapshot, SnapshotKey::syncToggleFlag))
    setSyncToggleState(*shown);
  if (std::optional<QVariantMap> state = mapIn(snapshot, SnapshotKey::syncToggle))
    setSyncToggleDict(*state);
  if (std::optional<bool> shown = boolIn(snapshot, SnapshotKey::behavToggleFlag))
    setBehavToggleState(*shown);
  if (std::optional<QVariantMap> state = mapIn(snapshot, SnapshotKey::behavToggle))
    setBehavToggleDict(*state);

  // Envelopes: stored as they are with no output, but put in order and kept
  // inside 0..1 so that a damaged file cannot invert them.
  {
    Lock lock(stateLock_);
    float lower = numberIn(snapshot, SnapshotKey::minEnv).value_or(minEnv_.load());
    float upper = numberIn(snapshot, SnapshotKey::maxEnv).value_or(maxEnv_.load());
    if (lower > upper) std::swap(lower, upper);
    minEnv_ = clampToUnit(lower);
    maxEnv_ = clampToUnit(upper);
    updateMinEnvRects();
    updateMaxEnvRects();
    updateEnvTextLocked();
  }

  if (std::optional<KeyPath> path = pathIn(snapshot, SnapshotKey::syncArray)) {
    useThisSource(path);
  } else {
    const std::optional<QString> generator = stringIn(snapshot, SnapshotKey::syncGen);
    const std::optional<QString> specific = stringIn(snapshot, SnapshotKey::syncSpec);
    if (generator && specific) useThisSource(KeyPathAdditions::fromLegacy(*generator, *specific));
  }

  if (std::optional<QList<float>> marks = marksIn(snapshot, SnapshotKey::interestingPoints)) {
    {
      Lock lock(stateLock_);
      interestingPoints_ = *marks;
    }
    tellDelegate(&QKSliderCellDelegate::QKSliderInterestingPointsChanged);
  }

  if (std::optional<QString> name = stringIn(snapshot, SnapshotKey::behaviorName))
    useBehaviorNamed(*name);

  if (std::optional<bool> bound = boolIn(snapshot, SnapshotKey::syncFlag)) {
    setSyncFlag(*bound);
    if (*bound && !syncFlag()) syncDeletedUnderMe_ = true;
  }

  if (std::optional<bool> chainOn = boolIn(snapshot, SnapshotKey::behaviorFlag))
    setBehaviorFlag(*chainOn);

  // A bound slider keeps the value its source delivered on subscription,
  // unless the source only pushes on change and never had a value.
  if (std::optional<float> stored = numberIn(snapshot, SnapshotKey::value)) {
    if (!syncFlag() || !validDataSourceValAvailable()) setValue(*stored);
  }

  lockUIFlag_ = boolIn(snapshot, SnapshotKey::lockUIFlag).value_or(false);
  Lock lock(stateLock_);
  writeValueTextLocked();
}

// Keyed archive -------------------------------------------------------------------------------

namespace CoderKey {
const QString sliderName = QStringLiteral("sliderName");
const QString key = QStringLiteral("key");
const QString minRange = QStringLiteral("minRange");
const QString maxRange = QStringLiteral("maxRange");
const QString minEnv = QStringLiteral("minEnv");
const QString maxEnv = QStringLiteral("maxEnv");
const QString fillValue = QStringLiteral("fillValue");
const QString value = QStringLiteral("value");
}  // namespace CoderKey

void QKSliderCell::encodeWithCoder(QVariantMap& coder) const {
  coder.insert(CoderKey::sliderName, sliderName());
  const QString k = key();
  if (!k.isNull()) coder.insert(CoderKey::key, k);
  coder.insert(CoderKey::minRange, static_cast<double>(minRange()));
  coder.insert(CoderKey::maxRange, static_cast<double>(maxRange()));
  coder.insert(CoderKey::minEnv, static_cast<double>(minEnv()));
  coder.insert(CoderKey::maxEnv, static_cast<double>(maxEnv()));
  coder.insert(CoderKey::fillValue, static_cast<double>(fillValue()));
  coder.insert(CoderKey::value, static_cast<double>(value()));
}

QKSliderCell::Ptr QKSliderCell::createWithCoder(const QVariantMap& coder) {
  std::shared_ptr<QKSliderCell> cell(new QKSliderCell());
  cell->decode(coder);
  cell->finishInit();
  return cell;
}

// Every key is read only when present; envelopes are put in order as in a
// snapshot, and range ends that are not finite keep their defaults.
void QKSliderCell::decode(const QVariantMap& coder) {
  Lock lock(stateLock_);
  if (std::optional<QString> name = stringIn(coder, CoderKey::sliderName)) {
    sliderName_ = *name;
    sliderNameText_.setString(*name);
  }
  if (std::optional<QString> k = stringIn(coder, CoderKey::key)) key_ = *k;
  auto finite = [&coder](const QString& key) {
    std::optional<float> v = numberIn(coder, key);
    return v && std::isfinite(*v) ? v : std::nullopt;
  };
  minRange_ = finite(CoderKey::minRange).value_or(0.0f);
  maxRange_ = finite(CoderKey::maxRange).value_or(1.0f);
  float lower = finite(CoderKey::minEnv).value_or(0.0f);
  float upper = finite(CoderKey::maxEnv).value_or(1.0f);
  if (lower > upper) std::swap(lower, upper);
  minEnv_ = clampToUnit(lower);
  maxEnv_ = clampToUnit(upper);
  fillValue_ = finite(CoderKey::fillValue).value_or(0.0f);
  value_ = finite(CoderKey::value).value_or(0.5f);
  updateEnvTextLocked();
}

// Retirement -----------------------------------------------------------------------------------

void QKSliderCell::prepareToBeDeleted() {
  if (deleted_.exchange(true)) return;
  midiDetect_.close();
  oscDetect_.close();
  NotificationCenter::defaultCenter().removeObserver(this);
  for (const std::shared_ptr<QKButtonCell>& button : {syncToggle(), behavToggle()})
    if (button) button->prepareToBeDeleted();
  unlockMe();
  {
    std::lock_guard<std::mutex> guard(outputLock_);
    target_.reset();
  }
  if (selected()) deselectJustMe();
  if (syncFlag()) setSyncFlag(false);
  if (behaviorFlag()) setBehaviorFlag(false);
  {
    Lock lock(stateLock_);
    passStateCache_.clear();
  }
  setNeedsDisplay(true);
  if (SliderManagerInterface* manager = sliderManager()) manager->deleteThisSlider(this);
}

// Binding -------------------------------------------------------------------------------------

bool QKSliderCell::useThisSource(const std::optional<KeyPath>& path) {
  if (!path) return false;
  if (fanOutStops([path](QKSliderCell& other) { other.useThisSource(path); })) return true;
  softTakeoverFlag_ = false;
  syncDeletedUnderMe_ = false;
  const bool wasBound = syncFlag();
  if (wasBound) setSyncFlag(false);
  forgetSource();
  {
    Lock lock(stateLock_);
    syncArray_ = *path;
  }
  syncText_.setString(KeyPathAdditions::joined(*path));
  if (wasBound) setSyncFlag(true);
  return true;
}

KeyPath QKSliderCell::syncArray() const {
  Lock lock(stateLock_);
  return syncArray_;
}

void QKSliderCell::setSyncFlag(bool flag) {
  if (fanOutStops([flag](QKSliderCell& other) { other.setSyncFlag(flag); })) return;
  bool changed = false;
  {
    // The flag and the subscription change together: two threads switching
    // at once leave one subscription or none, as the flag says.
    std::lock_guard<std::recursive_mutex> binding(bindingLock_);
    changed = flag != syncFlag();
    if (changed) switchBinding(flag);
    syncDeletedUnderMe_ = syncFlag() != flag;
  }
  if (!changed) return;
  if (selected()) {
    if (SliderManagerInterface* manager = sliderManager()) manager->updateWithLockedStatus(false);
  }
  setNeedsDisplay(true);
  tellDelegate(&QKSliderCellDelegate::QKSliderSyncFlagChanged);
  if (std::shared_ptr<QKButtonCell> button = syncToggle()) button->setBoolValue(syncFlag(), false);
}

void QKSliderCell::switchBinding(bool flag) {
  syncFlag_ = flag;
  bool subscribed = true;
  if (flag) {
    lockUIFlag_ = false;
    subscribed = !deleted() && subscribeToSource();
  } else {
    unsubscribeFromSource();
    forgetSource();
  }
  if (!subscribed) syncFlag_ = false;
}

// Values from the bound source ----------------------------------------------------------------

bool QKSliderCell::boundToMIDI() const {
  Lock lock(stateLock_);
  return !syncArray_.isEmpty() && syncArray_.first() == QStringLiteral("MIDI");
}

void QKSliderCell::receiveSourceValue(float v, int sourceType) {
  if (deleted() || mouseDown() || std::isnan(v)) return;
  const bool fromMIDI = boundToMIDI();
  bool redraw;
  {
    Lock lock(stateLock_);
    if (softTakeoverMIDICheck_.exchange(false)) {
      if (fromMIDI && std::fabs(v - lastReceivedDSValue_.load()) >= softTakeoverTolerance_.load())
        softTakeoverFlag_ = true;
    }
    lastReceivedDSValue_ = v;
    if (!softTakeoverFlag_.load()) {
      lastInputValue_ = v;
      value_ = v;
    } else {
      lastTakeoverEvalTime_ = currentTick();
      const int mode = softTakeoverMode_.load();
      const SoftTakeover::Step step =
          SoftTakeover::valueArrived(mode, lastInputValue_.load(), v, softTakeoverTolerance_.load(),
                                     softTakeoverSpeed_.load());
      applyTakeoverStepLocked(mode, step);
    }
    runChainLocked();
    clampToEnvelopeLocked();
    // A frequent source pushes on every tick even when unchanged.
    redraw = !(value_.load() == lastOutputValue_.load() && sourceType == 1);
    markEvaluatedLocked();
    updateSliderValueRects();
    valueTextStepLocked();
  }
  outputStep();
  inspectorStep();
  setNeedsDisplay(redraw);
}

// The input moves by the step; the value follows it when the step took the
// source's value (jump, a pick-up that caught it, glide).
void QKSliderCell::applyTakeoverStepLocked(int mode, const SoftTakeover::Step& step) {
  lastInputValue_ = step.input;
  const bool follows = mode == SoftTakeover::Jump || mode == SoftTakeover::Glide ||
                       (mode == SoftTakeover::PickUp && step.ended);
  if (follows) value_ = step.input;
  if (step.ended) {
    softTakeoverFlag_ = false;
    softTakeoverMIDICheck_ = false;
  }
}

void QKSliderCell::programChangeReceived() {
  if (deleted() || !syncFlag() || !boundToMIDI()) return;
  softTakeoverMIDICheck_ = true;
}

// Once per tick. The chain runs on the raw input (the last input, or the
// input a takeover step just moved), never a second time on its own result.
void QKSliderCell::evaluateBehaviors() {
  std::shared_ptr<BehaviorChainInterface> chain;
  evaluateBehaviors(chain);
}

BehaviorChainInterface* QKSliderCell::chainForTick(
    std::shared_ptr<BehaviorChainInterface>& recent) const {
  const std::uint64_t identity = behaviorChainIdentity_.load(std::memory_order_acquire);
  if (identity == 0) return nullptr;
  // `recent` is alive, and identities are never reused: equal means the same
  // chain, so this slider's weak reference needs no lock.
  if (!recent || recent->chainIdentity() != identity) recent = behaviorChain();
  return recent.get();
}

void QKSliderCell::evaluateBehaviors(std::shared_ptr<BehaviorChainInterface>& recentChain) {
  if (deleted()) return;
  BehaviorChainInterface* chain = behaviorFlag() ? chainForTick(recentChain) : nullptr;
  const bool chainDue = chain && (chain->evaluateConsistently() || chain->needsEvaluation());

  bool takeoverDue = false;
  if (syncFlag()) {
    if (!chainDue && !softTakeoverFlag()) return;
    const std::optional<SourceState> source = boundSourceState();
    if (!source) return;
    switch (source->type) {
      case 2:
        takeoverDue = softTakeoverFlag();
        break;
      case 3:
      case 4:
      case 5:
        takeoverDue = softTakeoverFlag() && source->valueReceived;
        break;
      default:
        return;  // frequent sources deliver every tick; the rest carry no value
    }
  }
  if (!chainDue && !takeoverDue) return;

  if (fanOutStops([](QKSliderCell& other) { other.evaluateBehaviors(); })) return;

  bool redraw;
  {
    Lock lock(stateLock_);
    bool inputMoved = false;
    const long now = currentTick();
    if (takeoverDue && lastTakeoverEvalTime_.load() != now) {
      lastTakeoverEvalTime_ = now;
      const int mode = softTakeoverMode_.load();
      const SoftTakeover::Step step = SoftTakeover::tick(
          mode, lastInputValue_.load(), lastReceivedDSValue_.load(), softTakeoverSpeed_.load());
      inputMoved = step.input != lastInputValue_.load();
      applyTakeoverStepLocked(mode, step);
      if (!chainDue && inputMoved) {
        value_ = lastInputValue_.load();
        runChainLocked();
      }
    }
    if (chainDue) {
      value_.store(lastInputValue_.load(), std::memory_order_release);
      passThroughChainLocked(*chain);
    }
    clampToEnvelopeLocked();
    // A chain that has settled (a smoothed value at its input) moves nothing.
    if (value_.load() != laidOutValue_) updateSliderValueRects();
    redraw = value_.load() != lastOutputValue_.load();
    markEvaluatedLocked();
    valueTextStepLocked();
  }
  outputStep();
  inspectorStep();
  setNeedsDisplay(redraw);
}

// The data-source controller ------------------------------------------------------------------

long QKSliderCell::currentTick() { return DataSourceController::DSCTime(); }

namespace {

bool pushesOnlyOnChange(int type) { return type == 3 || type == 4 || type == 5; }

bool hasReceivedValue(const DataSource& source) {
  const auto* infrequent = dynamic_cast<const DSFloatInfrequent*>(&source);
  return !infrequent || infrequent->valReceived();
}

}  // namespace

void QKSliderCell::rememberSource(DataSource* source) {
  if (knownSourceId_.load() == source || !syncFlag()) return;
  Lock lock(stateLock_);
  knownSource_ = source->weak_from_this();
  knownSourceId_ = source;
}

void QKSliderCell::forgetSource() {
  Lock lock(stateLock_);
  knownSource_.reset();
  knownSourceId_ = nullptr;
}

std::shared_ptr<DataSource> QKSliderCell::boundSource() const {
  if (knownSourceId_.load()) {
    Lock lock(stateLock_);
    std::shared_ptr<DataSource> known = knownSource_.lock();
    if (known && !known->isDeleted()) return known;
  }
  DataSourceController* dsc = dataSourceController();
  const KeyPath path = syncArray();
  if (!dsc || path.size() < 2) return nullptr;
  return dsc->dataSourceForKeyArray(path);
}

std::optional<QKSliderCell::SourceState> QKSliderCell::boundSourceState() const {
  const std::shared_ptr<DataSource> source = boundSource();
  if (!source) return std::nullopt;
  return SourceState{source->sourceType(), hasReceivedValue(*source)};
}

bool QKSliderCell::subscribeToSource() {
  DataSourceController* dsc = dataSourceController();
  if (!dsc) return false;
  return dsc->subscribeObject(shared_from_this(), &QKSliderCell::dataSourceUpdated, syncArray());
}

void QKSliderCell::unsubscribeFromSource() {
  if (DataSourceController* dsc = dataSourceController()) dsc->unsubscribeObject(this, syncArray());
}

int QKSliderCell::dataSourceType() const {
  const std::shared_ptr<DataSource> source = boundSource();
  return source ? source->sourceType() : -2;
}

bool QKSliderCell::validDataSourceValAvailable() const {
  const std::shared_ptr<DataSource> source = boundSource();
  if (!source || !pushesOnlyOnChange(source->sourceType())) return true;
  return hasReceivedValue(*source);
}

void QKSliderCell::dataSourceUpdated(DataSource* source) {
  if (!source) return;
  rememberSource(source);
  receiveSourceValue(source->value(), source->sourceType());
}

void QKSliderCell::setDataSourceWithVal(DataSource* source) {
  if (source) source->setValue(value());
}

// The subscription stays; only the path and its text follow the source.
void QKSliderCell::dataSourceNameChanged(DataSource* source) {
  const KeyPath path = source ? source->pathArray() : KeyPath();
  {
    Lock lock(stateLock_);
    syncArray_ = path;
  }
  if (!path.isEmpty()) syncText_.setString(KeyPathAdditions::joined(path));
}

// The source is going away: no unsubscribing, just waiting for a new one.
void QKSliderCell::currentDataSourceDeletedUnderMe() {
  forgetSource();
  syncFlag_ = false;
  syncDeletedUnderMe_ = true;
  setNeedsDisplay(true);
  if (selected()) {
    if (SliderManagerInterface* manager = sliderManager()) manager->updateWithLockedStatus(true);
  }
}

void QKSliderCell::wasThisDataSourceDeletedOutFromUnderMe(const KeyPath& path) {
  if (path.isEmpty() || !syncDeletedUnderMe()) return;
  if (path == syncArray()) setSyncFlag(true);
}

// Selection -----------------------------------------------------------------------------------

void QKSliderCell::keyDown(const QKeyEvent* event) {
  if (deleted()) return;
  if (DataSourceController* dsc = dataSourceController()) dsc->keyDown(event);
}

void QKSliderCell::keyUp(const QKeyEvent* event) { keyDown(event); }

void QKSliderCell::selectJustMe() {
  if (DataSourceController* dsc = dataSourceController()) dsc->selectJustThisSlider(this);
}

void QKSliderCell::selectMeToo() {
  if (DataSourceController* dsc = dataSourceController()) dsc->selectThisSliderToo(this);
}

void QKSliderCell::deselectJustMe() {
  if (DataSourceController* dsc = dataSourceController()) dsc->deselectThisSlider(this);
}

// Hardware learn ---------------------------------------------------------------------------------

void QKSliderCell::startAllDetect() {
  startMIDIDetect();
  startOSCDetect();
}

void QKSliderCell::stopAllDetect() {
  stopMIDIDetect();
  stopOSCDetect();
}

void QKSliderCell::startMIDIDetect() {
  if (deleted()) return;
  midiDetect_.turnOn([this](const Notification& n) { midiDetectReceivedNotification(n); });
}

void QKSliderCell::startOSCDetect() {
  if (deleted()) return;
  oscDetect_.turnOn([this](const Notification& n) { oscDetectReceivedNotification(n); });
}

void QKSliderCell::stopMIDIDetect() { midiDetect_.turnOff(); }

void QKSliderCell::stopOSCDetect() { oscDetect_.turnOff(); }

void QKSliderCell::learnFromMIDIMessage(const QKMIDIMessage& message) {
  const KeyPath path = DSInputNaming::midiSource(message).path;
  if (!path.isEmpty()) learnPath(path);
}

void QKSliderCell::learnFromOSCSource(const QString& sourceName) {
  if (sourceName.isEmpty()) return;
  learnPath(KeyPath{QStringLiteral("OSC"), sourceName});
}

// A path that one of the inspector's own learn buttons is bound to is not
// taken; detection goes on.
void QKSliderCell::learnPath(const KeyPath& path) {
  if (deleted()) return;
  DataSourceController* dsc = dataSourceController();
  if (dsc && !dsc->isThisDetectedSrcArraySafe(path)) return;
  if (!hardwareLearnMode()) stopAllDetect();
  const bool adopted = path == syncArray() || useThisSource(path);
  if (adopted) setSyncFlag(true);
  if (!syncFlag()) syncDeletedUnderMe_ = true;
}

void QKSliderCell::hardwareLearnModeUpdated(bool hardwareLearnMode) {
  if (hardwareLearnMode_.exchange(hardwareLearnMode) == hardwareLearnMode) return;
  if (selected()) {
    if (hardwareLearnMode)
      startAllDetect();
    else
      stopAllDetect();
  }
  forceRedraw();
}

void QKSliderCell::midiDetectReceivedNotification(const Notification& notification) {
  const QVariant message =
      notification.userInfo.value(QString::fromLatin1(InputNotifications::MessageKey));
  if (message.canConvert<QKMIDIMessage>()) learnFromMIDIMessage(message.value<QKMIDIMessage>());
}

void QKSliderCell::oscDetectReceivedNotification(const Notification& notification) {
  const QVariant source =
      notification.userInfo.value(QString::fromLatin1(InputNotifications::DataSourceKey));
  if (!source.canConvert<std::shared_ptr<DataSource>>()) return;
  if (const auto node = source.value<std::shared_ptr<DataSource>>())
    learnFromOSCSource(node->sourceName());
}

// Toggle buttons ------------------------------------------------------------------------------

std::shared_ptr<QKButtonCell> QKSliderCell::makeToggle(
    const QString& title, void (QKSliderCell::*triggered)(QKButtonCell&)) {
  auto button = QKButtonCell::create();
  button->setPreventSyncToggle(true);
  button->setTitle(title);
  button->setTitle2(title);
  button->setButtonType(1);
  button->setTriggerOnMain(true);
  std::weak_ptr<QKSliderCell> weak = weak_from_this();
  button->setTarget(weak);
  button->setAction([weak, triggered](QKButtonCell& sender) {
    if (Ptr cell = weak.lock()) ((*cell).*triggered)(sender);
  });
  return button;
}

bool QKSliderCell::changeToggle(std::shared_ptr<QKButtonCell> QKSliderCell::*member,
                                const QVariantMap& stored, bool shown, const QString& title,
                                void (QKSliderCell::*triggered)(QKButtonCell&), int value) {
  std::shared_ptr<QKButtonCell> button;
  {
    Lock lock(stateLock_);
    if ((this->*member != nullptr) == shown) return false;
    if (!shown) std::swap(button, this->*member);
  }
  if (!shown) {
    button->prepareToBeDeleted();
    if (selected()) {
      if (SliderManagerInterface* manager = sliderManager()) manager->updateWithLockedStatus(false);
    }
    resizeInternalButtons();
    return true;
  }
  button = makeToggle(title, triggered);
  {
    Lock lock(stateLock_);
    this->*member = button;
  }
  resizeInternalButtons();
  if (!stored.isEmpty()) button->loadSnapshot(stored, false);
  button->setIntValue(value, false);
  if (selected()) {
    if (SliderManagerInterface* manager = sliderManager()) manager->updateWithLockedStatus(false);
  }
  tellDelegate(&QKSliderCellDelegate::QKSliderUIStateChanged);
  return true;
}

void QKSliderCell::toggleLayoutChanged() {
  {
    Lock lock(stateLock_);
    updateMinEnvRects();
    updateMaxEnvRects();
    updateSliderValueRects();
  }
  setNeedsDisplay(true);
}

void QKSliderCell::setSyncToggleState(bool shown) {
  if (fanOutStops([shown](QKSliderCell& other) { other.setSyncToggleState(shown); })) return;
  if (shown && deleted()) return;
  if (changeToggle(&QKSliderCell::syncToggle_, syncToggleDict(), shown, QStringLiteral("S"),
                   &QKSliderCell::syncToggleTriggered, syncFlag() ? 1 : 0))
    toggleLayoutChanged();
}

void QKSliderCell::setBehavToggleState(bool shown) {
  if (shown && deleted()) return;
  if (changeToggle(&QKSliderCell::behavToggle_, behavToggleDict(), shown, QStringLiteral("B"),
                   &QKSliderCell::behavToggleTriggered, behaviorFlag() ? 1 : 0))
    toggleLayoutChanged();
}

std::shared_ptr<QKButtonCell> QKSliderCell::syncToggle() const {
  Lock lock(stateLock_);
  return syncToggle_;
}

std::shared_ptr<QKButtonCell> QKSliderCell::behavToggle() const {
  Lock lock(stateLock_);
  return behavToggle_;
}

// A binding that cannot be made puts the button back.
void QKSliderCell::syncToggleTriggered(QKButtonCell& button) {
  const bool wanted = button.intValue() == 1;
  if (wanted == syncFlag()) return;
  setSyncFlag(wanted);
  if (syncFlag() != wanted) button.setBoolValue(syncFlag(), false);
}

void QKSliderCell::behavToggleTriggered(QKButtonCell& button) {
  const bool wanted = button.intValue() == 1;
  if (wanted != behaviorFlag()) setBehaviorFlag(wanted);
}

void QKSliderCell::setSyncToggleDict(const QVariantMap& snapshot) {
  std::shared_ptr<QKButtonCell> button;
  {
    Lock lock(stateLock_);
    syncToggleDict_ = snapshot;
    button = syncToggle_;
  }
  if (button && !snapshot.isEmpty()) button->loadSnapshot(snapshot, false);
}

void QKSliderCell::setBehavToggleDict(const QVariantMap& snapshot) {
  std::shared_ptr<QKButtonCell> button;
  {
    Lock lock(stateLock_);
    behavToggleDict_ = snapshot;
    button = behavToggle_;
  }
  if (button && !snapshot.isEmpty()) button->loadSnapshot(snapshot, false);
}

QVariantMap QKSliderCell::syncToggleDict() const {
  Lock lock(stateLock_);
  return syncToggleDict_;
}

QVariantMap QKSliderCell::behavToggleDict() const {
  Lock lock(stateLock_);
  return behavToggleDict_;
}
