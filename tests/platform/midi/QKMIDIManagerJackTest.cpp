// The MIDI layer over a real JACK server with the dummy driver.
#include "platform/midi/QKAlsaConnections.h"
#include "platform/midi/QKMIDIManager.h"
#include "platform/midi/QKMIDIPortList.h"
#include "platform/midi/SafeMidiOut.h"
#include "tests/support/Eventually.h"
#include "tests/support/JackServer.h"
#include "tests/support/LogCapture.h"

#include <QFileInfo>
#include <QSet>

#include <jack/jack.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>

namespace {

class RecordingManager : public QKMIDIManager {
 public:
  explicit RecordingManager(double pollIntervalSeconds = 0.0)
      : QKMIDIManager(Options{RtMidi::UNIX_JACK, pollIntervalSeconds}) {
    generalInit();
  }
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
  std::size_t countOfType(std::uint8_t type) {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<std::size_t>(
        std::count_if(received.begin(), received.end(),
                      [&](const QKMIDIMessage& m) { return m.type() == type; }));
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

  SafeMidiOut sender(RtMidi::UNIX_JACK, "sender");
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

  // Made before the client: RtMidi's JACK client starts its thread when it is
  // made and hands the callback over without a lock.
  struct Heard {
    std::mutex mutex;
    std::vector<std::vector<unsigned char>> messages;
  } heard;
  RtMidiIn listener(RtMidi::UNIX_JACK, "listener");
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

TEST_F(QKMIDIManagerJack, AProgramConnectedToOurEndpointIsHeardOnce) {
  RecordingManager manager(0.1);  // polls ten times a second
  SafeMidiOut sender(RtMidi::UNIX_JACK, "sequencer");
  const int toUs = JackServer::portIndex(sender, ":To Test");
  ASSERT_GE(toUs, 0);
  sender.openPort(static_cast<unsigned>(toUs), "out");
  const std::vector<unsigned char> ping = {0xB0, 127, 0};
  ASSERT_TRUE(sendUntil([&] { sender.sendMessage(&ping); }, [&] { return manager.count() > 0; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(350));  // past two polls
  auto node = manager.findSourceNodeNamed(QStringLiteral("sequencer:out"));
  ASSERT_TRUE(node) << "the program's port is listed as a source";
  EXPECT_TRUE(node->reachesUsOtherwise());
  EXPECT_FALSE(node->isOpen()) << "and not connected a second time";
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // late pings land
  manager.take();

  const std::vector<unsigned char> clock = {0xF8};
  for (int i = 0; i < 24; ++i) sender.sendMessage(&clock);
  for (int i = 0; i < 100; ++i) {
    const std::vector<unsigned char> knob = {0xB2, 7, static_cast<unsigned char>(i)};
    sender.sendMessage(&knob);
  }
  ASSERT_TRUE(waitFor([&] { return manager.count() >= 124; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a second copy would be here
  EXPECT_EQ(manager.countOfType(0xF8), 24u);
  EXPECT_EQ(manager.countOfType(0xB0), 100u);
}

TEST_F(QKMIDIManagerJack, ASourceWeListenToThatThenConnectsItselfIsLetGo) {
  RecordingManager manager;
  SafeMidiOut controller(RtMidi::UNIX_JACK, "fakectl");
  controller.openVirtualPort("Knobs");
  ASSERT_TRUE(manager.pollPortsNow());
  auto node = manager.findSourceNodeNamed(QStringLiteral("fakectl:Knobs"));
  ASSERT_TRUE(node && node->isOpen());
  EXPECT_FALSE(node->reachesUsOtherwise()) << "our own connection does not count";
  EXPECT_FALSE(manager.pollPortsNow());

  // The user also patches the controller into "To Test": ours is let go.
  jack_status_t status;
  jack_client_t* patchbay = jack_client_open("patchbay", JackNoStartServer, &status);
  ASSERT_TRUE(patchbay);
  ASSERT_EQ(jack_connect(patchbay, "fakectl:Knobs", "ZAPH in:To Test"), 0);
  ASSERT_TRUE(manager.pollPortsNow());
  EXPECT_TRUE(node->reachesUsOtherwise());
  EXPECT_FALSE(node->isOpen());

  // Unpatched again, we listen ourselves.
  ASSERT_EQ(jack_disconnect(patchbay, "fakectl:Knobs", "ZAPH in:To Test"), 0);
  ASSERT_TRUE(manager.pollPortsNow());
  EXPECT_FALSE(node->reachesUsOtherwise());
  EXPECT_TRUE(node->isOpen());
  jack_client_close(patchbay);
}

TEST_F(QKMIDIManagerJack, OurPortsHaveTheSameFullNamesOnEveryRun) {
  auto fullNames = [] {
    RtMidiIn sources(RtMidi::UNIX_JACK, "lister");
    SafeMidiOut dests(RtMidi::UNIX_JACK, "lister");
    QStringList names;
    for (unsigned i = 0; i < sources.getPortCount(); ++i)
      names << QString::fromStdString(sources.getPortName(i));
    for (unsigned i = 0; i < dests.getPortCount(); ++i)
      names << QString::fromStdString(dests.getPortName(i));
    names.removeIf([](const QString& n) { return !n.startsWith(QStringLiteral("ZAPH")); });
    names.sort();
    return names;
  };
  SafeMidiOut controller(RtMidi::UNIX_JACK, "fakectl");
  controller.openVirtualPort("Knobs");
  const QStringList expected = {QStringLiteral("ZAPH < fakectl/Knobs:ZAPH in"),
                                QStringLiteral("ZAPH in:To Test"),
                                QStringLiteral("ZAPH out:From Test")};
  {
    RecordingManager first;
    EXPECT_EQ(fullNames(), expected);
  }
  // Another run, after other clients came and went and in another order of
  // start-up: the same names.
  RtMidiIn other(RtMidi::UNIX_JACK, "ZAPH");
  other.openVirtualPort("unrelated");
  RecordingManager second;
  QStringList names = fullNames();
  names.removeAll(QStringLiteral("ZAPH:unrelated"));
  EXPECT_EQ(names, expected);
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
  auto controller = std::make_unique<SafeMidiOut>(RtMidi::UNIX_JACK, "fakectl");
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

  controller = std::make_unique<SafeMidiOut>(RtMidi::UNIX_JACK, "fakectl");
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
  // Made before the client: RtMidi's JACK client starts its thread when it is
  // made and hands the callback over without a lock.
  std::atomic<int> heard{0};
  RtMidiIn synth(RtMidi::UNIX_JACK, "synth");
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
  EXPECT_EQ(manager.status(), QKMIDIManager::kWaitingForJack);
  EXPECT_FALSE(manager.virtualSource());
  EXPECT_FALSE(manager.pollPortsNow());

  auto jack = std::make_unique<JackServer>(name);
  ASSERT_TRUE(jack->ready()) << jack->error().toStdString();
  EXPECT_TRUE(manager.pollPortsNow());
  ASSERT_TRUE(manager.endpointsOpen());
  EXPECT_TRUE(manager.virtualSource()->isOpen());
  EXPECT_EQ(manager.status(), QString());

  jack.reset();  // the server goes away
  EXPECT_TRUE(waitFor([&] { return manager.pollPortsNow(); }));
  EXPECT_FALSE(manager.endpointsOpen());
  EXPECT_EQ(manager.status(), QKMIDIManager::kWaitingForJack);

  jack = std::make_unique<JackServer>(name);  // and comes back
  ASSERT_TRUE(jack->ready()) << jack->error().toStdString();
  EXPECT_TRUE(manager.pollPortsNow());
  ASSERT_TRUE(manager.endpointsOpen());
  SafeMidiOut sender(RtMidi::UNIX_JACK, "sender");
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
  struct Own {
    const char* port;
    bool ours;
  };
  for (const Own& c : std::vector<Own>{{"ZAPH in:To ZAPH", true},
                                       {"ZAPH out:From ZAPH", true},
                                       {"ZAPH:To ZAPH", true},
                                       {"ZAPH in-01:To ZAPH", true},
                                       {"ZAPH-03:ZAPH in", true},
                                       {"ZAPH < fakectl/Knobs:ZAPH in", true},
                                       {"ZAPH > synth/Keys:ZAPH out", true},
                                       {"ZAPHOD:To ZAPH", false},
                                       {"ZAPH:Knobs", false},
                                       {"ZAPH in:Knobs", false}}) {
    SCOPED_TRACE(c.port);
    EXPECT_EQ(QKMIDIPortList::isOwnPort(QString::fromUtf8(c.port), own), c.ours);
  }
}

TEST(QKAlsaConnections, PortAddressesAreReadFromRtMidiNames) {
  using Address = std::optional<std::pair<int, int>>;
  struct Case {
    const char* name;
    Address address;
  };
  for (const Case& c :
       std::vector<Case>{{"nanoKONTROL2:nanoKONTROL2 MIDI 1 24:0", std::make_pair(24, 0)},
                         {"ZAPH in:To ZAPH 129:3", std::make_pair(129, 3)},
                         {"a2j:Launchpad [20] (capture): Launchpad MIDI 1", std::nullopt},
                         {"system:midi_capture_1", std::nullopt},
                         {"", std::nullopt}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QKAlsaConnections::address(QString::fromUtf8(c.name)), c.address);
  }
}

TEST(QKMIDIPortList, ClientNamesAreStableDistinctAndFit) {
  using Client = QKMIDIPortList::Client;
  const QString longName = QStringLiteral(
      "a2j:Launchpad Mini MK3 [24] (capture): Launchpad Mini MK3 LPMiniMK3 MIDI Out");
  const QString otherLong = longName + QStringLiteral(" 2");
  const QStringList names = {
      QKMIDIPortList::clientName(Client::Receiving),
      QKMIDIPortList::clientName(Client::Sending),
      QKMIDIPortList::clientName(Client::ListSources),
      QKMIDIPortList::clientName(Client::ListDests),
      QKMIDIPortList::clientName(Client::Watch),
      QKMIDIPortList::clientName(Client::ListConnections),
      QKMIDIPortList::clientName(Client::Source, QStringLiteral("fakectl:Knobs")),
      QKMIDIPortList::clientName(Client::Destination, QStringLiteral("fakectl:Knobs")),
      QKMIDIPortList::clientName(Client::Source, longName),
      QKMIDIPortList::clientName(Client::Source, otherLong),
  };
  EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size())
      << names.join(QLatin1Char('|')).toStdString();
  for (const QString& name : names) {
    SCOPED_TRACE(name.toStdString());
    EXPECT_LE(name.toUtf8().size(), QKMIDIPortList::kMaxClientNameBytes);
    EXPECT_FALSE(name.contains(QLatin1Char(':')));
    EXPECT_TRUE(QKMIDIPortList::isOwnPort(name + QStringLiteral(":ZAPH in"), {}));
  }
  EXPECT_EQ(QKMIDIPortList::clientName(Client::Source, QStringLiteral("fakectl:Knobs")),
            QStringLiteral("ZAPH < fakectl/Knobs"));
  const QString cut = QKMIDIPortList::clientName(Client::Source, longName);
  EXPECT_TRUE(cut.startsWith(QStringLiteral("ZAPH < a2j/Launchpad Mini"))) << cut.toStdString();
  EXPECT_TRUE(names.contains(cut)) << "the same every time";

  EXPECT_TRUE(
      QKMIDIPortList::belongsTo(QStringLiteral("ZAPH in:To ZAPH"), QStringLiteral("ZAPH in")));
  EXPECT_TRUE(
      QKMIDIPortList::belongsTo(QStringLiteral("ZAPH in-02:To ZAPH"), QStringLiteral("ZAPH in")));
  EXPECT_FALSE(
      QKMIDIPortList::belongsTo(QStringLiteral("ZAPH in x:To ZAPH"), QStringLiteral("ZAPH in")));
  EXPECT_TRUE(QKMIDIPortList::belongsTo(QStringLiteral("ZAPH < x-01:ZAPH in"),
                                        QStringLiteral("ZAPH < x-01")));
}

TEST(QKMIDIManagerAlsa, WithoutASequencerDeviceTheEndpointsAreNotOpenAndTheStatusSaysWhy) {
  if (QFileInfo::exists(QStringLiteral("/dev/snd/seq")))
    GTEST_SKIP() << "this machine has an ALSA sequencer device";
  LogCapture log;
  QKMIDIManager manager(QKMIDIManager::Options{RtMidi::LINUX_ALSA, 0.0});
  manager.generalInit();
  EXPECT_FALSE(manager.endpointsOpen());
  EXPECT_FALSE(manager.virtualSource());
  EXPECT_TRUE(manager.status().startsWith(QStringLiteral("MIDI (ALSA) is not available: ")))
      << manager.status().toStdString();
  EXPECT_TRUE(log.contains(manager.status()));
  EXPECT_FALSE(manager.pollPortsNow());
  EXPECT_FALSE(manager.endpointsOpen());
  manager.closeAll();
}
