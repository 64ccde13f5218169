#include "app/shell/AppController.h"

#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/JackServer.h"
#include "tests/support/ScopedEnvironmentVariable.h"

#include <gtest/gtest.h>

TEST(AppControllerControlInput, OpensMIDIAndTheSavedOSCPortsAtStartAndClosesThemAtQuit) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  ScopedEnvironmentVariable midiApi("ZAPH_MIDI_API", "jack");
  const int saved = UdpSocket::freePort();
  UserDefaults::standard().resetForTesting();
  UserDefaults::standard().setValue(
      QStringLiteral("OSCInPortSnapshotArray"),
      QVariantList{QVariantMap{{QStringLiteral("port"), saved},
                               {QStringLiteral("portLabel"), QStringLiteral("ZAPH")}}});

  AppController controller;
  ASSERT_TRUE(controller.dataSourceController());
  EXPECT_EQ(controller.dataSourceController()->midiManager(), controller.midiManager());
  EXPECT_EQ(controller.dataSourceController()->oscManager(), controller.oscManager());
  MIDIManager* midi = controller.midiManagerObject();
  ASSERT_TRUE(midi->endpointsOpen());
  EXPECT_EQ(midi->virtualSource()->name(), QStringLiteral("To ZAPH"));
  EXPECT_TRUE(midi->virtualSource()->isOpen());
  EXPECT_TRUE(midi->virtualDest()->isOpen());
  const auto port = controller.oscManager()->findInputWithPort(saved);
  ASSERT_TRUE(port);
  EXPECT_TRUE(port->isOpen());

  OSCOutPort out(QStringLiteral("127.0.0.1"), saved, QStringLiteral("test"));
  OSCMessage message(QStringLiteral("/start"));
  message.addFloat(0.5f);
  out.sendThisMessage(message);
  EXPECT_TRUE(waitFor([&] {
    auto node = controller.dataSourceController()->dataSourceForKeyArray(
        {QStringLiteral("OSC"), QStringLiteral("/start")});
    return node && node->value() == 0.5f;
  }));

  controller.applicationWillTerminate();
  EXPECT_FALSE(midi->endpointsOpen());
  EXPECT_FALSE(port->isOpen());
  EXPECT_EQ(controller.oscManager()->inPortArray().lockCount(),
            1u);  // still listed, so nothing is lost
}
