#include "tests/support/JackRegistry.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sem.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The layout of jackd2's registry header (common/shm.h): a magic number,
// the protocol, the kind of shared memory, three sizes, then the server
// places, each a process id and a name of up to 256 bytes.
constexpr uint32_t kMagic = 0x4a41434b;  // "JACK"
constexpr size_t kServersOffset = 24;
constexpr size_t kNameSize = 257;
constexpr size_t kPlaceSize = 264;  // pid + name, padded to 4 bytes
constexpr size_t kHeaderSize = kServersOffset + JackRegistry::kPlaces * kPlaceSize;
constexpr size_t kHeaderLengthOffset = 16;

// Stored names read "jack-<uid>:<server>:".
QString serverName(const char* stored) {
  const QString name = QString::fromLocal8Bit(stored, static_cast<int>(strnlen(stored, kNameSize)));
  const int colon = name.indexOf(QLatin1Char(':'));
  if (colon < 0) return name;
  QString server = name.mid(colon + 1);
  if (server.endsWith(QLatin1Char(':'))) server.chop(1);
  return server;
}

bool processRunning(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

// The mapped header, under JACK's semaphore while it lives.
class JackRegistry::Mapping {
 public:
  Mapping(const QString& path, int semaphoreKey, bool writable) {
    fd_ = ::open(path.toLocal8Bit().constData(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd_ < 0) return;
    struct stat status {};
    if (::fstat(fd_, &status) != 0 || status.st_size < static_cast<off_t>(kHeaderSize)) return;
    lock(semaphoreKey);
    void* base = ::mmap(nullptr, kHeaderSize, writable ? PROT_READ | PROT_WRITE : PROT_READ,
                        MAP_SHARED, fd_, 0);
    if (base == MAP_FAILED) return;
    base_ = static_cast<char*>(base);
    uint32_t magic = 0, headerLength = 0;
    std::memcpy(&magic, base_, sizeof magic);
    std::memcpy(&headerLength, base_ + kHeaderLengthOffset, sizeof headerLength);
    known_ = magic == kMagic && headerLength == kHeaderSize;
  }
  ~Mapping() {
    if (base_) ::munmap(base_, kHeaderSize);
    unlock();
    if (fd_ >= 0) ::close(fd_);
  }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;

  bool known() const { return known_; }
  char* place(int i) const { return base_ + kServersOffset + static_cast<size_t>(i) * kPlaceSize; }
  pid_t pid(int i) const {
    pid_t pid = 0;
    std::memcpy(&pid, place(i), sizeof pid);
    return pid;
  }
  const char* name(int i) const { return place(i) + sizeof(pid_t); }

 private:
  // JACK's registry lock: one System V semaphore, taken with SEM_UNDO. A
  // bounded wait: a test must not hang on another program's lock.
  void lock(int key) {
    if (key < 0) return;
    semaphore_ = ::semget(static_cast<key_t>(key), 1, 0);
    if (semaphore_ < 0) return;  // no JACK program made it yet
    sembuf down{0, -1, SEM_UNDO};
    const timespec wait{5, 0};
    if (::semtimedop(semaphore_, &down, 1, &wait) != 0) semaphore_ = -1;
  }
  void unlock() {
    if (semaphore_ < 0) return;
    sembuf up{0, 1, SEM_UNDO};
    ::semop(semaphore_, &up, 1);
  }

  int fd_ = -1;
  int semaphore_ = -1;
  char* base_ = nullptr;
  bool known_ = false;
};

JackRegistry::JackRegistry(QString path, int semaphoreKey)
    : path_(std::move(path)), semaphoreKey_(semaphoreKey) {}

std::vector<JackRegistry::Entry> JackRegistry::entries() const {
  std::vector<Entry> result;
  const Mapping map(path_, semaphoreKey_, false);
  if (!map.known()) return result;
  for (int i = 0; i < kPlaces; ++i)
    if (const pid_t pid = map.pid(i); pid != 0)
      result.push_back({pid, serverName(map.name(i)), processRunning(pid)});
  return result;
}

QStringList JackRegistry::removeStale(const QString& prefix) {
  QStringList removed;
  const Mapping map(path_, semaphoreKey_, true);
  if (!map.known()) return removed;
  for (int i = 0; i < kPlaces; ++i) {
    const pid_t pid = map.pid(i);
    const QString server = serverName(map.name(i));
    if (pid == 0 || !server.startsWith(prefix) || processRunning(pid)) continue;
    std::memset(map.place(i), 0, kPlaceSize);
    removed << server;
  }
  return removed;
}

bool JackRegistry::full() const { return entries().size() >= static_cast<size_t>(kPlaces); }

QString JackRegistry::describe() const {
  QStringList places;
  for (const Entry& entry : entries())
    places << QStringLiteral("%1 (pid %2%3)")
                  .arg(entry.server)
                  .arg(entry.pid)
                  .arg(entry.running ? QString() : QStringLiteral(", gone"));
  return QStringLiteral("JACK's server registry %1 holds %2 of %3 servers: %4")
      .arg(path_)
      .arg(places.size())
      .arg(kPlaces)
      .arg(places.isEmpty() ? QStringLiteral("none") : places.join(QStringLiteral(", ")));
}
