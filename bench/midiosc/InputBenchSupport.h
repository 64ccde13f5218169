#pragma once

#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/QKOSCManager.h"
#include "tests/framework/datasource/InputTestSupport.h"

#include <benchmark/benchmark.h>
#include <lo/lo.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <vector>

// What the input benchmarks share: packets, a free port, and our whole OSC
// input path (an input port of the OSC manager into a subscriber of the
// tree).
namespace inputbench {

// A subscriber that reads the value and counts.
class Subscriber : public DataSourceTarget {
 public:
  void dataSourceUpdated(DataSource* source) {
    benchmark::DoNotOptimize(source->value());
    delivered.fetch_add(1, std::memory_order_relaxed);
  }
  std::atomic<long> delivered{0};
};

inline std::vector<char> packet(float value, const char* address = "/fader/1") {
  lo_message m = lo_message_new();
  lo_message_add_float(m, value);
  std::size_t size = 0;
  void* data = lo_message_serialise(m, address, nullptr, &size);
  std::vector<char> bytes(static_cast<char*>(data), static_cast<char*>(data) + size);
  std::free(data);
  lo_message_free(m);
  return bytes;
}

inline int freeUdpPort() {
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

// An OSC input port of ours feeding "/fader/1" of the tree to a subscriber.
struct OurInput {
  FakeInputApp app;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  QKOSCManager osc{&app};
  std::shared_ptr<OSCInPort> port;
  std::shared_ptr<Subscriber> subscriber = std::make_shared<Subscriber>();

  OurInput() {
    app.dsc = &dsc;
    app.osc = &osc;
    dsc.setAppController(&app);
    dsc.awakeFromNib();
    port = osc.createNewInputForPort(freeUdpPort());
    dsc.subscribeObject(subscriber, &Subscriber::dataSourceUpdated,
                        {QStringLiteral("OSC"), QStringLiteral("/fader/1")});
  }
};

}  // namespace inputbench
