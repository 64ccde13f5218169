#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/osc/OSCManager.h"
#include "platform/osc/OSCValue.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <vector>

namespace {

// Collects what the input ports hand over.
class RecordingOSCManager : public OSCManager {
 public:
  ~RecordingOSCManager() override { deleteAllInputs(); }
  void receivedOSCMessage(const OSCMessage& message) override {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.push_back(message);
  }
  QString inPortLabelBase() const override { return QStringLiteral("Test"); }
  std::vector<OSCMessage> received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }
  std::size_t count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_.size();
  }

 private:
  std::mutex mutex_;
  std::vector<OSCMessage> received_;
};

}  // namespace

TEST(OSCValue, NumericReadingsConvertAndClampSafely) {
  struct Case {
    const char* what;
    OSCValue value;
    int asInt;
    float asFloat;
    bool asBool;
  };
  const std::vector<Case> cases = {
      {"int", OSCValue::fromInt(5), 5, 5.0f, true},
      {"float", OSCValue::fromFloat(-0.3f), 0, -0.3f, true},
      {"true", OSCValue::fromBool(true), 1, 1.0f, true},
      {"false", OSCValue::fromBool(false), 0, 0.0f, false},
      {"huge double", OSCValue::fromDouble(1e300), 2147483647, static_cast<float>(1e300), true},
      {"NaN float", OSCValue::fromFloat(std::numeric_limits<float>::quiet_NaN()), 0,
       std::numeric_limits<float>::quiet_NaN(), true},
      {"string", OSCValue::fromString(QStringLiteral("12")), 0, 0.0f, false},
      {"nil", OSCValue(), 0, 0.0f, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.value.intValue(), c.asInt);
    if (c.asFloat == c.asFloat)
      EXPECT_FLOAT_EQ(c.value.floatValue(), c.asFloat);
    else
      EXPECT_NE(c.value.floatValue(), c.value.floatValue());
    EXPECT_EQ(c.value.boolValue(), c.asBool);
  }
}

TEST(OSCPorts, EveryArgumentTypeSurvivesTheWire) {
  RecordingOSCManager manager;
  auto in = manager.createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen()) << (in ? in->lastError().toStdString() : "no port");
  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("loop"));

  OSCMessage sent(QStringLiteral("/all/types"));
  for (const OSCValue& v :
       {OSCValue::fromInt(-7), OSCValue::fromFloat(0.25f), OSCValue::fromBool(true),
        OSCValue::fromBool(false), OSCValue::fromString(QStringLiteral("héllo")),
        OSCValue::fromSymbol(QStringLiteral("sym")), OSCValue::fromBlob(QByteArray("\0\1\2", 3)),
        OSCValue::fromInt64(1LL << 40), OSCValue::fromDouble(2.5), OSCValue::fromChar('x'),
        OSCValue::fromFourBytes(OSCValue::MIDI, 0x00904064u),
        OSCValue::fromTimeTag(0x0000000100000002ull), OSCValue::fromType(OSCValue::Nil),
        OSCValue::fromType(OSCValue::Infinity)})
    sent.addValue(v);
  ASSERT_TRUE(out.sendThisMessage(sent));
  ASSERT_TRUE(waitFor([&] { return manager.count() == 1; }));
  EXPECT_EQ(manager.received().front(), sent);
}

TEST(OSCPorts, BundleGoesOutAsOnePacketInOrder) {
  UdpSocket listener;
  const int port = listener.bind();
  ASSERT_GT(port, 0);
  OSCOutPort out(QStringLiteral("127.0.0.1"), port, QStringLiteral("raw"));
  auto bundle = OSCBundle::create();
  std::vector<std::shared_ptr<OSCMessage>> rows;
  for (int i = 1; i <= 3; ++i) {
    rows.push_back(OSCMessage::createWithAddress(QStringLiteral("/ZAPH/%1").arg(i)));
    rows.back()->addFloat(i / 10.0f);
  }
  bundle->addElementArray(rows);
  ASSERT_TRUE(out.sendThisBundle(*bundle));
  const QByteArray packet = listener.receive();
  ASSERT_TRUE(packet.startsWith(QByteArray("#bundle\0", 8)));
  const int first = packet.indexOf("/ZAPH/1"), second = packet.indexOf("/ZAPH/2"),
            third = packet.indexOf("/ZAPH/3");
  EXPECT_TRUE(first > 0 && first < second && second < third);
  EXPECT_TRUE(listener.receive(50).isEmpty());  // nothing more: one packet

  RecordingOSCManager manager;
  auto in = manager.createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  out.setPort(in->port());
  ASSERT_TRUE(out.sendThisBundle(*bundle));
  ASSERT_TRUE(waitFor([&] { return manager.count() == 3; }));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(manager.received()[i], *rows[i]);
}

