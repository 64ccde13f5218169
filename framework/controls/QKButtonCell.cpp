#include "framework/controls/QKButtonCell.h"

#include "framework/controls/QKButtonCellDelegate.h"
#include "framework/controls/QKButtonCellView.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/DetectPaths.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSInputNaming.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/render/TheApplication.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/midi/QKMIDIMessage.h"

#include <QKeyEvent>

#include <algorithm>
#include <cmath>
#include <optional>

const QString QKButtonCell::kNewButtonNotification = QStringLiteral("QKBNewButtonNotification");
const QString QKButtonCell::kShowShortcutsNotification =
    QStringLiteral("QKBMShowShortcutsNotification");

namespace {

// Snapshot keys.
const QString kSyncArray = QStringLiteral("syncArray");
const QString kTitle = QStringLiteral("title");
const QString kKeyEntry = QStringLiteral("key");
const QString kSyncFlag = QStringLiteral("syncFlag");
const QString kThreshVal = QStringLiteral("threshVal");
const QString kTriggerMode = QStringLiteral("triggerMode");
const QString kTriggerOnRise = QStringLiteral("triggerOnRise");
const QString kTriggerOnFall = QStringLiteral("triggerOnFall");
const QString kSyncToggleFlag = QStringLiteral("syncToggleFlag");
const QString kSyncToggle = QStringLiteral("syncToggle");
const QString kButtonValue = QStringLiteral("buttonValue");
const QString kSyncGen = QStringLiteral("syncGen");
const QString kSyncSpec = QStringLiteral("syncSpec");
// Archive keys besides those above.
const QString kButtonType = QStringLiteral("buttonType");
const QString kTitle2 = QStringLiteral("title2");
const QString kTriggerOnMain = QStringLiteral("triggerOnMain");

// A number from a stored value; nothing for a value of another kind, so a
// mistyped entry leaves its setting alone.
std::optional<double> storedNumber(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float: {
      const double number = value.toDouble();
      if (std::isfinite(number)) return number;
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

int clampToButtonValue(int value) { return (value == 0 || value == -1) ? value : 1; }

}  // namespace

// --- Creation and deletion ---------------------------------------------------

QKButtonCell::QKButtonCell() = default;

void QKButtonCell::didCreate() {
  NotificationCenter::defaultCenter().addObserver(
      this, kShowShortcutsNotification, nullptr,
      [this](const Notification& n) { showShortcutsNotification(n); });
  NotificationCenter::defaultCenter().post(kNewButtonNotification, this);
}

std::shared_ptr<QKButtonCell> QKButtonCell::create() {
  std::shared_ptr<QKButtonCell> cell(new QKButtonCell());
  cell->didCreate();
  return cell;
}

std::shared_ptr<QKButtonCell> QKButtonCell::createWithTitle(const QString& title,
                                                            const KeyPath& synchedTo) {
  if (title.isNull() || synchedTo.isEmpty()) return nullptr;
  auto cell = create();
  cell->setTitle(title);
  cell->useThisSource(synchedTo);
  cell->setSyncFlag(true);
  return cell;
}

std::shared_ptr<QKButtonCell> QKButtonCell::createFromArchive(const QVariantMap& coder) {
  std::shared_ptr<QKButtonCell> cell(new QKButtonCell());
  cell->triggerMode_.store(static_cast<int>(storedNumber(coder.value(kTriggerMode)).value_or(1)));
  cell->buttonType_.store(static_cast<int>(storedNumber(coder.value(kButtonType)).value_or(0)));
  if (coder.value(kTitle).typeId() == QMetaType::QString)
    cell->title_ = coder.value(kTitle).toString();
  if (coder.value(kTitle2).typeId() == QMetaType::QString)
    cell->title2_ = coder.value(kTitle2).toString();
  if (coder.value(kKeyEntry).typeId() == QMetaType::QString)
    cell->key_ = coder.value(kKeyEntry).toString();
  cell->triggerOnMain_.store(storedNumber(coder.value(kTriggerOnMain)).value_or(0) != 0);
  cell->didCreate();
  return cell;
}

void QKButtonCell::encode(QVariantMap& coder) const {
  coder.insert(kTriggerMode, triggerMode());
  coder.insert(kButtonType, buttonType());
  std::lock_guard<std::mutex> lock(stateMutex_);
  if (!title_.isNull()) coder.insert(kTitle, title_);
  if (!title2_.isNull()) coder.insert(kTitle2, title2_);
  if (!key_.isNull()) coder.insert(kKeyEntry, key_);
  coder.insert(kTriggerOnMain, triggerOnMain_.load());
}

std::shared_ptr<QKButtonCell> QKButtonCell::copy() const {
  auto cell = create();
  cell->setTriggerMode(triggerMode());
  cell->setButtonType(buttonType());
  cell->setTitle(title());
  cell->setTitle2(title2());
  const QString ownKey = key();
  if (!ownKey.isNull()) cell->setKey(ownKey);
  cell->setTriggerOnMain(triggerOnMain());
  return cell;
}

QKButtonCell::~QKButtonCell() {
  if (!deleted()) {
    Log::line(QStringLiteral("\t\tERROR: buttoncell %1/%2 wasn't prepped for deletion!")
                  .arg(title(), title2()));
    prepareToBeDeleted();
  }
  NotificationCenter::defaultCenter().removeObserver(this);
}

void QKButtonCell::prepareToBeDeleted() {
  if (deleted_.exchange(true)) return;
  std::shared_ptr<QKButtonCell> toggleButton;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    target_.reset();
    toggleButton = syncToggle_;
  }
  if (toggleButton) toggleButton->prepareToBeDeleted();
  unlockMe();
  setSyncFlag(false);
  for (ObserverSwitch& detect : detect_) detect.close();
  NotificationCenter::defaultCenter().removeObserver(this);
  if (QKButtonManager* manager = buttonManager_.load()) manager->deleteThisButton(this);
}

QString QKButtonCell::description() const {
  const QString own = title();
  if (own.isNull()) return QStringLiteral("<ButtonCell -no title!->");
  return QStringLiteral("<ButtonCell %1>").arg(own);
}

// --- Value --------------------------------------------------------------------

void QKButtonCell::setIntValue(int value, bool andOutput) {
  if (deleted()) return;
  // The members get the caller's output flag: a silent set stays silent.
  const auto shared = lockGroup_.fanOut(
      andOutput, [value](QKButtonCell& other, bool output) { other.setIntValue(value, output); });
  if (shared == LockGroup::FanOut::Busy) return;
  if (value != buttonValue_.load()) {
    storeValue(value);
    if (andOutput) bang();
  } else if (andOutput && buttonType() == 1) {
    bang();
  }
}

void QKButtonCell::setBoolValue(bool value, bool andOutput) {
  setIntValue(value ? 1 : 0, andOutput);
}

void QKButtonCell::setFloatValue(float value, bool andOutput) {
  // Truncation toward zero; values outside int's range count as "on".
  const float truncated = std::trunc(value);
  const int asInt =
      std::isfinite(truncated) && std::fabs(truncated) < 1e9f ? static_cast<int>(truncated) : 1;
  setIntValue(asInt, andOutput);
}

void QKButtonCell::storeValue(int value) {
  buttonValue_.store(clampToButtonValue(value));
  setNeedsDisplay();
}

void QKButtonCell::bang() {
  if (deleted()) return;
  fire(firing());
}

QKButtonCell::Firing QKButtonCell::firing() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return {target_.lock(), action_, controlView_};
}

