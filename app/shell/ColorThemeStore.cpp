#include "app/shell/ColorThemeStore.h"

#include "framework/toolkit/MutDictAdditions.h"
#include "platform/foundation/AtomicFile.h"
#include "platform/foundation/FileNames.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

const QString ColorThemeStore::kDefaultsKey = QStringLiteral("colors");
const QString ColorThemeStore::kExtension = QStringLiteral("zaphcolors");
const QString ColorThemeStore::kDumpExtension = QStringLiteral("srccolors");
const QString ColorThemeStore::kFolderName = QStringLiteral("themes");

namespace {

QString fileFor(const QString& folder, const QString& name, const QString& extension) {
  return QStringLiteral("%1/%2.%3").arg(folder, FileNames::escaped(name), extension);
}

// The user's folder for writing, made when missing; the reason when not.
QString userFolder(QString* error) {
  const QString folder = Paths::userNamedFolder(ColorThemeStore::kFolderName);
  if (folder.isEmpty() && error)
    *error = QStringLiteral("the folder \"%1\" cannot be made").arg(ColorThemeStore::kFolderName);
  return folder;
}

QString refusedEmptyName() {
  return QStringLiteral("you need to enter a destination file name before you can export");
}

}  // namespace

bool ColorThemeStore::save(const QVariantMap& groups) {
  const QVariant archive = KeyedArchive::archive(groups);
  QString error;
  if (!archive.isValid() || archive.toMap().isEmpty() ||
      !PropertyList::normalized(archive, &error).isValid()) {
    Log::line(QStringLiteral("\t\terr: couldn't encode color data"));
    return false;
  }
  UserDefaults& defaults = UserDefaults::standard();
  defaults.registerDefaults({{kDefaultsKey, archive}});
  defaults.setValue(kDefaultsKey, archive);
  defaults.synchronize();
  return true;
}

std::optional<QVariantMap> ColorThemeStore::stored() {
  const QVariant archive = UserDefaults::standard().value(kDefaultsKey);
  if (!archive.isValid()) return std::nullopt;
  const QVariant tree = KeyedArchive::unarchive(archive);
  if (tree.typeId() != QMetaType::QVariantMap) return std::nullopt;
  return tree.toMap();
}

QStringList ColorThemeStore::themeNames() {
  QStringList names;
  for (const QString& folder : Paths::namedFolderSearchList(kFolderName))
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files, QDir::Name)) {
      if (file.suffix() != kExtension || file.completeBaseName().isEmpty()) continue;
      const QString name = FileNames::unescaped(file.completeBaseName());
      if (!names.contains(name)) names << name;
    }
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  return names;
}

QString ColorThemeStore::themePath(const QString& name) {
  if (name.isEmpty()) return {};
  for (const QString& folder : Paths::namedFolderSearchList(kFolderName)) {
    const QString path = fileFor(folder, name, kExtension);
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

QString ColorThemeStore::whyNotATheme(const QVariant& tree) {
  if (tree.typeId() != QMetaType::QVariantMap) return QStringLiteral("it is not a dictionary");
  const QVariantMap groups = tree.toMap();
  for (auto it = groups.cbegin(); it != groups.cend(); ++it)
    if (it.value().typeId() != QMetaType::QVariantMap)
      return QStringLiteral("its group \"%1\" is not a dictionary").arg(it.key());
  return {};
}

QString ColorThemeStore::choose(const QString& name) {
  const QString path = themePath(name);
  if (path.isEmpty()) return QStringLiteral("there is no theme \"%1\"").arg(name);
  const PropertyList::Result read = PropertyList::read(path);
  if (!read.ok()) return read.error;
  if (const QString why = whyNotATheme(KeyedArchive::unarchive(read.value)); !why.isEmpty())
    return QStringLiteral("%1: %2").arg(path, why);
  UserDefaults& defaults = UserDefaults::standard();
  defaults.registerDefaults({{kDefaultsKey, read.value}});
  defaults.setValue(kDefaultsKey, read.value);
  return {};
}

QString ColorThemeStore::exportTheme(const QString& name) {
  if (name.isEmpty()) return refusedEmptyName();
  const QVariant archive = UserDefaults::standard().value(kDefaultsKey);
  if (!archive.isValid()) return QStringLiteral("there is no stored theme");
  QString error;
  const QString folder = userFolder(&error);
  if (folder.isEmpty()) return error;
  return PropertyList::write(archive, fileFor(folder, name, kExtension));
}

QString ColorThemeStore::rawExport(const QString& name) {
  if (name.isEmpty()) return refusedEmptyName();
  const std::optional<QVariantMap> groups = stored();
  if (!groups) return QStringLiteral("there is no stored theme that can be read");
  QString error;
  const QString folder = userFolder(&error);
  if (folder.isEmpty()) return error;
  return AtomicFile::write(fileFor(folder, name, kDumpExtension), dumpText(*groups).toUtf8());
}

QString ColorThemeStore::dumpText(const QVariantMap& groups) {
  QString text;
  for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
    text += QStringLiteral("-------------- %1\n\n").arg(it.key());
    text += MutDictAdditions::contentsAsSourceStringWithTabDepth(it.value().toMap(), 1);
    text += QStringLiteral(";\n\n\n\n");
  }
  return text;
}