TEST(OSCPorts, PortsThatCannotOpenAreClearErrorsAndOthersKeepWorking) {
  Alert::clearRecorded();
  RecordingOSCManager manager;
  for (int bad : {0, -1, 65536, 70000}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(manager.createNewInputForPort(bad));
    EXPECT_FALSE(manager.createNewInputFromSnapshot({{QStringLiteral("port"), bad}}));
  }
  EXPECT_FALSE(
      manager.createNewInputFromSnapshot({{QStringLiteral("port"), QStringLiteral("8000")}}));
  for (double bad : {1e300, -1e300, std::nan(""), 8000.5}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(manager.createNewInputFromSnapshot({{QStringLiteral("port"), bad}}));
  }
  EXPECT_EQ(manager.inPortArray().lockCount(), 0u);

  UdpSocket otherProgram;
  const int taken = otherProgram.bind();
  auto blocked = manager.createNewInputForPort(taken);
  ASSERT_TRUE(blocked);  // kept, so the user's setting survives
  EXPECT_FALSE(blocked->isOpen());
  EXPECT_TRUE(blocked->lastError().contains(QString::number(taken)))
      << blocked->lastError().toStdString();
  ASSERT_TRUE(MainThread::processUntil([] { return !Alert::recorded().empty(); }, 2.0));
  EXPECT_TRUE(Alert::recorded().back().message.contains(QString::number(taken)));
  EXPECT_FALSE(manager.createNewInputForPort(taken));  // one input per number

  auto working = manager.createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(working && working->isOpen());
  OSCOutPort out(QStringLiteral("127.0.0.1"), working->port(), QStringLiteral("x"));
  OSCMessage m(QStringLiteral("/still/here"));
  m.addInt(1);
  out.sendThisMessage(m);
  EXPECT_TRUE(waitFor([&] { return manager.count() == 1; }));

  const int freed = UdpSocket::freePort();
  EXPECT_TRUE(blocked->setPort(freed));  // moved to a free number, it opens
  EXPECT_EQ(blocked->createSnapshot().value(QStringLiteral("port")).toInt(), freed);
}

TEST(OSCPorts, InputAsksForALargerReceiveBufferAndLogsWhatItGot) {
  LogCapture log;
  RecordingOSCManager manager;
  auto in = manager.createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  UdpSocket plain;
  EXPECT_GT(in->receiveBufferBytes(), plain.receiveBufferBytes());
  EXPECT_TRUE(log.contains(QStringLiteral("OSC input port %1: a receive buffer of %2 KB")
                               .arg(in->port())
                               .arg(in->receiveBufferBytes() / 1024)));
  in->close();
  EXPECT_EQ(in->receiveBufferBytes(), 0);
}

TEST(OSCPorts, LabelsDefaultsAndLookups) {
  RecordingOSCManager manager;
  auto a = manager.createNewInputForPort(UdpSocket::freePort());
  auto b = manager.createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->portLabel(), QStringLiteral("Test"));
  EXPECT_EQ(b->portLabel(), QStringLiteral("Test 2"));
  EXPECT_EQ(manager.findInputWithPort(b->port()), b);
  manager.removeInput(a);
  EXPECT_TRUE(a->deleted());
  EXPECT_FALSE(a->isOpen());
  EXPECT_EQ(manager.inPortArray().lockCopy(), (std::vector<std::shared_ptr<OSCInPort>>{b}));

  auto o1 = manager.createNewOutput();
  auto o2 = manager.createNewOutput();
  EXPECT_EQ(o1->portLabel(), QStringLiteral("Output 1"));
  EXPECT_EQ(o2->portLabel(), QStringLiteral("Output 2"));
  EXPECT_EQ(manager.findOutputWithLabel(QStringLiteral("Output 2")), o2);
  EXPECT_FALSE(manager.findOutputWithLabel(QStringLiteral("nope")));

  auto copy = manager.createNewOutputFromSnapshot(
      {{QStringLiteral("addressString"), QStringLiteral("10.0.0.5")},
       {QStringLiteral("port"), 7000LL},
       {QStringLiteral("portLabel"), QStringLiteral("Lights")},
       {QStringLiteral("junk"), 1}});
  EXPECT_EQ(copy->createSnapshot(),
            (QVariantMap{{QStringLiteral("addressString"), QStringLiteral("10.0.0.5")},
                         {QStringLiteral("port"), 7000},
                         {QStringLiteral("portLabel"), QStringLiteral("Lights")}}));
  copy->loadSnapshot({{QStringLiteral("port"), QStringLiteral("not a number")}});
  EXPECT_EQ(copy->port(), 7000);
  copy->loadSnapshot({{QStringLiteral("port"), 1e300}});
  EXPECT_FALSE(OSCInPort::isValidPortNumber(copy->port()));
  EXPECT_FALSE(copy->sendThisMessage(OSCMessage(QStringLiteral("/x"))));
  manager.removeOutput(copy);
  EXPECT_TRUE(copy->deleted());
  EXPECT_FALSE(copy->sendThisMessage(OSCMessage(QStringLiteral("/x"))));
}

TEST(OSCPorts, HostNamesAreLookedUpAwayFromTheSender) {
  RecordingOSCManager manager;
  auto in = manager.createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  OSCOutPort byName(QStringLiteral("localhost"), in->port(), QStringLiteral("named"));
  ASSERT_TRUE(waitFor([&] { return byName.destinationResolved(); }));
  OSCMessage m(QStringLiteral("/named"));
  m.addFloat(0.5f);
  EXPECT_TRUE(byName.sendThisMessage(m));
  EXPECT_TRUE(waitFor([&] { return manager.count() == 1; }));

  OSCOutPort nowhere(QStringLiteral("no-such-host.invalid"), 9000, QStringLiteral("bad"));
  ASSERT_TRUE(waitFor([&] { return !nowhere.lastError().isEmpty(); }, 10.0));
  EXPECT_FALSE(nowhere.sendThisMessage(m));
  OSCOutPort empty(QString(), 9000, QStringLiteral("empty"));
  EXPECT_FALSE(empty.sendThisMessage(m));
  EXPECT_FALSE(empty.lastError().isEmpty());
}
