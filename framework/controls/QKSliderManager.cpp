#include "framework/controls/QKSliderManager.h"

#include "framework/behaviors/BehaviorChainManager.h"
#include "framework/controls/BehaviorChainInterface.h"
#include "framework/controls/BehaviorChainManagerInterface.h"
#include "framework/controls/DSMenuReloading.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKSMInterfaceManager.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/SliderColorDict.h"
#include "framework/controls/SliderManagerClient.h"
#include "framework/render/InterfaceColorScheme.h"
#include "framework/render/TheApplication.h"
#include "framework/toolkit/MutDictAdditions.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"

#include <algorithm>

const QString QKSliderManager::kDeleteSliderNotification =
    QStringLiteral("QKSMDeleteSliderNotification");
const QString QKSliderManager::kFinderNotification = QStringLiteral("QKSMFinderNotification");
const QString QKSliderManager::kBehaviorNameChangeNotification =
    QStringLiteral("QKSMBehaviorNameChangeNotification");
const QString QKSliderManager::kBehaviorChainDeletedNotification =
    QStringLiteral("QKSMBehaviorChainDeletedNotification");

QVariantMap QKSliderManager::defaultSliderColorDict() { return SliderColorDict::builtIn(); }

const QStringList& QKSliderManager::paletteSnapshotKeys() {
  static const QStringList keys = {
      QStringLiteral("showSyncToggleButton"), QStringLiteral("useBehaviorButton"),
      QStringLiteral("showBehavToggleButton"), QStringLiteral("removeMarkButton")};
  return keys;
}

QKSliderManager::QKSliderManager()
    : behaviorChainManager_(std::make_unique<BehaviorChainManager>()),
      sliderColorDict_(defaultSliderColorDict()),
      liveness_(std::make_shared<QKSliderManager*>(this)) {
  if (TheApplication* app = TheApplication::instance();
      app && !TheApplication::smallFontAvailable())
    app->loadFonts();
  const QVariant stored =
      InterfaceColorScheme::storedScheme().value(InterfaceColorScheme::kSliderColorDict);
  if (stored.typeId() == QMetaType::QVariantMap)
    MutDictAdditions::recursivelyAddThisDict(sliderColorDict_, stored.toMap());

  NotificationCenter& center = NotificationCenter::defaultCenter();
  center.addObserver(this, QKSliderCell::QKSMNewSliderNotification, nullptr,
                     [this](const Notification& n) { newSliderNotification(n); });
  center.addObserver(this, kBehaviorNameChangeNotification, nullptr, [this](const Notification& n) {
    auto* chain = static_cast<BehaviorChainInterface*>(n.object);
    if (!chain) return;
    std::shared_ptr<BehaviorChainInterface> shared;
    for (const auto& slider : registeredSliders())
      if (auto used = slider->behaviorChain(); used.get() == chain) shared = used;
    if (!shared) shared = findBehaviorChainNamed(chain->chainName());
    if (shared.get() == chain) behaviorNameChanged(shared);
  });
  center.addObserver(this, kBehaviorChainDeletedNotification, nullptr,
                     [this](const Notification& n) {
                       behaviorDeleted(static_cast<const BehaviorChainInterface*>(n.object));
                     });
  center.addObserver(this, kFinderNotification, nullptr,
                     [this](const Notification& n) { sliderManagerFinderNotification(n); });

  std::weak_ptr<QKSliderManager*> alive = liveness_;
  MainThread::runLater(this, 1.0, [alive] {
    if (auto manager = alive.lock()) (*manager)->behaviorChainManager().openANewWindow();
  });
}

QKSliderManager::~QKSliderManager() {
  MainThread::cancel(this);
  NotificationCenter::defaultCenter().removeObserver(this);
  liveness_.reset();
  SliderList sliders;
  std::shared_ptr<const SliderList> walked;
  {
    std::lock_guard<std::mutex> lock(sliderArrayLock_);
    sliders.swap(sliderArray_);
    walked.swap(evaluationList_);
  }
  for (const auto& slider : sliders)
    if (slider->sliderManager() == this) slider->setSliderManager(nullptr);
}

// --- Connections ------------------------------------------------------------------

void QKSliderManager::setPaletteButton(const QString& key,
                                       const std::shared_ptr<QKButtonCell>& button) {
  paletteButtons_.set(key, button);
}

