#include "framework/media/MediaPaths.h"

#include "framework/render/TheApplication.h"
#include "framework/toolkit/StringAdditions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace MediaPaths {

namespace {
// A file name that no path component matches: relative paths computed from
// it lead from the folder itself.
const QString kFolderPlaceholder = QStringLiteral("\x01");

QString parentFolder(const QString& path) { return QFileInfo(path).absolutePath(); }

void addResolved(QStringList& list, const QVariantMap& snapshot, const QString& key,
                 const QString& folder) {
  const QString stored = snapshot.value(key).toString();
  if (stored.isEmpty() || folder.isEmpty()) return;
  list << resolved(stored, folder);
}
}  // namespace

QString applicationBundlePath() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  return QDir::currentPath();
}

QString homeFolder() { return QDir::homePath(); }

QString escaped(const QString& path) {
  return QString::fromLatin1(QUrl::toPercentEncoding(path, "/"));
}

QString unescaped(const QString& escapedPath) {
  return QUrl::fromPercentEncoding(escapedPath.toUtf8());
}

QString relativeToFileEscaped(const QString& base, const QString& fullPath) {
  if (fullPath.isEmpty() || base.isEmpty()) return {};
  const std::optional<QString> relative = StringAdditions::relativePathTo(base, fullPath);
  return relative && !relative->isEmpty() ? escaped(*relative) : QString();
}

QString relativeToHomeEscaped(const QString& fullPath) {
  if (fullPath.isEmpty()) return {};
  const QString home = homeFolder();
  const std::optional<QString> relative =
      StringAdditions::relativePathTo(home + QLatin1Char('/') + kFolderPlaceholder, fullPath);
  if (!relative || relative->isEmpty() || QDir::cleanPath(fullPath) == QDir::cleanPath(home))
    return {};
  QString path = *relative;
  if (path.startsWith(QLatin1String("./"))) path.remove(0, 2);
  return escaped(path);
}

QString resolved(const QString& escapedRelative, const QString& folder) {
  if (escapedRelative.isEmpty()) return {};
  const QString path = unescaped(escapedRelative);
  if (QDir::isAbsolutePath(path)) return QDir::cleanPath(path);
  return QDir::cleanPath(folder + QLatin1Char('/') + path);
}

QStringList candidates(const QVariantMap& snapshot, const QString& projectSavePath) {
  QStringList list;
  if (!projectSavePath.isEmpty())
    addResolved(list, snapshot, kRelPathToProjectKey, parentFolder(projectSavePath));
  addResolved(list, snapshot, kRelPathToApplicationKey, parentFolder(applicationBundlePath()));
  addResolved(list, snapshot, kRelPathToUserFolderKey, homeFolder());
  const QString legacy = snapshot.value(kRelPathKey).toString();
  if (!legacy.isEmpty())
    list << QDir::cleanPath(TheApplication::pathToFolderNamed(QStringLiteral("media")) +
                            unescaped(legacy));
  const QString full = snapshot.value(kFullPathKey).toString();
  if (!full.isEmpty()) list << full;
  return list;
}

QString findMedia(const QVariantMap& snapshot, const QString& projectSavePath) {
  for (const QString& path : candidates(snapshot, projectSavePath))
    if (QFileInfo::exists(path)) return path;
  return snapshot.value(kFullPathKey).toString();
}

}  // namespace MediaPaths
