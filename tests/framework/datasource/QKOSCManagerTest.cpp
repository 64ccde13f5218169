#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/QKOSCManager.h"
#include "framework/datasource/QKOSCOutPort.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/datasource/InputTestSupport.h"
#include "tests/platform/osc/OSCTestSupport.h"

#include <gtest/gtest.h>

namespace {

class QKOSCManagerTest : public ::testing::Test {
 protected:
  QKOSCManagerTest() : dsc(DataSourceController::TickThread::Manual) {
    UserDefaults::standard().resetForTesting();
    app.dsc = &dsc;
    dsc.setAppController(&app);
  }
  QList<int> inPortNumbers(QKOSCManager& manager) {
    QList<int> numbers;
    for (const auto& port : manager.inPortArray().lockCopy()) numbers << port->port();
    return numbers;
  }

  FakeInputApp app;
  DataSourceController dsc;
  NotificationCounter portsChanged{InputNotifications::OSCOutPortsChanged};
  NotificationCounter deletion{InputNotifications::OSCOutPortDeletion};
};

TEST_F(QKOSCManagerTest, UniqueDedicatedNamesStartAtTwo) {
  QKOSCManager manager(&app);
  EXPECT_EQ(manager.getUniqueDedicatedName(), QStringLiteral("Ded. OSC 2"));
  dsc.setDataSource(DataSourceHolder::createWithName(QStringLiteral("Dedicated OSC")),
                    {QStringLiteral("Dedicated OSC")});
  dsc.setDataSource(DSFloatInfrequent::createWithName(QStringLiteral("Ded. OSC 2")),
                    {QStringLiteral("Dedicated OSC"), QStringLiteral("Ded. OSC 2")});
  EXPECT_EQ(manager.getUniqueDedicatedName(), QStringLiteral("Ded. OSC 3"));
}

TEST_F(QKOSCManagerTest, PortsRoundTripThroughTheDefaults) {
  const int first = UdpSocket::freePort(), second = UdpSocket::freePort();
  {
    QKOSCManager manager(&app);
    manager.createNewInputForPort(first);
    manager.createNewInputForPort(second);
    manager.createNewOutputToAddress(QStringLiteral("10.0.0.9"), 7000, QStringLiteral("Lights"));
    manager.savePortsToDefaults();
    EXPECT_EQ(inPortNumbers(manager), (QList<int>{first, second}));
  }
  UserDefaults& defaults = UserDefaults::standard();
  EXPECT_EQ(defaults.arrayValue(QStringLiteral("OSCInPortSnapshotArray")).size(), 2);
  EXPECT_EQ(defaults.arrayValue(QStringLiteral("OSCInPortArray")), (QVariantList{first, second}));

  // The snapshot list wins over the older list of numbers.
  defaults.setValue(QStringLiteral("OSCInPortArray"), QVariantList{UdpSocket::freePort()});
  QKOSCManager restored(&app);
  restored.loadPortsFromDefaults();
  EXPECT_EQ(inPortNumbers(restored), (QList<int>{first, second}));
  EXPECT_EQ(restored.inPortArray().lockCopy()[1]->portLabel(), QStringLiteral("ZAPH 2"));
  const auto lights = restored.findOutputWithLabel(QStringLiteral("Lights"));
  ASSERT_TRUE(lights);
  EXPECT_TRUE(std::dynamic_pointer_cast<QKOSCOutPort>(lights));
  EXPECT_EQ(lights->addressString(), QStringLiteral("10.0.0.9"));
  EXPECT_EQ(lights->port(), 7000);
}

TEST_F(QKOSCManagerTest, OlderDefaultsHoldOnlyPortNumbersAndBadEntriesAreSkipped) {
  const int a = UdpSocket::freePort(), b = UdpSocket::freePort();
  UserDefaults::standard().setValue(QStringLiteral("OSCInPortArray"),
                                    QVariantList{a, QStringLiteral("nonsense"), 70000, b});
  QKOSCManager manager(&app);
  manager.loadPortsFromDefaults();
  EXPECT_EQ(inPortNumbers(manager), (QList<int>{a, b}));
  EXPECT_TRUE(manager.inPortArray().lockCopy()[0]->isOpen());
  EXPECT_EQ(manager.outPortArray().lockCount(), 0u);  // no stored outputs: left alone
}

TEST_F(QKOSCManagerTest, PortChangesAreAnnounced) {
  QKOSCManager manager(&app);
  auto input = manager.createNewInputForPort(UdpSocket::freePort());
  auto output = manager.createNewOutput();
  EXPECT_EQ(portsChanged.count(), 1);
  manager.removeInput(input);
  EXPECT_EQ(portsChanged.count(), 2);
  output->setPortLabel(QStringLiteral("Renamed"));
  EXPECT_EQ(portsChanged.count(), 3);
  EXPECT_EQ(output->description(), QStringLiteral("<QKOSCOutPort Renamed, 127.0.0.1:9000>"));
  manager.removeOutput(output);
  EXPECT_EQ(portsChanged.count(), 4);
  ASSERT_EQ(deletion.count(), 1);
  EXPECT_EQ(deletion.notes().front().object, output.get());
  output->prepareToBeDeleted();  // announced once
  EXPECT_EQ(deletion.count(), 1);

  void* forgotten = nullptr;
  {
    QKOSCOutPort port(QStringLiteral("127.0.0.1"), 9001, QStringLiteral("forgotten"));
    forgotten = &port;
  }
  ASSERT_EQ(deletion.count(), 2);  // a port nobody deleted announces its end when it goes
  EXPECT_EQ(deletion.notes().back().object, forgotten);
}

TEST_F(QKOSCManagerTest, DedicatedSourcesRoundTripThroughTheDefaults) {
  QKOSCManager manager(&app);
  app.osc = &manager;
  dsc.awakeFromNib();
  OSCMessage message(QStringLiteral("/xy/1"));
  message.addFloat(0.5f);
  manager.receivedOSCMessage(message);
  manager.setDedicatedSourcesDict({{QStringLiteral("/xy/1"), QStringLiteral("Ded. OSC 2")}});
  manager.saveDedicatedToDefaults();
  manager.loadDedicatedFromDefaults();
  const auto dedicated =
      dsc.dataSourceForKeyArray({QStringLiteral("Dedicated OSC"), QStringLiteral("Ded. OSC 2")});
  ASSERT_TRUE(dedicated);
  EXPECT_FLOAT_EQ(dedicated->value(), 0.5f);  // the same node, moved
  EXPECT_FALSE(dsc.dataSourceForKeyArray({QStringLiteral("OSC"), QStringLiteral("/xy/1")}));
}

}  // namespace