std::shared_ptr<QKButtonCell> QKSliderManager::paletteButton(const QString& key) const {
  return paletteButtons_.button(key);
}

void QKSliderManager::setBehaviorChainManager(
    std::unique_ptr<BehaviorChainManagerInterface> manager) {
  if (manager) behaviorChainManager_ = std::move(manager);
}

// --- Registry ---------------------------------------------------------------------------

void QKSliderManager::newSliderNotification(const Notification& notification) {
  auto* slider = static_cast<QKSliderCell*>(notification.object);
  if (!slider) return;
  SliderPtr shared = slider->weak_from_this().lock();
  if (!shared) return;
  slider->setUniqueID(idCount_.fetch_add(1));
  slider->setSliderManager(this);
  slider->setSoftTakeoverMode(softTakeoverMode());
  slider->setSoftTakeoverTolerance(softTakeoverTolerance());
  slider->setSoftTakeoverSpeed(softTakeoverSpeed());
  std::shared_ptr<const SliderList> stale;  // released after the lock
  std::lock_guard<std::mutex> lock(sliderArrayLock_);
  sliderArray_.push_back(std::move(shared));
  stale.swap(evaluationList_);
}

void QKSliderManager::sliderManagerFinderNotification(const Notification& notification) {
  if (auto* client = static_cast<SliderManagerClient*>(notification.object))
    client->setSliderManager(this);
}

void QKSliderManager::deleteThisSlider(QKSliderCell* slider) {
  if (!slider) return;
  NotificationCenter::defaultCenter().post(kDeleteSliderNotification, slider);
  bool wasSelected = false;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    wasSelected = std::erase_if(selectedSliderArray_,
                                [slider](const SliderPtr& s) { return s.get() == slider; }) > 0;
  }
  if (wasSelected) updateWithLockedStatus(false);
  std::shared_ptr<const SliderList> stale;  // released after the lock
  std::lock_guard<std::mutex> lock(sliderArrayLock_);
  std::erase_if(sliderArray_, [slider](const SliderPtr& s) { return s.get() == slider; });
  stale.swap(evaluationList_);
}

QKSliderManager::SliderList QKSliderManager::registeredSliders() const {
  std::lock_guard<std::mutex> lock(sliderArrayLock_);
  return sliderArray_;
}

void QKSliderManager::forEachRegistered(const std::function<void(QKSliderCell&)>& message) const {
  for (const auto& slider : registeredSliders()) message(*slider);
}

// --- Settings ---------------------------------------------------------------------------------

void QKSliderManager::setSoftTakeoverMode(int mode) {
  softTakeoverMode_.store(mode);
  forEachRegistered([mode](QKSliderCell& s) { s.setSoftTakeoverMode(mode); });
}

void QKSliderManager::setSoftTakeoverTolerance(float tolerance) {
  softTakeoverTolerance_.store(tolerance);
  forEachRegistered([tolerance](QKSliderCell& s) { s.setSoftTakeoverTolerance(tolerance); });
}

void QKSliderManager::setSoftTakeoverSpeed(float speed) {
  softTakeoverSpeed_.store(speed);
  forEachRegistered([speed](QKSliderCell& s) { s.setSoftTakeoverSpeed(speed); });
}

void QKSliderManager::setLockInterestingPoints(bool locked) {
  lockInterestingPoints_.store(locked);
  forEachRegistered([](QKSliderCell& s) { s.setNeedsDisplay(true); });
}

void QKSliderManager::setHardwareLearnMode(bool mode) {
  if (hardwareLearnMode_.exchange(mode) == mode) return;
  forEachRegistered([mode](QKSliderCell& s) { s.hardwareLearnModeUpdated(mode); });
}

// --- Messages to every slider --------------------------------------------------------------------

void QKSliderManager::programChangeReceived() {
  forEachRegistered([](QKSliderCell& s) { s.programChangeReceived(); });
}

void QKSliderManager::wasThisDataSourceDeletedOutFromUnderAnySliders(const KeyPath& path) {
  forEachRegistered([&path](QKSliderCell& s) { s.wasThisDataSourceDeletedOutFromUnderMe(path); });
}

void QKSliderManager::colorsUpdated() {
  forEachRegistered([](QKSliderCell& s) { s.forceRedraw(); });
}

