// Values over real transports into data-source subscribers: OSC over
// loopback, MIDI through a JACK server with the dummy driver.
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/midi/SafeMidiOut.h"
#include "tests/framework/datasource/DataSourceFakes.h"
#include "tests/framework/datasource/InputTestSupport.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/JackServer.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>

namespace {

class ControlInput : public ::testing::Test {
 protected:
  ControlInput() : dsc(DataSourceController::TickThread::Manual) {
    UserDefaults::standard().resetForTesting();
    app.dsc = &dsc;
    app.clock = &clock;
    dsc.setAppController(&app);
  }
  // MIDI over the test's JACK server, without the polling thread.
  std::unique_ptr<MIDIManager> startMIDI() {
    MIDIManager::Options options;
    options.api = RtMidi::UNIX_JACK;
    options.pollIntervalSeconds = 0;
    auto midi = std::make_unique<MIDIManager>(&app, options);
    app.midi = midi.get();
    dsc.awakeFromNib();
    return midi;
  }
  std::shared_ptr<RecordingTarget> subscribe(const KeyPath& path) {
    auto target = std::make_shared<RecordingTarget>();
    EXPECT_TRUE(dsc.subscribeObject(target, &RecordingTarget::received, path));
    return target;
  }

  FakeInputApp app;
  FakeClock clock;
  DataSourceController dsc;
};

TEST_F(ControlInput, OSCOverLoopbackReachesASubscriberOnTheInputThread) {
  QKOSCManager osc(&app);
  app.osc = &osc;
  dsc.awakeFromNib();
  auto in = osc.createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  auto fader = subscribe({QStringLiteral("OSC"), QStringLiteral("/fader/1")});
  auto button = subscribe({QStringLiteral("OSC"), QStringLiteral("/button")});
  auto wide = subscribe({QStringLiteral("OSC"), QStringLiteral("/double")});
  auto count = subscribe({QStringLiteral("OSC"), QStringLiteral("/int64")});

  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("sender"));
  auto bundle = OSCBundle::create();
  auto f = OSCMessage::createWithAddress(QStringLiteral("/fader/1"));
  f->addFloat(0.25f);
  auto b = OSCMessage::createWithAddress(QStringLiteral("/button"));
  b->addBool(true);
  // Clients that send doubles and 64-bit integers are heard like floats and ints.
  auto d = OSCMessage::createWithAddress(QStringLiteral("/double"));
  d->addValue(OSCValue::fromDouble(0.75));
  auto h = OSCMessage::createWithAddress(QStringLiteral("/int64"));
  h->addValue(OSCValue::fromInt64(std::int64_t{1} << 40));
  bundle->addElementArray({f, b, d, h});
  ASSERT_TRUE(out.sendThisBundle(*bundle));
  ASSERT_TRUE(waitFor([&] {
    return fader->values().size() == 2 && button->values().size() == 2 &&
           wide->values().size() == 2 && count->values().size() == 2;
  }));
  EXPECT_FLOAT_EQ(fader->values().back(), 0.25f);
  EXPECT_FLOAT_EQ(button->values().back(), 1.0f);
  EXPECT_FLOAT_EQ(wide->values().back(), 0.75f);
  EXPECT_FLOAT_EQ(count->values().back(), 1.0f);
  EXPECT_NE(fader->threads().back(), std::this_thread::get_id());
}

TEST_F(ControlInput, AForgedAddressStaysOneLogLine) {
  QKOSCManager osc(&app);
  app.osc = &osc;
  dsc.awakeFromNib();
  auto in = osc.createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  Log::resetLimits();
  LogCapture log;
  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("sender"));
  auto forged = OSCMessage::createWithAddress(QStringLiteral("/x\n\t\terr: forged"));
  forged->addFloat(std::numeric_limits<float>::quiet_NaN());
  ASSERT_TRUE(out.sendThisMessage(*forged));
  ASSERT_TRUE(waitFor([&] { return log.contains(QStringLiteral("dropped a NaN")); }));
  const QStringList lines = log.lines();
  ASSERT_EQ(lines.size(), 1) << lines.join(QLatin1Char('|')).toStdString();
  EXPECT_EQ(lines.front(),
            QStringLiteral("\t\terr: dropped a NaN sent to OSC address /x\\n\\t\\terr: forged"));
}

