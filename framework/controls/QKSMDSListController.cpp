#include "framework/controls/QKSMDSListController.h"

#include "framework/controls/QKSMInterfaceManager.h"
#include "framework/controls/QKSliderManager.h"

void QKSMDSListController::setInspector(QKSMInterfaceManager* inspector) {
  setRefresh([inspector] {
    if (inspector) inspector->updateWithLockedStatus(false);
  });
}

void QKSMDSListController::useThisSource(const KeyPath& path) {
  if (sliderManager_) sliderManager_->selectedSlidersUseThisSource(path);
}
