// An OSC monitor in ZAPH's process, made from the plug-in manager, shows a
// message sent over loopback.
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/monitors/OSCDisplay.h"
#include "app/shell/AppController.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/platform/osc/OSCTestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>

namespace {

TEST(MonitorsOverOSC, AMessageSentOverLoopbackShowsInTheOSCMonitor) {
  UserDefaults::standard().resetForTesting();
  AppController controller;
  const auto in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  auto* monitor = static_cast<OSCDisplay*>(
      controller.pluginManager()->instantiatePluginType(OSCDisplay::kTypeName));
  ASSERT_NE(monitor, nullptr);
  EXPECT_EQ(monitor->windowTitle(), QStringLiteral("OSCDisplay 1"));
  monitor->checkBox()->setChecked(true);
  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("console"));
  auto message = OSCMessage::createWithAddress(QStringLiteral("/monitor/fader"));
  message->addFloat(0.75f);
  ASSERT_TRUE(out.sendThisMessage(*message));
  EXPECT_TRUE(MainThread::processUntil(
      [&] { return monitor->text() == QStringLiteral("/monitor/fader - 0.750000"); }, 5.0))
      << monitor->text().toStdString();
}

}  // namespace