TEST_F(ControlInput, MIDIThroughJackReachesTheTreeTheClockAndOtherPrograms) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  const auto started = startMIDI();
  MIDIManager& midi = *started;
  ASSERT_TRUE(midi.endpointsOpen());
  auto note = subscribe({QStringLiteral("MIDI"), QStringLiteral("note [60] ch. 10")});

  SafeMidiOut keyboard(RtMidi::UNIX_JACK, "keyboard");
  const int toZaph = JackServer::portIndex(keyboard, ":To ZAPH");
  ASSERT_GE(toZaph, 0);
  keyboard.openPort(static_cast<unsigned>(toZaph), "out");
  const std::vector<unsigned char> ping = {0xBF, 0, 1};
  ASSERT_TRUE(sendUntil([&] { keyboard.sendMessage(&ping); },
                        [&] {
                          return dsc.dataSourceForKeyArray(
                                     {QStringLiteral("MIDI"), QStringLiteral("ctrl [0] ch. 16")}) !=
                                 nullptr;
                        }));
  const std::vector<unsigned char> noteOn = {0x99, 60, 127}, tick = {0xF8};
  keyboard.sendMessage(&noteOn);
  keyboard.sendMessage(&tick);
  ASSERT_TRUE(waitFor([&] { return note->values().size() == 2 && clock.received().size() == 1; }));
  EXPECT_FLOAT_EQ(note->values().back(), 1.0f);
  EXPECT_EQ(clock.received().front().type(), 0xF8);

  // Made before the client: RtMidi's JACK client starts its thread when it is
  // made and hands the callback over without a lock.
  std::atomic<int> heard{0};
  RtMidiIn synth(RtMidi::UNIX_JACK, "synth");
  synth.setCallback(
      [](double, std::vector<unsigned char>* bytes, void* count) {
        if (*bytes == std::vector<unsigned char>{0xB1, 7, 100})
          ++*static_cast<std::atomic<int>*>(count);
      },
      &heard);
  const int fromZaph = JackServer::portIndex(synth, ":From ZAPH");
  ASSERT_GE(fromZaph, 0);
  synth.openPort(static_cast<unsigned>(fromZaph), "in");
  EXPECT_TRUE(sendUntil(
      [&] { midi.virtualDest()->sendMsgs({*QKMIDIMessage::createFromVals(0xB0, 2, 7, 100)}); },
      [&] { return heard.load() > 0; }));
}

TEST_F(ControlInput, APluggedControllerKeepsItsEnableStateAcrossSetupChanges) {
  JackServer jack;
  ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
  const auto started = startMIDI();
  MIDIManager& midi = *started;
  NotificationCounter aboutToChange(InputNotifications::MIDISetupAboutToChange);
  NotificationCounter changed(InputNotifications::MIDISetupChanged);
  const QString name = QStringLiteral("pads:Pads");

  auto pads = std::make_unique<SafeMidiOut>(RtMidi::UNIX_JACK, "pads");
  pads->openVirtualPort("Pads");
  ASSERT_TRUE(midi.pollPortsNow());
  EXPECT_EQ(aboutToChange.count(), 1);
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.notes().front().object, static_cast<void*>(&midi));
  ASSERT_TRUE(midi.findSourceNodeNamed(name));
  midi.setSourceEnabled(name, false);
  midi.saveSourceEnableStatesToDefaults();

  pads.reset();  // unplugged
  ASSERT_TRUE(midi.pollPortsNow());
  EXPECT_FALSE(midi.findSourceNodeNamed(name));
  pads = std::make_unique<SafeMidiOut>(RtMidi::UNIX_JACK, "pads");
  pads->openVirtualPort("Pads");  // and plugged in again
  ASSERT_TRUE(midi.pollPortsNow());
  ASSERT_TRUE(midi.findSourceNodeNamed(name));
  EXPECT_FALSE(midi.findSourceNodeNamed(name)->enabled());
  EXPECT_EQ(UserDefaults::standard()
                .dictionaryValue(QStringLiteral("midiSourcesEnabledDict"))
                .value(name),
            QVariant(false));
}

}  // namespace
