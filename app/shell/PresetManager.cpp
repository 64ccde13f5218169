#include "app/shell/PresetManager.h"

#include "app/shell/PMTableDelegate.h"
#include "app/shell/PMTableView.h"
#include "app/shell/PresetManagerHost.h"
#include "app/shell/PresetRecords.h"
#include "app/shell/ProjectLoadingPanel.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/QKFile.h"
#include "platform/foundation/DelayedCalls.h"
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
#include <QItemSelectionModel>

#include <algorithm>

namespace {

const QString kLoadPresetPath = QStringLiteral("loadPresetPath");
const QString kLastVersionKey = QStringLiteral("lastVsnUsedToOpenString");
const QString kTriggerPresetKey = QStringLiteral("startingPointTriggerPreset");
const QString kPresetsKey = QStringLiteral("presets");
const QString kAboutToLoad = QStringLiteral("QKPMAboutToLoadNotification");
const QString kRestoreStart = QStringLiteral("QKPMRestoreStartNotification");
const QString kPluginDeleted = QStringLiteral("QKPluginDeletedNotification");
constexpr char kTutorialFileName[] = "Tutorial Project.zaph";
constexpr char kOlderProjectWarning[] =
    "There have been a lot of changes and additions to ZAPH since this project file was made, "
    "and your presets may not restore the same way they did with older versions of ZAPH!";

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

PresetManager::PresetManager(PresetManagerHost* host)
    : host_(host), paletteStackOrder_(0), delayedCalls_(&DelayedCalls::mainThread()) {
  tableDelegate_ = std::make_unique<PMTableDelegate>(&presetArray_);
  buildWindow();
  observeNotifications();
}

PresetManager::PresetManager() : delayedCalls_(&DelayedCalls::mainThread()) {
  tableDelegate_ = std::make_unique<PMTableDelegate>(&presetArray_);
  observeNotifications();
}

PresetManager::~PresetManager() {
  observers_.clear();
  stopObservingLoader();
  delayedCalls_->cancel(this);
  for (QKButton* button : allButtons()) button->prepareToBeDeleted();
  if (window_) window_->prepareToBeDeleted();
}

void PresetManager::setDelayedCalls(DelayedCalls* calls) {
  delayedCalls_->cancel(this);
  delayedCalls_ = calls ? calls : &DelayedCalls::mainThread();
}

void PresetManager::observeNotifications() {
  const auto handle = [this](const QString& name,
                             void (PresetManager::*handler)(const Notification&)) {
    observers_.observe(name, nullptr,
                       [this, handler](const Notification& note) { (this->*handler)(note); });
  };
  handle(kAboutToLoad, &PresetManager::aboutToLoadProjectNotification);
  handle(MediaNotifications::kFileLoaderStartedLoad, &PresetManager::aboutToLoadFilesNotification);
  handle(MediaNotifications::kMissingFile, &PresetManager::missingFileNotification);
  handle(MediaNotifications::kFileFolderDeleted, &PresetManager::fileFolderDeletedNotification);
  for (const QString& name : {kRestoreStart, kPluginDeleted})
    observers_.observe(name, nullptr, [this](const Notification&) {
      if (optionsPanelOpen()) closeOptionsPanel();
    });
}

// --- The preset window --------------------------------------------------------------------------

// The body (260 x 330): the project's name, the take buttons, trigger and
// update, the step buttons, then the table.
void PresetManager::buildWindow() {
  window_ = std::make_unique<QKPaletteWindow>(QRectF(0, 260, 260, 349));
  content_ = new QKWindowContentView;
  window_->setContentView(content_);
  window_->setTitle(QString::fromLatin1(kPaletteTitle));
  window_->setDelegate(this);
  QWidget* body = content_->body();
  setNameField_ = new QKNSTextLabel(QString::fromLatin1(kNewProjectName), body);
  setNameField_->setObjectName(QStringLiteral("setNameField"));
  setNameField_->setGeometry(4, 4, 196, 18);
  optionsButton_ = makeButton(QStringLiteral("Options"), QRect(204, 4, 54, 18),
                              &PresetManager::openOptionsPanel);

  using PM = PresetManager;
  newFullPresetButton_ = makeKindButton(QStringLiteral("+ All"), QRect(4, 28, 60, 18),
                                        &PM::takeSnapshot, PresetRecords::kEverything);
  newPluginPresetButton_ = makeKindButton(QStringLiteral("+ Plugins"), QRect(68, 28, 60, 18),
                                          &PM::takeSnapshot, PresetRecords::kPlugins);
  newLayerPresetButton_ = makeKindButton(QStringLiteral("+ Layers"), QRect(132, 28, 60, 18),
                                         &PM::takeSnapshot, PresetRecords::kLayers);
  newLayerFXPresetButton_ = makeKindButton(QStringLiteral("+ FX"), QRect(196, 28, 62, 18),
                                           &PM::takeSnapshot, PresetRecords::kLayerFX);
  triggerPresetButton_ =
      makeButton(QStringLiteral("Trigger"), QRect(4, 52, 124, 18), &PM::triggerPresetClicked);
  updatePresetButton_ =
      makeButton(QStringLiteral("Update"), QRect(132, 52, 126, 18), &PM::updatePreset);
  const QString titles[] = {QStringLiteral("All"), QStringLiteral("Plug"), QStringLiteral("Lay"),
                            QStringLiteral("FX"), QStringLiteral("Any")};
  const QString kinds[] = {PresetRecords::kEverything, PresetRecords::kPlugins,
                           PresetRecords::kLayers, PresetRecords::kLayerFX};
  QKButton** prev[] = {&prevFullButton_, &prevPluginsButton_, &prevLayersButton_,
                       &prevLayerFXButton_};
  QKButton** next[] = {&nextFullButton_, &nextPluginsButton_, &nextLayersButton_,
                       &nextLayerFXButton_};
  for (int i = 0; i < 4; ++i) {
    *prev[i] = makeKindButton(QStringLiteral("< ") + titles[i], QRect(4 + 51 * i, 76, 49, 18),
                              &PM::prevUsed, kinds[i]);
    *next[i] = makeKindButton(titles[i] + QStringLiteral(" >"), QRect(4 + 51 * i, 100, 49, 18),
                              &PM::nextUsed, kinds[i]);
  }
  prevAnyButton_ = makeButton(QStringLiteral("< Any"), QRect(208, 76, 49, 18), &PM::prevAnyUsed);
  nextAnyButton_ = makeButton(QStringLiteral("Any >"), QRect(208, 100, 49, 18), &PM::nextAnyUsed);
  buildTable();
  buildOptionsPanel();
}

void PresetManager::buildTable() {
  tableView_ = new PMTableView(tableDelegate_.get(), content_->body());
  tableView_->setGeometry(4, 124, 252, 202);
  tableDelegate_->setDoubleAction([this] { triggerPresetClicked(); });
  QObject::connect(tableView_, &PMTableView::deleteKeyPressed, this,
                   &PresetManager::deleteKeyPressed);
  QObject::connect(tableView_, &PMTableView::triggerImageClicked, this,
                   &PresetManager::delayedTriggerPresetClicked);
  QObject::connect(tableDelegate_.get(), &PMTableDelegate::nameEdited, this,
                   [this] { updateTempSetFile(); });
  // Reorders and deletes keep the selection on the row the performer sees.
  QObject::connect(tableView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                   [this](const QModelIndex& current) {
                     selectedRow_ = current.isValid() ? current.row() : -1;
                   });
  QObject::connect(tableDelegate_.get(), &QAbstractItemModel::modelReset, this, [this] {
    if (selectedRow_ >= tableDelegate_->rowCount()) selectedRow_ = -1;
    if (selectedRow_ >= 0) selectRow(selectedRow_);
  });
}

// The options sheet: over the preset window, until Done.
void PresetManager::buildOptionsPanel() {
  optionsPanel_ = new QWidget(content_->body());
  optionsPanel_->setObjectName(QStringLiteral("optionsPanel"));
  optionsPanel_->setGeometry(20, 30, 220, 90);
  optionsPanel_->setAutoFillBackground(true);
  auto* label = new QKNSTextLabel(QStringLiteral("Preset options"), optionsPanel_);
  label->setGeometry(8, 8, 204, 18);
  auto* done = new QKButton(optionsPanel_);
  done->setTitle(QStringLiteral("Done"));
  done->setTitle2(QStringLiteral("Done"));
  done->setGeometry(150, 64, 62, 18);
  done->setTriggerOnMain(true);
  done->setTarget(alive_);
  done->setAction([this](QKButtonCell&) { closeOptionsPanel(); });
  optionsDoneButton_ = done;
  optionsPanel_->hide();
}

// However a button is played (a click, a learnt MIDI note, OSC message or
// key), its action runs on the main thread.
QKButton* PresetManager::makeButton(const QString& title, const QRect& frame,
                                    void (PresetManager::*action)()) {
  auto* button = new QKButton(content_->body());
  button->setTitle(title);
  button->setTitle2(title);
  button->setGeometry(frame);
  button->setTriggerOnMain(true);
  button->setTarget(alive_);
  button->setAction([this, action](QKButtonCell&) { (this->*action)(); });
  return button;
}

QKButton* PresetManager::makeKindButton(const QString& title, const QRect& frame,
                                        void (PresetManager::*action)(const QString&),
                                        const QString& kind) {
  QKButton* button = makeButton(title, frame, nullptr);
  button->setAction([this, action, kind](QKButtonCell&) { (this->*action)(kind); });
  return button;
}

std::vector<QKButton*> PresetManager::allButtons() const {
  std::vector<QKButton*> buttons = {
      newFullPresetButton_, newPluginPresetButton_, newLayerPresetButton_, newLayerFXPresetButton_,
      triggerPresetButton_, updatePresetButton_,    prevFullButton_,       prevPluginsButton_,
      prevLayersButton_,    prevLayerFXButton_,     prevAnyButton_,        nextFullButton_,
      nextPluginsButton_,   nextLayersButton_,      nextLayerFXButton_,    nextAnyButton_,
      optionsButton_,       optionsDoneButton_};
  buttons.erase(std::remove(buttons.begin(), buttons.end(), nullptr), buttons.end());
  return buttons;
}

// A loaded shortcut carries its own thread flag; these buttons stay on the
// main thread.
void PresetManager::keepButtonsOnMainThread() {
  for (QKButton* button : allButtons()) button->setTriggerOnMain(true);
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
  cancelLoading(false);
  delayedCalls_->cancel(&triggerWhenDoneLoading_);
  post("QKPMRestoreStartNotification");
  presetArray_.clear();
  afterPresetsChanged(-1);
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
  untitledSource_.clear();
}

// --- Presets ----------------------------------------------------------------------------------

int PresetManager::selectedRow() const {
  return selectedRow_ >= 0 && selectedRow_ < presetArray_.size() ? selectedRow_ : -1;
}

void PresetManager::selectRow(int row) {
  selectedRow_ = row >= 0 && row < tableDelegate_->rowCount() ? row : -1;
  if (!tableView_) return;
  if (selectedRow_ < 0) {
    tableView_->clearSelection();
    return;
  }
  const QModelIndex index = tableDelegate_->index(selectedRow_, 0);
  tableView_->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  tableView_->scrollTo(index);
}

QVariantList PresetManager::arrangedPresets() const {
  QVariantList records;
  for (int position : tableDelegate_->arranged()) records << presetArray_.value(position);
  return records;
}

// The table arranges the records again and selects `rowToSelect` (-1: none).
void PresetManager::afterPresetsChanged(int rowToSelect) {
  tableDelegate_->rearrange();
  selectRow(rowToSelect);
}

QVariantMap PresetManager::takeSnapshotsOfKind(const QString& kind) {
  QVariantMap record;
  if (!host_) return record;
  if (kind == PresetRecords::kEverything || kind == PresetRecords::kLayers)
    record.insert(PresetRecords::kCompositorSnapshotKey, host_->compositorSnapshot());
  if (kind == PresetRecords::kEverything || kind == PresetRecords::kPlugins)
    record.insert(PresetRecords::kPluginManagerSnapshotKey, host_->pluginManagerSnapshot());
  if (kind == PresetRecords::kEverything)
    record.insert(PresetRecords::kWindowPositionSnapshotKey, createWindowPositionSnapshot());
  if (kind == PresetRecords::kLayerFX) {
    record.insert(PresetRecords::kLayerFXSnapshotKey, host_->layerFXSnapshot());
    record.insert(PresetRecords::kLayerFXShortcutSnapshotKey, host_->layerFXShortcutSnapshot());
  }
  return record;
}

void PresetManager::takeSnapshot(const QString& kind) {
  if (busy_ || PresetRecords::snapshotKeys(kind).isEmpty()) return;
  busy_ = true;
  const int selected = selectedRow();
  QVariantMap record = takeSnapshotsOfKind(kind);
  record.insert(PresetRecords::kNameKey, PresetRecords::uniqueName(presetArray_));
  record.insert(PresetRecords::kTypeKey, kind);
  record.insert(PresetRecords::kIndexKey, qint64(presetArray_.size()));
  presetArray_.append(record);
  const int position = presetArray_.size() - 1;
  PresetRecords::placeBelowSelectedRow(presetArray_, position, selected);
  tableDelegate_->rearrange();
  selectRow(int(tableDelegate_->arranged().indexOf(position)));
  updateTempSetFile();
  busy_ = false;
}

void PresetManager::updatePreset() {
  const int row = selectedRow();
  if (row < 0) return;
  const int position = tableDelegate_->arranged().value(row, -1);
  if (position < 0 || busy_) return;
  busy_ = true;
  QVariantMap record = presetArray_[position].toMap();
  const QVariantMap fresh = takeSnapshotsOfKind(PresetRecords::kindOf(record));
  for (auto it = fresh.begin(); it != fresh.end(); ++it) record.insert(it.key(), it.value());
  presetArray_[position] = record;
  updateTempSetFile();
  busy_ = false;
}

void PresetManager::triggerPresetClicked() {
  const int row = selectedRow();
  if (row < 0) return;
  const int position = tableDelegate_->arranged().value(row, -1);
  if (position >= 0) triggerPreset(presetArray_.value(position).toMap());
}

void PresetManager::delayedTriggerPresetClicked() {
  delayedCalls_->callLater(this, 0.01, [this] { triggerPresetClicked(); });
}

// Snapshots of the wrong type are skipped: the kind's restorers get
// nothing to restore.
void PresetManager::restoreByKind(const QVariantMap& record, const QString& kind) {
  if (!host_) return;
  const QVariant layers = record.value(PresetRecords::kCompositorSnapshotKey);
  const QVariant plugins = record.value(PresetRecords::kPluginManagerSnapshotKey);
  if (kind == PresetRecords::kEverything)
    matchThisWindPosSnapshot(record.value(PresetRecords::kWindowPositionSnapshotKey));
  if ((kind == PresetRecords::kEverything || kind == PresetRecords::kLayers) && isMap(layers))
    host_->loadCompositorSnapshot(layers.toMap());
  if ((kind == PresetRecords::kEverything || kind == PresetRecords::kPlugins) &&
      plugins.typeId() == QMetaType::QVariantList)
    host_->loadPluginManagerSnapshot(plugins.toList());
  if (kind == PresetRecords::kLayerFX) {
    const QVariant chains = record.value(PresetRecords::kLayerFXSnapshotKey);
    if (isMap(chains)) host_->matchLayerFXSnapshot(chains.toMap());
    const QVariant shortcuts = record.value(PresetRecords::kLayerFXShortcutSnapshotKey);
    if (shortcuts.isValid()) host_->matchLayerFXShortcutSnapshot(shortcuts);
  }
}

void PresetManager::triggerPreset(const QVariantMap& record) {
  Log::line(QStringLiteral("PresetManager:triggerPreset:"));
  const QString kind = PresetRecords::kindOf(record);
  QVariantMap info;
  if (!kind.isEmpty()) info.insert(PresetRecords::kTypeKey, kind);
  if (busy_) {
    Log::line(QStringLiteral("\t\tPresetManager:triggerPreset: - FINISHED"));
    return;
  }
  busy_ = true;
  NotificationCenter::defaultCenter().post(kRestoreStart, nullptr, info);
  // The output renders nothing between start and end, and every later
  // project operation waits for `busy`: both end however the restore ends.
  struct EndOfRestore {
    bool& busy;
    ~EndOfRestore() {
      post("QKPMRestoreEndNotification");
      busy = false;
    }
  };
  QString failure;
  {
    EndOfRestore end{busy_};
    try {
      Log::line(
          QStringLiteral("\t\tname = %1, type = %2").arg(PresetRecords::nameOf(record), kind));
      restoreByKind(record, kind);
    } catch (const std::exception& error) {
      failure = QString::fromUtf8(error.what());
    } catch (...) {
      failure = QStringLiteral("unknown exception");
    }
  }
  if (!failure.isEmpty()) {
    Log::line(QStringLiteral("\t\tthrew an exception while triggering preset: %1").arg(failure));
    showRecallError(failure);
  } else if (window_ && !(host_ && host_->fullscreenWouldHideAModal())) {
    content_->setFocus();
    if (window_->isVisible()) window_->activateWindow();
  }
  Log::line(QStringLiteral("\t\tPresetManager:triggerPreset: - FINISHED"));
}

// Once a session: a recall that keeps failing on stage is logged, not
// alerted every time.
void PresetManager::showRecallError(const QString& message) {
  if (recallErrorShown_) return;
  recallErrorShown_ = true;
  if (host_ && host_->fullscreenWouldHideAModal()) return;
  Alert::show(QStringLiteral("Error during preset recall"),
              QStringLiteral("The preset could not be recalled completely:\n%1").arg(message),
              {QStringLiteral("OK")});
}

void PresetManager::nextUsed(const QString& kind) {
  const int row = PresetRecords::stepToKind(presetArray_, tableDelegate_->arranged(), selectedRow(),
                                            kind, true);
  if (row >= 0) selectRow(row);
}

void PresetManager::prevUsed(const QString& kind) {
  const int row = PresetRecords::stepToKind(presetArray_, tableDelegate_->arranged(), selectedRow(),
                                            kind, false);
  if (row >= 0) selectRow(row);
}

void PresetManager::nextAnyUsed() {
  const int row = PresetRecords::stepToAny(presetArray_.size(), selectedRow(), true);
  if (row >= 0) selectRow(row);
}

void PresetManager::prevAnyUsed() {
  const int row = PresetRecords::stepToAny(presetArray_.size(), selectedRow(), false);
  if (row >= 0) selectRow(row);
}

void PresetManager::deleteKeyPressed() {
  const QList<int> rows = tableView_
                              ? tableView_->selectedRowList()
                              : (selectedRow() >= 0 ? QList<int>{selectedRow()} : QList<int>());
  tableDelegate_->deleteRows(rows);
  selectRow(-1);
}

void PresetManager::openOptionsPanel() {
  if (!optionsPanel_) return;
  optionsPanel_->show();
  optionsPanel_->raise();
}

void PresetManager::closeOptionsPanel() {
  if (optionsPanel_) optionsPanel_->hide();
}

bool PresetManager::optionsPanelOpen() const { return optionsPanel_ && !optionsPanel_->isHidden(); }

// --- Opening --------------------------------------------------------------------------------

QString PresetManager::tutorialProjectPath() {
  return Paths::projectsDir() + QStringLiteral("/") + QString::fromLatin1(kTutorialFileName);
}

namespace {

// The project the start-up loads: the tutorial for a version's first run,
// else the last project (the tutorial when there is none).
QString chosenDefaultProject(const QString& bundleVersion) {
  const UserDefaults& defaults = UserDefaults::standard();
  const QString last = defaults.stringValue(kLoadPresetPath);
  if (!defaults.contains(kLastVersionKey) ||
      defaults.stringValue(kLastVersionKey) != bundleVersion || last.isEmpty())
    return PresetManager::tutorialProjectPath();
  return last;
}

}  // namespace

QString PresetManager::defaultProjectPath() const {
  const QString path = chosenDefaultProject(host_ ? host_->bundleVersion() : QString());
  return QFileInfo(path).isFile() ? path : QString();
}

// The tutorial sits in the shipped projects folder: it opens untitled, so
// neither Save nor a backup ever writes there.
void PresetManager::loadDefaultProject() {
  const QString version = host_ ? host_->bundleVersion() : QString();
  const QString path = chosenDefaultProject(version);
  UserDefaults& defaults = UserDefaults::standard();
  if (!defaults.contains(kLastVersionKey)) defaults.registerDefaults({{kLastVersionKey, version}});
  if (defaults.stringValue(kLastVersionKey) != version) defaults.setValue(kLastVersionKey, version);
  const QFileInfo info(path);
  if (info.isFile())
    loadPresetsFromVerifiedPath(path);
  else if (!info.exists())
    savePath_.clear();
  defaults.synchronize();
}

void PresetManager::fileMenuOpen() {
  if (openPanel_) openPanel_->deleteLater();
  auto* panel = new QFileDialog(window_.get(), QStringLiteral("Open Project"), saveAsDirectory(),
                                QStringLiteral("ZAPH projects (*.zaph)"));
  panel->setObjectName(QStringLiteral("openPanel"));
  panel->setAcceptMode(QFileDialog::AcceptOpen);
  panel->setFileMode(QFileDialog::ExistingFile);
  panel->setOption(QFileDialog::DontUseNativeDialog);
  panel->setWindowModality(window_ ? Qt::WindowModal : Qt::ApplicationModal);
  QObject::connect(panel, &QFileDialog::finished, this, [this, panel](int result) {
    loadDidEnd(result == QDialog::Accepted, panel->selectedFiles().value(0));
    panel->deleteLater();
  });
  openPanel_ = panel;
  panel->open();
}

void PresetManager::loadDidEnd(bool accepted, const QString& fileName) {
  if (!accepted || fileName.isEmpty()) return;
  cancelFileLoadingClicked();
  newFileMenuUsed();
  delayedCalls_->callLater(this, 2.0, [this, fileName] { loadPresetsFromVerifiedPath(fileName); });
}

struct PresetManager::ReadProject {
  QVariantMap root;
  QString error;  // empty when the project can be applied
};

// Everything that makes a project unreadable is found before anything
// changes.
PresetManager::ReadProject PresetManager::readProject(const QString& path) const {
  if (QFileInfo(path).isDir()) return {{}, QStringLiteral("it is a folder")};
  const PropertyList::Result read = PropertyList::read(path);
  if (!read.ok()) return {{}, read.error};
  if (read.value.typeId() != QMetaType::QVariantMap)
    return {{}, QStringLiteral("the file holds no project dictionary")};
  QVariantMap root = read.value.toMap();
  const QVariant presets = root.value(kPresetsKey);
  if (!presets.isValid()) return {{}, QStringLiteral("the file holds no presets")};
  if (presets.typeId() != QMetaType::QVariantList)
    return {{}, QStringLiteral("its presets are not a list")};
  return {root, QString()};
}

void PresetManager::showCouldNotRead(const QString& path, const QString& reason) {
  Log::line(QStringLiteral("\t\terr: could not read the project %1: %2").arg(path, reason));
  if (host_ && host_->fullscreenWouldHideAModal()) host_->leaveFullscreen();
  Alert::show(QStringLiteral("The project could not be read"),
              QStringLiteral("%1 could not be opened.\n%2").arg(QFileInfo(path).fileName(), reason),
              {QStringLiteral("OK")});
}

void PresetManager::loadPresetsFromVerifiedPath(const QString& path) {
  if (busy_) {
    Log::line(QStringLiteral("\t\twas busy on load"));
    return;
  }
  const ReadProject project = readProject(path);
  if (!project.error.isEmpty()) {
    showCouldNotRead(path, project.error);
    loadingProject_ = false;
    return;
  }
  loadingProject_ = true;
  delayedCalls_->cancel(&triggerWhenDoneLoading_);
  const bool untitled =
      QFileInfo(path).absoluteFilePath() == QFileInfo(tutorialProjectPath()).absoluteFilePath();
  untitledSource_ = untitled ? path : QString();
  if (untitled) {
    savePath_.clear();
  } else {
    savePath_ = path;
    storeLoadPresetPath(path);
  }
  setNameField(QFileInfo(path).completeBaseName());
  stopObservingLoader();
  busy_ = true;
  applyProject(project.root);
  busy_ = false;
}

// The load sequence: the live input, then between the restore
// notifications the presets, palette shortcuts, chains, pages and the
// application's own setup. Media arrive later, through the file loader.
void PresetManager::applyProject(const QVariantMap& root) {
  if (!root.contains(QStringLiteral("projectVersion"))) {
    Log::line(QStringLiteral("\t\terr: opening older project!"));
    if (host_ && host_->fullscreenWouldHideAModal()) host_->leaveFullscreen();
    Alert::show(QStringLiteral("Warning!"), QString::fromLatin1(kOlderProjectWarning),
                {QStringLiteral("OK")});
  }
  const QVariant grabber = root.value(QStringLiteral("sequenceGrabberSetup"));
  if (host_ && isMap(grabber)) host_->loadSequenceGrabberSnapshot(grabber.toMap());
  post("QKPMRestoreStartNotification");
  struct EndOfRestore {
    ~EndOfRestore() { post("QKPMRestoreEndNotification"); }
  } end;
  presetArray_ = PresetRecords::readPresets(root.value(kPresetsKey).toList());
  afterPresetsChanged(presetArray_.isEmpty() ? -1 : 0);
  matchThisPaletteShortcutSnapshot(root.value(QStringLiteral("paletteShortcutSnapshot")));
  keepButtonsOnMainThread();
  const QVariant layerChains = root.value(QStringLiteral("layerChainManagerSnapshot"));
  if (host_ && layerChains.typeId() == QMetaType::QVariantList)
    host_->loadLayerChainManagerSnapshot(layerChains.toList());
  const QVariant behaviorChains = root.value(QStringLiteral("behaviorChainManagerSnapshot"));
  if (host_ && behaviorChains.isValid()) host_->loadBehaviorChainManagerSnapshot(behaviorChains);
  const QVariant trigger = UserDefaults::standard().value(kTriggerPresetKey);
  triggerWhenDoneLoading_ =
      trigger.isValid() && trigger.toLongLong() == 1 && !presetArray_.isEmpty();
  observeFinishedLoad(&PresetManager::projectFileLoadingCompleted);
  NotificationCenter::defaultCenter().post(kAboutToLoad);
  missingFileArray_.clear();
  missingFileSnapArray_.clear();
  const QVariant pages = root.value(QStringLiteral("pageControllerSetup"));
  if (host_ && isMap(pages)) host_->loadPageControllerSnapshot(pages.toMap());
  if (host_) host_->loadAppControllerSnapshot(root.value(QStringLiteral("appControllerSetup")));
  // Nothing to load: the loader ends at once, and the project is complete.
  if (host_ && !host_->fileLoaderLoading()) {
    Log::line(QStringLiteral("\t\terr: no files to load from project"));
    host_->finishedBatchOfFiles();
  }
}

// --- The file loader's progress -------------------------------------------------------------

void PresetManager::observeFinishedLoad(void (PresetManager::*handler)(const Notification&)) {
  NotificationCenter& center = NotificationCenter::defaultCenter();
  if (finishedLoadObserver_ != NotificationCenter::ObserverId::None)
    center.removeObserver(finishedLoadObserver_);
  finishedLoadObserver_ =
      center.addObserver(this, MediaNotifications::kFileLoaderFinishedLoad, nullptr,
                         [this, handler](const Notification& note) { (this->*handler)(note); });
}

void PresetManager::observeLoadingFile() {
  NotificationCenter& center = NotificationCenter::defaultCenter();
  if (loadingFileObserver_ != NotificationCenter::ObserverId::None) return;
  loadingFileObserver_ =
      center.addObserver(this, MediaNotifications::kFileLoaderLoadingFile, nullptr,
                         [this](const Notification& note) { fileAboutToLoadNotification(note); });
}

void PresetManager::stopObservingLoader() {
  NotificationCenter& center = NotificationCenter::defaultCenter();
  for (NotificationCenter::ObserverId* id : {&finishedLoadObserver_, &loadingFileObserver_}) {
    if (*id != NotificationCenter::ObserverId::None) center.removeObserver(*id);
    *id = NotificationCenter::ObserverId::None;
  }
}

void PresetManager::aboutToLoadProjectNotification(const Notification&) {
  loadingProject_ = true;
  if (window_) {
    ensureLoadingPanel();
    loadingPanel_->setTitle(QStringLiteral("Loading Project..."));
  }
  startLoadingProgressSheet();
  observeLoadingFile();
}

void PresetManager::aboutToLoadFilesNotification(const Notification&) {
  if (loadingProject_) return;
  observeFinishedLoad(&PresetManager::fileLoadingCompleted);
  if (window_) {
    ensureLoadingPanel();
    loadingPanel_->setTitle(QStringLiteral("Importing Media Files..."));
  }
  startLoadingProgressSheet();
  observeLoadingFile();
}

// A missing value leaves a single space in its line.
void PresetManager::fileAboutToLoadNotification(const Notification& notification) {
  if (notification.userInfo.isEmpty() || !loadingPanel_) return;
  const auto line = [&notification](const QString& key) {
    const QString text = notification.userInfo.value(key).toString();
    return text.isEmpty() ? QStringLiteral(" ") : text;
  };
  loadingPanel_->setDescription(line(MediaNotifications::kLoadingStringKey));
  loadingPanel_->setCount(line(MediaNotifications::kLoadingCountStringKey));
}

void PresetManager::ensureLoadingPanel() {
  if (!loadingPanel_)
    loadingPanel_ = std::make_unique<ProjectLoadingPanel>([this] { cancelFileLoadingClicked(); });
}

void PresetManager::startLoadingProgressSheet() {
  if (loadingPanel_) loadingPanel_->start();
}

void PresetManager::stopLoadingProgressSheet() {
  if (loadingPanel_) loadingPanel_->stop();
}

void PresetManager::projectFileLoadingCompleted(const Notification&) {
  stopObservingLoader();
  stopLoadingProgressSheet();
  if (triggerWhenDoneLoading_ && loadingProject_) {
    const QVariantMap first = arrangedPresets().value(0).toMap();
    delayedCalls_->callLater(&triggerWhenDoneLoading_, 1.0,
                             [this, first] { triggerPreset(first); });
  }
  loadingProject_ = false;
}

void PresetManager::fileLoadingCompleted(const Notification&) {
  stopObservingLoader();
  stopLoadingProgressSheet();
  loadingProject_ = false;
}

void PresetManager::cancelFileLoadingClicked() { cancelLoading(true); }

// File New empties the setup itself; the cancel button and Open have it
// done 0.5 s later when a project was loading.
void PresetManager::cancelLoading(bool newFileLater) {
  if (host_) host_->cancelFileLoading();
  stopObservingLoader();
  if (loadingProject_) {
    Log::line(QStringLiteral("\t\tcanceled loading a project"));
    loadingProject_ = false;
    if (newFileLater) delayedCalls_->callLater(this, 0.5, [this] { newFileMenuUsed(); });
  }
  stopLoadingProgressSheet();
}

// --- Missing media ----------------------------------------------------------------------------

// The loader posts before it places the file: found nowhere yet, the file
// posted is the one that will be placed.
void PresetManager::missingFileNotification(const Notification& notification) {
  auto* posted = static_cast<QKFile*>(notification.object);
  if (!posted) return;
  std::shared_ptr<QKFile> file =
      host_ ? host_->fileForUniqueFileId(posted->uniqueFileId()) : nullptr;
  if (!file) file = posted->weak_from_this().lock();
  if (!file) return;
  missingFileArray_.push_back(file);
  missingFileSnapArray_.append(
      notification.userInfo.value(MediaNotifications::kMissingFileSnapKey));
}

void PresetManager::fileFolderDeletedNotification(const Notification& notification) {
  const auto found = std::find_if(missingFileArray_.begin(), missingFileArray_.end(),
                                  [&notification](const std::shared_ptr<QKFile>& file) {
                                    return file.get() == notification.object;
                                  });
  if (found == missingFileArray_.end()) return;
  const int index = int(found - missingFileArray_.begin());
  missingFileArray_.erase(found);
  if (index < missingFileSnapArray_.size()) missingFileSnapArray_.removeAt(index);
  if (host_) host_->updateMissingFilesWindow();
}

void PresetManager::removeRelinkedMissingFiles(const std::vector<std::shared_ptr<QKFile>>& files) {
  for (const std::shared_ptr<QKFile>& file : files) {
    const auto found = std::find(missingFileArray_.begin(), missingFileArray_.end(), file);
    if (found == missingFileArray_.end()) continue;
    const int index = int(found - missingFileArray_.begin());
    missingFileArray_.erase(found);
    if (index < missingFileSnapArray_.size()) missingFileSnapArray_.removeAt(index);
  }
}

void PresetManager::openWindowForMissingFiles() {
  if (host_) host_->openMissingFilesWindow(false);
}

void PresetManager::openWindowForMissingFilesAndStartSpotlightSearch() {
  if (host_) host_->openMissingFilesWindow(true);
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