void QKButtonCell::fire(const Firing& firing) {
  if (deleted() || !firing.target || !firing.action || !*firing.action) return;
  if (!triggerOnMain()) {
    (*firing.action)(*this);
    return;
  }
  MainThread::post([self = weak_from_this(), target = std::weak_ptr<const void>(firing.target),
                    action = firing.action] {
    auto cell = self.lock();
    if (!cell || cell->deleted() || !target.lock()) return;
    (*action)(*cell);
  });
}

void QKButtonCell::toggle() {
  if (deleted()) return;
  const Firing current = firing();
  if (!current.target) return;
  toggleWith(current);
}

void QKButtonCell::toggleWith(const Firing& firing) {
  if (buttonType() == 1) buttonValue_.store(buttonValue_.load() == 1 ? 0 : 1);
  if (!TheApplication::modalWindowRunning()) fire(firing);
  if (firing.view) firing.view->setNeedsDisplay();
}

// --- Target, action, view ------------------------------------------------------

std::weak_ptr<const void> QKButtonCell::target() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return target_;
}

void QKButtonCell::setTarget(std::weak_ptr<const void> target) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  target_ = std::move(target);
}

void QKButtonCell::setAction(Action action) {
  auto shared = std::make_shared<const Action>(std::move(action));
  std::lock_guard<std::mutex> lock(stateMutex_);
  action_ = std::move(shared);
}

