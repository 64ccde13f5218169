// A burst of 10,000 OSC messages over loopback, into one of our input ports
// (the whole path into a subscriber of the tree) and, side by side in the
// same iteration, into a bare liblo server thread whose handler only counts,
// with the system's default receive buffer. The counters are the messages
// each one received per burst (averaged over the iterations, and the least
// of any iteration): what the kernel dropped never arrives. Unpaced, the
// sender writes as fast as it can; paced, 36,000 messages a second.
#include "bench/midiosc/InputBenchSupport.h"

#include <benchmark/benchmark.h>
#include <lo/lo.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBurst = 10000;

int bareCount(const char*, const char*, lo_arg**, int, lo_message, void* count) {
  static_cast<std::atomic<long>*>(count)->fetch_add(1, std::memory_order_relaxed);
  return 0;
}

// liblo as it comes: a server thread, the default buffer, a counting handler.
struct BareInput {
  std::atomic<long> received{0};
  lo_server_thread thread = lo_server_thread_new_with_proto(nullptr, LO_UDP, nullptr);

  BareInput() {
    lo_server_thread_add_method(thread, nullptr, nullptr, bareCount, &received);
    lo_server_thread_start(thread);
  }
  ~BareInput() { lo_server_thread_free(thread); }
  int port() const { return lo_server_thread_get_port(thread); }
  int receiveBuffer() const {
    int bytes = 0;
    socklen_t length = sizeof bytes;
    ::getsockopt(lo_server_get_socket_fd(lo_server_thread_get_server(thread)), SOL_SOCKET,
                 SO_RCVBUF, &bytes, &length);
    return bytes;
  }
};

class Sender {
 public:
  explicit Sender(int port) : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  ~Sender() { ::close(fd_); }

  // Values alternate, so that each one reaches the subscriber.
  void burst(double perSecond) {
    const auto start = Clock::now();
    for (int i = 0; i < kBurst; ++i) {
      if (perSecond > 0)
        waitUntil(start + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(i / perSecond)));
      const auto& packet = packets_[i & 1];
      ::send(fd_, packet.data(), packet.size(), 0);
    }
  }

 private:
  static void waitUntil(Clock::time_point due) {
    for (auto now = Clock::now(); now < due; now = Clock::now()) {
      if (due - now > std::chrono::microseconds(200))
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      else
        std::this_thread::yield();
    }
  }

  int fd_;
  const std::array<std::vector<char>, 2> packets_ = {inputbench::packet(0.25f),
                                                     inputbench::packet(0.75f)};
};

// Waits until the whole burst is in, or nothing more came for a while.
long settled(const std::atomic<long>& received, long before) {
  long last = -1;
  auto quietSince = Clock::now();
  for (;;) {
    const long now = received.load() - before;
    if (now >= kBurst) return now;
    if (now != last) {
      last = now;
      quietSince = Clock::now();
    } else if (Clock::now() - quietSince > std::chrono::milliseconds(300)) {
      return now;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

long burstInto(int port, const std::atomic<long>& received, double perSecond) {
  const long before = received.load();
  Sender(port).burst(perSecond);
  return settled(received, before);
}

void burstSideBySide(benchmark::State& state, double perSecond) {
  BareInput bare;
  inputbench::OurInput ours;
  if (!ours.port || !ours.port->isOpen() || !bare.thread) {
    state.SkipWithError("no port");
    return;
  }
  long bareTotal = 0, oursTotal = 0, bareLeast = kBurst, oursLeast = kBurst;
  bool oursFirst = false;
  for (auto _ : state) {
    // Each goes first in turn, so that neither always meets a busier machine.
    oursFirst = !oursFirst;
    long b = 0, o = 0;
    for (int turn = 0; turn < 2; ++turn) {
      if ((turn == 0) == oursFirst)
        o = burstInto(ours.port->port(), ours.subscriber->delivered, perSecond);
      else
        b = burstInto(bare.port(), bare.received, perSecond);
    }
    bareTotal += b;
    oursTotal += o;
    bareLeast = std::min(bareLeast, b);
    oursLeast = std::min(oursLeast, o);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["bare_received"] = static_cast<double>(bareTotal) / n;
  state.counters["ours_received"] = static_cast<double>(oursTotal) / n;
  state.counters["bare_least"] = static_cast<double>(bareLeast);
  state.counters["ours_least"] = static_cast<double>(oursLeast);
  state.counters["bare_rcvbuf_KB"] = bare.receiveBuffer() / 1024.0;
  state.counters["ours_rcvbuf_KB"] = ours.port->receiveBufferBytes() / 1024.0;
}

void BM_OSC_Burst10000Unpaced(benchmark::State& state) { burstSideBySide(state, 0.0); }
BENCHMARK(BM_OSC_Burst10000Unpaced)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OSC_Burst10000Paced36000PerSecond(benchmark::State& state) {
  burstSideBySide(state, 36000.0);
}
BENCHMARK(BM_OSC_Burst10000Paced36000PerSecond)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
