#include "framework/controls/QKBMContextualMenuController.h"

#include "framework/controls/DataSourceSubmenu.h"
#include "framework/controls/MenuItemState.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKButtonInspector.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceMenuAdapter.h"

#include <QAction>
#include <QMenu>

const QString QKBMContextualMenuController::kSynch = QStringLiteral("Synch To Data Source");
const QString QKBMContextualMenuController::kMIDIDetect = QStringLiteral("Start MIDI Detect");
const QString QKBMContextualMenuController::kOSCDetect = QStringLiteral("Start OSC Detect");
const QString QKBMContextualMenuController::kKeyDetect = QStringLiteral("Start Key Detect");
const QString QKBMContextualMenuController::kButtonDetect = QStringLiteral("Start Button Detect");
const QString QKBMContextualMenuController::kStraightSync =
    QStringLiteral("Straight Sync Triggering");
const QString QKBMContextualMenuController::kEdgeTrigger = QStringLiteral("Edge-Based Triggering");
const QString QKBMContextualMenuController::kTriggerOnRise = QStringLiteral("Trigger On Rise");
const QString QKBMContextualMenuController::kTriggerOnFall = QStringLiteral("Trigger On Fall");
const QString QKBMContextualMenuController::kShowSyncToggle = QStringLiteral("Show Sync. Toggle");
const QString QKBMContextualMenuController::kDataSources = QStringLiteral("Data Sources");

const QStringList& QKBMContextualMenuController::commandTitles() {
  static const QStringList titles = {kSynch,         kMIDIDetect,    kOSCDetect,   kKeyDetect,
                                     kButtonDetect,  kStraightSync,  kEdgeTrigger, kTriggerOnRise,
                                     kTriggerOnFall, kShowSyncToggle};
  return titles;
}

QKBMContextualMenuController::QKBMContextualMenuController() : menu_(std::make_unique<QMenu>()) {
  const QFont font = DataSourceMenuAdapter::itemFont();
  for (const QString& title : commandTitles()) {
    if (title == kStraightSync || title == kShowSyncToggle) menu_->addSeparator();
    QAction* command = menu_->addAction(title);
    command->setFont(font);
    QObject::connect(command, &QAction::triggered, menu_.get(),
                     [this, command] { buttonContextualMenuUsed(command); });
  }
  menu_->addSeparator();
  dataSourcesLabelItem_ = menu_->addAction(kDataSources);
  dataSourcesLabelItem_->setFont(font);
  dataSources_ = std::make_unique<DataSourceSubmenu>(dataSourcesLabelItem_);
}

QKBMContextualMenuController::~QKBMContextualMenuController() = default;

QMenu* QKBMContextualMenuController::dataSourcesMenu() const { return dataSources_->menu(); }

QAction* QKBMContextualMenuController::item(const QString& title) const {
  if (!commandTitles().contains(title)) return nullptr;
  for (QAction* action : menu_->actions())
    if (action->text() == title) return action;
  return nullptr;
}

void QKBMContextualMenuController::setItemState(const QString& title, int state) {
  MenuItemState::set(item(title), state);
}

int QKBMContextualMenuController::itemState(const QString& title) const {
  return MenuItemState::get(item(title));
}

// --- Commands -------------------------------------------------------------------------

void QKBMContextualMenuController::buttonContextualMenuUsed(QAction* command) {
  if (!command || !buttonManager_) return;
  const QString title = command->text();
  if (!commandTitles().contains(title)) return;
  applyToSelected(title, MenuItemState::get(command));
  if (title == kStraightSync || title == kEdgeTrigger) {
    const int mode = title == kEdgeTrigger ? 1 : 0;
    if (inspector_)
      inspector_->showTriggerMode(mode);
    else
      showTriggerMode(mode);
  } else if ((title == kTriggerOnRise || title == kTriggerOnFall) && inspector_) {
    inspector_->updatingOnMainThread();
  }
}

// Flags take the opposite of the item's state: on gives off, off or mixed on.
void QKBMContextualMenuController::applyToSelected(const QString& title, int itemState) {
  const bool opposite = itemState != 1;
  for (const auto& cell : buttonManager_->selectedButtons()) {
    if (title == kSynch)
      cell->setSyncFlag(opposite);
    else if (title == kMIDIDetect)
      cell->startMIDIDetect();
    else if (title == kOSCDetect)
      cell->startOSCDetect();
    else if (title == kKeyDetect)
      cell->startKeyDetect();
    else if (title == kButtonDetect)
      cell->startButtonDetect();
    else if (title == kStraightSync)
      cell->setTriggerMode(0);
    else if (title == kEdgeTrigger)
      cell->setTriggerMode(1);
    else if (title == kTriggerOnRise)
      cell->setTriggerOnRise(opposite);
    else if (title == kTriggerOnFall)
      cell->setTriggerOnFall(opposite);
    else if (title == kShowSyncToggle)
      cell->setSyncToggleState(opposite);
  }
}

void QKBMContextualMenuController::showTriggerMode(int mode) {
  if (mode != 0 && mode != 1) return;
  setItemState(kEdgeTrigger, mode == 1 ? 1 : 0);
  setItemState(kStraightSync, mode == 0 ? 1 : 0);
  item(kTriggerOnRise)->setEnabled(mode == 1);
  item(kTriggerOnFall)->setEnabled(mode == 1);
}

// --- Data sources --------------------------------------------------------------------------

void QKBMContextualMenuController::reloadDSContextualMenu() {
  dataSources_->reload(controller_, [this](QAction* source) { buttonCMDataSourceChosen(source); });
}

void QKBMContextualMenuController::buttonCMDataSourceChosen(QAction* source) {
  const KeyPath path = DataSourceMenuAdapter::keyPathForAction(source);
  if (path.isEmpty() || !buttonManager_) return;
  for (const auto& cell : buttonManager_->selectedButtons()) {
    cell->useThisSource(path);
    if (!cell->syncFlag()) cell->setSyncFlag(true);
  }
  if (inspector_) inspector_->updatingOnMainThread();
}

void QKBMContextualMenuController::deselectAllDataSources() { dataSources_->uncheckAll(); }

bool QKBMContextualMenuController::selectDataSourceNamed(const KeyPath& path) {
  return dataSources_->check(path);
}
