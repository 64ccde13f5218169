#include "platform/wiiremote/LinuxWiiRemoteBackend.h"

#include "platform/wiiremote/WiiRemote.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

namespace {

using Device = WiiInputEvent::Device;

QString readText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll()).trimmed();
}

bool writeText(const QString& path, const QByteArray& text) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  return file.write(text) == text.size();
}

int extensionOf(const QString& text) {
  if (text.isEmpty() || text == QLatin1String("none") || text == QLatin1String("unknown"))
    return WiiExtension::None;
  if (text == QLatin1String("nunchuk")) return WiiExtension::Nunchuk;
  if (text == QLatin1String("classic")) return WiiExtension::Classic;
  return WiiExtension::Other;
}

// The input device's kind from the driver's name for it, or -1.
int deviceOfName(const QString& name) {
  if (name == QLatin1String("Nintendo Wii Remote")) return Device::Core;
  if (name.endsWith(QLatin1String(" Accelerometer")) && !name.contains(QLatin1String("Nunchuk")))
    return Device::Accel;
  if (name.endsWith(QLatin1String(" IR"))) return Device::IR;
  if (name.endsWith(QLatin1String(" Nunchuk"))) return Device::Nunchuk;
  if (name.endsWith(QLatin1String(" Classic Controller"))) return Device::Classic;
  return -1;
}

class LinuxWiiRemoteConnection : public WiiRemoteConnection {
 public:
  LinuxWiiRemoteConnection(QString hidDir, QString devRoot)
      : hidDir_(std::move(hidDir)), devRoot_(std::move(devRoot)) {
    fds_.fill(-1);
    wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  }
  ~LinuxWiiRemoteConnection() override {
    setRumble(false);
    for (int& fd : fds_)
      if (fd >= 0) ::close(fd);
    if (wake_ >= 0) ::close(wake_);
  }

  // Opens the remote's keys device (its failure is the connection's) and
  // whatever other devices exist now.
  bool openDevices(QString* error) {
    const QString uniq = uevent(QStringLiteral("HID_UNIQ"));
    address_ = uniq;
    extension_ = extensionOf(readText(hidDir_ + QStringLiteral("/extension")));
    rescan(error);
    std::lock_guard lock(fdMutex_);
    if (fds_[Device::Core] < 0) {
      if (error && error->isEmpty())
        *error = QStringLiteral("The Wii remote at %1 has no input device").arg(hidDir_);
      return false;
    }
    if (address_.isEmpty()) address_ = corePath_;
    return true;
  }

