#include "framework/datasource/DataSourceController.h"

#include "framework/datasource/AltUIItem.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DSInputNaming.h"
#include "framework/datasource/DataSourceControllerClient.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/DataSourceMenuBuilder.h"
#include "framework/datasource/DataSourceNotifications.h"
#include "framework/datasource/DeliveryEpoch.h"
#include "framework/datasource/ExternalSynchObject.h"
#include "framework/datasource/MIDIManagerInterface.h"
#include "framework/datasource/QKBMSMCoordinatorInterface.h"
#include "framework/datasource/QKButtonManagerInterface.h"
#include "framework/datasource/QKDSBuiltIn.h"
#include "framework/datasource/QKSliderManagerInterface.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/threading/QKThreadLoop.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace {

constexpr double kTickInterval = 0.0222;
constexpr int kPointerSampleMilliseconds = 22;
constexpr int32_t kLastTick = 59999;
constexpr int kMenuLevel = 2;

std::atomic<int32_t> tickCounter{0};

bool isInputRoot(const QString& name) {
  return name == QLatin1String("MIDI") || name == QLatin1String("Key") ||
         name == QLatin1String("OSC");
}

KeyPath parentPath(const KeyPath& path) { return path.mid(0, path.size() - 1); }

void post(const char* name, void* object = nullptr, const QVariantMap& userInfo = {}) {
  NotificationCenter::defaultCenter().post(QString::fromLatin1(name), object, userInfo);
}

}  // namespace

DataSourceController::DataSourceController(TickThread tickThread)
    : inputNaming_(std::make_unique<DSInputNaming>(*this)) {
  NotificationCenter::defaultCenter().addObserver(
      this, QString::fromLatin1(DataSourceNotifications::ControllerFinder), nullptr,
      [this](const Notification& note) {
        if (note.object)
          static_cast<DataSourceControllerClient*>(note.object)->setDataSourceController(this);
      });
  setDataSource(DataSourceHolder::createWithName(QStringLiteral("ZAPH"), DSType::Holder),
                {QStringLiteral("ZAPH")});
  for (const char* input : {"Key", "MIDI", "OSC"}) {
    const QString name = QString::fromLatin1(input);
    setDataSource(DataSourceHolder::createWithName(name, DSType::InputHolder), {name});
  }
  builtInDataSources_ = QKDSBuiltIn::createWithController(this);
  startPointerSampling();
  if (tickThread == TickThread::Launch) launchTheThread();
}

DataSourceController::~DataSourceController() {
  stopTheThread();
  pointerTimer_.reset();
  NotificationCenter::defaultCenter().removeObserver(this);
}

void DataSourceController::startPointerSampling() {
  if (!QCoreApplication::instance() || !MainThread::isMainThread()) return;
  pointerTimer_ = std::make_unique<QTimer>();
  pointerTimer_->setInterval(kPointerSampleMilliseconds);
  QObject::connect(pointerTimer_.get(), &QTimer::timeout,
                   [builtIn = builtInDataSources_] { builtIn->samplePointer(); });
  builtInDataSources_->samplePointer();
  pointerTimer_->start();
}

// --- Connections ---

void DataSourceController::setSliderManager(QKSliderManagerInterface* manager) {
  sliderManager_.store(manager);
}

void DataSourceController::setButtonManager(QKButtonManagerInterface* manager) {
  buttonManager_.store(manager);
}

void DataSourceController::setCoordinator(QKBMSMCoordinatorInterface* coordinator) {
  coordinator_.store(coordinator);
}

void DataSourceController::setAppController(AppControllerInterface* appController) {
  appController_.store(appController);
}

void DataSourceController::awakeFromNib() {
  AppControllerInterface* app = appController_.load();
  midiManager_.store(app ? app->midiManager() : nullptr);
  oscManager_.store(app ? app->oscManager() : nullptr);
}

// --- Tick ---

void DataSourceController::launchTheThread() {
  if (!threadLoop_)
    threadLoop_ = std::make_unique<QKThreadLoop>(
        kTickInterval, [this] { threadProc(); }, QStringLiteral("DSC"));
  threadLoop_->start();
}

void DataSourceController::stopTheThread() {
  if (threadLoop_) threadLoop_->stop();
}

bool DataSourceController::tickThreadRunning() const {
  return threadLoop_ && threadLoop_->running();
}

