#include "framework/behaviors/BehaviorCreationController.h"

#include "framework/behaviors/BehaviorChainManager.h"
#include "framework/behaviors/BehaviorChainWindow.h"
#include "framework/toolkit/QKNSPopUpButton.h"

#include <QMenu>

#include <algorithm>

BehaviorCreationController::BehaviorCreationController(BehaviorChainWindow* window,
                                                       QKNSPopUpButton* popUp)
    : window_(window), popUp_(popUp) {
  if (popUp_)
    QObject::connect(popUp_, &QKNSPopUpButton::activated, popUp_,
                     [this](QAction* item) { behaviorsMenuUsed(item); });
}

BehaviorCreationController::~BehaviorCreationController() {
  if (popUp_) QObject::disconnect(popUp_, nullptr, popUp_, nullptr);
}

void BehaviorCreationController::populateCreationArray() {
  creationArray_ = window_->behaviorChainManager()->behaviorDict().keys();
  std::sort(creationArray_.begin(), creationArray_.end(),
            [](const QString& a, const QString& b) { return QString::compare(a, b) < 0; });
  if (!popUp_) return;
  // The pop-up lets go of its previous menu itself.
  if (creationArray_.isEmpty()) {
    popUp_->setMenu(nullptr);
    return;
  }
  auto* menu = new QMenu(QStringLiteral("creationMenu"), popUp_);
  for (const QString& name : creationArray_) menu->addAction(name);
  creationMenu_ = menu;
  popUp_->setMenu(menu);
}

void BehaviorCreationController::behaviorsMenuUsed(QAction* item) {
  if (!item) return;
  window_->createEffectInVisibleChain(item->text());
}
