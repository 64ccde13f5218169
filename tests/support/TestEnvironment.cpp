#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>
#include <dlfcn.h>
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
  // Chromium (web pages) refuses to start as root with its sandbox on.
  if (::geteuid() == 0) setEnv("QTWEBENGINE_DISABLE_SANDBOX", QStringLiteral("1"));
  if (!hasDisplay() && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    setEnv("QT_QPA_PLATFORM", QStringLiteral("offscreen"));
}

void TestEnvironment::cleanUpProcess() { root().reset(); }

QString TestEnvironment::rootDir() { return root() ? root()->path() : QDir::tempPath(); }

QString TestEnvironment::makeTempDir(const QString& prefix) {
  const QString path = rootDir() + QStringLiteral("/%1-%2").arg(prefix).arg(++counter);
  QDir().mkpath(path);
  return path;
}

void TestEnvironment::keepGLDriverLoaded() {
#if defined(__SANITIZE_ADDRESS__)
  for (const char* driver : {"swrast_dri.so", "kms_swrast_dri.so"}) {
    const QByteArray path = QByteArrayLiteral("/usr/lib/x86_64-linux-gnu/dri/") + driver;
    ::dlopen(path.constData(), RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
  }
#endif
#if defined(__SANITIZE_THREAD__)
  // A suppression names Mesa's GLX library; ThreadSanitizer ends the process
  // with an error when a library it matched is unloaded, which happens when
  // the last GL context of a test goes.
  ::dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
#endif
}

bool TestEnvironment::hasDisplay() { return qEnvironmentVariableIsSet("DISPLAY"); }