// The walk holds the registry as it stood (made again only after a change)
// and the chain the last slider used, which the next slider usually shares.
void QKSliderManager::evaluateContinuousBehaviors() {
  std::shared_ptr<const SliderList> sliders;
  {
    std::lock_guard<std::mutex> lock(sliderArrayLock_);
    if (!evaluationList_) evaluationList_ = std::make_shared<const SliderList>(sliderArray_);
    sliders = evaluationList_;
  }
  {
    std::shared_ptr<BehaviorChainInterface> recentChain;
    for (const auto& slider : *sliders) slider->evaluateBehaviors(recentChain);
  }
  // Drop the references now, so a slider deleted meanwhile goes at once.
  sliders.reset();
  behaviorChainManager_->resetChainEvalFlags();
}

// --- Behaviour chains
// ------------------------------------------------------------------------------

std::shared_ptr<BehaviorChainInterface> QKSliderManager::findBehaviorChainNamed(
    const QString& name) const {
  return behaviorChainManager_->findChainNamed(name);
}

void QKSliderManager::behaviorNameChanged(const std::shared_ptr<BehaviorChainInterface>& chain) {
  if (!chain) return;
  const QString name = chain->chainName();
  SliderList touched;
  for (const auto& slider : registeredSliders()) {
    const auto current = slider->behaviorChain();
    if (current == chain || (!current && slider->behaviorName() == name)) touched.push_back(slider);
  }
  for (const auto& slider : touched) slider->useThisBehavior(chain);
  if (anySelected(touched)) updateWithLockedStatus(false);
}

void QKSliderManager::behaviorDeleted(const BehaviorChainInterface* chain) {
  if (!chain) return;
  SliderList touched;
  for (const auto& slider : registeredSliders())
    if (slider->behaviorChain().get() == chain) touched.push_back(slider);
  for (const auto& slider : touched) slider->useThisBehavior(nullptr);
  if (anySelected(touched)) updateWithLockedStatus(false);
}

bool QKSliderManager::anySelected(const SliderList& sliders) const {
  return std::any_of(sliders.begin(), sliders.end(),
                     [](const SliderPtr& s) { return s->selected(); });
}

// --- Selection
// ---------------------------------------------------------------------------------------

void QKSliderManager::selectOnlyThisSlider(QKSliderCell* slider) {
  SliderPtr shared = slider ? slider->weak_from_this().lock() : nullptr;
  SliderList previous;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    previous.swap(selectedSliderArray_);
    if (shared) selectedSliderArray_.push_back(shared);
  }
  for (const auto& old : previous) old->setSelected(false);
  if (shared) shared->setSelected(true);
  updateWithLockedStatus(false);
}

void QKSliderManager::selectThisSliderToo(QKSliderCell* slider) {
  SliderPtr shared = slider ? slider->weak_from_this().lock() : nullptr;
  if (!shared) return;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    selectedSliderArray_.push_back(shared);
  }
  shared->setSelected(true);
  updateWithLockedStatus(false);
}

void QKSliderManager::deselectThisSlider(QKSliderCell* slider) {
  if (!slider) return;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    std::erase_if(selectedSliderArray_, [slider](const SliderPtr& s) { return s.get() == slider; });
  }
  slider->setSelected(false);
  updateWithLockedStatus(false);
}

void QKSliderManager::deselectAllSliders() {
  SliderList previous;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    previous.swap(selectedSliderArray_);
  }
  for (const auto& old : previous) old->setSelected(false);
}

std::vector<QKSliderCell*> QKSliderManager::selectedSliderArray() {
  std::vector<QKSliderCell*> raw;
  for (const auto& slider : selectedSliders()) raw.push_back(slider.get());
  return raw;
}

QKSliderManager::SliderList QKSliderManager::selectedSliders() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return selectedSliderArray_;
}

// --- Edits of the selection
// ----------------------------------------------------------------------------

void QKSliderManager::forEachSelected(const std::function<void(QKSliderCell&)>& edit) {
  for (const auto& slider : selectedSliders()) edit(*slider);
}

void QKSliderManager::selectedSlidersUseThisSource(const KeyPath& path) {
  if (path.isEmpty()) return;
  forEachSelected([&path](QKSliderCell& s) {
    s.useThisSource(path);
    if (!s.syncFlag()) s.setSyncFlag(true);
  });
}

