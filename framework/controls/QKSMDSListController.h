#pragma once

#include "framework/controls/DSListController.h"

class QKSMInterfaceManager;
class QKSliderManager;

// The slider inspector's source chooser (DSListController): a choice binds
// every selected slider.
class QKSMDSListController : public DSListController {
 public:
  explicit QKSMDSListController(QWidget* parent) : DSListController(parent) {}

  void setSliderManager(QKSliderManager* manager) { sliderManager_ = manager; }
  void setInspector(QKSMInterfaceManager* inspector);

 protected:
  void useThisSource(const KeyPath& path) override;

 private:
  QKSliderManager* sliderManager_ = nullptr;
};
