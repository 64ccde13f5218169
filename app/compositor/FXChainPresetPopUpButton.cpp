#include "app/compositor/FXChainPresetPopUpButton.h"

#include "app/effects/LayerChainManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QMenu>

FXChainPresetPopUpButton::FXChainPresetPopUpButton(QWidget* parent) : QKNSPopUpButton(parent) {}

FXChainPresetPopUpButton::~FXChainPresetPopUpButton() { prepareToBeDeleted(); }

void FXChainPresetPopUpButton::awakeFromNib() {
  // A post from another thread rebuilds on the main thread.
  observers_.observe(LayerChainManager::kPresetUpdateNotification, nullptr,
                     [this, alive = std::weak_ptr<int>(alive_)](const Notification&) {
                       if (MainThread::isMainThread()) {
                         reloadMenuNotification();
                         return;
                       }
                       MainThread::post([this, alive] {
                         if (alive.lock()) reloadMenuNotification();
                       });
                     });
  NotificationCenter::defaultCenter().post(LayerChainManager::kFinderNotification,
                                           static_cast<LayerChainManagerClient*>(this));
}

void FXChainPresetPopUpButton::setLayerChainManager(LayerChainManager* manager) {
  manager_ = manager;
  reloadMenuNotification();
}

void FXChainPresetPopUpButton::reloadMenuNotification() {
  removeAllItems();
  if (!manager_) return;
  for (const QString& title : manager_->fxChainPresetMenu()) addItemWithTitle(title);
  if (!lastSelectedChainName_.isNull()) selectItemWithTitle(lastSelectedChainName_);
}

void FXChainPresetPopUpButton::prepareToBeDeleted() {
  observers_.clear();
  alive_.reset();
}
