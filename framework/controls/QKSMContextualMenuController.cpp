#include "framework/controls/QKSMContextualMenuController.h"

#include "framework/controls/BehaviorChainManagerInterface.h"
#include "framework/controls/DataSourceSubmenu.h"
#include "framework/controls/MenuItemState.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DataSourceMenuAdapter.h"

#include <QAction>
#include <QMenu>

const QString QKSMContextualMenuController::kSynch = QStringLiteral("Synch To Data Source");
const QString QKSMContextualMenuController::kApplyBehavior = QStringLiteral("Apply Behavior Chain");
const QString QKSMContextualMenuController::kMIDIDetect = QStringLiteral("Start MIDI Detect");
const QString QKSMContextualMenuController::kOSCDetect = QStringLiteral("Start OSC Detect");
const QString QKSMContextualMenuController::kLockUI = QStringLiteral("Lock Slider UI");
const QString QKSMContextualMenuController::kShowSyncToggle = QStringLiteral("Show Sync. Toggle");
const QString QKSMContextualMenuController::kShowBehavToggle = QStringLiteral("Show Behav. Toggle");
const QString QKSMContextualMenuController::kDataSources = QStringLiteral("Data Sources");
const QString QKSMContextualMenuController::kBehaviorChains = QStringLiteral("Behavior Chains");

const QStringList& QKSMContextualMenuController::commandTitles() {
  static const QStringList titles = {kSynch,  kApplyBehavior,  kMIDIDetect,     kOSCDetect,
                                     kLockUI, kShowSyncToggle, kShowBehavToggle};
  return titles;
}

QKSMContextualMenuController::QKSMContextualMenuController() : menu_(std::make_unique<QMenu>()) {
  const QFont font = DataSourceMenuAdapter::itemFont();
  for (const QString& title : commandTitles()) {
    if (title == kLockUI || title == kShowSyncToggle) menu_->addSeparator();
    QAction* command = menu_->addAction(title);
    command->setFont(font);
    QObject::connect(command, &QAction::triggered, menu_.get(),
                     [this, command] { sliderContextualMenuUsed(command); });
  }
  menu_->addSeparator();
  dataSourcesLabelItem_ = menu_->addAction(kDataSources);
  dataSourcesLabelItem_->setFont(font);
  dataSources_ = std::make_unique<DataSourceSubmenu>(dataSourcesLabelItem_);
  behaviorChainsLabelItem_ = menu_->addAction(kBehaviorChains);
  behaviorChainsLabelItem_->setFont(font);
  observers_.observe(QString::fromLatin1(BehaviorChainManagerInterface::kChainsChangedNotification),
                     nullptr, [this](const Notification&) { reloadBCContextualMenu(); });
}

QKSMContextualMenuController::~QKSMContextualMenuController() = default;

QMenu* QKSMContextualMenuController::dataSourcesMenu() const { return dataSources_->menu(); }

QAction* QKSMContextualMenuController::item(const QString& title) const {
  if (!commandTitles().contains(title)) return nullptr;
  for (QAction* action : menu_->actions())
    if (action->text() == title) return action;
  return nullptr;
}

void QKSMContextualMenuController::setItemState(const QString& title, int state) {
  MenuItemState::set(item(title), state);
}

int QKSMContextualMenuController::itemState(const QString& title) const {
  return MenuItemState::get(item(title));
}

// --- Commands ------------------------------------------------------------------------------

void QKSMContextualMenuController::sliderContextualMenuUsed(QAction* command) {
  if (!command || !sliderManager_) return;
  const QString title = command->text();
  if (!commandTitles().contains(title)) return;
  applyToSelected(title, MenuItemState::get(command) != 1);
}

void QKSMContextualMenuController::applyToSelected(const QString& title, bool flag) {
  for (const auto& slider : sliderManager_->selectedSliders()) {
    if (title == kSynch)
      slider->setSyncFlag(flag);
    else if (title == kApplyBehavior)
      slider->setBehaviorFlag(flag);
    else if (title == kMIDIDetect)
      slider->startMIDIDetect();
    else if (title == kOSCDetect)
      slider->startOSCDetect();
    else if (title == kLockUI)
      slider->setLockUIFlag(flag);
    else if (title == kShowSyncToggle)
      slider->setSyncToggleState(flag);
    else if (title == kShowBehavToggle)
      slider->setBehavToggleState(flag);
  }
}

// --- Data sources --------------------------------------------------------------------------------

void QKSMContextualMenuController::reloadDSContextualMenu() {
  dataSources_->reload(controller_, [this](QAction* source) { sliderCMDataSourceChosen(source); });
}

void QKSMContextualMenuController::sliderCMDataSourceChosen(QAction* source) {
  const KeyPath path = DataSourceMenuAdapter::keyPathForAction(source);
  if (path.isEmpty() || !sliderManager_) return;
  for (const auto& slider : sliderManager_->selectedSliders()) {
    slider->useThisSource(path);
    if (!slider->syncFlag()) slider->setSyncFlag(true);
  }
  if (refresh_) refresh_();
}

void QKSMContextualMenuController::deselectAllDataSources() { dataSources_->uncheckAll(); }

bool QKSMContextualMenuController::selectDataSourceNamed(const KeyPath& path) {
  return dataSources_->check(path);
}

// --- Behaviour chains ----------------------------------------------------------------------------

void QKSMContextualMenuController::reloadBCContextualMenu() {
  behaviorChainsLabelItem_->setMenu(nullptr);
  delete behaviorChainsMenu_;
  behaviorChainsMenu_ = new QMenu(menu_.get());
  behaviorChainsLabelItem_->setMenu(behaviorChainsMenu_);
  if (!sliderManager_) return;
  const QFont font = DataSourceMenuAdapter::itemFont();
  for (const QString& name : sliderManager_->behaviorChainManager().chainNames()) {
    QAction* chain = behaviorChainsMenu_->addAction(name);
    chain->setFont(font);
    QObject::connect(chain, &QAction::triggered, behaviorChainsMenu_,
                     [this, chain] { sliderCMBehaviorChainChosen(chain); });
  }
}

void QKSMContextualMenuController::sliderCMBehaviorChainChosen(QAction* chain) {
  if (!chain || !sliderManager_) return;
  for (const auto& slider : sliderManager_->selectedSliders()) {
    slider->useBehaviorNamed(chain->text());
    if (!slider->behaviorFlag()) slider->setBehaviorFlag(true);
  }
  if (refresh_) refresh_();
}

void QKSMContextualMenuController::deselectAllBehaviorChains() {
  if (!behaviorChainsMenu_) return;
  for (QAction* chain : behaviorChainsMenu_->actions()) MenuItemState::set(chain, 0);
}

void QKSMContextualMenuController::selectBehaviorChainNamed(const QString& name) {
  if (!behaviorChainsMenu_) return;
  for (QAction* chain : behaviorChainsMenu_->actions())
    if (chain->text() == name) return MenuItemState::set(chain, 1);
}
