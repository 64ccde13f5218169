// The OSC preference pane over a real OSC manager (liblo ports on loopback)
// and a real data-source tree.
#include "app/shell/DedicatedSourcesSection.h"
#include "app/shell/OSCPrefsController.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/QKOSCManager.h"
#include "framework/toolkit/ActiveDeleteTableView.h"
#include "framework/toolkit/QKNSTableView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/datasource/InputTestSupport.h"
#include "tests/platform/osc/OSCTestSupport.h"

#include <lo/lo.h>

#include <gtest/gtest.h>

namespace {

const QString kInPortsKey = QStringLiteral("OSCInPortSnapshotArray");
const QString kOutPortsKey = QStringLiteral("OSCOutPortArray");

// One float message from an outside program, through liblo.
void sendFloat(int port, const char* address, float value) {
  lo_address to = lo_address_new("127.0.0.1", QByteArray::number(port).constData());
  ASSERT_TRUE(to);
  EXPECT_NE(lo_send(to, address, "f", value), -1);
  lo_address_free(to);
}

class OSCPrefsPane : public ::testing::Test {
 protected:
  OSCPrefsPane() : dsc(DataSourceController::TickThread::Manual) {
    UserDefaults::standard().resetForTesting();
    app.dsc = &dsc;
    dsc.setAppController(&app);
  }
  // What start-up does: a fresh manager, then the pane's waking.
  void start() {
    pane.reset();
    osc = std::make_unique<QKOSCManager>(&app);
    app.osc = osc.get();
    dsc.awakeFromNib();
    pane = std::make_unique<OSCPrefsController>();
    pane->awakeFromNib(osc.get(), &dsc);
  }
  void stop() {
    pane.reset();
    app.osc = nullptr;
    dsc.awakeFromNib();
    osc.reset();
  }
  QAbstractItemModel* inPorts() { return pane->inPortTableView()->model(); }
  QAbstractItemModel* outPorts() { return pane->outPortTableView()->model(); }
  QAbstractItemModel* dedicated() { return pane->dedicatedSection()->tableView()->model(); }
  QList<int> storedInPorts() {
    QList<int> ports;
    for (const QVariant& entry : UserDefaults::standard().arrayValue(kInPortsKey))
      ports << entry.toMap().value(QStringLiteral("port")).toInt();
    return ports;
  }
  // An input port on a number free on this machine, made through the pane.
  int addOpenInPort() {
    pane->createNewInPortPressed();
    const int row = inPorts()->rowCount() - 1;
    const int free = UdpSocket::freePort();
    EXPECT_TRUE(inPorts()->setData(inPorts()->index(row, 0), QString::number(free)));
    return free;
  }
  bool settle(const std::function<bool()>& done, double seconds = 3.0) {
    return MainThread::processUntil(done, seconds);
  }