void QKButtonCell::setControlView(std::shared_ptr<QKButtonCellView> view) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  controlView_ = std::move(view);
}

std::shared_ptr<QKButtonCellView> QKButtonCell::controlView() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return controlView_;
}

void QKButtonCell::setNeedsDisplay() const {
  if (auto view = controlView()) view->setNeedsDisplay();
}

void QKButtonCell::forceRedraw() { setNeedsDisplay(); }

// --- Locking ------------------------------------------------------------------

void QKButtonCell::lockThisButtonToMe(const std::shared_ptr<QKButtonCell>& other) {
  if (deleted()) return;
  lockGroup_.lockToMe(shared_from_this(), other,
                      [](QKButtonCell& member, const std::shared_ptr<QKButtonCell>& master) {
                        member.setLockedButtonSrc(master);
                      });
}

void QKButtonCell::unlockMe() {
  lockGroup_.unlockAll(
      this, [](QKButtonCell & master) -> auto& { return master.lockGroup_; });
}

void QKButtonCell::setLockedButtonSrc(const std::shared_ptr<QKButtonCell>& master) {
  lockGroup_.setMaster(master);
}

void QKButtonCell::setLockedFlag(bool flag) {
  unlockMe();
  lockGroup_.setIsMember(flag);
  if (!flag) return;
  if (auto master = lockedButtonSrc()) loadSnapshot(master->createSnapshot());
}

// --- Registration and selection -------------------------------------------------

void QKButtonCell::setButtonManager(QKButtonManager* manager) {
  buttonManager_.store(manager);
  if (manager) {
    dataSourceController_.store(manager->dataSourceController());
    showShortcut_.store(manager->showShortcutsRequested());
    if (manager->hardwareLearnMode()) hardwareLearnMode_.store(true);
  }
  setNeedsDisplay();
}

QKButtonManager* QKButtonCell::buttonManager() {
  buttonManagerCheck();
  return buttonManager_.load();
}

void QKButtonCell::buttonManagerCheck() {
  if (!buttonManager_.load())
    NotificationCenter::defaultCenter().post(kNewButtonNotification, this);
}

// A selected button has a look of its own: its view redraws.
void QKButtonCell::select() {
  selected_.store(true);
  if (hardwareLearnMode()) startAllDetect();
  setNeedsDisplay();
}

void QKButtonCell::deselect() {
  selected_.store(false);
  if (hardwareLearnMode()) stopAllDetect();
  setNeedsDisplay();
}

void QKButtonCell::showShortcutsNotification(const Notification& notification) {
  showShortcut_.store(notification.userInfo.value(QStringLiteral("sender")).toInt() == 1);
  setNeedsDisplay();
}

void QKButtonCell::refreshInspector(bool lockedStatus) const {
  if (QKButtonManager* manager = buttonManager_.load()) manager->refreshInspector(lockedStatus);
}

// --- Plain settings ----------------------------------------------------------------

QString QKButtonCell::title() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return title_;
}

void QKButtonCell::setTitle(const QString& title) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  title_ = title;
}

QString QKButtonCell::title2() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return title2_;
}

void QKButtonCell::setTitle2(const QString& title) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  title2_ = title;
}

QString QKButtonCell::mixedString() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return mixedString_;
}

QString QKButtonCell::key() const {
  if (deleted()) return {};
  std::lock_guard<std::mutex> lock(stateMutex_);
  return key_;
}

void QKButtonCell::setKey(const QString& key) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  key_ = key;
}

QVariant QKButtonCell::triggerOnMainNumber() const { return triggerOnMain() ? 1 : 0; }

void QKButtonCell::setTriggerOnMainNumber(const QVariant& number) {
  const std::optional<double> stored = storedNumber(number);
  if (!number.isValid() || (stored && *stored == 0)) {
    setTriggerOnMain(false);
  } else if (stored && *stored == 1) {
    setTriggerOnMain(true);
  }
}

QImage QKButtonCell::imgTiles() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return imgTiles_;
}

QSizeF QKButtonCell::imgTileSize() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return imgTileSize_;
}

