#include "app/shell/AppController.h"
#include "framework/controls/BehaviorChainInterface.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKTapManager.h"
#include "platform/foundation/MainThread.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

class CountingChain : public BehaviorChainInterface {
 public:
  QString chainName() const override { return QStringLiteral("c"); }
  void passPtrThruChain(QKSliderCell&) override { ++passes; }
  bool evaluateConsistently() const override { return true; }
  bool needsEvaluation() const override { return false; }
  std::atomic<int> passes{0};
};

}  // namespace

// At start-up the managers stand beside the data-source controller: controls
// made in code register with them, and the running tick evaluates sliders.
TEST(AppControllerManagers, ControlsRegisterAndTheTickEvaluatesSliders) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  AppController controller;
  ASSERT_NE(controller.sliderManager(), nullptr);
  ASSERT_NE(controller.buttonManager(), nullptr);

  auto button = QKButtonCell::create();
  EXPECT_EQ(button->knownButtonManager(), controller.buttonManager());
  EXPECT_EQ(controller.buttonManager()->dataSourceController(), controller.dataSourceController());

  auto chain = std::make_shared<CountingChain>();
  auto slider = QKSliderCell::create();
  EXPECT_EQ(slider->sliderManager(), controller.sliderManager());
  slider->useThisBehavior(chain);
  slider->setBehaviorFlag(true);
  EXPECT_TRUE(MainThread::processUntil([&] { return chain->passes.load() >= 2; }, 5.0));

  slider->prepareToBeDeleted();
  button->prepareToBeDeleted();
  controller.applicationWillTerminate();
}

// The tap manager stands from start-up: taps and tap menus made later
// register with it.
TEST(AppControllerManagers, TapsRegisterWithTheTapManager) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  AppController controller;
  ASSERT_NE(controller.tapManager(), nullptr);
  auto receiver = QKRTap::create();
  EXPECT_EQ(receiver->tapManager(), controller.tapManager());
  QKRTapMenuController menu;
  menu.awakeFromNib();
  EXPECT_EQ(menu.tapManager(), controller.tapManager());
  receiver->prepareToBeDeleted();
  menu.prepareToBeDeleted();
  controller.applicationWillTerminate();
}
