// A slider bound to an OSC address in ZAPH's process runs through a
// behaviour chain restored from a project snapshot.
#include "app/shell/AppController.h"
#include "framework/behaviors/BehaviorChainManager.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/osc/OSCMessage.h"
#include "platform/osc/OSCOutPort.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

TEST(BehaviorChainInZaph, AnOSCBoundSliderRunsThroughARestoredThresholdChain) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  AppController controller;
  auto* chains =
      dynamic_cast<BehaviorChainManager*>(&controller.sliderManager()->behaviorChainManager());
  ASSERT_NE(chains, nullptr);

  const QVariantMap threshSlider{{"value", 0.5}};
  const QVariantMap threshold{{"fxNameString", "Threshold"},
                              {"QKBypassButton", QVariantMap{{"buttonValue", 1}}},
                              {"threshSlider", threshSlider}};
  const QVariantMap project{
      {BehaviorChainManager::kProjectSnapshotKey,
       QVariantList{QVariantMap{{"QKPMNameKey", "Gate"}, {"snapshot", QVariantList{threshold}}}}}};
  chains->loadSnapshot(project.value(BehaviorChainManager::kProjectSnapshotKey));
  ASSERT_EQ(chains->chainNames(), QStringList{"Gate"});

  auto in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());

  auto* slider = new QKSliderControl();
  std::mutex mutex;
  std::vector<float> outputs;
  auto token = std::make_shared<int>(0);
  slider->setTarget(token);
  slider->setAction([&](QKSliderCell& sender) {
    std::lock_guard<std::mutex> lock(mutex);
    outputs.push_back(sender.value());
  });
  slider->cell()->useBehaviorNamed(QStringLiteral("Gate"));
  slider->cell()->setBehaviorFlag(true);
  slider->cell()->useThisSource(KeyPath{"OSC", "/gate/level"});
  slider->setSyncFlag(true);
  ASSERT_TRUE(slider->syncFlag());

  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("test"));
  for (float sent : {0.3f, 0.7f}) {
    auto message = OSCMessage::createWithAddress(QStringLiteral("/gate/level"));
    message->addFloat(sent);
    ASSERT_TRUE(out.sendThisMessage(*message));
    const float expected = sent > 0.5f ? 1.0f : 0.0f;
    EXPECT_TRUE(waitFor([&] {
      std::lock_guard<std::mutex> lock(mutex);
      return !outputs.empty() && outputs.back() == expected && slider->lastInputValue() == sent;
    })) << sent;
  }
  slider->prepareToBeDeleted();
  delete slider;
  controller.applicationWillTerminate();
}
