#include "platform/foundation/Paths.h"

#include "platform/foundation/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <mutex>

namespace {

struct Overrides {
  std::mutex mutex;
  QString resources;
  QString userData;
  QString userConfig;
};

Overrides& overrides() {
  static Overrides o;
  return o;
}

QString overrideOf(QString Overrides::*member) {
  std::lock_guard<std::mutex> lock(overrides().mutex);
  return overrides().*member;
}

void setOverride(QString Overrides::*member, const QString& value) {
  std::lock_guard<std::mutex> lock(overrides().mutex);
  overrides().*member = value;
}

QString xdgBase(const char* variable, const QString& fallbackUnderHome) {
  const QString value = qEnvironmentVariable(variable);
  if (!value.isEmpty() && QDir::isAbsolutePath(value)) return value;
  return QDir::homePath() + QLatin1Char('/') + fallbackUnderHome;
}

QString executableDir() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

}  // namespace

QString Paths::resourcesDir() {
  const QString forced = overrideOf(&Overrides::resources);
  if (!forced.isEmpty()) return forced;
  const QString fromEnv = qEnvironmentVariable("ZAPH_RESOURCES_DIR");
  if (!fromEnv.isEmpty()) return fromEnv;
  const QString besideExecutable = executableDir() + QStringLiteral("/../share/zaph");
  if (QFileInfo(besideExecutable).isDir()) return QDir::cleanPath(besideExecutable);
#ifdef ZAPH_SOURCE_DIR
  return QStringLiteral(ZAPH_SOURCE_DIR "/resources");
#else
  return QDir::cleanPath(besideExecutable);
#endif
}

QString Paths::resourcePath(const QString& name, const QString& type) {
  const QString file = type.isEmpty() ? name : name + QLatin1Char('.') + type;
  const QString path = resourcesDir() + QLatin1Char('/') + file;
  return QFileInfo::exists(path) ? path : QString();
}

QString Paths::projectsDir() { return resourcesDir() + QStringLiteral("/projects"); }

QString Paths::userDataDir() {
  const QString forced = overrideOf(&Overrides::userData);
  if (!forced.isEmpty()) return forced;
  return xdgBase("XDG_DATA_HOME", QStringLiteral(".local/share")) + QStringLiteral("/ZAPH");
}

QString Paths::userConfigDir() {
  const QString forced = overrideOf(&Overrides::userConfig);
  if (!forced.isEmpty()) return forced;
  return xdgBase("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/ZAPH");
}

QStringList Paths::namedFolderSearchList(const QString& name) {
  QStringList found;
  for (const QString& base : {userDataDir(), resourcesDir()}) {
    const QString path = base + QLatin1Char('/') + name;
    if (QFileInfo(path).isDir()) found << path;
  }
  return found;
}

QString Paths::findNamedFolder(const QString& name) {
  const QStringList found = namedFolderSearchList(name);
  return found.isEmpty() ? QString() : found.first();
}

QString Paths::userNamedFolder(const QString& name) {
  const QString path = userDataDir() + QLatin1Char('/') + name;
  if (!QDir().mkpath(path)) {
    Log::line(QStringLiteral("\t\terr: could not create folder %1").arg(path));
    return {};
  }
  return path;
}

void Paths::setResourcesDirOverride(const QString& dir) { setOverride(&Overrides::resources, dir); }
void Paths::setUserDataDirOverride(const QString& dir) { setOverride(&Overrides::userData, dir); }
void Paths::setUserConfigDirOverride(const QString& dir) {
  setOverride(&Overrides::userConfig, dir);
}