void DataSourceController::threadProc() {
  {
    // One reader for the whole walk: each node's push then reads its
    // subscribers for a thread-local count.
    const DeliveryEpoch::Reader reader;
    RWTryLock::ReadGuard tree(elementDict_.lock());
    try {
      elementDict_.DSCProcAll();
      {
        RWTryLock::ReadGuard synch(externalSynchLock_);
        for (const auto& object : externalSynchArray_) object->DSCProc();
      }
      if (QKSliderManagerInterface* sliders = sliderManager_.load())
        sliders->evaluateContinuousBehaviors();
      if (MIDIManagerInterface* midi = midiManager_.load()) midi->bang();
    } catch (const std::exception& e) {
      Log::line(
          QStringLiteral("\t\tcaught exception in DSC: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
      Log::line("\t\tcaught exception in DSC: unknown exception");
    }
    advanceDSCTime();
  }
}

int32_t DataSourceController::DSCTime() { return tickCounter.load(std::memory_order_relaxed); }

void DataSourceController::advanceDSCTime() {
  const int32_t now = tickCounter.load(std::memory_order_relaxed);
  tickCounter.store(now >= kLastTick ? 0 : now + 1, std::memory_order_relaxed);
}

// --- Tree by path ---

std::shared_ptr<DataSource> DataSourceController::dataSourceForKeyArray(const KeyPath& path) const {
  return elementDict_.dataSourceForKeyArray(path);
}

std::shared_ptr<DataSource> DataSourceController::dataSourceForValidMutableKeyArray(
    KeyPath& path) const {
  std::shared_ptr<DataSource> found = elementDict_.dataSourceForKeyArray(path);
  if (found) path.clear();
  return found;
}

std::shared_ptr<DataSourceHolder> DataSourceController::parentHolderForPath(const KeyPath& path,
                                                                            bool& found) const {
  found = true;
  if (path.size() <= 1) return nullptr;
  const auto parent = dataSourceForKeyArray(parentPath(path));
  if (parent && parent->asHolder() && !parent->isDeleted())
    return std::static_pointer_cast<DataSourceHolder>(parent);
  found = false;
  return nullptr;
}

bool DataSourceController::insertAt(const std::shared_ptr<DataSourceHolder>& parent,
                                    const std::shared_ptr<DataSource>& source, const QString& key) {
  return parent ? parent->safelyInsertObject(source, key, this) : safelyInsertObject(source, key);
}

DataSourceDictionary& DataSourceController::levelOf(
    const std::shared_ptr<DataSourceHolder>& parent) {
  return parent ? parent->elements() : elementDict_;
}

bool DataSourceController::removeFrom(const std::shared_ptr<DataSourceHolder>& parent,
                                      const QString& key, const DataSource* source) {
  return levelOf(parent).removeObjectForKey(key, source);
}

bool DataSourceController::safelyInsertObject(const std::shared_ptr<DataSource>& source,
                                              const QString& forKey) {
  return elementDict_.insertAndPlace(source, forKey, nullptr, this);
}

std::shared_ptr<DataSource> DataSourceController::safelyRemoveObjectForKey(const QString& key) {
  if (key.isNull()) return nullptr;
  return elementDict_.removeObjectForKey(key);
}

bool DataSourceController::setDataSource(std::shared_ptr<DataSource> source,
                                         const KeyPath& forKeyArray) {
  if (forKeyArray.isEmpty()) return false;
  bool parentFound = false;
  const auto parent = parentHolderForPath(forKeyArray, parentFound);
  if (!parentFound) {
    // Placing the node elsewhere (at the top level, say) could replace a
    // whole root without telling its subscribers.
    Log::line(QStringLiteral("\t\terr: couldn't find holder DS for %1 while setting data source")
                  .arg(KeyPathAdditions::joined(forKeyArray)));
    postSourcesChanged(false);
    return false;
  }
  const QString& key = forKeyArray.last();
  bool reloadMenus = false;
  bool result = false;
  if (const auto existing = dataSourceForKeyArray(forKeyArray)) {
    reloadMenus = existing->visibleInContextualMenu();
    // Deleted only when taken out here: a node moved away meanwhile lives on
    // where it went.
    if (removeFrom(parent, key, existing.get())) existing->prepareToBeDeleted();
    result = !source;
  }
  if (source) {
    result = insertAt(parent, source, key);
    reloadMenus = reloadMenus || (result && source->visibleInContextualMenu());
  }
  postSourcesChanged(reloadMenus);
  return result;
}

bool DataSourceController::changeNameFrom(const KeyPath& from, const KeyPath& to) {
  if (from.isEmpty() || to.isEmpty()) return false;
  bool reloadMenus = false;
  bool result = false;
  const auto source = dataSourceForKeyArray(from);
  if (!source) {
    Log::line("\t\terr: couldn't find DS at original path while changing name");
  } else {
    reloadMenus = source->visibleInContextualMenu();
    bool parentFound = false;
    const auto newParent = parentHolderForPath(to, parentFound);
    bool intoItself = false;
    for (auto ancestor = newParent; ancestor && !intoItself; ancestor = ancestor->parentSource())
      intoItself = ancestor.get() == source.get();
    if (!parentFound) {
      Log::line("\t\terr: couldn't find holder DS for new path while changing name");
    } else if (intoItself) {
      Log::line("\t\terr: can't move a DS into itself while changing name");
    } else {
      // What stands at `to` is prepared for deletion when the node takes its
      // place. A node whose holder is being deleted is not taken out, and a
      // node deleted meanwhile is not put in: the move is refused.
      if (const auto displaced = dataSourceForKeyArray(to); displaced && displaced != source)
        reloadMenus = reloadMenus || displaced->visibleInContextualMenu();
      if (!levelOf(source->parentSource()).takeOutForMove(from.last(), source.get())) {
        Log::line("\t\terr: DS left its original path or is being deleted while changing name");
      } else if (!(result = insertAt(newParent, source, to.last()))) {
        Log::line("\t\terr: couldn't insert DS at new path while changing name");
        source->prepareToBeDeleted();  // out of the tree: its subscribers must hear of it
      }
      reloadMenus = reloadMenus || source->visibleInContextualMenu();
    }
  }
  postSourcesChanged(reloadMenus);
  return result;
}

std::shared_ptr<DataSource> DataSourceController::inputSourceForKeyArray(const KeyPath& path) {
  if (auto found = dataSourceForKeyArray(path)) return found;
  if (path.size() < 2 || !isInputRoot(path.first())) return nullptr;
  bool parentFound = false;
  const auto parent = parentHolderForPath(path, parentFound);
  if (!parent) return nullptr;
  const QString& key = path.last();
  const auto created = DSFloatInfrequent::createWithName(key);
  bool inserted = false;
  auto present = parent->elements().setObjectIfAbsent(created, key, &inserted);
  if (!inserted) return present;
  created->setParentSource(parent, this);
  postSourcesChanged(created->visibleInContextualMenu());
  return present;
}

void DataSourceController::postSourcesChanged(bool reloadMenus) {
  post(DataSourceNotifications::SourcesChanged);
  if (!reloadMenus) return;
  if (QKSliderManagerInterface* sliders = sliderManager_.load()) sliders->reloadDSContextualMenu();
  if (QKButtonManagerInterface* buttons = buttonManager_.load()) buttons->reloadDSContextualMenu();
  post(DataSourceNotifications::ReloadContextualMenus);
}

void DataSourceController::checkForBrokenSlidersAtKeyArray(const KeyPath& path) {
  if (QKSliderManagerInterface* sliders = sliderManager_.load())
    sliders->wasThisDataSourceDeletedOutFromUnderAnySliders(path);
  if (QKButtonManagerInterface* buttons = buttonManager_.load())
    buttons->wasThisDataSourceDeletedOutFromUnderAnyButtons(path);
  std::vector<std::shared_ptr<ExternalSynchObject>> objects;
  {
    RWTryLock::ReadGuard guard(externalSynchLock_);
    objects = externalSynchArray_;
  }
  for (const auto& object : objects) object->wasThisDataSourceDeletedOutFromUnderMe(path);
}

// --- Subscriptions ---

bool DataSourceController::subscribeObject(std::weak_ptr<DataSourceTarget> target,
                                           DataSourceCall::Action selector,
                                           const KeyPath& toFetchSourceArray) {
  return subscribeCall(DataSourceCall::createWithTarget(std::move(target), std::move(selector)),
                       toFetchSourceArray);
}

bool DataSourceController::subscribeCall(std::shared_ptr<DataSourceCall> call,
                                         const KeyPath& path) {
  auto source = dataSourceForKeyArray(path);
  if (!source && !path.isEmpty() && isInputRoot(path.first())) {
    source = inputSourceForKeyArray(path);
    if (!source) {
      Log::line("\t\terr: dsc couldn't create a frequent source source during fetch subscription");
      return false;
    }
  }
  if (!source || !call) return false;
  if (!source->addThisFetchCall(call)) return false;
  if (source->sourceType() != DSType::Plain) call->bang();
  return true;
}

void DataSourceController::unsubscribeObject(const DataSourceTarget* target,
                                             const KeyPath& fetchingFromSourceArray) {
  if (const auto source = dataSourceForKeyArray(fetchingFromSourceArray))
    while (source->removeFetchCallForObject(target)) {
    }
}

// --- External synchronisation ---

void DataSourceController::addToExternalSynchArray(std::shared_ptr<ExternalSynchObject> object) {
  if (!object) return;
  RWTryLock::WriteGuard guard(externalSynchLock_);
  if (!guard.ownsLock()) return;
  if (std::find(externalSynchArray_.begin(), externalSynchArray_.end(), object) !=
      externalSynchArray_.end())
    return;
  externalSynchArray_.push_back(std::move(object));
}

void DataSourceController::removeFromExternalSynchArray(const ExternalSynchObject* object) {
  if (!object) return;
  std::vector<std::shared_ptr<ExternalSynchObject>> removed;  // released after the lock
  RWTryLock::WriteGuard guard(externalSynchLock_);
  if (!guard.ownsLock()) return;
  const auto firstRemoved =
      std::stable_partition(externalSynchArray_.begin(), externalSynchArray_.end(),
                            [object](const auto& candidate) { return candidate.get() != object; });
  removed.assign(firstRemoved, externalSynchArray_.end());
  externalSynchArray_.erase(firstRemoved, externalSynchArray_.end());
}

// --- Selection ---

void DataSourceController::deselectEverything() {
  if (auto* coordinator = coordinator_.load()) coordinator->selectNothing();
  if (auto* sliders = sliderManager_.load()) sliders->deselectAllSliders();
  if (auto* buttons = buttonManager_.load()) buttons->deselectAllButtons();
  deselectAllAltUIItems();
}

void DataSourceController::showSlidersOnly() {
  if (auto* coordinator = coordinator_.load()) coordinator->selectSlider();
  if (auto* buttons = buttonManager_.load()) buttons->deselectAllButtons();
  deselectAllAltUIItems();
}

void DataSourceController::selectJustThisSlider(QKSliderCell* slider) {
  showSlidersOnly();
  if (auto* sliders = sliderManager_.load(); sliders && slider)
    sliders->selectOnlyThisSlider(slider);
}

void DataSourceController::selectThisSliderToo(QKSliderCell* slider) {
  showSlidersOnly();
  if (auto* sliders = sliderManager_.load(); sliders && slider)
    sliders->selectThisSliderToo(slider);
}

void DataSourceController::deselectThisSlider(QKSliderCell* slider) {
  auto* sliders = sliderManager_.load();
  if (sliders && slider) sliders->deselectThisSlider(slider);
  if (sliders && sliders->selectedSliderArray().empty())
    if (auto* coordinator = coordinator_.load()) coordinator->selectNothing();
}

void DataSourceController::deselectAllSliders() {
  if (auto* sliders = sliderManager_.load()) sliders->deselectAllSliders();
  if (auto* coordinator = coordinator_.load()) coordinator->selectNothing();
}

void DataSourceController::selectThisButton(QKButtonCell* button) {
  if (auto* coordinator = coordinator_.load()) coordinator->selectButton();
  if (auto* sliders = sliderManager_.load()) sliders->deselectAllSliders();
  deselectAllAltUIItems();
  if (auto* buttons = buttonManager_.load(); buttons && button) buttons->selectThisButton(button);
}

void DataSourceController::deselectThisButton(QKButtonCell* button) {
  auto* buttons = buttonManager_.load();
  if (buttons && button) buttons->deselectThisButton(button);
  if (buttons && buttons->selectedButtonArray().empty())
    if (auto* coordinator = coordinator_.load()) coordinator->selectNothing();
}

void DataSourceController::deselectAllButtons() {
  if (auto* buttons = buttonManager_.load()) buttons->deselectAllButtons();
  if (auto* coordinator = coordinator_.load()) coordinator->selectNothing();
}

void DataSourceController::selectThisAltUIItem(AltUIItem* item) {
  if (auto* coordinator = coordinator_.load()) coordinator->selectNothing();
  if (auto* sliders = sliderManager_.load()) sliders->deselectAllSliders();
  if (auto* buttons = buttonManager_.load()) buttons->deselectAllButtons();
  if (!item) return;
  std::vector<AltUIItem*> previous;
  {
    RWTryLock::WriteGuard guard(altUIItemsLock_);
    if (!guard.ownsLock()) return;
    previous.swap(selectedAltUIItemsArray_);
    selectedAltUIItemsArray_.push_back(item);
  }
  for (AltUIItem* old : previous) old->deselect();
  item->select();
}

void DataSourceController::deselectThisAltUIItem(AltUIItem* item) {
  if (!item) return;
  {
    RWTryLock::WriteGuard guard(altUIItemsLock_);
    if (!guard.ownsLock()) return;
    std::erase(selectedAltUIItemsArray_, item);
  }
  item->deselect();
}

void DataSourceController::deselectAllAltUIItems() {
  std::vector<AltUIItem*> previous;
  {
    RWTryLock::WriteGuard guard(altUIItemsLock_);
    if (!guard.ownsLock()) return;
    previous.swap(selectedAltUIItemsArray_);
  }
  for (AltUIItem* old : previous) old->deselect();
}

// --- Input ---

void DataSourceController::midiMsgReceived(const QKMIDIMessage& message) {
  inputNaming_->midiMsgReceived(message);
}

void DataSourceController::receivedOSCMessage(const OSCMessage* message) {
  inputNaming_->receivedOSCMessage(message);
}

void DataSourceController::oscDictReceived(const QMap<QString, QList<OSCMessage>>& messages) {
  inputNaming_->oscDictReceived(messages);
}

void DataSourceController::keyDown(const QKeyEvent* event) { inputNaming_->keyDown(event); }

bool DataSourceController::isThisDetectedSrcArraySafe(const KeyPath& path) const {
  QKButtonManagerInterface* buttons = buttonManager_.load();
  if (!buttons) return true;
  for (const KeyPath& bound : buttons->detectionButtonSyncArrays())
    if (bound == path) return false;
  return true;
}

// --- Other ---

void DataSourceController::setHardwareLearnMode(bool mode) {
  if (hardwareLearnMode_.exchange(mode) == mode) return;
  if (auto* buttons = buttonManager_.load()) buttons->setHardwareLearnMode(mode);
  if (auto* sliders = sliderManager_.load()) sliders->setHardwareLearnMode(mode);
  post(DataSourceNotifications::HardwareLearnModeChanged, this,
       {{QString::fromLatin1(DataSourceNotifications::HardwareLearnModeKey), mode}});
}

void DataSourceController::programChangeReceived() {
  if (auto* sliders = sliderManager_.load()) sliders->programChangeReceived();
}

QString DataSourceController::description() const {
  QString dump;
  elementDict_.forEachLocked([&](const QString& name, const std::shared_ptr<DataSource>& root) {
    root->addObjectAtKey(name, dump);
  });
  return dump;
}

// --- Menus ---

DataSourceMenu DataSourceController::menuWithItems(DataSourceMenuItems items) const {
  return DataSourceMenu{QStringLiteral("Data Sources"), std::move(items)};
}

DataSourceMenu DataSourceController::getDataSourcesMenu() const {
  return getDataSourceMenuWithDepth(kMenuLevel);
}

DataSourceMenu DataSourceController::getDataSourceMenuWithDepth(int depth) const {
  return menuWithItems(extractMenuItemsMatchingMask(DataSourceMenuMask::Leaves, depth, depth));
}

DataSourceMenu DataSourceController::getColorDataSourcesMenu() const {
  return menuWithItems(
      extractMenuItemsMatchingMask(DataSourceMenuMask::ColorHolders, kMenuLevel, kMenuLevel));
}

DataSourceMenu DataSourceController::getPointDataSourcesMenu() const {
  return menuWithItems(
      extractMenuItemsMatchingMask(DataSourceMenuMask::PointHolders, kMenuLevel, kMenuLevel));
}

DataSourceMenuItems DataSourceController::extractMenuItemsMatchingMask(int mask, int toLevel,
                                                                       int carryOverToLevel) const {
  return DataSourceMenuBuilder::extract(elementDict_, mask, toLevel, carryOverToLevel);
}

DataSourceMenuItems DataSourceController::extractMenuItemsToLevel(int toLevel,
                                                                  int carryOverToLevel) const {
  return extractMenuItemsMatchingMask(DataSourceMenuMask::Leaves, toLevel, carryOverToLevel);
}

DataSourceMenuItems DataSourceController::getDataSourceMenuItemArray() const {
  return DataSourceMenuBuilder::flatList(elementDict_);
}
