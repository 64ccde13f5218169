#include "framework/taps/QKRTapLayerMenuController.h"

QKTapManager::Menu QKRTapLayerMenuController::menuOf(const QKTapManager& manager) const {
  return manager.sortedLayerSTapMenu();
}