void QKButtonCell::setImgTiles(const QImage& tiles, const QSizeF& tileSize) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  imgTiles_ = tiles;
  imgTileSize_ = tileSize;
}

bool QKButtonCell::useThisImageTile(const QImage& image, const QSizeF& tileSize) {
  setImgTiles({}, {});
  if (image.isNull()) return false;
  const bool emptyTile = tileSize.width() <= 0 || tileSize.height() <= 0;
  if (emptyTile || image.width() != 3 * tileSize.width()) {
    Log::line("\t\terr-button's img size doesn't match up with size of passed tile");
    return false;
  }
  setImgTiles(image, tileSize);
  setNeedsDisplay();
  return true;
}

void QKButtonCell::setDataSourceWithVal() { Log::line("err- QKButtonCell:setDataSourceWithVal:"); }

// --- Binding --------------------------------------------------------------------

KeyPath QKButtonCell::syncArray() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return syncArray_;
}

bool QKButtonCell::useThisSource(const KeyPath& path) {
  if (path.isEmpty()) return false;
  if (deleted()) return true;
  if (lockGroup_.fanOut([&path](QKButtonCell& other) { other.useThisSource(path); }) ==
      LockGroup::FanOut::Busy)
    return true;
  syncDeletedUnderMe_.store(false);
  const bool wasBound = syncFlag();
  if (wasBound) setSyncFlag(false);
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    syncArray_ = path;
  }
  if (wasBound) setSyncFlag(true);
  return true;
}

void QKButtonCell::setSyncFlag(bool flag) {
  // Deletion unbinds after the deleted flag is set; nothing binds afterwards.
  if (flag && deleted()) return;
  if (!deleted()) buttonManagerCheck();
  if (lockGroup_.fanOut([flag](QKButtonCell& other) { other.setSyncFlag(flag); }) ==
      LockGroup::FanOut::Busy)
    return;
  bool switchToEdges = false;
  if (flag != syncFlag()) {
    if (!buttonManager_.load() && !deleted()) {
      Log::line("\t\terror: buttonManager is nil");
      NotificationCenter::defaultCenter().post(kNewButtonNotification, this);
    }
    syncFlag_.store(flag);
    const KeyPath path = syncArray();
    if (flag) {
      if (!subscribe(path))
        syncFlag_.store(false);
      else if (dataSourceType() == 0 && triggerMode() == 0)
        switchToEdges = true;
    } else {
      unsubscribe(path);
    }
    if (selected()) refreshInspector();
    setNeedsDisplay();
    if (QKButtonCellDelegate* d = delegate()) d->QKButtonSyncFlagChanged(*this);
    if (auto toggleButton = syncToggle()) toggleButton->setIntValue(syncFlag() ? 1 : 0, false);
  }
  syncDeletedUnderMe_.store(syncFlag() != flag);
  if (switchToEdges) setTriggerMode(1);
}

bool QKButtonCell::subscribe(const KeyPath& path) {
  DataSourceController* controller = dataSourceController_.load();
  if (!controller) return false;
  return controller->subscribeObject(
      std::weak_ptr<DataSourceTarget>(shared_from_this()),
      [](DataSourceTarget& target, DataSource* source) {
        static_cast<QKButtonCell&>(target).dataSourceUpdated(source);
      },
      path);
}

void QKButtonCell::unsubscribe(const KeyPath& path) {
  if (DataSourceController* controller = dataSourceController_.load())
    controller->unsubscribeObject(this, path);
}

int QKButtonCell::dataSourceType() const {
  const KeyPath path = syncArray();
  DataSourceController* controller = dataSourceController_.load();
  if (!controller || path.size() < 2) return -2;
  const std::shared_ptr<DataSource> source = controller->dataSourceForKeyArray(path);
  return source ? source->sourceType() : -2;
}

bool QKButtonCell::validDataSourceValAvailable() const {
  const KeyPath path = syncArray();
  DataSourceController* controller = dataSourceController_.load();
  if (!controller || path.size() < 2) return true;
  const std::shared_ptr<DataSource> source = controller->dataSourceForKeyArray(path);
  if (!source) return true;
  const int type = source->sourceType();
  if (type < DSType::FloatInfrequent || type > DSType::ButtonFloat) return true;
  const auto* infrequent = dynamic_cast<const DSFloatInfrequent*>(source.get());
  return !infrequent || infrequent->valReceived();
}

