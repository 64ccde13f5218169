#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir>& root() {
  static std::unique_ptr<QTemporaryDir> dir;
  return dir;
}
int counter = 0;

void setEnv(const char* name, const QString& value) {
  ::setenv(name, value.toLocal8Bit().constData(), 1);
}
}  // namespace

void TestEnvironment::prepareProcess() {
  root() = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zaph-test-XXXXXX"));
  const QString home = root()->path();
  for (const char* sub : {"config", "data", "cache", "runtime"})
    QDir(home).mkpath(QString::fromLatin1(sub));
  QFile::setPermissions(home + QStringLiteral("/runtime"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  setEnv("HOME", home);
  setEnv("XDG_CONFIG_HOME", home + QStringLiteral("/config"));
  setEnv("XDG_DATA_HOME", home + QStringLiteral("/data"));
  setEnv("XDG_CACHE_HOME", home + QStringLiteral("/cache"));
  setEnv("XDG_RUNTIME_DIR", home + QStringLiteral("/runtime"));
  setEnv("ZAPH_DEFAULTS_FILE", home + QStringLiteral("/config/defaults-test.plist"));
  setEnv("ZAPH_HEADLESS_ALERTS", QStringLiteral("1"));
  if (!hasDisplay() && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    setEnv("QT_QPA_PLATFORM", QStringLiteral("offscreen"));
}

void TestEnvironment::cleanUpProcess() { root().reset(); }

QString TestEnvironment::rootDir() { return root() ? root()->path() : QDir::tempPath(); }

QString TestEnvironment::makeTempDir(const QString& prefix) {
  const QString path =
      rootDir() + QStringLiteral("/%1-%2").arg(prefix).arg(++counter);
  QDir().mkpath(path);
  return path;
}

bool TestEnvironment::waitForDisplay(double timeoutSeconds) {
  const QString display = qEnvironmentVariable("DISPLAY");
  if (!display.startsWith(QLatin1Char(':'))) return true;  // remote or odd: let Qt try
  const QByteArray path =
      QStringLiteral("/tmp/.X11-unix/X%1").arg(display.mid(1).section(QLatin1Char('.'), 0, 0)).toLocal8Bit();
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  if (static_cast<size_t>(path.size()) >= sizeof(address.sun_path)) return true;
  std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  do {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool connected =
        fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0) ::close(fd);
    if (connected) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

bool TestEnvironment::hasDisplay() { return qEnvironmentVariableIsSet("DISPLAY"); }
