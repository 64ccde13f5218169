// The MIDI output over a real JACK server with the dummy driver.
#include "app/plugins/midioutput/MIDIOutput.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/MainThread.h"
#include "platform/midi/QKMIDINode.h"
#include "tests/support/Eventually.h"
#include "tests/support/JackServer.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

#include <QMenu>

#include <mutex>
#include <thread>

namespace {

// A JACK client reading one port: every message it gets, in order.
class Listener {
 public:
  explicit Listener(const char* client) : in_(RtMidi::UNIX_JACK, client) {
    // Made before its port: RtMidi's JACK client starts its thread at once.
    in_.setCallback(
        [](double, std::vector<unsigned char>* bytes, void* self) {
          auto* listener = static_cast<Listener*>(self);
          std::lock_guard<std::mutex> lock(listener->mutex_);
          listener->received_.push_back(*bytes);
        },
        this);
  }
  void openVirtual(const char* name) { in_.openVirtualPort(name); }
  bool connectTo(const std::string& portSuffix) {
    const int index = JackServer::portIndex(in_, portSuffix);
    if (index < 0) return false;
    in_.openPort(static_cast<unsigned>(index), "in");
    return true;
  }
  void close() { in_.closePort(); }
  std::vector<std::vector<unsigned char>> take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(received_, {});
  }
  std::size_t count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_.size();
  }

 private:
  std::mutex mutex_;
  std::vector<std::vector<unsigned char>> received_;
  RtMidiIn in_;  // last: closed first, before what its callback uses
};

class MIDIOutputJack : public PluginHost {
 protected:
  void SetUp() override {
    ASSERT_TRUE(jack.ready()) << jack.error().toStdString();
    MIDIManager::Options options;
    options.api = RtMidi::UNIX_JACK;
    options.pollIntervalSeconds = 0;
    midi = std::make_unique<MIDIManager>(this, options);
    ASSERT_TRUE(midi->endpointsOpen()) << midi->status().toStdString();
    dsc.setAppController(this);
    dsc.awakeFromNib();
    dsc.setDataSource(DataSourceHolder::createWithName(QStringLiteral("T")), {QStringLiteral("T")});
  }
  void TearDown() override {
    manager->deleteAllPlugins();
    dsc.setAppController(nullptr);
  }
  MIDIManagerInterface* midiManager() override { return midi.get(); }

  // Pushed at once, so the push order is the order of the sets.
  std::shared_ptr<DSFloatInfreqRepeat> addSource(const QString& name) {
    auto source = DSFloatInfreqRepeat::createWithName(name);
    dsc.setDataSource(source, {QStringLiteral("T"), name});
    return source;
  }

  JackServer jack;
  std::unique_ptr<MIDIManager> midi;
};

using Messages = std::vector<std::vector<unsigned char>>;

TEST_F(MIDIOutputJack, BoundValuesReachTheDestinationAndFromZAPHOnceATick) {
  Listener synth("synth");
  synth.openVirtual("Synth");
  Listener monitor("monitor");
  ASSERT_TRUE(monitor.connectTo(":From ZAPH"));
  ASSERT_TRUE(midi->pollPortsNow());

  auto* output = make<MIDIOutput>();
  ASSERT_NE(output, nullptr);
  const QStringList offered = output->destinationNames();
  EXPECT_TRUE(offered.contains(QStringLiteral("synth:Synth")));
  EXPECT_FALSE(offered.contains(QStringLiteral("To ZAPH")));
  EXPECT_FALSE(offered.contains(QStringLiteral("From ZAPH")));
  output->chooseDestination(QStringLiteral("synth:Synth"));
  ASSERT_EQ(output->outputDeviceName(), QStringLiteral("synth:Synth"));
  output->createItem();
  auto a = addSource(QStringLiteral("a"));
  auto b = addSource(QStringLiteral("b"));
  output->outputItemToldToUseDSAtIndex(0, -1);  // ignored
  output->items()[0]->setSource({QStringLiteral("T"), QStringLiteral("a")});
  output->items()[0]->setSyncFlag(true);
  output->items()[1]->setSource({QStringLiteral("T"), QStringLiteral("b")});
  output->items()[1]->setSyncFlag(true);
  output->setCellValue(1, 0, 3);  // channel 3

  // Connections take a JACK cycle or two: tick until both hear something.
  float probe = 0.0f;
  ASSERT_TRUE(sendUntil(
      [&] {
        a->setValue(probe += 0.01f);
        dsc.threadProc();
      },
      [&] { return synth.count() > 0 && monitor.count() > 0; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  synth.take();
  monitor.take();

  b->setValue(1.0f);
  a->setValue(0.5f);
  dsc.threadProc();
  const Messages batch{{0xB2, 2, 127}, {0xB0, 1, 63}};
  ASSERT_TRUE(waitFor([&] { return synth.count() >= 2 && monitor.count() >= 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(synth.take(), batch);
  EXPECT_EQ(monitor.take(), batch);

  // The destination closes its port: after the set-up change "<none>" is
  // chosen and "From ZAPH" still hears every tick.
  synth.close();
  ASSERT_TRUE(midi->pollPortsNow());
  MainThread::processUntil([&] { return output->outputDeviceName().isEmpty(); }, 3.0);
  EXPECT_EQ(output->outputDeviceName(), QString());
  EXPECT_EQ(output->destinationButton()->titleOfSelectedItem(), OutputPlugin::kNone);
  a->setValue(0.0f);
  dsc.threadProc();
  ASSERT_TRUE(waitFor([&] { return monitor.count() >= 1; }));
  EXPECT_EQ(monitor.take(), (Messages{{0xB0, 1, 0}}));

  if (QKWindow* window = output->window()) {
    window->show();
    saveScreenshot(window->grab().toImage(), QStringLiteral("midi-output"));
  }
}

}  // namespace
