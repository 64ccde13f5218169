#include "framework/fx/FXChainManager.h"

#include "framework/fx/FXObject.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

const QString FXChainManager::kPresetNameKey = QStringLiteral("QKPMNameKey");
const QString FXChainManager::kPresetSnapshotKey = QStringLiteral("snapshot");
const QString FXChainManager::kDragMimePrefix = QStringLiteral("application/x-zaph-");

namespace {

struct PanelImage {
  const char* key;
  const char* file;
};
constexpr PanelImage kPanelImages[] = {
    {"on", "FXPanelOn"},         {"off", "FXPanelOff"},       {"resize", "FXPanelResize"},
    {"delete", "FXPanelDelete"}, {"expand", "FXPanelExpand"}, {"collapse", "FXPanelCollapse"},
};

}  // namespace

FXChainManager::FXChainManager() { loadChainResources(); }

FXChainManager::~FXChainManager() = default;

void FXChainManager::setFXFolder(const QString& folder) {
  fxFolder_ = folder;
  chainFXPboardType_ = QStringLiteral("%1ChainFXPboardTypeString").arg(folder);
  chainFXPboardName_ = QStringLiteral("%1chainFXPboardNameString").arg(folder);
  chainPboardType_ = QStringLiteral("%1ChainPboardTypeString").arg(folder);
  chainPboardName_ = QStringLiteral("%1ChainPboardNameString").arg(folder);
  // A folder beside the program.
  QString program = QCoreApplication::applicationFilePath();
  if (program.isEmpty()) program = QDir::currentPath() + QStringLiteral("/ZAPH");
  fxFolderPathArray_ = program.split(QLatin1Char('/'));
  if (!fxFolderPathArray_.isEmpty()) fxFolderPathArray_.last() = folder;
}

void FXChainManager::loadChainResources() {
  pluginResourceDict_.clear();
  for (const PanelImage& image : kPanelImages) {
    const QString path = Paths::resourcePath(
        QStringLiteral("images/%1").arg(QLatin1String(image.file)), QStringLiteral("png"));
    QImage picture(path);
    if (picture.isNull()) {
      Log::line(QStringLiteral("\t\terr: couldn't load the panel image %1").arg(path));
      continue;
    }
    pluginResourceDict_.insert(QLatin1String(image.key), picture);
  }
}

void FXChainManager::addClass(Factory factory, const QString& name) {
  if (factory) fxClassDict_.insert(name, std::move(factory));
}

std::shared_ptr<FXObject> FXChainManager::returnNewEffectNamed(const QString& name) {
  const auto found = fxClassDict_.constFind(name);
  if (found == fxClassDict_.constEnd()) {
    QStringList bundle = fxFolderPathArray_;
    bundle.append(QStringLiteral("%1.bundle").arg(name));
    Log::line(QStringLiteral("\t\terror: couldn't find the bundle named %1")
                  .arg(bundle.join(QLatin1Char('/'))));
    return nullptr;
  }
  std::shared_ptr<FXObject> element = (*found)(name);
  if (!element) {
    Log::line("\t\terror: couldn't create an instance of the bundle class");
    return nullptr;
  }
  return element;
}

QVariantMap FXChainManager::findPresetNamed(const QString& name) const {
  for (const QVariantMap& preset : fxChainPresetArray_)
    if (preset.value(kPresetNameKey).toString() == name) return preset;
  return {};
}

bool FXChainManager::deletePresetNamed(const QString& name) {
  for (qsizetype i = 0; i < fxChainPresetArray_.size(); ++i) {
    if (fxChainPresetArray_[i].value(kPresetNameKey).toString() == name) {
      fxChainPresetArray_.removeAt(i);
      return true;
    }
  }
  return false;
}

bool FXChainManager::deleteAllPresets() {
  fxChainPresetArray_.clear();
  return fxChainPresetArray_.isEmpty();
}

QVariantList FXChainManager::createSnapshot() const {
  QVariantList presets;
  for (const QVariantMap& preset : fxChainPresetArray_) presets.append(preset);
  return presets;
}

void FXChainManager::loadSnapshot(const QVariantList& presets) {
  for (const QVariant& entry : presets) {
    if (entry.typeId() != QMetaType::QVariantMap) {
      Log::line("\t\terr: a chain preset that is not a dictionary was skipped");
      continue;
    }
    const QVariantMap preset = entry.toMap();
    const QVariant name = preset.value(kPresetNameKey);
    if (name.typeId() == QMetaType::QString) deletePresetNamed(name.toString());
    fxChainPresetArray_.append(preset);
  }
}
