#include "framework/curves/CurveFiles.h"

#include "platform/foundation/FileNames.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

const QString CurveFiles::kFolderName = QStringLiteral("waves");
const QString CurveFiles::kExtension = QStringLiteral(".bzc");

QStringList CurveFiles::names() {
  QStringList names;
  for (const QString& folder : Paths::namedFolderSearchList(kFolderName)) {
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& entry : entries) {
      if (!entry.endsWith(kExtension, Qt::CaseSensitive)) continue;
      const QString name = FileNames::unescaped(entry.chopped(kExtension.size()));
      if (!name.isEmpty() && !names.contains(name)) names << name;
    }
  }
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
  });
  return names;
}

QString CurveFiles::pathForLoading(const QString& name) {
  if (name.isEmpty()) return {};
  const QString fileName = FileNames::escaped(name) + kExtension;
  for (const QString& folder : Paths::namedFolderSearchList(kFolderName)) {
    const QString path = folder + QLatin1Char('/') + fileName;
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

QString CurveFiles::pathForSaving(const QString& name, QString* error) {
  if (name.isEmpty()) {
    if (error) *error = QStringLiteral("a curve needs a name");
    return {};
  }
  const QString folder = Paths::userNamedFolder(kFolderName);
  if (folder.isEmpty()) {
    if (error) *error = QStringLiteral("the folder \"%1\" cannot be made").arg(kFolderName);
    return {};
  }
  return folder + QLatin1Char('/') + FileNames::escaped(name) + kExtension;
}

CurveFiles::ReadResult CurveFiles::read(const QString& path) {
  const PropertyList::Result result = PropertyList::read(path);
  if (!result.ok()) return {{}, result.error};
  if (result.value.typeId() != QMetaType::QVariantMap)
    return {{}, QStringLiteral("%1: the root is not a dictionary").arg(path)};
  return {result.value.toMap(), {}};
}