  FakeInputApp app;
  DataSourceController dsc;
  std::unique_ptr<QKOSCManager> osc;
  std::unique_ptr<OSCPrefsController> pane;
};

TEST_F(OSCPrefsPane, InputPortsAreAddedMovedAndRemovedAndStoredEachTime) {
  start();
  EXPECT_EQ(inPorts()->rowCount(), 0);
  pane->createNewInPortPressed();
  ASSERT_EQ(inPorts()->rowCount(), 1);
  EXPECT_EQ(inPorts()->index(0, 0).data().toInt(), 8000);
  EXPECT_EQ(storedInPorts(), (QList<int>{8000}));

  const int free = UdpSocket::freePort();
  ASSERT_TRUE(inPorts()->setData(inPorts()->index(0, 0), QString::number(free)));
  EXPECT_EQ(inPorts()->index(0, 0).data().toInt(), free);
  EXPECT_TRUE(osc->inPortArray().lockCopy()[0]->isOpen());
  EXPECT_EQ(storedInPorts(), (QList<int>{free}));

  pane->createNewInPortPressed();
  ASSERT_EQ(inPorts()->rowCount(), 2);
  pane->inPortTableView()->selectRow(0);
  pane->deleteSelectedInPortPressed();
  ASSERT_EQ(inPorts()->rowCount(), 1);
  EXPECT_EQ(inPorts()->index(0, 0).data().toInt(), 8000);
  EXPECT_EQ(storedInPorts(), (QList<int>{8000}));
}

TEST_F(OSCPrefsPane, PortNumbersOutsideTheRangeAreRefusedAndTheOldOneKept) {
  start();
  const int free = addOpenInPort();
  pane->createNewOutPortPressed();
  ASSERT_TRUE(settle([&] { return outPorts()->rowCount() == 1; }));
  const QVariantList storedOut = UserDefaults::standard().arrayValue(kOutPortsKey);
  for (const char* typed : {"70000", "0", "-1", "65536", "abc", "", "80.5"}) {
    SCOPED_TRACE(typed);
    EXPECT_FALSE(inPorts()->setData(inPorts()->index(0, 0), QString::fromLatin1(typed)));
    EXPECT_EQ(inPorts()->index(0, 0).data().toInt(), free);
    EXPECT_TRUE(osc->inPortArray().lockCopy()[0]->isOpen());
    EXPECT_TRUE(pane->portStatusText().contains(QStringLiteral("1 to 65535")))
        << pane->portStatusText().toStdString();
    EXPECT_FALSE(outPorts()->setData(outPorts()->index(0, 1), QString::fromLatin1(typed)));
    EXPECT_EQ(outPorts()->index(0, 1).data().toInt(), 9000);
  }
  EXPECT_EQ(storedInPorts(), (QList<int>{free}));
  EXPECT_EQ(UserDefaults::standard().arrayValue(kOutPortsKey), storedOut);
  // The ends of the range are ports.
  EXPECT_TRUE(outPorts()->setData(outPorts()->index(0, 1), QStringLiteral("65535")));
  EXPECT_TRUE(outPorts()->setData(outPorts()->index(0, 1), QStringLiteral(" 1 ")));
  EXPECT_EQ(outPorts()->index(0, 1).data().toInt(), 1);
}

TEST_F(OSCPrefsPane, AnotherInputPortsNumberIsRefused) {
  start();
  const int first = addOpenInPort();
  const int second = addOpenInPort();
  EXPECT_FALSE(inPorts()->setData(inPorts()->index(1, 0), QString::number(first)));
  EXPECT_EQ(inPorts()->index(1, 0).data().toInt(), second);
  EXPECT_TRUE(pane->portStatusText().contains(QString::number(first)));
}

TEST_F(OSCPrefsPane, OutputPortsAreEditedStoredAndAnnounced) {
  start();
  NotificationCounter changed(InputNotifications::OSCOutPortsChanged);
  NotificationCounter deleted(InputNotifications::OSCOutPortDeletion);
  pane->createNewOutPortPressed();
  EXPECT_GE(changed.count(), 1);
  ASSERT_TRUE(settle([&] { return outPorts()->rowCount() == 1; }));
  EXPECT_EQ(outPorts()->index(0, 0).data().toString(), QStringLiteral("127.0.0.1"));
  EXPECT_EQ(outPorts()->index(0, 1).data().toInt(), 9000);
  EXPECT_EQ(outPorts()->index(0, 2).data().toString(), QStringLiteral("Output 1"));

  changed.clear();
  ASSERT_TRUE(outPorts()->setData(outPorts()->index(0, 2), QStringLiteral("Lights")));
  ASSERT_TRUE(outPorts()->setData(outPorts()->index(0, 0), QStringLiteral("10.0.0.9")));
  ASSERT_TRUE(outPorts()->setData(outPorts()->index(0, 1), QStringLiteral("7000")));
  EXPECT_FALSE(outPorts()->setData(outPorts()->index(0, 0), QStringLiteral("  ")));
  EXPECT_GE(changed.count(), 3);
  const QVariantList stored = UserDefaults::standard().arrayValue(kOutPortsKey);
  ASSERT_EQ(stored.size(), 1);
  EXPECT_EQ(stored[0].toMap(),
            (QVariantMap{{QStringLiteral("addressString"), QStringLiteral("10.0.0.9")},
                         {QStringLiteral("port"), 7000},
                         {QStringLiteral("portLabel"), QStringLiteral("Lights")}}));

  pane->deleteSelectedOutPortPressed();  // nothing selected
  EXPECT_EQ(deleted.count(), 0);
  pane->outPortTableView()->selectRow(0);
  pane->deleteSelectedOutPortPressed();
  EXPECT_EQ(deleted.count(), 1);
  ASSERT_TRUE(settle([&] { return outPorts()->rowCount() == 0; }));
  EXPECT_TRUE(UserDefaults::standard().arrayValue(kOutPortsKey).isEmpty());
}

TEST_F(OSCPrefsPane, ALoopbackMessageAfterCreateBecomesDedOSC2) {
  start();
  const int port = addOpenInPort();
  pane->createNewDedicatedPressed();
  pane->createNewDedicatedPressed();  // harmless
  sendFloat(port, "/fader/1", 0.5f);
  ASSERT_TRUE(settle([&] { return dedicated()->rowCount() == 1; }));
  EXPECT_EQ(dedicated()->index(0, 0).data().toString(), QStringLiteral("/fader/1"));
  EXPECT_EQ(dedicated()->index(0, 1).data().toString(), QStringLiteral("Ded. OSC 2"));
  const auto node =
      dsc.dataSourceForKeyArray({QStringLiteral("Dedicated OSC"), QStringLiteral("Ded. OSC 2")});
  ASSERT_TRUE(node);
  EXPECT_FALSE(dsc.dataSourceForKeyArray({QStringLiteral("OSC"), QStringLiteral("/fader/1")}));
  EXPECT_EQ(UserDefaults::standard().dictionaryValue(QStringLiteral("OSCDedicatedDict")),
            (QVariantMap{{QStringLiteral("/fader/1"), QStringLiteral("Ded. OSC 2")}}));
  // The address now plays the dedicated node.
  sendFloat(port, "/fader/1", 0.75f);
  EXPECT_TRUE(waitFor([&] { return node->value() == 0.75f; }));
}

TEST_F(OSCPrefsPane, AnInputPortAddedInThePaneReceivesAfterARestart) {
  start();
  const int port = addOpenInPort();
  stop();
  start();  // the stored ports are opened at waking
  ASSERT_EQ(inPorts()->rowCount(), 1);
  EXPECT_EQ(inPorts()->index(0, 0).data().toInt(), port);
  sendFloat(port, "/after/restart", 0.25f);
  EXPECT_TRUE(waitFor([&] {
    const auto node =
        dsc.dataSourceForKeyArray({QStringLiteral("OSC"), QStringLiteral("/after/restart")});
    return node && node->value() == 0.25f;
  }));
}

TEST_F(OSCPrefsPane, DedicationsComeBackAtWaking) {
  UserDefaults::standard().setValue(QStringLiteral("OSCDedicatedDict"),
                                    QVariantMap{{QStringLiteral("/x"), QStringLiteral("Wash")}});
  start();
  ASSERT_EQ(dedicated()->rowCount(), 1);
  EXPECT_TRUE(dsc.dataSourceForKeyArray({QStringLiteral("Dedicated OSC"), QStringLiteral("Wash")}));
  // Deleting the last one removes the holder.
  pane->dedicatedSection()->tableView()->selectRow(0);
  pane->deleteSelectedDedicatedPressed();
  EXPECT_FALSE(dsc.dataSourceForKeyArray({QStringLiteral("Dedicated OSC")}));
  EXPECT_TRUE(dsc.dataSourceForKeyArray({QStringLiteral("OSC"), QStringLiteral("/x")}));
}

}  // namespace
