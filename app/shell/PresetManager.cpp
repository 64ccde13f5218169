#include "app/shell/PresetManager.h"

#include "app/shell/PresetManagerHost.h"
#include "framework/controls/QKButton.h"
#include "framework/toolkit/PaletteNotifications.h"
#include "framework/toolkit/QKNSTextLabel.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

const QString kLoadPresetPath = QStringLiteral("loadPresetPath");

// Window positions: the fixed palettes in the order they are made and
// restored.
constexpr const char* kWindowPositionKeys[] = {
    "pluginManager", "masterClock", "buttonSliderInspector", "behaviorChainManager", "compositor",
    "presetManager", "fxPalette",   "mediaInspector",        "SGController",
};

// Palette shortcuts: the owners that fill their own dictionaries, and the
// log line of those that miss theirs on restore.
struct ShortcutOwner {
  const char* key;
  const char* missingLog;  // null: a missing entry is not logged
};
constexpr ShortcutOwner kShortcutOwners[] = {
    {"pluginManager", "\t\terror loading plugin palette shortcut snap"},
    {"masterClock", "\t\terror loading masterclock palette shortcut snap"},
    {"sliderInspector", nullptr},
    {"buttonInspector", nullptr},
    {"compositor", "\t\terror loading compositor palette shortcut snap"},
};

// The preset window's buttons: snapshot order, then restore order.
constexpr const char* kPresetButtonSaveOrder[] = {
    "triggerButton",     "updateButton",      "prevFullButton",    "prevPluginsButton",
    "prevLayersButton",  "prevLayerFXButton", "prevAnyButton",     "nextFullButton",
    "nextPluginsButton", "nextLayersButton",  "nextLayerFXButton", "nextAnyButton",
};
constexpr const char* kPresetButtonLoadOrder[] = {
    "updateButton",      "triggerButton",     "prevFullButton",    "prevPluginsButton",
    "prevLayersButton",  "prevLayerFXButton", "prevAnyButton",     "nextFullButton",
    "nextPluginsButton", "nextLayersButton",  "nextLayerFXButton", "nextAnyButton",
};

void post(const char* name) { NotificationCenter::defaultCenter().post(QString::fromLatin1(name)); }

bool isMap(const QVariant& value) { return value.typeId() == QMetaType::QVariantMap; }

}  // namespace

PresetManager::PresetManager(PresetManagerHost* host) : host_(host), paletteStackOrder_(0) {
  buildWindow();
}

PresetManager::PresetManager() = default;

PresetManager::~PresetManager() {
  if (window_) window_->prepareToBeDeleted();
}

// --- The preset window --------------------------------------------------------------------------

void PresetManager::buildWindow() {
  window_ = std::make_unique<QKPaletteWindow>(QRectF(0, 400, 260, 171));
  content_ = new QKWindowContentView;
  window_->setContentView(content_);
  window_->setTitle(QString::fromLatin1(kPaletteTitle));
  window_->setDelegate(this);
  QWidget* body = content_->body();
  setNameField_ = new QKNSTextLabel(QString::fromLatin1(kNewProjectName), body);
  setNameField_->setObjectName(QStringLiteral("setNameField"));
  setNameField_->setGeometry(4, 4, 252, 18);

  newFullPresetButton_ = makeButton(QStringLiteral("+ All"), QRect(4, 28, 60, 18));
  newPluginPresetButton_ = makeButton(QStringLiteral("+ Plugins"), QRect(68, 28, 60, 18));
  newLayerPresetButton_ = makeButton(QStringLiteral("+ Layers"), QRect(132, 28, 60, 18));
  newLayerFXPresetButton_ = makeButton(QStringLiteral("+ FX"), QRect(196, 28, 62, 18));
  triggerPresetButton_ = makeButton(QStringLiteral("Trigger"), QRect(4, 52, 124, 18));
  triggerPresetButton_->setTriggerOnMain(true);
  updatePresetButton_ = makeButton(QStringLiteral("Update"), QRect(132, 52, 126, 18));
  const QString kinds[] = {QStringLiteral("All"), QStringLiteral("Plug"), QStringLiteral("Lay"),
                           QStringLiteral("FX"), QStringLiteral("Any")};
  QKButton** prev[] = {&prevFullButton_, &prevPluginsButton_, &prevLayersButton_,
                       &prevLayerFXButton_, &prevAnyButton_};
  QKButton** next[] = {&nextFullButton_, &nextPluginsButton_, &nextLayersButton_,
                       &nextLayerFXButton_, &nextAnyButton_};
  for (int i = 0; i < 5; ++i) {
    *prev[i] = makeButton(QStringLiteral("< ") + kinds[i], QRect(4 + 51 * i, 76, 49, 18));
    *next[i] = makeButton(kinds[i] + QStringLiteral(" >"), QRect(4 + 51 * i, 100, 49, 18));
  }
}

