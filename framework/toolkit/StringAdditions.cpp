#include "framework/toolkit/StringAdditions.h"

#include "framework/toolkit/DataAdditions.h"
#include "platform/foundation/Log.h"

#include <QFile>
#include <QStringList>

#include <sys/stat.h>

namespace {

// Path components as the file system sees them: a leading "/" is a
// component of its own, empty components (doubled or trailing slashes) drop.
QStringList pathComponents(const QString& path) {
  QStringList components;
  if (path.startsWith(QLatin1Char('/'))) components << QStringLiteral("/");
  for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) components << part;
  return components;
}

QString joinedPath(const QStringList& components) {
  if (components.isEmpty()) return {};
  if (components.first() == QLatin1String("/"))
    return QLatin1Char('/') + components.mid(1).join(QLatin1Char('/'));
  return components.join(QLatin1Char('/'));
}

QString lastPathComponent(const QString& path) {
  const QStringList components = pathComponents(path);
  return components.isEmpty() ? QString() : components.last();
}

std::optional<timespec> modificationTime(const QString& path) {
  struct stat info {};
  if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return std::nullopt;
  return info.st_mtim;
}

}  // namespace

namespace StringAdditions {

QString clearedWhitespaces(const QString& self) { return sha1DigestString(self); }

QString lastChar(const QString& self) {
  // A character outside the basic plane takes two UTF-16 units.
  const bool pair = self.size() >= 2 && self.back().isLowSurrogate() &&
                    self.at(self.size() - 2).isHighSurrogate();
  return self.right(pair ? 2 : 1);
}

QString trimExtraSlashFromEnd(const QString& self) {
  return self.endsWith(QLatin1Char('/')) ? self.chopped(1) : self;
}

std::optional<QString> relativePathTo(const QString& self, const QString& other) {
  if (self == other) return std::nullopt;
  const QStringList mine = pathComponents(self);
  const QStringList theirs = pathComponents(other);
  const qsizetype shorter = std::min(mine.size(), theirs.size());
  qsizetype common = 0;
  while (common < shorter && mine[common] == theirs[common]) ++common;
  if (common == 0) return joinedPath(theirs);

  QStringList result;
  const qsizetype up = mine.size() - common;
  if (up == 1)
    result << QStringLiteral(".");
  else
    for (qsizetype i = 1; i < up; ++i) result << QStringLiteral("..");
  result << theirs.mid(common);
  return result.join(QLatin1Char('/'));
}

bool containsString(const QString& self, const QString& string) {
  return !string.isEmpty() && self.contains(string);
}

std::weak_ordering filePathModDateSortMethod(const QString& self, const QString& other) {
  const std::optional<timespec> mine = modificationTime(self);
  const std::optional<timespec> theirs = modificationTime(other);
  if (!mine) Log::line("\t\terr: my attribs dict is nil");
  if (!theirs) Log::line("\t\terr: attribs dict for passed is nil");
  if (!mine || !theirs) {
    Log::line("\t\terr: mod dates are nil");
    return std::weak_ordering::equivalent;
  }
  if (mine->tv_sec != theirs->tv_sec) return mine->tv_sec <=> theirs->tv_sec;
  return mine->tv_nsec <=> theirs->tv_nsec;
}

std::weak_ordering filePathNameSortMethod(const QString& self, const QString& other) {
  return QString::compare(lastPathComponent(self), lastPathComponent(other),
                          Qt::CaseInsensitive) <=> 0;
}

QString sha1DigestString(const QString& self) {
  return DataAdditions::sha1DigestString(self.toUtf8());
}

}  // namespace StringAdditions
