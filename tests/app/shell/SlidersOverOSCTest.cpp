// A Sliders plug-in in ZAPH's process: slider "1" learns an OSC address sent
// over loopback, and its value reaches a subscriber of ["Sliders 1", "1"] on
// the data-source tick; the plug-ins' snapshot, restored after they were all
// deleted, keeps the binding.
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/sliders/Sliders.h"
#include "app/shell/AppController.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/platform/osc/OSCTestSupport.h"

#include <gtest/gtest.h>

#include <mutex>

namespace {

// Values arrive on the tick thread.
struct Subscriber : DataSourceTarget {
  void updated(DataSource* source) {
    std::lock_guard<std::mutex> lock(mutex);
    last = source->value();
  }
  float value() {
    std::lock_guard<std::mutex> lock(mutex);
    return last;
  }
  std::mutex mutex;
  float last = -1.0f;
};

class SlidersOverOSC : public testing::Test {
 protected:
  SlidersOverOSC() {
    UserDefaults::standard().resetForTesting();
    in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
  }

  void send(float value) {
    OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("console"));
    auto message = OSCMessage::createWithAddress(QStringLiteral("/fader"));
    message->addFloat(value);
    ASSERT_TRUE(out.sendThisMessage(*message));
  }
  std::shared_ptr<Subscriber> subscribe() {
    auto subscriber = std::make_shared<Subscriber>();
    EXPECT_TRUE(controller.dataSourceController()->subscribeObject(
        subscriber, &Subscriber::updated, {QStringLiteral("Sliders 1"), QStringLiteral("1")}));
    return subscriber;
  }
  bool reaches(Subscriber& subscriber, float value) {
    return MainThread::processUntil([&] { return subscriber.value() == value; }, 5.0);
  }

  AppController controller;
  std::shared_ptr<OSCInPort> in;
};

TEST_F(SlidersOverOSC, ALearntAddressReachesTheSliderSourceAndSurvivesARestore) {
  ASSERT_TRUE(in && in->isOpen());
  QKPluginManager* plugins = controller.pluginManager();
  auto* bank = static_cast<Sliders*>(plugins->instantiatePluginType(Sliders::kTypeName));
  ASSERT_NE(bank, nullptr);
  ASSERT_EQ(bank->windowTitle(), QStringLiteral("Sliders 1"));
  QKSliderControl* slider = bank->sliderArray().front();
  slider->startOSCDetect();
  send(0.5f);
  ASSERT_TRUE(MainThread::processUntil([&] { return slider->syncFlag(); }, 5.0));
  EXPECT_EQ(slider->syncArray(), (KeyPath{"OSC", "/fader"}));

  const auto subscriber = subscribe();
  send(0.625f);
  EXPECT_TRUE(reaches(*subscriber, 0.625f));

  const QVariantList snapshot = plugins->createSnapshot();
  plugins->deleteAllPlugins();
  plugins->loadSnapshot(snapshot);
  auto* restored = static_cast<Sliders*>(plugins->findPluginNamed(QStringLiteral("Sliders 1")));
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->sliderArray().front()->syncArray(), (KeyPath{"OSC", "/fader"}));
  const auto again = subscribe();
  send(0.25f);
  EXPECT_TRUE(reaches(*again, 0.25f));
}

}  // namespace
