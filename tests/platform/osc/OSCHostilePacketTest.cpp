// Malformed and hostile packets over loopback: each is dropped, the input
// thread goes on, and valid messages keep arriving.
#include "platform/foundation/Log.h"
#include "platform/osc/OSCManager.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <QtEndian>

#include <atomic>
#include <mutex>
#include <random>

namespace {

class CountingOSCManager : public OSCManager {
 public:
  ~CountingOSCManager() override { deleteAllInputs(); }
  void receivedOSCMessage(const OSCMessage& message) override {
    // Read everything, as a real consumer would.
    for (const OSCValue& v : message.valueArray())
      checksum_ += v.intValue() + v.stringValue().size();
    if (message.address() == QStringLiteral("/probe")) ++probes_;
    ++messages_;
  }
  std::atomic<int> probes_{0};
  std::atomic<long> messages_{0};
  std::atomic<long long> checksum_{0};
};

QByteArray pad(QByteArray s) {
  s.append('\0');
  while (s.size() % 4) s.append('\0');
  return s;
}

QByteArray be32(qint32 v) {
  QByteArray out(4, '\0');
  qToBigEndian(v, out.data());
  return out;
}

QByteArray message(const QByteArray& address, const QByteArray& tags, const QByteArray& args) {
  return pad(address) + pad(tags) + args;
}

QByteArray floatMessage(const QByteArray& address, float f) {
  QByteArray arg(4, '\0');
  qToBigEndian(f, arg.data());
  return message(address, ",f", arg);
}

QByteArray bundle(const QList<QByteArray>& elements, const QList<qint32>& claimedSizes = {}) {
  QByteArray out = pad("#bundle") + QByteArray("\0\0\0\0\0\0\0\1", 8);
  for (int i = 0; i < elements.size(); ++i)
    out +=
        be32(i < claimedSizes.size() ? claimedSizes[i] : static_cast<qint32>(elements[i].size())) +
        elements[i];
  return out;
}

class OSCHostilePackets : public ::testing::Test {
 protected:
  void SetUp() override {
    logLines_ = std::make_shared<std::atomic<int>>(0);
    auto counter = logLines_;
    previousSink_ = Log::setSink([counter](const QString&) { ++*counter; });
    Log::resetLimits();
    port_ = manager_.createNewInputForPort(UdpSocket::freePort());
    ASSERT_TRUE(port_ && port_->isOpen());
  }
  void TearDown() override { Log::setSink(previousSink_); }

  // A valid probe still arrives after whatever came before.
  void expectProbeArrives() {
    const int before = manager_.probes_.load();
    ASSERT_TRUE(sender_.sendTo(port_->port(), floatMessage("/probe", 0.5f)));
    EXPECT_TRUE(waitFor([&] { return manager_.probes_.load() > before; }))
        << "the input thread stopped taking messages";
  }

