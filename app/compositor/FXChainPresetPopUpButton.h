#pragma once

#include "app/effects/LayerChainManagerClient.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/NotificationObservers.h"

#include <memory>

// The layer window's pop-up of the saved effect-chain presets: its items
// are the titles of the chain manager's preset menu, rebuilt on every
// change of the list (on the main thread), and it selects the preset last
// chosen or saved again after each rebuild. Main thread only.
class FXChainPresetPopUpButton : public QKNSPopUpButton, public LayerChainManagerClient {
  Q_OBJECT
 public:
  explicit FXChainPresetPopUpButton(QWidget* parent = nullptr);
  ~FXChainPresetPopUpButton() override;

  // Asks for the chain manager and follows its preset list.
  void awakeFromNib();
  void setLayerChainManager(LayerChainManager* manager) override;
  LayerChainManager* layerChainManager() const { return manager_; }
  void reloadMenuNotification();
  // Kept for the rebuilds; neither rebuilds nor selects.
  void setLastSelectedChainName(const QString& name) { lastSelectedChainName_ = name; }
  QString lastSelectedChainName() const { return lastSelectedChainName_; }
  void prepareToBeDeleted();

 private:
  LayerChainManager* manager_ = nullptr;
  QString lastSelectedChainName_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};
