#include "framework/taps/QKRTapInputMenuController.h"

QKTapManager::Menu QKRTapInputMenuController::menuOf(const QKTapManager& manager) const {
  return manager.sortedInputSTapMenu();
}
