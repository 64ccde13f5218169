// The Wii remote layer: the driver's reports translated from recorded
// tables, a remote read through the fake backend on its own thread, and the
// kernel backend on a machine without remotes and on a fake sysfs tree.
#include "platform/foundation/MainThread.h"
#include "platform/wiiremote/FakeWiiRemoteBackend.h"
#include "platform/wiiremote/LinuxWiiRemoteBackend.h"
#include "platform/wiiremote/WiiEventTranslator.h"
#include "platform/wiiremote/WiiRemote.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace {

using D = WiiInputEvent::Device;

WiiInputEvent key(D device, std::uint16_t code, int value) { return {device, EV_KEY, code, value}; }
WiiInputEvent abs(D device, std::uint16_t code, int value) { return {device, EV_ABS, code, value}; }
WiiInputEvent sync(D device) { return {device, EV_SYN, SYN_REPORT, 0}; }

std::vector<WiiReport> translate(const std::vector<WiiInputEvent>& events) {
  WiiEventTranslator translator([](D device, std::uint16_t) {
    return device == D::Classic ? WiiAxisRange{-30, 30} : WiiAxisRange{-100, 100};
  });
  std::vector<WiiReport> out;
  for (const WiiInputEvent& event : events) translator.translate(event, out);
  return out;
}

WiiReport button(int code, bool pressed) {
  WiiReport report{WiiReport::Button, code};
  report.pressed = pressed;
  return report;
}

TEST(WiiEventTranslatorTest, KeysOfEachDeviceBecomeTheirCodes) {
  const struct {
    D device;
    std::uint16_t key;
    int code;
  } table[] = {{D::Core, BTN_A, 0},         {D::Core, BTN_B, 1},
               {D::Core, BTN_1, 2},         {D::Core, BTN_2, 3},
               {D::Core, KEY_PREVIOUS, 4},  {D::Core, BTN_MODE, 5},
               {D::Core, KEY_NEXT, 6},      {D::Core, KEY_UP, 7},
               {D::Core, KEY_DOWN, 8},      {D::Core, KEY_LEFT, 9},
               {D::Core, KEY_RIGHT, 10},    {D::Nunchuk, BTN_Z, 11},
               {D::Nunchuk, BTN_C, 12},     {D::Classic, BTN_X, 13},
               {D::Classic, BTN_Y, 14},     {D::Classic, BTN_A, 15},
               {D::Classic, BTN_B, 16},     {D::Classic, BTN_TL, 17},
               {D::Classic, BTN_TR, 18},    {D::Classic, BTN_TL2, 19},
               {D::Classic, BTN_TR2, 20},   {D::Classic, KEY_UP, 21},
               {D::Classic, KEY_DOWN, 22},  {D::Classic, KEY_LEFT, 23},
               {D::Classic, KEY_RIGHT, 24}, {D::Classic, KEY_PREVIOUS, 25},
               {D::Classic, BTN_MODE, 26},  {D::Classic, KEY_NEXT, 27}};
  for (const auto& row : table) {
    EXPECT_EQ(translate({key(row.device, row.key, 1), key(row.device, row.key, 0)}),
              (std::vector<WiiReport>{button(row.code, true), button(row.code, false)}))
        << row.code;
  }
  // Unknown keys, autorepeat and other event types say nothing.
  EXPECT_TRUE(translate({key(D::Core, KEY_A, 1),
                         key(D::Core, BTN_A, 2),
                         {D::Core, EV_MSC, 4, 1},
                         key(D::IR, BTN_A, 1)})
                  .empty());
}

TEST(WiiEventTranslatorTest, AccelerationsBecomeZeroToOneWithHalfAtRest) {
  const auto reports =
      translate({abs(D::Accel, ABS_RX, 0), abs(D::Accel, ABS_RY, -500), abs(D::Accel, ABS_RZ, 500),
                 sync(D::Accel), abs(D::Nunchuk, ABS_RX, 250), sync(D::Nunchuk)});
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].kind, WiiReport::Acceleration);
  EXPECT_EQ(reports[0].code, 0);
  EXPECT_FLOAT_EQ(reports[0].x, 0.5f);
  EXPECT_FLOAT_EQ(reports[0].y, 0.0f);
  EXPECT_FLOAT_EQ(reports[0].z, 1.0f);
  EXPECT_EQ(reports[1].code, 1);  // the nunchuk's
  EXPECT_FLOAT_EQ(reports[1].x, 0.75f);
  EXPECT_FLOAT_EQ(reports[1].y, 0.5f);
}

