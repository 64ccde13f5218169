#include "framework/fx/ChainFileFolder.h"

#include "platform/foundation/FileNames.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

const QString ChainFileFolder::kDeletedFolder = QStringLiteral("deleted");
const QString ChainFileFolder::kReplacedFolder = QStringLiteral("replaced");
const QString ChainFileFolder::kHiddenExtension = QStringLiteral(".hidden");

ChainFileFolder::ChainFileFolder(const QString& folderName, const QString& extension)
    : folderName_(folderName), extension_(extension) {}

QString ChainFileFolder::fileNameFor(const QString& chainName) const {
  return FileNames::escaped(chainName) + extension_;
}

QString ChainFileFolder::userFilePath(const QString& chainName, QString* error) const {
  if (chainName.isEmpty()) {
    *error = QStringLiteral("a chain needs a name");
    return {};
  }
  const QString folder = Paths::userNamedFolder(folderName_);
  if (folder.isEmpty()) {
    *error = QStringLiteral("the folder \"%1\" cannot be made").arg(folderName_);
    return {};
  }
  return folder + QLatin1Char('/') + fileNameFor(chainName);
}

QStringList ChainFileFolder::searchFolders() const {
  return Paths::namedFolderSearchList(folderName_);
}

QStringList ChainFileFolder::chainFilesIn(const QString& folder) const {
  QStringList paths;
  const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  for (const QString& entry : entries)
    if (entry.endsWith(extension_, Qt::CaseSensitive)) paths << folder + QLatin1Char('/') + entry;
  return paths;
}

QString ChainFileFolder::userFolder() const {
  return QDir::cleanPath(Paths::userDataDir() + QLatin1Char('/') + folderName_);
}

bool ChainFileFolder::admits(const QString& folder, const QString& chainName) {
  if (QDir::cleanPath(folder) == userFolder()) return true;
  shippedNames_.insert(chainName);
  return !isHidden(chainName);
}

QString ChainFileFolder::hiddenMarkerPath(const QString& chainName) const {
  return userFolder() + QLatin1Char('/') + kDeletedFolder + QLatin1Char('/') +
         FileNames::escaped(chainName) + kHiddenExtension;
}

bool ChainFileFolder::isHidden(const QString& chainName) const {
  return !chainName.isEmpty() && QFileInfo::exists(hiddenMarkerPath(chainName));
}

bool ChainFileFolder::hideShipped(const QString& chainName) const {
  if (!shippedNames_.contains(chainName) || isHidden(chainName)) return true;
  const QString path = hiddenMarkerPath(chainName);
  QString error = QDir().mkpath(QFileInfo(path).absolutePath())
                      ? write(chainName, path)
                      : QStringLiteral("the folder cannot be made");
  if (error.isEmpty()) return true;
  Log::line(QStringLiteral("\t\terr: the shipped chain \"%1\" will come back: %2: %3")
                .arg(chainName, path, error));
  return false;
}

QString ChainFileFolder::write(const QVariant& value, const QString& path) const {
  return writer_ ? writer_(value, path) : PropertyList::write(value, path);
}

void ChainFileFolder::setWriter(Writer writer) { writer_ = std::move(writer); }

ChainFileFolder::Outcome ChainFileFolder::writeIfChanged(const QString& chainName,
                                                         const QVariant& value, bool keepDiffering,
                                                         const QString& errorPrefix) const {
  QString error;
  const QString path = userFilePath(chainName, &error);
  if (path.isEmpty()) {
    Log::line(errorPrefix + folderName_ + QStringLiteral(": ") + error);
    return Outcome::Failed;
  }
  if (QFileInfo::exists(path)) {
    const PropertyList::Result onDisk = PropertyList::read(path);
    if (onDisk.ok() && onDisk.value == PropertyList::normalized(value)) return Outcome::Unchanged;
    // The file may hold work newer than what replaces it: kept aside.
    if (keepDiffering && !moveAside(path, kReplacedFolder)) return Outcome::Failed;
  }
  error = write(value, path);
  if (error.isEmpty()) return Outcome::Written;
  Log::line(errorPrefix + path + QStringLiteral(": ") + error);
  return Outcome::Failed;
}

bool ChainFileFolder::moveAside(const QString& path, const QString& subfolder) const {
  const QFileInfo info(path);
  const QString folder = info.absolutePath() + QLatin1Char('/') + subfolder;
  if (!QDir().mkpath(folder)) {
    Log::line(QStringLiteral("\t\terr: the folder %1 cannot be made").arg(folder));
    return false;
  }
  QString target = folder + QLatin1Char('/') + info.fileName();
  const QString base =
      info.fileName().chopped(info.fileName().endsWith(extension_) ? extension_.size() : 0);
  for (int n = 2; QFileInfo::exists(target); ++n)
    target = QStringLiteral("%1/%2 %3%4").arg(folder, base).arg(n).arg(extension_);
  if (!QFile::rename(path, target)) {
    Log::line(QStringLiteral("\t\terr: the chain file %1 cannot be moved to %2").arg(path, target));
    return false;
  }
  return true;
}

bool ChainFileFolder::moveToDeleted(const QString& chainName) const {
  QString error;
  const QString path = userFilePath(chainName, &error);
  const bool moved = path.isEmpty() || !QFileInfo::exists(path) || moveAside(path, kDeletedFolder);
  return hideShipped(chainName) && moved;
}
