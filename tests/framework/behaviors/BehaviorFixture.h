#pragma once

#include "framework/behaviors/Behavior.h"
#include "framework/behaviors/BehaviorChainManager.h"
#include "framework/behaviors/BehaviorFXChain.h"
#include "framework/behaviors/BehaviorPanels.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "platform/foundation/Paths.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A slider manager (which gives cells their IDs and owns the behaviour
// chain manager), the behaviour panels installed, slider cells made in code
// and retired at the end, and a user data folder of the test's own (the
// chain files).
class BehaviorFixture : public ::testing::Test {
 protected:
  BehaviorFixture() {
    dataDir_ = TestEnvironment::makeTempDir(QStringLiteral("data"));
    Paths::setUserDataDirOverride(dataDir_);
    BehaviorPanels::registerLayouts(registry_);
    previousRegistry_ = LayoutRegistry::shared();
    LayoutRegistry::setShared(&registry_);
    sliderManager_ = std::make_unique<QKSliderManager>();
  }
  ~BehaviorFixture() override {
    for (const auto& cell : cells_) cell->prepareToBeDeleted();
    sliderManager_.reset();
    LayoutRegistry::setShared(previousRegistry_);
    Paths::setUserDataDirOverride(QString());
  }

  BehaviorChainManager& chains() {
    return dynamic_cast<BehaviorChainManager&>(sliderManager_->behaviorChainManager());
  }

  // A registered slider cell at value `value` (no chain has run on it).
  QKSliderCell::Ptr cell(float value = 0.5f) {
    QKSliderCell::Ptr made = QKSliderCell::create();
    made->justSetValue(value);
    cells_.push_back(made);
    return made;
  }

  // A behaviour made by name, as a chain would make it.
  template <typename T = Behavior>
  std::shared_ptr<T> behavior(const QString& name) {
    auto made = std::dynamic_pointer_cast<T>(chains().returnNewEffectNamed(name));
    EXPECT_NE(made, nullptr) << name.toStdString();
    return made;
  }

  // Writes `input` and passes the cell through the behaviour alone.
  static float pass(Behavior& behavior, QKSliderCell& slider, float input) {
    slider.justSetValue(input);
    behavior.processPassedPtr(&slider);
    return slider.value();
  }

  // The user's "behavior chains" folder.
  QString chainFolder() const { return dataDir_ + QStringLiteral("/behavior chains"); }

  QString dataDir_;
  LayoutRegistry registry_;
  LayoutRegistry* previousRegistry_ = nullptr;
  std::unique_ptr<QKSliderManager> sliderManager_;
  std::vector<QKSliderCell::Ptr> cells_;
};
