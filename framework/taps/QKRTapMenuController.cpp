#include "framework/taps/QKRTapMenuController.h"

#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/MainThread.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

const QString QKRTapMenuController::kRestoreStartNotification =
    QStringLiteral("QKPMRestoreStartNotification");
const QString QKRTapMenuController::kRestoreEndNotification =
    QStringLiteral("QKPMRestoreEndNotification");
const QString QKRTapMenuController::kLastSelectedNameKey = QStringLiteral("lastSelectedName");

namespace {

QString titleOf(const QKTapMenuItem& item) {
  if (item.isNone()) return QKTapManager::kNoneTitle;
  return QString(4 * std::max(0, item.indentation), QLatin1Char(' ')) + item.tapName;
}

}  // namespace

QKRTapMenuController::QKRTapMenuController(QObject* parent) : QObject(parent) {}

QKRTapMenuController::~QKRTapMenuController() = default;

void QKRTapMenuController::awakeFromNib() {
  observers_.observe(QKTapManager::kReloadSTapListNotification, nullptr,
                     [this](const Notification& notification) {
                       const QVariantMap userInfo = notification.userInfo;
                       onMain([userInfo](QKRTapMenuController& controller) {
                         controller.reloadAvailableTapsNotification(userInfo);
                       });
                     });
  observers_.observe(kRestoreStartNotification, nullptr, [this](const Notification&) {
    onMain([](QKRTapMenuController& controller) { controller.startPresetRestoreNotification(); });
  });
  observers_.observe(kRestoreEndNotification, nullptr, [this](const Notification&) {
    onMain([](QKRTapMenuController& controller) { controller.stopPresetRestoreNotification(); });
  });
  QKTapManager::announce(this);
}

void QKRTapMenuController::prepareToBeDeleted() {
  observers_.clear();
  myAction_ = nullptr;
}

void QKRTapMenuController::onMain(std::function<void(QKRTapMenuController&)> work) {
  QPointer<QKRTapMenuController> self(this);
  MainThread::run([self, work = std::move(work)] {
    if (self) work(*self);
  });
}

void QKRTapMenuController::setTapManager(QKTapManager* manager) {
  link_ = manager ? manager->link() : nullptr;
  onMain([](QKRTapMenuController& controller) { controller.reloadAvailableTapsMethod(); });
}

QKTapManager* QKRTapMenuController::tapManager() const {
  if (!link_) return nullptr;
  std::lock_guard<std::recursive_mutex> lock(link_->mutex);
  return link_->manager;
}

void QKRTapMenuController::setButton(QKNSPopUpButton* button) {
  if (button_) disconnect(button_, nullptr, this, nullptr);
  button_ = button;
  if (button_) connect(button_, &QKNSPopUpButton::activated, this, &QKRTapMenuController::menuUsed);
}

void QKRTapMenuController::menuUsed(QAction* item) {
  lastSelectedName_ = item ? item->data().toString() : QString();
  bang();
}

void QKRTapMenuController::bang() {
  if (myAction_) myAction_();
}

QKTapManager::Menu QKRTapMenuController::menuOf(const QKTapManager& manager) const {
  return manager.sortedSTapMenu();
}

QKTapManager::Menu QKRTapMenuController::copyOfManagersMenu() const {
  if (!link_) return {QKTapMenuItem{}};
  std::lock_guard<std::recursive_mutex> lock(link_->mutex);
  return link_->manager ? menuOf(*link_->manager) : QKTapManager::Menu{QKTapMenuItem{}};
}

// A selected name that is gone falls back to "<none>".
void QKRTapMenuController::reloadAvailableTapsMethod() {
  localMenu_ = copyOfManagersMenu();
  const bool listed = std::any_of(localMenu_.begin(), localMenu_.end(), [this](const auto& item) {
    return !item.isNone() && item.tapName == lastSelectedName_;
  });
  if (!listed) lastSelectedName_.clear();
  fillButton();
  bang();
}

void QKRTapMenuController::fillButton() {
  if (!button_) return;
  auto* menu = new QMenu(button_);
  const QFont font = QKTapManager::fontAttribs();
  QAction* selected = nullptr;
  for (const QKTapMenuItem& item : localMenu_) {
    QAction* action = menu->addAction(titleOf(item));
    action->setData(item.tapName);
    action->setFont(font);
    if (!selected || (!item.isNone() && item.tapName == lastSelectedName_)) selected = action;
  }
  button_->setMenu(menu);
  button_->selectItem(selected);
}

void QKRTapMenuController::reloadAvailableTapsNotification(const QVariantMap& userInfo) {
  if (restoring_) return;
  const QString reason = userInfo.value(QKTapManager::kReasonKey).toString();
  const auto named = [&](const QString& key) {
    return !lastSelectedName_.isEmpty() && userInfo.value(key).toString() == lastSelectedName_;
  };
  if (reason == QKTapManager::kDeleteTapReason && named(QKTapManager::kDeletedTapNameKey))
    lastSelectedName_.clear();
  else if (reason == QKTapManager::kChangeNameReason && named(QKTapManager::kOldNameKey))
    lastSelectedName_ = userInfo.value(QKTapManager::kNewNameKey).toString();
  reloadAvailableTapsMethod();
}

void QKRTapMenuController::startPresetRestoreNotification() { restoring_ = true; }

void QKRTapMenuController::stopPresetRestoreNotification() {
  restoring_ = false;
  reloadAvailableTapsMethod();
}

QVariantMap QKRTapMenuController::createSnapshot() const {
  if (lastSelectedName_.isEmpty()) return {};
  return {{kLastSelectedNameKey, lastSelectedName_}};
}

void QKRTapMenuController::loadSnapshot(const QVariantMap& snapshot) {
  const QVariant name = snapshot.value(kLastSelectedNameKey);
  lastSelectedName_ = name.typeId() == QMetaType::QString ? name.toString() : QString();
}
