// One data-source tick of the MIDI and OSC outputs with N = 1, 16 and 128
// rows whose sources all change, beside the bare libraries doing the same
// sends:
// - MIDI, over a private JACK server with the dummy driver: the N pushes,
//   the bang and the sends to a destination and to "From ZAPH", against
//   bare RtMidi sending the same 2N control changes with
//   sendMessage(bytes, 3) through two ports opened alike (one to the same
//   destination, one virtual port with its own listener);
// - OSC, on loopback: the output's pass (the pushes before it untimed),
//   against bare liblo building the same bundle and calling lo_send_bundle
//   to the same port.
// The receivers drain each tick with the timing paused. Allocations are
// counted on the benchmark thread (where every send happens) from the
// fourth tick on, and reported per tick for both sides.
#include "bench/AllocationCount.h"

#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/midioutput/MIDIOutput.h"
#include "app/plugins/oscoutput/OSCOutput.h"
#include "app/plugins/oscoutput/OSCOutputSender.h"
#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/datasource/QKOSCManager.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/JackServer.h"

#include <benchmark/benchmark.h>
#include <lo/lo.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// ZAPH's side: the plug-in manager, the tree and the managers.
class Host : public AppControllerInterface {
 public:
  Host() {
    UserDefaults::standard().resetForTesting();
    LayoutRegistry::setShared(&layouts_);
    dsc_.setDataSource(DataSourceHolder::createWithName(QStringLiteral("B")),
                       {QStringLiteral("B")});
    manager_ = std::make_unique<QKPluginManager>(
        this, [this] { return ++lastID_; }, BuiltInPluginTypes::entries());
  }
  ~Host() override {
    manager_.reset();
    LayoutRegistry::setShared(nullptr);
  }
  MIDIManagerInterface* midiManager() override { return midi.get(); }
  QKOSCManager* oscManager() override { return osc.get(); }
  DataSourceController* dataSourceController() override { return &dsc_; }

  // N sources, each bound to a row of the output.
  void bindRows(OutputPlugin* output, int rows) {
    while (static_cast<int>(output->items().size()) < rows) output->createItem();
    for (int i = 0; i < rows; ++i) {
      const QString name = QString::number(i);
      auto source = DSFloatInfreqRepeat::createWithName(name);
      dsc_.setDataSource(source, {QStringLiteral("B"), name});
      sources_.push_back(source);
      output->items()[i]->setSource({QStringLiteral("B"), name});
      output->items()[i]->setSyncFlag(true);
    }
  }
  void push(float value) {
    for (const auto& source : sources_) source->setValue(value);
  }
  QKPlugin* make(const QString& type) { return manager_->instantiatePluginType(type); }

  std::unique_ptr<MIDIManager> midi;
  std::unique_ptr<QKOSCManager> osc;

 private:
  LayoutRegistry layouts_;
  DataSourceController dsc_{DataSourceController::TickThread::Manual};
  long lastID_ = 0;
  std::unique_ptr<QKPluginManager> manager_;
  std::vector<std::shared_ptr<DSFloatInfreqRepeat>> sources_;
};

// A JACK client counting what reaches its one port.
class Listener {
 public:
  explicit Listener(const char* client) : in_(RtMidi::UNIX_JACK, client) {
    in_.setCallback([](double, std::vector<unsigned char>*,
                       void* count) { static_cast<std::atomic<long>*>(count)->fetch_add(1); },
                    &count);
  }
  void openVirtual(const char* name) { in_.openVirtualPort(name); }
  bool connectTo(const std::string& suffix) {
    const int index = JackServer::portIndex(in_, suffix);
    if (index < 0) return false;
    in_.openPort(static_cast<unsigned>(index), "in");
    return true;
  }
  // Waits a while for `expected` more messages; answers how many came. A
  // cycle the dummy driver skips under load may drop events, so the wait is
  // short and the next tick counts from what arrived.
  long drain(long expected) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    while (count.load() - seen_ < expected && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    const long now = count.load();
    return now - std::exchange(seen_, now);
  }
  std::atomic<long> count{0};

 private:
  long seen_ = 0;
  RtMidiIn in_;  // last: closed before the counter goes
};

struct Allocations {
  long ticks = 0;
  long ours = 0;
  long bare = 0;
  void report(benchmark::State& state) const {
    const double counted = ticks > 0 ? double(ticks) : 1.0;
    state.counters["ours_allocs_per_tick"] = double(ours) / counted;
    state.counters["bare_allocs_per_tick"] = double(bare) / counted;
  }
};

template <class Work>
long counted(bool counting, Work&& work) {
  if (!counting) {
    work();
    return 0;
  }
  bench::startCountingAllocations();
  work();
  return bench::stopCountingAllocations();
}

