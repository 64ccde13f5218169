#include "app/compositor/SourceFolderTable.h"

#include "app/compositor/CompModeLists.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

#include <QDir>

const QString SourceFolderTable::kBuiltInPlayer = QStringLiteral("<Built-In Player>");

const SourceFolderTable::Kind& SourceFolderTable::textSources() {
  static const Kind kind{QStringLiteral("qcTextSources"), QStringLiteral("FileInput"),
                         QStringLiteral("\t\terror- qtz named %1 had no FileInput"), false};
  return kind;
}

const SourceFolderTable::Kind& SourceFolderTable::imageSources() {
  static const Kind kind{QStringLiteral("qcImageSources"), QStringLiteral("imageFileInput"),
                         QStringLiteral("\t\terror- qtz named %1 had no imageInput"), true};
  return kind;
}

bool SourceFolderTable::publishesInput(const QString& path, const QString& key) {
  const PropertyList::Result read = PropertyList::read(path);
  const QVariantMap state = read.value.toMap()
                                .value(QStringLiteral("rootPatch"))
                                .toMap()
                                .value(QStringLiteral("state"))
                                .toMap();
  const QVariantList ports = state.value(QStringLiteral("publishedInputPorts")).toList();
  for (const QVariant& port : ports)
    if (port.toMap().value(QStringLiteral("key")).toString() == key) return true;
  return false;
}

SourceFolderTable SourceFolderTable::scan(const Kind& kind, const QStringList& folders) {
  SourceFolderTable table;
  for (const QString& folder : folders) {
    QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
      if (!CompModeLists::hasCompositionExtension(*it)) continue;
      if (!publishesInput(folder + *it, kind.requiredInput)) {
        Log::line(kind.missingMessage.arg(*it));
        continue;
      }
      table.paths.insert(*it, folder + *it);
    }
  }
  table.menuTitles = table.paths.keys();
  table.menuTitles.sort(Qt::CaseInsensitive);
  if (kind.builtInPlayerFirst) table.menuTitles.prepend(kBuiltInPlayer);
  return table;
}
