// The test JACK server's registry clean-up, on a file laid out like JACK's
// registry (the machine's own is shared by everyone's servers).
#include "tests/support/JackRegistry.h"
#include "tests/support/TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr size_t kPlaceSize = 264;
constexpr size_t kHeaderSize = 24 + JackRegistry::kPlaces * kPlaceSize;

// A process id that no process has any more.
pid_t deadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

class FakeRegistry {
 public:
  FakeRegistry() : bytes_(static_cast<int>(kHeaderSize), '\0') {
    put<uint32_t>(0, 0x4a41434b);   // magic
    put<int32_t>(8, 1);             // POSIX shared memory
    put<int32_t>(12, 70744);        // segment size
    put<int32_t>(16, kHeaderSize);  // header length
    put<int32_t>(20, 268);          // segment entry length
  }
  void place(int i, pid_t pid, const QByteArray& server) {
    const size_t at = 24 + static_cast<size_t>(i) * kPlaceSize;
    put<pid_t>(at, pid);
    const QByteArray name = QByteArray("jack-0:") + server + ':';
    std::memcpy(bytes_.data() + at + sizeof(pid_t), name.constData(), name.size());
  }
  template <class T>
  void put(size_t at, T value) {
    std::memcpy(bytes_.data() + at, &value, sizeof value);
  }
  QString write(qsizetype size = -1) const {
    const QString path = TestEnvironment::makeTempDir() + QStringLiteral("/jack-shm-registry");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes_.left(size < 0 ? bytes_.size() : size));
    return path;
  }

 private:
  QByteArray bytes_;
};

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList servers(const JackRegistry& registry) {
  QStringList names;
  for (const JackRegistry::Entry& entry : registry.entries()) names << entry.server;
  return names;
}

TEST(JackRegistry, OnlyDeadServersOfOursAreRemoved) {
  FakeRegistry fake;
  fake.place(0, deadPid(), "zaph-test-1-1");
  fake.place(2, ::getpid(), "zaph-test-2-1");  // running
  fake.place(3, deadPid(), "studio");          // dead, but not one of ours
  fake.place(5, deadPid(), "zaph-test-3-4");
  JackRegistry registry(fake.write(), -1);
  EXPECT_EQ(servers(registry),
            (QStringList{"zaph-test-1-1", "zaph-test-2-1", "studio", "zaph-test-3-4"}));

  EXPECT_EQ(registry.removeStale(QStringLiteral("zaph-test-")),
            (QStringList{"zaph-test-1-1", "zaph-test-3-4"}));
  EXPECT_EQ(servers(registry), (QStringList{"zaph-test-2-1", "studio"}));
  EXPECT_TRUE(registry.entries().front().running);
  EXPECT_FALSE(registry.entries().back().running);
  EXPECT_TRUE(registry.removeStale(QStringLiteral("zaph-test-")).isEmpty());
}

TEST(JackRegistry, AFullRegistrySaysWhichServersHoldIt) {
  FakeRegistry fake;
  for (int i = 0; i < JackRegistry::kPlaces; ++i)
    fake.place(i, i == 6 ? deadPid() : ::getpid(), QByteArray("s") + QByteArray::number(i));
  JackRegistry registry(fake.write(), -1);
  EXPECT_TRUE(registry.full());
  const QString text = registry.describe();
  EXPECT_TRUE(text.contains(QStringLiteral("holds 8 of 8 servers"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("s0 (pid %1)").arg(::getpid()))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral(", gone)"))) << text.toStdString();

  registry.removeStale(QStringLiteral("s6"));
  EXPECT_FALSE(registry.full());
}

TEST(JackRegistry, AnUnknownLayoutOrNoRegistryIsLeftAlone) {
  FakeRegistry fake;
  fake.place(0, deadPid(), "zaph-test-1-1");
  fake.put<int32_t>(16, 4096);  // another header length: another JACK
  const QString path = fake.write();
  const QByteArray before = contents(path);
  JackRegistry registry(path, -1);
  EXPECT_TRUE(registry.entries().empty());
  EXPECT_TRUE(registry.removeStale(QStringLiteral("zaph-test-")).isEmpty());
  EXPECT_EQ(contents(path), before);

  for (const QString& other :
       {fake.write(100), TestEnvironment::makeTempDir() + QStringLiteral("/none")}) {
    JackRegistry cut(other, -1);  // cut short, or missing
    EXPECT_TRUE(cut.entries().empty());
    EXPECT_FALSE(cut.full());
    EXPECT_TRUE(cut.removeStale(QStringLiteral("zaph-test-")).isEmpty());
  }
}

}  // namespace