  CountingOSCManager manager_;
  std::shared_ptr<OSCInPort> port_;
  UdpSocket sender_;
  std::shared_ptr<std::atomic<int>> logLines_;
  Log::Sink previousSink_;
};

TEST_F(OSCHostilePackets, EachKindIsDroppedWithALogAndThePortGoesOn) {
  const QByteArray valid = floatMessage("/fader/1", 0.25f);
  QByteArray deep = floatMessage("/deep", 1.0f);
  for (int i = 0; i < 2000; ++i) deep = bundle({deep});
  std::mt19937 random(7);
  QByteArray noise(65000, '\0');
  for (char& c : noise) c = static_cast<char>(random());

  struct Case {
    const char* what;
    QByteArray packet;
  };
  const std::vector<Case> cases = {
      {"garbage", QByteArray("\x01\x02\x03\xff garbage here", 17)},
      {"a lone slash", QByteArray("/")},
      {"address without its terminator", QByteArray("/abcd")},
      {"truncated inside the arguments", valid.left(valid.size() - 2)},
      {"truncated inside the type tags", valid.left(10)},
      {"type tags without the comma", message("/x", "f", be32(1))},
      {"unknown type tag", message("/x", ",Z", be32(1))},
      {"more tags than data", message("/x", ",iiiifsb", be32(1))},
      {"string argument without terminator", message("/x", ",s", "abcd")},
      {"blob claiming more than the packet", message("/x", ",b", be32(100000) + "ab\0\0")},
      {"blob with a negative size", message("/x", ",b", be32(-8) + "abcd")},
      {"bundle element larger than the bundle", bundle({valid}, {5000})},
      {"bundle element with a negative size", bundle({valid}, {-4})},
      {"bundle element size not a multiple of four",
       bundle({valid}, {static_cast<qint32>(valid.size() - 1)})},
      {"bundle header alone", pad("#bundle")},
      {"bundle without its time tag", pad("#bundle") + be32(8)},
      {"bundles nested two thousand deep", deep},
      {"64 KB of noise", noise},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(sender_.sendTo(port_->port(), c.packet));
    expectProbeArrives();
  }
  EXPECT_GT(logLines_->load(), 0);  // reported, at a limited rate
}

TEST_F(OSCHostilePackets, PeerTextInAnErrorIsOneLogLineWithoutRawControlBytes) {
  LogCapture log;
  const QByteArray address("/a\033[2J\n\t\terr: forged");
  ASSERT_TRUE(sender_.sendTo(port_->port(), message(address, ",Z", be32(1))));
  ASSERT_TRUE(waitFor([&] { return !log.lines().isEmpty(); }));
  expectProbeArrives();
  const QStringList lines = log.lines();
  ASSERT_EQ(lines.size(), 1) << lines.join(QLatin1Char('|')).toStdString();
  const QString line = lines.front();
  EXPECT_TRUE(line.startsWith(QStringLiteral("\t\terr: dropped an OSC packet")));
  EXPECT_TRUE(line.contains(QStringLiteral("/a\\e[2J\\n\\t\\terr: forged"))) << line.toStdString();
  for (qsizetype i = 2; i < line.size(); ++i)
    EXPECT_GE(line[i].unicode(), 0x20) << "raw control byte at " << i;
}

TEST_F(OSCHostilePackets, FuzzedStreamNeverStopsTheInputThread) {
  const QList<QByteArray> seeds = {
      floatMessage("/ZAPH/1", 0.5f),
      message("/mix", ",ifsT", be32(3) + be32(0x3f000000) + pad("text")),
      message("/blob", ",b", be32(5) + pad("12345").left(8)),
      bundle({floatMessage("/a", 0.1f), floatMessage("/b", 0.2f)}),
      bundle({bundle({floatMessage("/nested", 1.0f)})}),
  };
  std::mt19937 random(20240611);
  auto byte = [&] { return static_cast<char>(random() & 0xFF); };
  for (int i = 0; i < 4000; ++i) {
    QByteArray packet;
    switch (i % 4) {
      case 0: {  // noise of any length
        packet.resize(static_cast<int>(random() % 1500));
        for (char& c : packet) c = byte();
        break;
      }
      default: {  // a valid packet, mutated
        packet = seeds[static_cast<int>(random() % seeds.size())];
        const int mutations = 1 + static_cast<int>(random() % 6);
        for (int m = 0; m < mutations && !packet.isEmpty(); ++m) {
          const int at = static_cast<int>(random() % packet.size());
          switch (random() % 4) {
            case 0:
              packet[at] = byte();
              break;
            case 1:
              packet.truncate(at);
              break;
            case 2:
              packet.insert(at, QByteArray(static_cast<int>(random() % 9), byte()));
              break;
            case 3:
              packet.replace(at, std::min<int>(4, packet.size() - at),
                             be32(static_cast<qint32>(random())));
              break;
          }
        }
      }
    }
    sender_.sendTo(port_->port(), packet);
    // Paced, so that the socket's receive buffer never overflows (the kernel
    // would drop the probe, not the port).
    if (i % 50 == 0) expectProbeArrives();
  }
  expectProbeArrives();
  EXPECT_TRUE(port_->isOpen());
}

}  // namespace