QKButton* PresetManager::makeButton(const QString& title, const QRect& frame) {
  auto* button = new QKButton(content_->body());
  button->setTitle(title);
  button->setTitle2(title);
  button->setGeometry(frame);
  return button;
}

QKButton* PresetManager::paletteButton(const QString& key) const {
  const std::pair<const char*, QKButton*> buttons[] = {
      {"triggerButton", triggerPresetButton_},   {"updateButton", updatePresetButton_},
      {"prevFullButton", prevFullButton_},       {"prevPluginsButton", prevPluginsButton_},
      {"prevLayersButton", prevLayersButton_},   {"prevLayerFXButton", prevLayerFXButton_},
      {"prevAnyButton", prevAnyButton_},         {"nextFullButton", nextFullButton_},
      {"nextPluginsButton", nextPluginsButton_}, {"nextLayersButton", nextLayersButton_},
      {"nextLayerFXButton", nextLayerFXButton_}, {"nextAnyButton", nextAnyButton_},
  };
  for (const auto& [name, button] : buttons)
    if (key == QLatin1String(name)) return button;
  return nullptr;
}

void PresetManager::awakeFromNib() {
  if (!window_) return;
  window_->awakeFromNib();
  NotificationCenter::defaultCenter().post(
      QString::fromLatin1(PaletteNotifications::AddPaletteWindow), window_.get());
}

void PresetManager::showWindow() {
  if (!window_) return;
  window_->show();
  window_->raise();
}

void PresetManager::setNameField(const QString& text) {
  if (setNameField_) setNameField_->setText(text);
}

QString PresetManager::setNameFieldText() const {
  return setNameField_ ? setNameField_->text() : QString();
}

// --- Paths ------------------------------------------------------------------------------------

QString PresetManager::verifiedPath(const QString& path) {
  if (QFileInfo(path).suffix() == QLatin1String(kExtension)) return path;
  return path + QLatin1Char('.') + QLatin1String(kExtension);
}

QString PresetManager::backupPath(const QString& savePath) {
  const QFileInfo info(savePath);
  const QString stem = info.suffix().isEmpty()
                           ? savePath
                           : savePath.left(savePath.size() - info.suffix().size() - 1);
  return verifiedPath(stem + QLatin1Char('~'));
}

QString PresetManager::saveAsDirectory() {
  const QString last = UserDefaults::standard().stringValue(kLoadPresetPath);
  if (!last.isEmpty()) {
    const QString folder = QFileInfo(last).absolutePath();
    if (QFileInfo(folder).isDir()) return folder;
  }
  const QString projects = Paths::projectsDir();
  return QFileInfo(projects).isDir() ? projects : QDir::homePath();
}

void PresetManager::storeLoadPresetPath(const QString& path) {
  UserDefaults& defaults = UserDefaults::standard();
  if (!defaults.contains(kLoadPresetPath)) defaults.registerDefaults({{kLoadPresetPath, path}});
  defaults.setValue(kLoadPresetPath, path);
  defaults.synchronize();
}

// --- The project file -----------------------------------------------------------------------