bool QKButtonCell::triggersOn(DataSource* source, float* newValue) {
  const int type = source->sourceType();
  float current = 0;
  float previous = 0;
  if (type == 0) {
    if (triggerOnRise()) {
      current = 1;
    } else if (triggerOnFall()) {
      previous = 1;
    } else {
      return false;
    }
  } else if (type >= DSType::FloatFrequent && type <= DSType::ButtonFloat) {
    const DSFloatFrequent* floatSource = source->asFloatFrequent();
    if (!floatSource) return false;
    current = floatSource->value();
    previous = floatSource->lastValue();
  } else {
    // Deleted sources, holders and unknown kinds carry no value to follow.
    return false;
  }
  *newValue = current;
  const float threshold = threshVal();
  if (triggerMode() == 0) {
    const int wanted = current > threshold ? 1 : 0;
    return intValue() != wanted;
  }
  return (triggerOnRise() && previous <= threshold && threshold <= current) ||
         (triggerOnFall() && previous >= threshold && threshold >= current);
}

void QKButtonCell::dataSourceUpdated(DataSource* source) {
  if (deleted() || !source) return;
  // One read of the guarded state serves the whole update: an update comes
  // with every message of the bound source, on its input thread.
  const Firing current = firing();
  if (!current.target || !current.action) return;
  modifiersOnClick_.store(0);
  float newValue = 0;
  if (triggersOn(source, &newValue)) {
    if (current.view) {
      if (current.view->respondsToToggle()) current.view->toggle();
    } else {
      toggleWith(current);
    }
  }
  if (selected())
    if (QKButtonManager* manager = buttonManager_.load()) manager->showIncomingValue(newValue);
}

void QKButtonCell::dataSourceTypeChanged(DataSource* source) {
  if (source && source->sourceType() == DSType::Plain && triggerMode() == 0) setTriggerMode(1);
}

void QKButtonCell::dataSourceNameChanged(DataSource* source) {
  const KeyPath path = source ? source->pathArray() : KeyPath();
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    syncArray_ = path;
  }
  setNeedsDisplay();
}

void QKButtonCell::currentDataSourceDeletedUnderMe() {
  syncFlag_.store(false);
  syncDeletedUnderMe_.store(true);
  setNeedsDisplay();
  if (selected()) refreshInspector(true);
}

void QKButtonCell::wasThisDataSourceDeletedOutFromUnderMe(const KeyPath& path) {
  if (path.isEmpty() || !syncDeletedUnderMe() || deleted()) return;
  const KeyPath own = syncArray();
  if (!own.isEmpty() && own == path) setSyncFlag(true);
}

// --- Trigger settings ---------------------------------------------------------------

void QKButtonCell::setTriggerMode(int mode) {
  if (deleted()) return;
  if (mode == 0 && dataSourceType() == 0) return;
  if (lockGroup_.fanOut([mode](QKButtonCell& other) { other.setTriggerMode(mode); }) ==
      LockGroup::FanOut::Busy)
    return;
  triggerMode_.store(mode);
}

void QKButtonCell::setThreshVal(float threshold) {
  if (deleted() || !std::isfinite(threshold)) return;
  if (lockGroup_.fanOut([threshold](QKButtonCell& other) { other.setThreshVal(threshold); }) ==
      LockGroup::FanOut::Busy)
    return;
  threshVal_.store(threshold);
  if (QKButtonCellDelegate* d = delegate()) d->QKButtonThreshValChanged(*this);
}

void QKButtonCell::setTriggerOnRise(bool rise) {
  triggerOnRise_.store(rise);
  if (QKButtonCellDelegate* d = delegate()) d->QKButtonThreshValChanged(*this);
}

void QKButtonCell::setTriggerOnFall(bool fall) {
  triggerOnFall_.store(fall);
  if (QKButtonCellDelegate* d = delegate()) d->QKButtonThreshValChanged(*this);
}

// --- Learn -------------------------------------------------------------------------

void QKButtonCell::startDetect(DetectKind kind) {
  if (deleted()) return;
  detect_[kind].turnOn([this, kind](const Notification& n) { handleDetect(kind, n); });
}

void QKButtonCell::stopDetect(DetectKind kind) { detect_[kind].turnOff(); }

