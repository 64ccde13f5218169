#include "framework/controls/QKBMDSListController.h"

#include "framework/controls/QKBMInterfaceManager.h"
#include "framework/controls/QKButtonManager.h"

void QKBMDSListController::setInspector(QKBMInterfaceManager* inspector) {
  setRefresh([inspector] {
    if (inspector) inspector->updateWithLockedStatus(false);
  });
}

void QKBMDSListController::useThisSource(const KeyPath& path) {
  if (buttonManager_) buttonManager_->selectedButtonsUseThisSource(path);
}
