#include "framework/toolkit/FileManagerAdditions.h"

#include "framework/toolkit/StringAdditions.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace FileManagerAdditions {

QStringList fullPathDirectoryContentsAtPath(const QString& path) {
  if (path.isEmpty()) return {};
  QStringList names = QDir(path).entryList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
  std::sort(names.begin(), names.end());
  const QString folder = StringAdditions::trimExtraSlashFromEnd(path);
  QStringList paths;
  paths.reserve(names.size());
  for (const QString& name : names) paths.append(folder + QLatin1Char('/') + name);
  return paths;
}

bool fileVisibleAtPath(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(StringAdditions::trimExtraSlashFromEnd(path));
  return info.exists() && !info.fileName().startsWith(QLatin1Char('.'));
}

}  // namespace FileManagerAdditions