void QKButtonCell::startMIDIDetect() { startDetect(kMIDI); }
void QKButtonCell::startOSCDetect() { startDetect(kOSC); }
void QKButtonCell::startKeyDetect() { startDetect(kKey); }
void QKButtonCell::startButtonDetect() { startDetect(kButton); }
void QKButtonCell::stopMIDIDetect() { stopDetect(kMIDI); }
void QKButtonCell::stopOSCDetect() { stopDetect(kOSC); }
void QKButtonCell::stopKeyDetect() { stopDetect(kKey); }
void QKButtonCell::stopButtonDetect() { stopDetect(kButton); }

void QKButtonCell::startAllDetect() {
  for (DetectKind kind : {kMIDI, kOSC, kKey, kButton}) startDetect(kind);
}

void QKButtonCell::stopAllDetect() {
  for (DetectKind kind : {kMIDI, kOSC, kKey, kButton}) stopDetect(kind);
}

void QKButtonCell::handleDetect(DetectKind kind, const Notification& notification) {
  std::optional<KeyPath> path;
  switch (kind) {
    case kMIDI:
      path = DetectPaths::midi(notification);
      break;
    case kOSC:
      path = DetectPaths::osc(notification);
      break;
    case kKey:
      path = DetectPaths::key(notification);
      break;
    case kButton:
      path = DetectPaths::button(notification);
      break;
    default:
      break;
  }
  if (path) learnSource(*path);
}

void QKButtonCell::learnSource(const KeyPath& path) {
  if (deleted() || path.isEmpty()) return;
  buttonManagerCheck();
  DataSourceController* controller = dataSourceController_.load();
  QKButtonManager* manager = buttonManager_.load();
  if (manager && !manager->isThisDetectedSrcArraySafe(path)) return;
  // A refused path is no lesson: the button keeps listening.
  if (path != syncArray() && !useThisSource(path)) return;
  if (!hardwareLearnMode()) stopAllDetect();
  if (preventClickSelect() && controller) controller->deselectThisButton(this);
  setSyncFlag(true);
  if (!syncFlag()) syncDeletedUnderMe_.store(true);
}

void QKButtonCell::hardwareLearnModeUpdated(bool mode) {
  if (mode == hardwareLearnMode_.load()) return;
  hardwareLearnMode_.store(mode);
  if (selected()) {
    if (mode)
      startAllDetect();
    else
      stopAllDetect();
  }
  setNeedsDisplay();
}

// --- "S" sync toggle --------------------------------------------------------------------

std::shared_ptr<QKButtonCell> QKButtonCell::syncToggle() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return syncToggle_;
}

void QKButtonCell::setSyncToggleState(bool shown) {
  if (!controlView() || (syncToggle() != nullptr) == shown) return;
  if (shown)
    addSyncToggle();
  else
    removeSyncToggle();
}

void QKButtonCell::removeSyncToggle() {
  std::shared_ptr<QKButtonCell> toggleButton;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    toggleButton.swap(syncToggle_);
  }
  if (!toggleButton) return;
  toggleButton->prepareToBeDeleted();
  if (auto view = controlView()) view->removeSubButton(toggleButton);
  if (selected()) refreshInspector();
  setNeedsDisplay();
}

void QKButtonCell::addSyncToggle() {
  if (preventSyncToggle() || deleted()) return;
  const auto view = controlView();
  if (!view) return;
  auto toggleButton = create();
  toggleButton->setTitle(QStringLiteral("S"));
  toggleButton->setTitle2(QStringLiteral("S"));
  toggleButton->setButtonType(1);
  toggleButton->setTriggerOnMain(true);
  toggleButton->setPreventSyncToggle(true);
  std::weak_ptr<QKButtonCell> self = weak_from_this();
  toggleButton->setTarget(self);
  toggleButton->setAction([self](QKButtonCell& sender) {
    if (auto cell = self.lock()) cell->syncToggleTriggered(sender);
  });
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    syncToggle_ = toggleButton;
  }
  const double height = view->bounds().height();
  view->addSubButton(toggleButton, QRectF(0, 0, height / 2 - 1, height));
  const QVariantMap stored = syncToggleDict();
  if (!stored.isEmpty()) toggleButton->loadSnapshot(stored);
  toggleButton->setIntValue(syncFlag() ? 1 : 0, false);
  if (selected()) refreshInspector();
  if (QKButtonCellDelegate* d = delegate()) d->QKButtonUIStateChanged(*this);
  setNeedsDisplay();
}