TEST(WiiEventTranslatorTest, IRDotsBecomeTheirMidpointOrNoneSeen) {
  const struct {
    std::vector<std::pair<int, int>> dots;  // four dots; 1023 is none
    float x, y;
  } cases[] = {
      {{{1023, 1023}, {1023, 1023}, {1023, 1023}, {1023, 1023}}, 100.0f, 100.0f},
      {{{0, 0}, {1023, 1023}, {1023, 1023}, {1023, 1023}}, 1.0f, 0.0f},  // x mirrored
      {{{400, 300}, {600, 400}, {1023, 1023}, {1023, 1023}}, 1.0f - 500.0f / 1023, 350.0f / 767},
      {{{1023, 1023}, {1023, 1023}, {1023, 1023}, {1022, 767}}, 1.0f - 1022.0f / 1023, 1.0f},
  };
  for (const auto& c : cases) {
    std::vector<WiiInputEvent> events;
    for (int i = 0; i < 4; ++i) {
      events.push_back(abs(D::IR, std::uint16_t(ABS_HAT0X + 2 * i), c.dots[i].first));
      events.push_back(abs(D::IR, std::uint16_t(ABS_HAT0Y + 2 * i), c.dots[i].second));
    }
    events.push_back(sync(D::IR));
    const auto reports = translate(events);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NEAR(reports[0].x, c.x, 1e-5);
    EXPECT_NEAR(reports[0].y, c.y, 1e-5);
  }
}

TEST(WiiEventTranslatorTest, SticksScaleByTheirAxisRange) {
  const auto reports =
      translate({abs(D::Nunchuk, ABS_HAT0X, 100), abs(D::Nunchuk, ABS_HAT0Y, -50), sync(D::Nunchuk),
                 abs(D::Classic, ABS_HAT1X, -30), sync(D::Classic), abs(D::Classic, ABS_HAT2Y, 15),
                 sync(D::Classic), sync(D::Classic)});
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[0].code, 0);
  EXPECT_FLOAT_EQ(reports[0].x, 1.0f);
  EXPECT_FLOAT_EQ(reports[0].y, 0.25f);
  EXPECT_EQ(reports[1].code, 1);  // classic left
  EXPECT_FLOAT_EQ(reports[1].x, 0.0f);
  EXPECT_EQ(reports[2].code, 2);  // classic right
  EXPECT_FLOAT_EQ(reports[2].y, 0.75f);
}

// --- A remote on the fake backend --------------------------------------------------------------

struct Recorder : WiiRemoteDelegate {
  void wiiRemoteConnected() override { log << "connected"; }
  void wiiRemoteDiscoveryError(const QString& text) override { log << "discovery: " + text; }
  void wiiRemoteConnectionError(const QString& text) override { log << "connection: " + text; }
  void wiiRemoteDisconnected() override { log << "disconnected"; }
  void batteryLevelChanged(float level) override { log << QStringLiteral("battery %1").arg(level); }
  void buttonChanged(int code, bool pressed, WiiRemote*) override {
    log << QStringLiteral("button %1 %2").arg(code).arg(pressed);
  }
  void accelerationChanged(int code, float x, float, float, WiiRemote*) override {
    log << QStringLiteral("acc %1 %2").arg(code).arg(x);
  }
  QStringList log;
};

class WiiRemoteFake : public ::testing::Test {
 protected:
  WiiRemoteFake() { WiiRemote::setSearchSeconds(0.3); }
  ~WiiRemoteFake() override { WiiRemote::setSearchSeconds(30.0); }
  bool waitFor(const QString& entry) {
    return MainThread::processUntil([&] { return recorder.log.contains(entry); }, 5.0);
  }
  std::shared_ptr<FakeWiiRemoteBackend> backend = std::make_shared<FakeWiiRemoteBackend>();
  Recorder recorder;
};

TEST_F(WiiRemoteFake, ConnectsReadsInOrderAndReportsTheDeviceGone) {
  backend->addRemote("r1", {QStringLiteral("00:19:1D:AA:BB:CC")});
  WiiRemote remote(backend);
  remote.setDelegate(&recorder);
  remote.startSearching();
  ASSERT_TRUE(waitFor("connected"));
  EXPECT_EQ(remote.address(), QStringLiteral("00:19:1D:AA:BB:CC"));
  remote.setMotionSensorEnabled(true);
  backend->feed("r1", {key(D::Core, BTN_A, 1), abs(D::Accel, ABS_RX, 100), sync(D::Accel),
                       key(D::Core, BTN_A, 0)});
  ASSERT_TRUE(waitFor("button 0 0"));
  const int pressed = int(recorder.log.indexOf("button 0 1"));
  EXPECT_GE(pressed, 0);
  EXPECT_EQ(recorder.log.indexOf("acc 0 0.6"), pressed + 1);
  EXPECT_TRUE(recorder.log.contains("battery 0.8"));
  remote.setLEDEnabled(true, false, true, false);
  EXPECT_EQ(backend->remote("r1").leds, (std::array<bool, 4>{true, false, true, false}));
  backend->setExtension("r1", 1);
  ASSERT_TRUE(MainThread::processUntil([&] { return remote.expansionPortType() == 1; }, 5.0));
  backend->unplug("r1");
  ASSERT_TRUE(waitFor("disconnected"));
}

