#pragma once

#include "framework/taps/QKRTapMenuController.h"

// A tap menu controller listing only the taps without a layer (live inputs and composition
// outputs).
class QKRTapInputMenuController : public QKRTapMenuController {
 public:
  using QKRTapMenuController::QKRTapMenuController;

 protected:
  QKTapManager::Menu menuOf(const QKTapManager& manager) const override;
};
