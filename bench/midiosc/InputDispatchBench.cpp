// From a packet or message handed to the input layer to the subscriber's
// action, side by side with the bare dispatch it builds on: liblo's own
// handler call for OSC, a table lookup from the message to its node for
// MIDI. Every iteration alternates between two values, so that each one
// reaches the subscriber.
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/Log.h"
#include "bench/midiosc/InputBenchSupport.h"
#include "tests/framework/datasource/InputTestSupport.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <lo/lo.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <vector>

namespace {

std::atomic<long> delivered{0};

int bareHandler(const char*, const char*, lo_arg** argv, int, lo_message, void*) {
  benchmark::DoNotOptimize(argv[0]->f);
  delivered.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

void BM_OSC_LibloHandlerCall(benchmark::State& state) {
  lo_server server = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
  lo_server_add_method(server, nullptr, nullptr, bareHandler, nullptr);
  const std::array<std::vector<char>, 2> packets = {inputbench::packet(0.25f),
                                                    inputbench::packet(0.75f)};
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& packet = packets[++i & 1];
    lo_server_dispatch_data(server, const_cast<char*>(packet.data()), packet.size());
  }
  lo_server_free(server);
}
BENCHMARK(BM_OSC_LibloHandlerCall);

void BM_OSC_PacketToSubscriber(benchmark::State& state) {
  inputbench::OurInput input;
  const std::array<std::vector<char>, 2> packets = {inputbench::packet(0.25f),
                                                    inputbench::packet(0.75f)};
  const long before = input.subscriber->delivered.load();
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& packet = packets[++i & 1];
    input.port->dispatchPacket(packet.data(), packet.size());
  }
  if (input.subscriber->delivered.load() - before < static_cast<long>(state.iterations()))
    state.SkipWithError("a value did not reach the subscriber");
}
BENCHMARK(BM_OSC_PacketToSubscriber);

// The bare MIDI dispatch: what any program that turns a message into a
// control value must do, and no more. A table indexed by [kind][channel]
// [number] gives the node; the value is stored into it and its callback
// called.
struct BareNode {
  std::atomic<float> value{0.0f};
  void (*callback)(BareNode&) = nullptr;
};

struct BareTable {
  enum Kind { Note, Controller, PitchWheel, kKinds };
  std::array<std::array<std::array<BareNode*, 128>, 16>, kKinds> nodes{};
};

void bareCallback(BareNode& node) {
  benchmark::DoNotOptimize(node.value.load(std::memory_order_relaxed));
  delivered.fetch_add(1, std::memory_order_relaxed);
}

__attribute__((noinline)) void bareDispatch(const BareTable& table, const QKMIDIMessage& message) {
  BareTable::Kind kind;
  int number = message.data1();
  float value;
  switch (message.type()) {
    case 0x90:
      kind = BareTable::Note;
      value = static_cast<float>(message.data2()) / 127.0f;
      break;
    case 0x80:
      kind = BareTable::Note;
      value = 0.0f;
      break;
    case 0xB0:
      kind = BareTable::Controller;
      value = static_cast<float>(message.data2()) / 127.0f;
      break;
    case 0xE0:
      kind = BareTable::PitchWheel;
      value = static_cast<float>(message.data1() + 128 * message.data2()) / 16383.0f;
      number = 0;
      break;
    default:
      return;
  }
  BareNode* node = table.nodes[kind][message.channel() - 1][number];
  if (!node) return;
  node->value.store(value, std::memory_order_relaxed);
  node->callback(*node);
}

void BM_MIDI_BareTableLookup(benchmark::State& state) {
  BareTable table;
  BareNode note;
  note.callback = bareCallback;
  table.nodes[BareTable::Note][0][60] = &note;
  const std::array<QKMIDIMessage, 2> messages = {QKMIDIMessage(0x90, 1, 60, 127),
                                                 QKMIDIMessage(0x90, 1, 60, 64)};
  const long before = delivered.load();
  std::size_t i = 0;
  for (auto _ : state) bareDispatch(table, messages[++i & 1]);
  if (delivered.load() - before < static_cast<long>(state.iterations()))
    state.SkipWithError("a value did not reach the callback");
}
BENCHMARK(BM_MIDI_BareTableLookup);

void BM_MIDI_ReceivedMIDIToSubscriber(benchmark::State& state) {
  FakeInputApp app;
  DataSourceController dsc(DataSourceController::TickThread::Manual);
  MIDIManager::Options options;
  options.api = RtMidi::UNIX_JACK;  // no server here: no endpoints, the path is the same
  options.pollIntervalSeconds = 0;
  MIDIManager midi(&app, options);
  app.dsc = &dsc;
  app.midi = &midi;
  dsc.setAppController(&app);
  dsc.awakeFromNib();
  auto subscriber = std::make_shared<inputbench::Subscriber>();
  dsc.subscribeObject(subscriber, &inputbench::Subscriber::dataSourceUpdated,
                      {QStringLiteral("MIDI"), QStringLiteral("note [60] ch. 1")});
  const std::array<QKMIDIMessageArray, 2> messages = {
      QKMIDIMessageArray{QKMIDIMessage(0x90, 1, 60, 127)},
      QKMIDIMessageArray{QKMIDIMessage(0x90, 1, 60, 64)}};

  std::size_t i = 0;
  for (auto _ : state) midi.receivedMIDI(messages[++i & 1]);
  if (subscriber->delivered.load() < static_cast<long>(state.iterations()))
    state.SkipWithError("a value did not reach the subscriber");
}
BENCHMARK(BM_MIDI_ReceivedMIDIToSubscriber);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Log::setSink([](const QString&) {});  // the missing JACK server is not news here
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
