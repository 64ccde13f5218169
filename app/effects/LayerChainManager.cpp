#include "app/effects/LayerChainManager.h"

#include "app/compositor/Compositor.h"
#include "app/effects/LayerChainManagerClient.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"

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
  return ChainFileFolder(kFolderName, kExtension).fileNameFor(presetName);
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
  QStringList folders = files_.searchFolders();
  std::reverse(folders.begin(), folders.end());  // the shipped folder first
  for (const QString& folder : folders) {
    for (const QString& path : files_.chainFilesIn(folder)) {
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
      if (!files_.admits(folder, presetName(read.value))) continue;
      mergePreset(read.value.toMap());
    }
  }
  reloadPresetMenu();
}

bool LayerChainManager::writeThisFXChainDictToDisk(const QVariantMap& preset) {
  const QString name = presetName(preset);
  QString error;
  const QString path = files_.userFilePath(name, &error);
  if (error.isEmpty()) error = files_.write(preset, path);
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
  files_.moveToDeleted(name);
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
    files_.writeIfChanged(name, preset, true,
                          QStringLiteral("\t\terror writing fx chain to disk! %1 at ").arg(name));
  }
  reloadPresetMenu();
}
