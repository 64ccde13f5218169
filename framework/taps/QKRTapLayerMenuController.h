#pragma once

#include "framework/taps/QKRTapMenuController.h"

// A tap menu controller listing only the taps of layers.
class QKRTapLayerMenuController : public QKRTapMenuController {
 public:
  using QKRTapMenuController::QKRTapMenuController;

 protected:
  QKTapManager::Menu menuOf(const QKTapManager& manager) const override;
};