TEST_F(WiiRemoteFake, TwoRemotesTakeTwoDevicesAndNoneLeftIsADiscoveryError) {
  backend->addRemote("r1", {QStringLiteral("a")});
  WiiRemote first(backend), second(backend);
  first.setDelegate(&recorder);
  first.startSearching();
  ASSERT_TRUE(waitFor("connected"));
  Recorder other;
  second.setDelegate(&other);
  second.startSearching();
  ASSERT_TRUE(MainThread::processUntil([&] { return !other.log.isEmpty(); }, 5.0));
  EXPECT_EQ(other.log, QStringList{"discovery: " + WiiRemote::kNoRemoteFound});
  // Once the first lets go, the remote is free again.
  first.disconnect();
  second.startSearching();
  ASSERT_TRUE(MainThread::processUntil([&] { return other.log.contains("connected"); }, 5.0));
}

TEST_F(WiiRemoteFake, ARemoteThatCannotOpenGivesAConnectionErrorAndNoCallAfterDisconnect) {
  FakeWiiRemoteBackend::Remote locked;
  locked.openError = QStringLiteral("Cannot open /dev/input/event9: Permission denied");
  backend->addRemote("r1", locked);
  WiiRemote remote(backend);
  remote.setDelegate(&recorder);
  remote.startSearching();
  ASSERT_TRUE(waitFor("connection: Cannot open /dev/input/event9: Permission denied"));

  backend->addRemote("r2", {QStringLiteral("b")});
  WiiRemote quiet(backend);
  Recorder never;
  quiet.setDelegate(&never);
  quiet.startSearching();
  quiet.disconnect();  // whatever it posted is not delivered
  MainThread::processUntil([] { return false; }, 0.2);
  EXPECT_TRUE(never.log.isEmpty());
}

// --- The kernel backend ------------------------------------------------------------------------

TEST(LinuxWiiRemoteBackendTest, WithoutRemotesASearchEndsInTheDiscoveryError) {
  WiiRemote::setSearchSeconds(0.2);
  auto backend = std::make_shared<LinuxWiiRemoteBackend>();
  if (!backend->listRemotes().empty()) GTEST_SKIP() << "a Wii remote is connected here";
  WiiRemote remote(backend);
  Recorder recorder;
  remote.setDelegate(&recorder);
  remote.startSearching();
  ASSERT_TRUE(MainThread::processUntil([&] { return !recorder.log.isEmpty(); }, 5.0));
  ASSERT_EQ(recorder.log.size(), 1);
  EXPECT_TRUE(recorder.log.first().startsWith("discovery: " + WiiRemote::kNoRemoteFound));
  WiiRemote::setSearchSeconds(30.0);
}

// A sysfs tree of one remote whose keys device node cannot be opened.
TEST(LinuxWiiRemoteBackendTest, AnUnreadableDeviceNodeIsNamedInTheConnectionError) {
  const QString root = TestEnvironment::rootDir() + QStringLiteral("/fake-sys");
  const QString hid = root + QStringLiteral("/bus/hid/drivers/wiimote/0005:057E:0306.0001");
  const QString input = hid + QStringLiteral("/input/input7");
  ASSERT_TRUE(QDir().mkpath(input + QStringLiteral("/event42")));
  ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/dev/input")));
  const auto write = [](const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  };
  write(hid + QStringLiteral("/uevent"), "DRIVER=wiimote\nHID_UNIQ=00:19:1d:11:22:33\n");
  write(hid + QStringLiteral("/extension"), "none\n");
  write(input + QStringLiteral("/name"), "Nintendo Wii Remote\n");
  // /dev/input/event42 does not exist.
  LinuxWiiRemoteBackend backend(root, root + QStringLiteral("/dev"));
  const auto remotes = backend.listRemotes();
  ASSERT_EQ(remotes.size(), 1u);
  QString error;
  EXPECT_EQ(backend.open(remotes.front(), &error), nullptr);
  EXPECT_TRUE(error.contains(root + QStringLiteral("/dev/input/event42"))) << error.toStdString();
  // Without the driver's folder the reason says so.
  LinuxWiiRemoteBackend noDriver(root + QStringLiteral("/none"));
  EXPECT_TRUE(noDriver.whyNoRemote().contains(QStringLiteral("hid-wiimote")));
}

}  // namespace
