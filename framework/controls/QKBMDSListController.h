#pragma once

#include "framework/controls/DSListController.h"

class QKBMInterfaceManager;
class QKButtonManager;

// The button inspector's source chooser (DSListController): a choice binds
// every selected button.
class QKBMDSListController : public DSListController {
 public:
  explicit QKBMDSListController(QWidget* parent) : DSListController(parent) {}

  void setButtonManager(QKButtonManager* manager) { buttonManager_ = manager; }
  void setInspector(QKBMInterfaceManager* inspector);

 protected:
  void useThisSource(const KeyPath& path) override;

 private:
  QKButtonManager* buttonManager_ = nullptr;
};