std::optional<QVariantMap> PresetManager::createProjectFileDictionary() {
  QVariantMap root;
  const QString version = host_ ? host_->bundleVersion() : QString();
  if (!version.isEmpty()) root.insert(QStringLiteral("projectVersion"), version);
  root.insert(QStringLiteral("presets"), presetArray_);
  if (!host_) return std::nullopt;
  bool failed = false;
  if (const auto pages = host_->pageControllerSnapshot()) {
    root.insert(QStringLiteral("pageControllerSetup"), *pages);
  } else {
    Log::line(QStringLiteral("\t\terror creating snap for pageController"));
    failed = true;
  }
  if (const auto grabber = host_->sequenceGrabberSnapshot()) {
    root.insert(QStringLiteral("sequenceGrabberSetup"), *grabber);
  } else {
    Log::line(QStringLiteral("\t\terror creating snap for SGController"));
    failed = true;
  }
  if (failed) return std::nullopt;
  root.insert(QStringLiteral("paletteShortcutSnapshot"), createPaletteShortcutSnapshot());
  const auto layerChains = host_->layerChainManagerSnapshot();
  if (!layerChains) {
    Log::line(QStringLiteral("\t\terror creating the snap for the layer chain manager"));
    return std::nullopt;
  }
  root.insert(QStringLiteral("layerChainManagerSnapshot"), *layerChains);
  const auto behaviorChains = host_->behaviorChainManagerSnapshot();
  if (!behaviorChains) {
    Log::line(QStringLiteral("\t\terror creating the snap for the behavior chain manager"));
    return std::nullopt;
  }
  root.insert(QStringLiteral("behaviorChainManagerSnapshot"), *behaviorChains);
  return root;
}

QString PresetManager::writePresetsToVerifiedPath(const QString& path) {
  const QString target = verifiedPath(path);
  setNameField(QFileInfo(path).completeBaseName());
  if (host_) host_->saveChainPresetsToDisk();
  const std::optional<QVariantMap> root = createProjectFileDictionary();
  if (!root) {
    Log::line(QStringLiteral("\t\terr: writing presets failed!"));
    return target + QStringLiteral(": a part of the project could not be gathered");
  }
  const QString error = PropertyList::write(*root, target);
  if (!error.isEmpty()) Log::line(QStringLiteral("\t\terr: writing presets failed: ") + error);
  return error;
}

bool PresetManager::writeReportingFailure(const QString& path) {
  const QString error = writePresetsToVerifiedPath(path);
  if (error.isEmpty()) return true;
  showSaveError(
      QStringLiteral("The project could not be saved to %1.\n%2").arg(verifiedPath(path), error));
  return false;
}

// An alert the fullscreen output would hide: the output leaves fullscreen
// first.
void PresetManager::showSaveError(const QString& message) {
  if (host_ && host_->fullscreenWouldHideAModal()) host_->leaveFullscreen();
  Alert::show(QStringLiteral("Error during save"), message, {QStringLiteral("OK")});
}

// --- Readiness ------------------------------------------------------------------------------

bool PresetManager::readyToCreateProjectDictionary() {
  if (busy_) {
    Log::line(QStringLiteral("err: busy on confirmPresetCount"));
    return false;
  }
  busy_ = true;
  if (!presetArray_.isEmpty()) {
    busy_ = false;
    return true;
  }
  Log::line(QStringLiteral("err: project file has no presets!"));
  const bool hidden = host_ && host_->fullscreenWouldHideAModal();
  if (!hidden) {
    const int answer = Alert::show(
        QStringLiteral("This project file contains no presets.\nWould you like to create a new "
                       "preset now before continuing?"),
        QStringLiteral("Presets can be added, removed and updated in the Preset Manager."),
        {QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("Cancel")}, 0);
    if (answer == 1) {
      Log::line(QStringLiteral(
          "\t\tuser opted out of creating a preset, but would like to continue anyway"));
      busy_ = false;
      return true;
    }
    if (answer == 2) {
      Log::line(QStringLiteral("\t\tuser cancelled"));
      busy_ = false;
      return false;
    }
  }
  Log::line(QStringLiteral("\t\tcreating full preset and continuing"));
  addFirstPreset();
  busy_ = false;
  return true;
}

void PresetManager::addFirstPreset() {
  QVariantMap preset;
  preset.insert(QStringLiteral("QKPMNameKey"), QStringLiteral("First Preset"));
  preset.insert(QStringLiteral("QKPMTypeKey"), QStringLiteral("Everything"));
  preset.insert(QStringLiteral("QKPMIndexKey"), static_cast<qint64>(presetArray_.size()));
  if (host_) {
    preset.insert(QStringLiteral("compositorSnapshot"), host_->compositorSnapshot());
    preset.insert(QStringLiteral("PMSnapshot"), host_->pluginManagerSnapshot());
  }
  preset.insert(QStringLiteral("windPosSnapshot"), createWindowPositionSnapshot());
  presetArray_.append(preset);
}