  bool waitForEvents(std::vector<WiiInputEvent>& out, int timeoutMs, QString* error) override {
    checkExtension(out);
    std::array<pollfd, 6> polled{};
    std::array<int, 6> kinds{};
    int count = 0;
    {
      std::lock_guard lock(fdMutex_);
      for (int kind = 0; kind < 5; ++kind)
        if (fds_[kind] >= 0) {
          polled[count] = {fds_[kind], POLLIN, 0};
          kinds[count++] = kind;
        }
    }
    polled[count] = {wake_, POLLIN, 0};
    const int ready = ::poll(polled.data(), nfds_t(count + 1), timeoutMs);
    if (ready < 0) return errno == EINTR;
    if (polled[count].revents & POLLIN) {
      std::uint64_t drained = 0;
      (void)!::read(wake_, &drained, sizeof drained);
    }
    for (int i = 0; i < count; ++i) {
      if (!polled[i].revents) continue;
      input_event events[64];
      const ssize_t bytes = ::read(polled[i].fd, events, sizeof events);
      if (bytes < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (bytes <= 0 || (polled[i].revents & (POLLERR | POLLHUP))) {
        if (kinds[i] == Device::Core) {
          if (error)
            *error = QStringLiteral("The Wii remote's device went away (%1)")
                         .arg(QString::fromLocal8Bit(std::strerror(bytes < 0 ? errno : ENODEV)));
          return false;
        }
        closeDevice(kinds[i]);  // an extension unplugged
        continue;
      }
      for (size_t n = 0; n < size_t(bytes) / sizeof(input_event); ++n)
        out.push_back({Device(kinds[i]), events[n].type, events[n].code, events[n].value});
    }
    return true;
  }

  void wake() override {
    const std::uint64_t one = 1;
    if (wake_ >= 0) (void)!::write(wake_, &one, sizeof one);
  }
  QString address() const override { return address_; }
  int extension() const override { return extension_; }
  int batteryPercent() const override {
    const QDir supplies(hidDir_ + QStringLiteral("/power_supply"));
    for (const QString& supply : supplies.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      bool ok = false;
      const int percent =
          readText(supplies.filePath(supply) + QStringLiteral("/capacity")).toInt(&ok);
      if (ok) return std::clamp(percent, 0, 100);
    }
    return -1;
  }
  WiiAxisRange axisRange(Device device, std::uint16_t code) const override {
    std::lock_guard lock(fdMutex_);
    input_absinfo info{};
    if (fds_[device] >= 0 && ::ioctl(fds_[device], EVIOCGABS(code), &info) == 0 &&
        info.maximum > info.minimum)
      return {info.minimum, info.maximum};
    return {};
  }
  void setLEDs(const std::array<bool, 4>& leds) override {
    const QDir dir(hidDir_ + QStringLiteral("/leds"));
    for (const QString& led : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      for (int i = 0; i < 4; ++i)
        if (led.endsWith(QStringLiteral(":p%1").arg(i)))
          writeText(dir.filePath(led) + QStringLiteral("/brightness"), leds[i] ? "1" : "0");
    }
  }
  void setRumble(bool on) override {
    std::lock_guard lock(fdMutex_);
    const int fd = fds_[Device::Core];
    if (fd < 0) return;
    if (on && rumbleEffect_ < 0) {
      ff_effect effect{};
      effect.type = FF_RUMBLE;
      effect.id = -1;
      effect.u.rumble.strong_magnitude = 0xffff;
      if (::ioctl(fd, EVIOCSFF, &effect) == 0) rumbleEffect_ = effect.id;
    }
    if (rumbleEffect_ < 0) return;
    input_event play{};
    play.type = EV_FF;
    play.code = std::uint16_t(rumbleEffect_);
    play.value = on ? 1 : 0;
    (void)!::write(fd, &play, sizeof play);
  }
  void setMotionSensing(bool) override {}
  void setIRSensing(bool) override {}

 private:
  QString uevent(const QString& key) const {
    const QStringList lines =
        readText(hidDir_ + QStringLiteral("/uevent")).split(QLatin1Char('\n'));
    for (const QString& line : lines)
      if (line.startsWith(key + QLatin1Char('='))) return line.mid(key.size() + 1).trimmed();
    return {};
  }

  // Opens the input devices not open yet; the first failure is reported.
  void rescan(QString* error) {
    const QDir inputs(hidDir_ + QStringLiteral("/input"));
    for (const QString& input : inputs.entryList({QStringLiteral("input*")}, QDir::Dirs)) {
      const QString dir = inputs.filePath(input);
      const int kind = deviceOfName(readText(dir + QStringLiteral("/name")));
      if (kind < 0) continue;
      {
        std::lock_guard lock(fdMutex_);
        if (fds_[kind] >= 0) continue;
      }
      const QStringList events = QDir(dir).entryList({QStringLiteral("event*")}, QDir::Dirs);
      if (events.isEmpty()) continue;
      const QString node = devRoot_ + QStringLiteral("/input/") + events.first();
      const int fd = ::open(QFile::encodeName(node).constData(),
                            (kind == Device::Core ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) {
        if (error && error->isEmpty())
          *error = QStringLiteral("Cannot open the Wii remote's device %1: %2")
                       .arg(node, QString::fromLocal8Bit(std::strerror(errno)));
        continue;
      }
      std::lock_guard lock(fdMutex_);
      fds_[kind] = fd;
      if (kind == Device::Core) corePath_ = node;
    }
  }

  void closeDevice(int kind) {
    std::lock_guard lock(fdMutex_);
    if (fds_[kind] >= 0) ::close(fds_[kind]);
    fds_[kind] = -1;
  }

  // The extension attribute, read about once a second; a change reopens the
  // extension's device and is reported.
  void checkExtension(std::vector<WiiInputEvent>& out) {
    const auto now = std::chrono::steady_clock::now();
    if (now < nextExtensionCheck_) return;
    nextExtensionCheck_ = now + std::chrono::seconds(1);
    const int extension = extensionOf(readText(hidDir_ + QStringLiteral("/extension")));
    if (extension == extension_) return;
    extension_ = extension;
    closeDevice(Device::Nunchuk);
    closeDevice(Device::Classic);
    rescan(nullptr);
    out.push_back({Device::Core, WiiInputEvent::kExtensionChanged, 0, extension});
  }

  const QString hidDir_;
  const QString devRoot_;
  QString address_;
  QString corePath_;
  int extension_ = WiiExtension::None;
  mutable std::mutex fdMutex_;
  std::array<int, 5> fds_;  // guarded, by device kind
  int rumbleEffect_ = -1;   // guarded
  int wake_ = -1;
  std::chrono::steady_clock::time_point nextExtensionCheck_{};
};

}  // namespace

LinuxWiiRemoteBackend::LinuxWiiRemoteBackend(QString sysRoot, QString devRoot)
    : sysRoot_(std::move(sysRoot)), devRoot_(std::move(devRoot)) {}

QString LinuxWiiRemoteBackend::driverDir() const {
  return sysRoot_ + QStringLiteral("/bus/hid/drivers/wiimote");
}

std::vector<QString> LinuxWiiRemoteBackend::listRemotes() {
  std::vector<QString> remotes;
  const QDir driver(driverDir());
  if (!driver.exists()) return remotes;
  // The driver's folder links each bound HID device by its name.
  for (const QString& entry : driver.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
    if (!entry.contains(QLatin1Char(':'))) continue;
    remotes.push_back(QFileInfo(driver.filePath(entry)).canonicalFilePath());
  }
  return remotes;
}

std::unique_ptr<WiiRemoteConnection> LinuxWiiRemoteBackend::open(const QString& id,
                                                                 QString* error) {
  auto connection = std::make_unique<LinuxWiiRemoteConnection>(id, devRoot_);
  QString reason;
  if (!connection->openDevices(&reason)) {
    if (error) *error = reason;
    return nullptr;
  }
  return connection;
}

QString LinuxWiiRemoteBackend::whyNoRemote() const {
  if (!QDir(driverDir()).exists())
    return WiiRemote::kNoRemoteFound +
           QStringLiteral(" (the kernel's Wii remote driver, hid-wiimote, is not loaded)");
  return WiiRemote::kNoRemoteFound;
}