void MIDIOutputTick(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  JackServer jack;
  if (!jack.ready()) return state.SkipWithError(qPrintable(jack.error()));
  Host host;
  MIDIManager::Options options;
  options.api = RtMidi::UNIX_JACK;
  options.pollIntervalSeconds = 0;
  host.midi = std::make_unique<MIDIManager>(&host, options);
  Listener synth("synth"), ourMonitor("ours"), bareMonitor("bare");
  synth.openVirtual("Synth");
  RtMidiOut bareDest(RtMidi::UNIX_JACK, "bare dest"), bareMain(RtMidi::UNIX_JACK, "bare main");
  bareDest.openPort(static_cast<unsigned>(JackServer::portIndex(bareDest, "synth:Synth")), "out");
  bareMain.openVirtualPort("Bare From");
  if (!ourMonitor.connectTo(":From ZAPH") || !bareMonitor.connectTo(":Bare From"))
    return state.SkipWithError("no JACK ports to listen on");
  host.midi->pollPortsNow();
  auto* output = static_cast<MIDIOutput*>(host.make(MIDIOutput::kTypeName));
  output->chooseDestination(QStringLiteral("synth:Synth"));
  host.bindRows(output, rows);
  output->bang();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // connections settle
  for (Listener* listener : {&synth, &ourMonitor, &bareMonitor}) listener->drain(0);
  long expected = 0;
  long arrived = 0;

  Allocations allocations;
  float value = 0.0f;
  unsigned char bytes[3] = {0xB0, 0, 0};
  const bench::SideBySideSeconds total = bench::sideBySide(
      state,
      [&] {
        const bool counting = allocations.ticks >= 3;
        allocations.bare += counted(counting, [&] {
          for (int i = 0; i < rows; ++i) {
            bytes[1] = static_cast<unsigned char>(1 + i % 127);
            bytes[2] = static_cast<unsigned char>(value * 127.0f);
            bareDest.sendMessage(bytes, 3);
          }
          for (int i = 0; i < rows; ++i) {
            bytes[1] = static_cast<unsigned char>(1 + i % 127);
            bareMain.sendMessage(bytes, 3);
          }
        });
      },
      [&] {
        const bool counting = allocations.ticks >= 3;
        allocations.ours += counted(counting, [&] {
          host.push(value);
          output->bang();
        });
      },
      [&] {
        // The previous tick drained, untimed.
        arrived +=
            synth.drain(2 * expected) + ourMonitor.drain(expected) + bareMonitor.drain(expected);
        expected = rows;
        value = value == 0.25f ? 0.75f : 0.25f;
        ++allocations.ticks;
      });
  const double n = double(state.iterations());
  state.counters["bare_us"] = total.first / n * 1e6;
  state.counters["ours_us"] = total.second / n * 1e6;
  state.counters["ours_vs_bare"] = total.second / total.first;
  state.counters["arrived_per_tick"] = double(arrived) / n;
  allocations.report(state);
  if (allocations.ours != 0) state.SkipWithError("the MIDI output allocated while sending");
}
BENCHMARK(MIDIOutputTick)->Arg(1)->Arg(16)->Arg(128)->UseManualTime()->Iterations(300);

// A UDP socket on loopback that reads and drops what arrives.
class Drain {
 public:
  Drain() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    timeval timeout{0, 200000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    buffer_.resize(70000);
  }
  ~Drain() { ::close(fd_); }
  int port() const { return port_; }
  void receive(int packets) {
    for (int i = 0; i < packets; ++i)
      if (::recv(fd_, buffer_.data(), buffer_.size(), 0) <= 0) return;
  }

 private:
  int fd_;
  int port_ = 0;
  std::vector<char> buffer_;
};

void OSCOutputPass(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  Host host;
  host.osc = std::make_unique<QKOSCManager>(&host);
  Drain drain;
  host.osc->createNewOutputToAddress(QStringLiteral("127.0.0.1"), drain.port(),
                                     QStringLiteral("bench"));
  auto* output = static_cast<OSCOutput*>(host.make(OSCOutput::kTypeName));
  output->choosePort(QStringLiteral("bench"));
  host.bindRows(output, rows);
  output->sender()->DSCProc();
  drain.receive(1);
  std::vector<std::string> addresses;
  for (int i = 0; i < rows; ++i) addresses.push_back("/ZAPH/" + std::to_string(i + 1));
  lo_address bareTo = lo_address_new("127.0.0.1", std::to_string(drain.port()).c_str());

  Allocations allocations;
  float value = 0.0f;
  const bench::SideBySideSeconds total = bench::sideBySide(
      state,
      [&] {
        const bool counting = allocations.ticks >= 3;
        allocations.bare += counted(counting, [&] {
          lo_bundle bundle = lo_bundle_new(LO_TT_IMMEDIATE);
          for (int i = 0; i < rows; ++i) {
            lo_message message = lo_message_new();
            lo_message_add_float(message, value);
            lo_bundle_add_message(bundle, addresses[i].c_str(), message);
          }
          lo_send_bundle(bareTo, bundle);
          lo_bundle_free_recursive(bundle);
        });
      },
      [&] {
        const bool counting = allocations.ticks >= 3;
        allocations.ours += counted(counting, [&] { output->sender()->DSCProc(); });
      },
      [&] {
        drain.receive(2);  // the previous tick's two bundles
        value = value == 0.25f ? 0.75f : 0.25f;
        const bool counting = allocations.ticks >= 3;
        allocations.ours += counted(counting, [&] { host.push(value); });
        ++allocations.ticks;
      });
  lo_address_free(bareTo);
  const double n = double(state.iterations());
  state.counters["bare_us"] = total.first / n * 1e6;
  state.counters["ours_us"] = total.second / n * 1e6;
  state.counters["ours_vs_bare"] = total.second / total.first;
  allocations.report(state);
  if (allocations.ours != 0) state.SkipWithError("the OSC output allocated while sending");
}
BENCHMARK(OSCOutputPass)->Arg(1)->Arg(16)->Arg(128)->UseManualTime();

}  // namespace

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