// --- Save, Save As, backup --------------------------------------------------------------------

void PresetManager::saveButtonUsed() {
  if (busy_) {
    Log::line(QStringLiteral("\t\twas busy on save"));
    return;
  }
  if (savePath_.isEmpty()) {
    Log::line(QStringLiteral("\t\terror: the savePath is nila"));
    saveAsButtonUsed();
    return;
  }
  if (!readyToCreateProjectDictionary()) return;
  if (QFileInfo(savePath_).isDir()) {
    showSaveError(
        QStringLiteral("%1 is a folder: choose a file to save the project to.").arg(savePath_));
    saveAsButtonUsed();
    return;
  }
  busy_ = true;
  if (writeReportingFailure(savePath_)) storeLoadPresetPath(verifiedPath(savePath_));
  busy_ = false;
}

void PresetManager::saveAsButtonUsed() {
  if (busy_ || !readyToCreateProjectDictionary()) return;
  busy_ = true;
  if (saveAsPanel_) saveAsPanel_->deleteLater();
  auto* panel = new QFileDialog(window_.get(), QStringLiteral("Save Project As"), saveAsDirectory(),
                                QStringLiteral("ZAPH projects (*.zaph)"));
  panel->setObjectName(QStringLiteral("saveAsPanel"));
  panel->setAcceptMode(QFileDialog::AcceptSave);
  panel->setFileMode(QFileDialog::AnyFile);
  panel->setOption(QFileDialog::DontUseNativeDialog);
  panel->setWindowModality(Qt::WindowModal);
  connect(panel, &QFileDialog::finished, this, [this, panel](int result) {
    saveAsDidEnd(result == QDialog::Accepted, panel->selectedFiles().value(0));
    panel->deleteLater();
  });
  saveAsPanel_ = panel;
  panel->open();
  busy_ = false;
}

void PresetManager::saveAsDidEnd(bool accepted, const QString& fileName) {
  if (!accepted) return;
  if (fileName.isEmpty()) {
    showSaveError(QStringLiteral("The save path couldn't be recovered"));
    return;
  }
  const QString target = verifiedPath(fileName);
  if (QFileInfo(target).isDir()) {
    showSaveError(
        QStringLiteral("%1 is a folder: choose a file to save the project to.").arg(target));
    return;
  }
  if (!writeReportingFailure(target)) return;
  savePath_ = target;
  storeLoadPresetPath(target);
}

// Written in the middle of a show: a failure is logged, never asked about.
// The name field keeps the project's name.
void PresetManager::updateTempSetFile() {
  if (savePath_.isEmpty()) return;
  const QString name = setNameFieldText();
  const QString error = writePresetsToVerifiedPath(backupPath(savePath_));
  setNameField(name);
  if (!error.isEmpty()) Log::line(QStringLiteral("\t\terr: the backup was not written: ") + error);
}

// --- File New ---------------------------------------------------------------------------------

void PresetManager::newFileMenuUsed() {
  if (busy_) return;
  setNameField(QString::fromLatin1(kNewProjectName));
  if (host_) host_->cancelFileLoading();
  post("QKPMRestoreStartNotification");
  presetArray_.clear();
  if (host_) {
    host_->deleteAllLayers();
    host_->deleteAllPlugins();
    host_->clearRootFolder();
    host_->clearOutInPrepForLoad();
  }
  missingFileArray_.clear();
  missingFileSnapArray_.clear();
  post("QKPMRestoreEndNotification");
  if (host_) host_->setLock(false, false);
  post(PaletteNotifications::PalettesToDefaultLocation);
  savePath_.clear();
}

// --- Opening --------------------------------------------------------------------------------

QString PresetManager::defaultProjectPath() const {
  const QString last = UserDefaults::standard().stringValue(kLoadPresetPath);
  return !last.isEmpty() && QFileInfo(last).isFile() ? last : QString();
}

