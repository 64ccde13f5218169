#include "app/effects/LayerChainManager.h"

#include "app/compositor/Compositor.h"
#include "app/effects/LayerChainManagerClient.h"
#include "platform/foundation/FileNames.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

const QString LayerChainManager::kLayersChangedNotification =
    QStringLiteral("QKLayersChangedNotification");
const QString LayerChainManager::kPresetUpdateNotification =
    QStringLiteral("QKLayerFXPresetUpdateNotification");
const QString LayerChainManager::kFinderNotification =
    QStringLiteral("QKLayerChainManagerFinderNotification");
const QString LayerChainManager::kFolderName = QStringLiteral("layer chains");
const QString LayerChainManager::kExtension = QStringLiteral(".slc");

LayerChainManager::LayerChainManager() {
  setFXFolder(QStringLiteral("vidFX"));
  observers_.observe(kFinderNotification, nullptr, [this](const Notification& n) {
    if (n.object) static_cast<LayerChainManagerClient*>(n.object)->setLayerChainManager(this);
  });
}

LayerChainManager::~LayerChainManager() { observers_.clear(); }

void LayerChainManager::updateChainBasedLists() {
  NotificationCenter::defaultCenter().post(kLayersChangedNotification, this);
}

QString LayerChainManager::fileNameFor(const QString& presetName) {
  return FileNames::escaped(presetName) + kExtension;
}

QString LayerChainManager::presetName(const QVariant& preset) {
  if (preset.typeId() != QMetaType::QVariantMap) return {};
  const QVariant name = preset.toMap().value(kPresetNameKey);
  return name.typeId() == QMetaType::QString ? name.toString() : QString();
}

void LayerChainManager::mergePreset(const QVariantMap& preset) {
  FXChainManager::loadSnapshot({preset});
}

// --- Disk ---------------------------------------------------------------------------------

void LayerChainManager::loadFXChainPresetsFromDisk() {
  deleteAllPresets();
  QStringList folders = Paths::namedFolderSearchList(kFolderName);
  std::reverse(folders.begin(), folders.end());  // the shipped folder first
  for (const QString& folder : folders) {
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& entry : entries) {
      if (!entry.endsWith(kExtension, Qt::CaseSensitive)) continue;
      const QString path = folder + QLatin1Char('/') + entry;
      const PropertyList::Result read = PropertyList::read(path);
      if (!read.ok()) {
        Log::line(QStringLiteral("\t\terr: a chain preset was skipped: %1").arg(read.error));
        continue;
      }
      if (presetName(read.value).isEmpty()) {
        Log::line(QStringLiteral("\t\terr: a chain preset was skipped: %1: no dictionary with a "
                                 "name")
                      .arg(path));
        continue;
      }
      mergePreset(read.value.toMap());
    }
  }
  reloadPresetMenu();
}

QString LayerChainManager::userFilePath(const QString& name, QString* error) const {
  if (name.isEmpty()) {
    *error = QStringLiteral("a chain preset needs a name");
    return {};
  }
  const QString folder = Paths::userNamedFolder(kFolderName);
  if (folder.isEmpty()) {
    *error = QStringLiteral("the folder \"%1\" cannot be made").arg(kFolderName);
    return {};
  }
  return folder + QLatin1Char('/') + fileNameFor(name);
}

bool LayerChainManager::writeThisFXChainDictToDisk(const QVariantMap& preset) {
  const QString name = presetName(preset);
  QString error;
  const QString path = userFilePath(name, &error);
  if (error.isEmpty()) error = PropertyList::write(preset, path);
  if (error.isEmpty()) return true;
  Log::line(QStringLiteral("\t\terror writing fx chain to disk! %1 at %2: %3")
                .arg(name, path.isEmpty() ? kFolderName : path, error));
  return false;
}

bool LayerChainManager::saveFXChainPresetsToDisk() {
  bool ok = true;
  for (const QVariantMap& preset : fxChainPresetArray())
    ok = writeThisFXChainDictToDisk(preset) && ok;
  return ok;
}

// The file goes to `subfolder` of its folder under a name not yet used there.
bool LayerChainManager::moveAside(const QString& path, const QString& subfolder) const {
  const QFileInfo info(path);
  const QString folder = info.absolutePath() + QLatin1Char('/') + subfolder;
  if (!QDir().mkpath(folder)) {
    Log::line(QStringLiteral("\t\terr: the folder %1 cannot be made").arg(folder));
    return false;
  }
  QString target = folder + QLatin1Char('/') + info.fileName();
  for (int n = 2; QFileInfo::exists(target); ++n)
    target =
        QStringLiteral("%1/%2 %3%4").arg(folder, info.completeBaseName()).arg(n).arg(kExtension);
  if (!QFile::rename(path, target)) {
    Log::line(
        QStringLiteral("\t\terr: the chain preset %1 cannot be moved to %2").arg(path, target));
    return false;
  }
  return true;
}

// --- The list ---------------------------------------------------------------------------------

void LayerChainManager::reloadPresetMenu() {
  QList<QVariantMap>& presets = mutablePresetArray();
  std::stable_sort(presets.begin(), presets.end(), [](const QVariantMap& a, const QVariantMap& b) {
    return a.value(kPresetNameKey).toString() < b.value(kPresetNameKey).toString();
  });
  menu_.clear();
  for (const QVariantMap& preset : presets) menu_ << preset.value(kPresetNameKey).toString();
  NotificationCenter::defaultCenter().post(kPresetUpdateNotification, this);
}

bool LayerChainManager::savePreset(const QString& name, const QVariantList& chainSnapshot) {
  if (name.isEmpty()) {
    Log::line("\t\terr: a chain preset needs a name");
    return false;
  }
  const QVariantMap preset{{kPresetNameKey, name}, {kPresetSnapshotKey, chainSnapshot}};
  mergePreset(preset);
  const bool written = writeThisFXChainDictToDisk(preset);
  reloadPresetMenu();
  return written;
}

bool LayerChainManager::deletePreset(const QString& name) {
  if (!deletePresetNamed(name)) return false;
  QString error;
  const QString path = userFilePath(name, &error);
  if (!path.isEmpty() && QFileInfo::exists(path)) moveAside(path, QStringLiteral("deleted"));
  if (compositor_) compositor_->clearShortcutsForFXChainNamed(name);
  reloadPresetMenu();
  return true;
}

void LayerChainManager::loadSnapshot(const QVariantList& presets) {
  for (const QVariant& value : presets) {
    const QString name = presetName(value);
    if (name.isEmpty()) {
      Log::line("\t\terr: a project's chain preset without a name was skipped");
      continue;
    }
    const QVariantMap preset = value.toMap();
    mergePreset(preset);
    QString error;
    const QString path = userFilePath(name, &error);
    if (path.isEmpty()) {
      Log::line(QStringLiteral("\t\terror writing fx chain to disk! %1: %2").arg(name, error));
      continue;
    }
    if (QFileInfo::exists(path)) {
      const PropertyList::Result onDisk = PropertyList::read(path);
      if (onDisk.ok() && onDisk.value == PropertyList::normalized(preset)) continue;
      // The file on disk may be newer than the project: kept aside.
      if (!moveAside(path, QStringLiteral("replaced"))) continue;
    }
    writeThisFXChainDictToDisk(preset);
  }
  reloadPresetMenu();
}