void QKButtonCell::syncToggleTriggered(QKButtonCell& sender) {
  const bool wanted = sender.intValue() == 1;
  if (wanted != syncFlag()) setSyncFlag(wanted);
}

void QKButtonCell::setSyncToggleDict(const QVariantMap& snapshot) {
  std::shared_ptr<QKButtonCell> toggleButton;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    syncToggleDict_ = snapshot;
    toggleButton = syncToggle_;
  }
  if (toggleButton && !snapshot.isEmpty()) toggleButton->loadSnapshot(snapshot);
}

QVariantMap QKButtonCell::syncToggleDict() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return syncToggleDict_;
}

// --- Snapshot -----------------------------------------------------------------------------

QVariantMap QKButtonCell::createSnapshot() const {
  if (deleted()) {
    Log::line("\t\terr- snapping while deleted");
    return {};
  }
  QVariantMap snapshot;
  std::shared_ptr<QKButtonCell> toggleButton;
  QVariantMap storedToggle;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    if (!syncArray_.isEmpty()) snapshot.insert(kSyncArray, syncArray_);
    snapshot.insert(kTitle, title_);
    if (!key_.isNull()) snapshot.insert(kKeyEntry, key_);
    toggleButton = syncToggle_;
    storedToggle = syncToggleDict_;
  }
  snapshot.insert(kSyncFlag, syncFlag());
  snapshot.insert(kThreshVal, static_cast<double>(threshVal()));
  snapshot.insert(kTriggerMode, triggerMode());
  snapshot.insert(kTriggerOnRise, triggerOnRise());
  snapshot.insert(kTriggerOnFall, triggerOnFall());
  snapshot.insert(kSyncToggleFlag, toggleButton != nullptr);
  const QVariantMap toggleSnapshot = toggleButton ? toggleButton->createSnapshot() : storedToggle;
  if (!toggleSnapshot.isEmpty()) snapshot.insert(kSyncToggle, toggleSnapshot);
  snapshot.insert(kButtonValue, intValue());
  return snapshot;
}

void QKButtonCell::loadSnapshot(const QVariantMap& snapshot, bool andOutput) {
  if (deleted()) return;
  if (auto mode = storedNumber(snapshot.value(kTriggerMode)))
    setTriggerMode(static_cast<int>(*mode));
  if (auto rise = storedNumber(snapshot.value(kTriggerOnRise))) setTriggerOnRise(*rise != 0);
  if (auto fall = storedNumber(snapshot.value(kTriggerOnFall))) setTriggerOnFall(*fall != 0);
  if (auto shown = storedNumber(snapshot.value(kSyncToggleFlag))) setSyncToggleState(*shown != 0);
  if (snapshot.value(kSyncToggle).typeId() == QMetaType::QVariantMap)
    setSyncToggleDict(snapshot.value(kSyncToggle).toMap());
  if (auto threshold = storedNumber(snapshot.value(kThreshVal)))
    setThreshVal(static_cast<float>(*threshold));
  setSyncFlag(false);
  if (auto path = KeyPathAdditions::fromStored(snapshot.value(kSyncArray))) {
    useThisSource(*path);
  } else if (snapshot.contains(kSyncGen) && snapshot.contains(kSyncSpec)) {
    const QString generator = snapshot.value(kSyncGen).toString();
    const QString specifier = snapshot.value(kSyncSpec).toString();
    if (generator == QStringLiteral("Hardware") || (!generator.isEmpty() && !specifier.isEmpty()))
      useThisSource(KeyPathAdditions::fromLegacy(generator, specifier));
  }
  const std::optional<double> wantedBinding = storedNumber(snapshot.value(kSyncFlag));
  if (wantedBinding) setSyncFlag(*wantedBinding != 0);
  if (auto value = storedNumber(snapshot.value(kButtonValue))) {
    // In straight sync a source that has a value decides the button's value.
    const bool sourceDecides = syncFlag() && triggerMode() == 0 && validDataSourceValAvailable();
    if (!sourceDecides) setIntValue(static_cast<int>(*value), andOutput);
  }
  if (wantedBinding && *wantedBinding != 0 && !syncFlag()) syncDeletedUnderMe_.store(true);
}
