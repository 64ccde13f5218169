#pragma once

#include "framework/fx/FXChainManager.h"

// The manager of the layers' effect chains: effect folder "vidFX" (its drag
// types are named after it). The compositor owns the one instance.
class LayerChainManager : public FXChainManager {
 public:
  static const QString kLayersChangedNotification;  // "QKLayersChangedNotification"

  LayerChainManager();
  void updateChainBasedLists() override;
};