// Reading projects is not built yet: nothing is loaded, and nothing is
// taken for loaded (a save then would write the empty setup over it).
void PresetManager::loadProjectFromPath(const QString& path) {
  Log::line(QStringLiteral("\t\terr: projects cannot be opened yet; %1 was not loaded").arg(path));
}

void PresetManager::loadDefaultProject() {
  const QString path = defaultProjectPath();
  if (!path.isEmpty()) loadProjectFromPath(path);
}

void PresetManager::fileMenuOpen() {
  Log::line(QStringLiteral("\t\terr: projects cannot be opened yet"));
}

// --- Window positions -------------------------------------------------------------------------

QVariantMap PresetManager::createWindowPositionSnapshot() {
  QVariantMap snapshot;
  if (!host_) return snapshot;
  for (const char* key : kWindowPositionKeys)
    if (QKWindowContentView* view = host_->paletteContentView(QString::fromLatin1(key)))
      snapshot.insert(QString::fromLatin1(key), view->createSnapshot());
  snapshot.insert(QStringLiteral("interfaceLockDict"),
                  QVariantMap{{QStringLiteral("lock"), host_->interfaceLock()},
                              {QStringLiteral("lockAll"), host_->interfaceLockAll()}});
  return snapshot;
}

// Entries of the wrong type are skipped with a log line.
void PresetManager::matchThisWindPosSnapshot(const QVariant& value) {
  if (!host_ || !isMap(value)) return;
  const QVariantMap snapshot = value.toMap();
  for (const char* name : kWindowPositionKeys) {
    QString key = QString::fromLatin1(name);
    if (key == QLatin1String("buttonSliderInspector") && !snapshot.contains(key))
      key = QStringLiteral("sliderInspector");
    if (!snapshot.contains(key)) continue;
    if (!isMap(snapshot.value(key))) {
      Log::line(
          QStringLiteral("\t\terr: window position \"%1\" is no dictionary; skipped").arg(key));
      continue;
    }
    if (QKWindowContentView* view = host_->paletteContentView(QString::fromLatin1(name)))
      view->loadSnapshot(snapshot.value(key).toMap());
  }
  const QVariant lock = snapshot.value(QStringLiteral("interfaceLockDict"));
  if (!isMap(lock)) return;
  const QVariantMap flags = lock.toMap();
  host_->setLock(flags.value(QStringLiteral("lock")).toBool(),
                 flags.value(QStringLiteral("lockAll")).toBool());
}

// --- Palette shortcuts ------------------------------------------------------------------------

QVariantMap PresetManager::createPaletteShortcutSnapshot() {
  QVariantMap snapshot;
  for (const ShortcutOwner& owner : kShortcutOwners) {
    QVariantMap inner;
    if (host_) host_->putPaletteSnapInDict(QString::fromLatin1(owner.key), inner);
    snapshot.insert(QString::fromLatin1(owner.key), inner);
  }
  QVariantMap own;
  for (const char* key : kPresetButtonSaveOrder)
    if (QKButton* button = paletteButton(QString::fromLatin1(key)))
      own.insert(QString::fromLatin1(key), button->createSnapshot());
  snapshot.insert(QStringLiteral("presetManager"), own);
  return snapshot;
}

void PresetManager::matchThisPaletteShortcutSnapshot(const QVariant& value) {
  const QVariantMap snapshot = isMap(value) ? value.toMap() : QVariantMap();
  for (const ShortcutOwner& owner : kShortcutOwners) {
    const QVariant inner = snapshot.value(QString::fromLatin1(owner.key));
    if (!isMap(inner)) {
      if (owner.missingLog) Log::line(QString::fromLatin1(owner.missingLog));
      continue;
    }
    if (host_)
      host_->matchThisPaletteShortcutSnapshot(QString::fromLatin1(owner.key), inner.toMap());
  }
  const QVariant own = snapshot.value(QStringLiteral("presetManager"));
  if (!isMap(own)) {
    Log::line(QStringLiteral("\t\terror loading presetmanager palette shortcut snap"));
    return;
  }
  const QVariantMap buttons = own.toMap();
  for (const char* key : kPresetButtonLoadOrder) {
    const QVariant button = buttons.value(QString::fromLatin1(key));
    if (QKButton* target = paletteButton(QString::fromLatin1(key)); target && isMap(button))
      target->loadSnapshot(button.toMap());
  }
}
