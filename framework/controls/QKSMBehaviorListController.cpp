#include "framework/controls/QKSMBehaviorListController.h"

#include "framework/controls/BehaviorChainManagerInterface.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/toolkit/QKNSPopUpButton.h"

#include <QMenu>

const QString QKSMBehaviorListController::kMenuTitle = QStringLiteral("Behavior Chains");

QKSMBehaviorListController::QKSMBehaviorListController(QWidget* parent)
    : behaviorPopUpButton_(new QKNSPopUpButton(parent)) {
  QObject::connect(behaviorPopUpButton_, &QKNSPopUpButton::activated, behaviorPopUpButton_,
                   [this](QAction* item) { behaviorPopUpButtonUsed(item); });
  observers_.observe(QString::fromLatin1(BehaviorChainManagerInterface::kChainsChangedNotification),
                     nullptr, [this](const Notification&) { reloadView(); });
}

QKSMBehaviorListController::~QKSMBehaviorListController() = default;

void QKSMBehaviorListController::reloadView() {
  if (!behaviorPopUpButton_ || !sliderManager_) return;
  const QStringList names = sliderManager_->behaviorChainManager().chainNames();
  if (names.isEmpty()) return;
  auto* menu = new QMenu(kMenuTitle, behaviorPopUpButton_);
  for (const QString& name : names) menu->addAction(name);
  behaviorPopUpButton_->setMenu(menu);
}

void QKSMBehaviorListController::behaviorPopUpButtonUsed(QAction* item) {
  if (!item || !sliderManager_) return;
  if (auto chain = sliderManager_->findBehaviorChainNamed(item->text()))
    sliderManager_->selectedSlidersUseThisBehavior(chain);
}

void QKSMBehaviorListController::selectItemForString(const QString& name) {
  if (!behaviorPopUpButton_) return;
  if (name.isEmpty())
    behaviorPopUpButton_->selectItemAtIndex(-1);
  else
    behaviorPopUpButton_->selectItemWithTitle(name);
}