void QKSliderManager::setSelectedSlidersSyncFlag(bool flag) {
  forEachSelected([flag](QKSliderCell& s) { s.setSyncFlag(flag); });
}

void QKSliderManager::selectedSlidersStartMIDIDetect() {
  forEachSelected([](QKSliderCell& s) { s.startMIDIDetect(); });
}

void QKSliderManager::selectedSlidersStartOSCDetect() {
  forEachSelected([](QKSliderCell& s) { s.startOSCDetect(); });
}

void QKSliderManager::selectedSlidersUseThisBehavior(
    const std::shared_ptr<BehaviorChainInterface>& chain) {
  forEachSelected([&chain](QKSliderCell& s) { s.useThisBehavior(chain); });
  setSelectedSlidersBehaviorFlag(chain != nullptr);
}

void QKSliderManager::setSelectedSlidersBehaviorFlag(bool flag) {
  forEachSelected([flag](QKSliderCell& s) { s.setBehaviorFlag(flag); });
}

void QKSliderManager::selectedSlidersSetSyncToggle(bool shown) {
  forEachSelected([shown](QKSliderCell& s) { s.setSyncToggleState(shown); });
}

void QKSliderManager::selectedSlidersSetBehavToggle(bool shown) {
  forEachSelected([shown](QKSliderCell& s) { s.setBehavToggleState(shown); });
}

// --- Other operations
// -------------------------------------------------------------------------------------

void QKSliderManager::reloadDSContextualMenu() {
  std::weak_ptr<QKSliderManager*> alive = liveness_;
  MainThread::coalesce(&contextualMenuController_, [alive] {
    auto manager = alive.lock();
    if (!manager) return;
    if (DSMenuReloading* menu = (*manager)->contextualMenuController_.load())
      menu->reloadDSContextualMenu();
    if (DSMenuReloading* list = (*manager)->listController_.load()) list->reloadDSContextualMenu();
  });
}

QKSliderManager::SliderPtr QKSliderManager::visibleSliderAtPoint(const QPointF& point) const {
  auto covers = [&point](const SliderPtr& slider) {
    const QRectF visible = slider->absVisibleRect();
    return !visible.isNull() && visible.contains(point);
  };
  const SliderList selected = selectedSliders();
  if (selected.size() == 1 && covers(selected.front())) return selected.front();
  for (const auto& slider : registeredSliders())
    if (covers(slider)) return slider;
  return nullptr;
}

QImage QKSliderManager::padlockImage() const {
  static const QImage padlock(
      Paths::resourcePath(QStringLiteral("images/padlock"), QStringLiteral("png")));
  return padlock;
}

QVariantMap QKSliderManager::sliderColorDict() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return sliderColorDict_;
}

void QKSliderManager::setSliderColorDict(const QVariantMap& dictionary) {
  if (dictionary.isEmpty()) return;
  std::lock_guard<std::mutex> lock(stateMutex_);
  sliderColorDict_ = dictionary;
}

void QKSliderManager::putPaletteSnapInDict(QVariantMap& dictionary) const {
  paletteButtons_.putSnapshots(paletteSnapshotKeys(), dictionary);
}

void QKSliderManager::matchThisPaletteShortcutSnapshot(const QVariantMap& dictionary) {
  QStringList keys = paletteSnapshotKeys();
  keys << QStringLiteral("midiDetectButton");
  paletteButtons_.matchSnapshots(keys, dictionary);
}

// --- Inspector requests
// ---------------------------------------------------------------------------------------

void QKSliderManager::updateWithLockedStatus(bool lockedStatus) {
  std::weak_ptr<QKSliderManager*> alive = liveness_;
  MainThread::coalesce(&interfaceManager_, [alive, lockedStatus] {
    auto manager = alive.lock();
    if (!manager) return;
    if (QKSMInterfaceManager* inspector = (*manager)->interfaceManager())
      inspector->updateWithLockedStatus(lockedStatus);
  });
}

void QKSliderManager::updateValueRelatedOnly() {
  std::weak_ptr<QKSliderManager*> alive = liveness_;
  MainThread::coalesce(&idCount_, [alive] {
    auto manager = alive.lock();
    if (!manager) return;
    if (QKSMInterfaceManager* inspector = (*manager)->interfaceManager())
      inspector->updateValueRelatedOnly();
  });
}
