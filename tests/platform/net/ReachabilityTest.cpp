// The connect probe: a listening loopback port is reachable, a closed one
// or an address that is no web address is not, and the answer of a later
// probe arrives on the main thread.
#include "platform/foundation/MainThread.h"
#include "platform/net/Reachability.h"
#include "tests/support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>

namespace {

TEST(ReachabilityTest, ProbesConnectWithoutRequesting) {
  LoopbackHttpServer server;
  const struct {
    QString address;
    bool reachable;
  } cases[] = {
      {server.url(QStringLiteral("/index.php/ZAPH")), true},
      {QStringLiteral("http://127.0.0.1:%1/").arg(LoopbackHttpServer::closedPort()), false},
      {QStringLiteral("ftp://127.0.0.1:%1/").arg(server.port()), false},
      {QStringLiteral("not an address"), false},
      {QString(), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Reachability::probe(c.address, 2.0), c.reachable) << c.address.toStdString();
  EXPECT_TRUE(server.requests().isEmpty()) << "a probe only connects";
}

TEST(ReachabilityTest, LaterProbeAnswersOnTheMainThread) {
  LoopbackHttpServer server;
  std::optional<bool> answer;
  bool onMain = false;
  Reachability::probeLater(server.url(), [&](bool reachable) {
    onMain = MainThread::isMainThread();
    answer = reachable;
  });
  ASSERT_TRUE(MainThread::processUntil([&] { return answer.has_value(); }, 10.0));
  EXPECT_TRUE(*answer);
  EXPECT_TRUE(onMain);
}

}  // namespace
