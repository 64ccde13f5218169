// From a packet or message handed to the input layer to the subscriber's
// action, side by side with the bare dispatch it builds on: liblo's own
// handler call for OSC, a plain function call for MIDI. Every iteration
// alternates between two values, so that each one reaches the subscriber.
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/Log.h"
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

class Subscriber : public DataSourceTarget {
 public:
  void dataSourceUpdated(DataSource* source) {
    benchmark::DoNotOptimize(source->value());
    delivered.fetch_add(1, std::memory_order_relaxed);
  }
};

std::vector<char> oscPacket(float value) {
  lo_message m = lo_message_new();
  lo_message_add_float(m, value);
  std::size_t size = 0;
  void* data = lo_message_serialise(m, "/fader/1", nullptr, &size);
  std::vector<char> packet(static_cast<char*>(data), static_cast<char*>(data) + size);
  std::free(data);
  lo_message_free(m);
  return packet;
}

int freeUdpPort() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t length = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  ::close(fd);
  return ntohs(a.sin_port);
}

int bareHandler(const char*, const char*, lo_arg** argv, int, lo_message, void*) {
  benchmark::DoNotOptimize(argv[0]->f);
  delivered.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

void BM_OSC_LibloHandlerCall(benchmark::State& state) {
  lo_server server = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
  lo_server_add_method(server, nullptr, nullptr, bareHandler, nullptr);
  const std::array<std::vector<char>, 2> packets = {oscPacket(0.25f), oscPacket(0.75f)};
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& packet = packets[++i & 1];
    lo_server_dispatch_data(server, const_cast<char*>(packet.data()), packet.size());
  }
  lo_server_free(server);
}
BENCHMARK(BM_OSC_LibloHandlerCall);

void BM_OSC_PacketToSubscriber(benchmark::State& state) {
  FakeInputApp app;
  DataSourceController dsc(DataSourceController::TickThread::Manual);
  QKOSCManager osc(&app);
  app.dsc = &dsc;
  app.osc = &osc;
  dsc.setAppController(&app);
  dsc.awakeFromNib();
  auto port = osc.createNewInputForPort(freeUdpPort());
  auto subscriber = std::make_shared<Subscriber>();
  dsc.subscribeObject(subscriber, &Subscriber::dataSourceUpdated,
                      {QStringLiteral("OSC"), QStringLiteral("/fader/1")});
  const std::array<std::vector<char>, 2> packets = {oscPacket(0.25f), oscPacket(0.75f)};
  const long before = delivered.load();
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& packet = packets[++i & 1];
    port->dispatchPacket(packet.data(), packet.size());
  }
  if (delivered.load() - before < static_cast<long>(state.iterations()))
    state.SkipWithError("a value did not reach the subscriber");
}
BENCHMARK(BM_OSC_PacketToSubscriber);

// The bare MIDI dispatch: the message handed to a plain function, which
// reads its value and calls the subscriber's action.
__attribute__((noinline)) void plainDispatch(const QKMIDIMessage& message, Subscriber& subscriber,
                                             DataSource* node) {
  benchmark::DoNotOptimize(message.data2() / 127.0f);
  subscriber.dataSourceUpdated(node);
}

void BM_MIDI_PlainFunctionCall(benchmark::State& state) {
  auto subscriber = std::make_shared<Subscriber>();
  auto node = DataSource::createWithName(QStringLiteral("note [60] ch. 1"));
  const std::array<QKMIDIMessage, 2> messages = {QKMIDIMessage(0x90, 1, 60, 127),
                                                 QKMIDIMessage(0x90, 1, 60, 64)};
  std::size_t i = 0;
  for (auto _ : state) plainDispatch(messages[++i & 1], *subscriber, node.get());
}
BENCHMARK(BM_MIDI_PlainFunctionCall);

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
  auto subscriber = std::make_shared<Subscriber>();
  dsc.subscribeObject(subscriber, &Subscriber::dataSourceUpdated,
                      {QStringLiteral("MIDI"), QStringLiteral("note [60] ch. 1")});
  const std::array<QKMIDIMessageArray, 2> messages = {
      QKMIDIMessageArray{QKMIDIMessage(0x90, 1, 60, 127)},
      QKMIDIMessageArray{QKMIDIMessage(0x90, 1, 60, 64)}};
  const long before = delivered.load();
  std::size_t i = 0;
  for (auto _ : state) midi.receivedMIDI(messages[++i & 1]);
  if (delivered.load() - before < static_cast<long>(state.iterations()))
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
