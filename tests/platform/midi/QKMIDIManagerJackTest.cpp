// The MIDI layer over a real JACK server with the dummy driver.
#include "platform/midi/QKMIDIManager.h"
#include "platform/midi/QKMIDIPortList.h"
#include "tests/support/Eventually.h"
#include "tests/support/JackServer.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

class RecordingManager : public QKMIDIManager {
 public:
  RecordingManager() : QKMIDIManager(Options{RtMidi::UNIX_JACK, 0.0}) { generalInit(); }
  ~RecordingManager() override { closeAll(); }
  QString receivingNodeName() const override { return QStringLiteral("To Test"); }
  QString sendingNodeName() const override { return QStringLiteral("From Test"); }
  void receivedMIDI(const QKMIDIMessageArray& messages) override {
    std::lock_guard<std::mutex> lock(mutex);
    received.insert(received.end(), messages.begin(), messages.end());
  }
  QKMIDIMessageArray take() {
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(received, {});
  }
  std::size_t count() {
    std::lock_guard<std::mutex> lock(mutex);
    return received.size();
  }
  std::mutex mutex;
  QKMIDIMessageArray received;
};

class QKMIDIManagerJack : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(jack.ready()) << jack.error().toStdString(); }
  JackServer jack;
};

TEST_F(QKMIDIManagerJack, VirtualEndpointsCarryMessagesBothWays) {
  RecordingManager manager;
  ASSERT_TRUE(manager.virtualSource()->isOpen())
      << manager.virtualSource()->lastError().toStdString();

  RtMidiOut sender(RtMidi::UNIX_JACK, "sender");
  const int toUs = JackServer::portIndex(sender, ":To Test");
  ASSERT_GE(toUs, 0);
  sender.openPort(static_cast<unsigned>(toUs), "out");
  const std::vector<unsigned char> ping = {0xB0, 127, 0};
  ASSERT_TRUE(sendUntil([&] { sender.sendMessage(&ping); }, [&] { return manager.count() > 0; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // late pings land
  manager.take();
  const std::vector<unsigned char> note = {0x93, 60, 127}, clock = {0xF8},
                                   sysex = {0xF0, 1, 2, 0xF7};
  sender.sendMessage(&note);
  sender.sendMessage(&clock);
  sender.sendMessage(&sysex);
  ASSERT_TRUE(waitFor([&] { return manager.count() >= 3; }));
  EXPECT_EQ(manager.take(),
            (QKMIDIMessageArray{QKMIDIMessage(0x90, 4, 60, 127), QKMIDIMessage(0xF8, 0, 0, 0),
                                QKMIDIMessage::createSysex(QByteArray("\x01\x02", 2))}));

  RtMidiIn listener(RtMidi::UNIX_JACK, "listener");
  struct Heard {
    std::mutex mutex;
    std::vector<std::vector<unsigned char>> messages;
  } heard;
  listener.ignoreTypes(false, false, false);
  listener.setCallback(
      [](double, std::vector<unsigned char>* bytes, void* user) {
        auto* h = static_cast<Heard*>(user);
        std::lock_guard<std::mutex> lock(h->mutex);
        h->messages.push_back(*bytes);
      },
      &heard);
  const int fromUs = JackServer::portIndex(listener, ":From Test");
  ASSERT_GE(fromUs, 0);
  listener.openPort(static_cast<unsigned>(fromUs), "in");
  auto heardCount = [&] {
    std::lock_guard<std::mutex> lock(heard.mutex);
    return heard.messages.size();
  };
  ASSERT_TRUE(sendUntil([&] { manager.virtualDest()->sendMsgs({QKMIDIMessage(0xB0, 1, 127, 0)}); },
                        [&] { return heardCount() > 0; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  {
    std::lock_guard<std::mutex> lock(heard.mutex);
    heard.messages.clear();
  }
  ASSERT_TRUE(manager.virtualDest()->sendMsgs(
      {QKMIDIMessage(0xB0, 16, 7, 64), QKMIDIMessage(0xC0, 2, 3, 0)}));
  ASSERT_TRUE(waitFor([&] { return heardCount() >= 2; }));
  std::lock_guard<std::mutex> lock(heard.mutex);
  EXPECT_EQ(heard.messages[0], (std::vector<unsigned char>{0xBF, 7, 64}));
  EXPECT_EQ(heard.messages[1], (std::vector<unsigned char>{0xC1, 3}));
}

TEST_F(QKMIDIManagerJack, OwnPortsAreNotListed) {
  RecordingManager manager;
  for (auto* array : {&manager.sourceArray(), &manager.destArray()})
    for (const auto& node : array->lockCopy()) {
      EXPECT_FALSE(node->name().endsWith(QStringLiteral(":To Test"))) << node->name().toStdString();
      EXPECT_FALSE(node->name().endsWith(QStringLiteral(":From Test")))
          << node->name().toStdString();
    }
}

TEST_F(QKMIDIManagerJack, PluggedControllerIsFoundByNameAndKeepsItsEnableState) {
  RecordingManager manager;
  auto controller = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "fakectl");
  controller->openVirtualPort("Knobs");
  ASSERT_TRUE(manager.pollPortsNow());
  EXPECT_FALSE(manager.pollPortsNow());  // nothing changed since
  const QString name = QStringLiteral("fakectl:Knobs");
  auto node = manager.findSourceNodeNamed(name);
  ASSERT_TRUE(node);
  ASSERT_TRUE(node->isOpen());
  const std::vector<unsigned char> knob = {0xB0, 1, 100};
  ASSERT_TRUE(
      sendUntil([&] { controller->sendMessage(&knob); }, [&] { return manager.count() > 0; }));
  EXPECT_EQ(manager.take().front(), QKMIDIMessage(0xB0, 1, 1, 100));

  manager.setSourceEnabled(name, false);
  EXPECT_FALSE(node->isOpen());
  manager.take();  // late copies of the knob
  controller->sendMessage(&knob);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(manager.count(), 0u);

  controller.reset();  // unplugged
  ASSERT_TRUE(manager.pollPortsNow());
  EXPECT_FALSE(manager.findSourceNodeNamed(name));
  EXPECT_EQ(manager.createSnapshot()[QStringLiteral("src")].toMap().value(name), QVariant(false));

  controller = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "fakectl");
  controller->openVirtualPort("Knobs");  // plugged in again
  ASSERT_TRUE(manager.pollPortsNow());
  ASSERT_TRUE(manager.findSourceNodeNamed(name));
  EXPECT_FALSE(manager.findSourceNodeNamed(name)->enabled());

  manager.loadSnapshot(
      {{QStringLiteral("src"),
        QVariantMap{{name, true}, {QStringLiteral("x"), QStringLiteral("junk")}}}});
  EXPECT_TRUE(manager.findSourceNodeNamed(name)->isOpen());
  EXPECT_TRUE(manager.sourceEnabled(QStringLiteral("x")));  // mistyped entry ignored
}

TEST_F(QKMIDIManagerJack, DestinationIsMatchedByNameAndOpenedOnFirstSend) {
  RecordingManager manager;
  RtMidiIn synth(RtMidi::UNIX_JACK, "synth");
  std::atomic<int> heard{0};
  synth.setCallback(
      [](double, std::vector<unsigned char>*, void* n) { ++*static_cast<std::atomic<int>*>(n); },
      &heard);
  synth.openVirtualPort("Keys");
  ASSERT_TRUE(manager.pollPortsNow());
  auto dest = manager.findDestNodeNamed(QStringLiteral("synth:Keys"));
  ASSERT_TRUE(dest);
  EXPECT_FALSE(dest->isOpen());
  ASSERT_TRUE(dest->sendMsgs({QKMIDIMessage(0x90, 1, 60, 1)}));
  EXPECT_TRUE(dest->isOpen());
  EXPECT_TRUE(sendUntil([&] { dest->sendMsgs({QKMIDIMessage(0x90, 1, 60, 1)}); },
                        [&] { return heard.load() > 0; }));
  EXPECT_FALSE(manager.findDestNodeNamed(QStringLiteral("nothing:here")));
}

TEST(QKMIDIManagerJackServer, WaitsForTheServerAndFollowsItsRestarts) {
  const QString name = JackServer::uniqueName();
  ::setenv("JACK_DEFAULT_SERVER", name.toLocal8Bit().constData(), 1);
  ::setenv("JACK_NO_START_SERVER", "1", 1);
  RecordingManager manager;  // before any server
  EXPECT_FALSE(manager.endpointsOpen());
  EXPECT_FALSE(manager.virtualSource());
  EXPECT_FALSE(manager.pollPortsNow());

  auto jack = std::make_unique<JackServer>(name);
  ASSERT_TRUE(jack->ready()) << jack->error().toStdString();
  EXPECT_TRUE(manager.pollPortsNow());
  ASSERT_TRUE(manager.endpointsOpen());
  EXPECT_TRUE(manager.virtualSource()->isOpen());

  jack.reset();  // the server goes away
  EXPECT_TRUE(waitFor([&] { return manager.pollPortsNow(); }));
  EXPECT_FALSE(manager.endpointsOpen());

  jack = std::make_unique<JackServer>(name);  // and comes back
  ASSERT_TRUE(jack->ready()) << jack->error().toStdString();
  EXPECT_TRUE(manager.pollPortsNow());
  ASSERT_TRUE(manager.endpointsOpen());
  RtMidiOut sender(RtMidi::UNIX_JACK, "sender");
  const int toUs = JackServer::portIndex(sender, ":To Test");
  ASSERT_GE(toUs, 0);
  sender.openPort(static_cast<unsigned>(toUs), "out");
  const std::vector<unsigned char> note = {0x90, 1, 2};
  EXPECT_TRUE(sendUntil([&] { sender.sendMessage(&note); }, [&] { return manager.count() > 0; }));
}

}  // namespace

TEST(QKMIDIPortList, StableNamesDropWhatChangesBetweenPlugIns) {
  struct Case {
    const char* raw;
    const char* stable;
  };
  for (const Case& c : std::vector<Case>{
           {"nanoKONTROL2:nanoKONTROL2 MIDI 1 24:0", "nanoKONTROL2:nanoKONTROL2 MIDI 1"},
           {"Midi Through:Midi Through Port-0 14:0", "Midi Through:Midi Through Port-0"},
           {"a2j:Launchpad [20] (capture): Launchpad MIDI 1",
            "a2j:Launchpad [20] (capture): Launchpad MIDI 1"},
           {"system:midi_capture_1", "system:midi_capture_1"}}) {
    EXPECT_EQ(QKMIDIPortList::stableName(QString::fromUtf8(c.raw)), QString::fromUtf8(c.stable));
  }
  const QStringList own = {QStringLiteral("To ZAPH"), QStringLiteral("From ZAPH")};
  EXPECT_TRUE(QKMIDIPortList::isOwnPort(QStringLiteral("ZAPH:To ZAPH"), own));
  EXPECT_TRUE(QKMIDIPortList::isOwnPort(QStringLiteral("ZAPH-03:ZAPH in"), own));
  EXPECT_FALSE(QKMIDIPortList::isOwnPort(QStringLiteral("ZAPHOD:To ZAPH"), own));
  EXPECT_FALSE(QKMIDIPortList::isOwnPort(QStringLiteral("ZAPH:Knobs"), own));
}
