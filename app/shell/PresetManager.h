#pragma once

#include "framework/toolkit/QKWindowDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/NotificationObservers.h"

#include <QObject>
#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <optional>
#include <vector>

class DelayedCalls;
class PMTableDelegate;
class PMTableView;
class PresetManagerHost;
class ProjectLoadingPanel;
class QKButton;
class QKFile;
class QKNSTextLabel;
class QKPaletteWindow;
class QKWindowContentView;

// The project: its file (an XML property list, ".zaph", written atomically),
// Save, Save As (a file dialog on the preset window), the "~" backup beside
// it, File New, File Open and the load sequence, the two palette snapshots
// (window positions, palette shortcuts), and the presets: taken, updated,
// recalled and stepped through from the preset window ("Preset Manager",
// Ctrl+1), which shows the project's name, the preset table and the preset
// buttons. Project operations are guarded by `busy`: one that starts while
// another runs is dropped. A save reports success only with the file in
// place; on failure the old file, `savePath` and "loadPresetPath" stay as
// they were. A file that cannot be read changes nothing. Every delay goes
// through `DelayedCalls`. Main thread only (the buttons, however bound,
// act there).
class PresetManager : public QObject, public QKWindowDelegate {
  Q_OBJECT
 public:
  static constexpr char kExtension[] = "zaph";
  static constexpr char kPaletteTitle[] = "Preset Manager";
  static constexpr char kNewProjectName[] = "<new project>";

  // With a host: the preset window is made, paletteStackOrder is 0.
  explicit PresetManager(PresetManagerHost* host);
  // Without: no window, no order (a plain preset manager).
  PresetManager();
  ~PresetManager() override;
  PresetManager(const PresetManager&) = delete;
  PresetManager& operator=(const PresetManager&) = delete;

  // Announces the preset window to the Window menu and shows it.
  void awakeFromNib();
  void showWindow();

  // --- Saving ---
  void saveButtonUsed();
  void saveAsButtonUsed();
  // The end of the Save As dialog: `accepted` with the chosen file name.
  void saveAsDidEnd(bool accepted, const QString& fileName);
  // Writes the project to `path` (".zaph" appended when missing); answers
  // the error, empty when the file is in place.
  QString writePresetsToVerifiedPath(const QString& path);
  // The file's root dictionary, nullopt when a snapshot could not be made.
  std::optional<QVariantMap> createProjectFileDictionary();
  // Makes sure the project has a preset; false means stop.
  bool readyToCreateProjectDictionary();
  // After every preset take or update: the backup "<project>~.zaph".
  void updateTempSetFile();
  void newFileMenuUsed();

  // --- Presets ---
  // The four take buttons' kinds: "Everything", "Plugins", "Layers", "Layer FX".
  void takeSnapshot(const QString& kind);
  void updatePreset();
  void triggerPresetClicked();
  void delayedTriggerPresetClicked();
  // Recalls `record` between "QKPMRestoreStartNotification" and
  // "QKPMRestoreEndNotification"; the end is posted and `busy` cleared even
  // when a restorer throws.
  void triggerPreset(const QVariantMap& record);
  void nextUsed(const QString& kind);
  void prevUsed(const QString& kind);
  void nextAnyUsed();
  void prevAnyUsed();
  // The selected row of the table's arranged order, -1 for none.
  int selectedRow() const;
  void selectRow(int row);
  // The records in table order.
  QVariantList arrangedPresets() const;
  PMTableDelegate* tableDelegate() const { return tableDelegate_.get(); }
  PMTableView* tableView() const { return tableView_; }
  void deleteKeyPressed();
  void openOptionsPanel();
  void closeOptionsPanel();
  QWidget* optionsPanel() const { return optionsPanel_; }
  bool optionsPanelOpen() const;
  // Every delay (the load after Open, the first recall, File New after a
  // cancel, the name cell's trigger) is one of these.
  void setDelayedCalls(DelayedCalls* calls);

  // --- Opening ---
  // The project `loadDefaultProject` would load, when it is a file; empty
  // otherwise.
  QString defaultProjectPath() const;
  static QString tutorialProjectPath();
  // Reads and applies a project: nothing changes when it cannot be read.
  // The tutorial opens untitled (no save path, "loadPresetPath" kept).
  void loadPresetsFromVerifiedPath(const QString& path);
  void loadProjectFromPath(const QString& path) { loadPresetsFromVerifiedPath(path); }
  void loadDefaultProject();
  // File Open: an open dialog on the preset window; a chosen file loads
  // after File New, 2.0 s later.
  void fileMenuOpen();
  void loadDidEnd(bool accepted, const QString& fileName);
  QFileDialog* openPanel() const { return openPanel_; }
  void cancelFileLoadingClicked();
  ProjectLoadingPanel* loadingPanel() const { return loadingPanel_.get(); }
  // The file loader relinked these: they leave both missing lists.
  void removeRelinkedMissingFiles(const std::vector<std::shared_ptr<QKFile>>& files);
  void openWindowForMissingFiles();
  void openWindowForMissingFilesAndStartSpotlightSearch();

  // --- Window positions and palette shortcuts ---
  QVariantMap createWindowPositionSnapshot();
  void matchThisWindPosSnapshot(const QVariant& snapshot);
  QVariantMap createPaletteShortcutSnapshot();
  void matchThisPaletteShortcutSnapshot(const QVariant& snapshot);

  // The target of a save: `path` with ".zaph" appended unless it ends so.
  static QString verifiedPath(const QString& path);
  // "<path without extension>~.zaph".
  static QString backupPath(const QString& savePath);
  // The folder Save As starts in.
  static QString saveAsDirectory();

  bool busy() const { return busy_; }
  void setBusy(bool busy) { busy_ = busy; }
  QString savePath() const { return savePath_; }
  // The project its media are found beside: the save path, or the file an
  // untitled project (the tutorial) was opened from.
  QString mediaProjectPath() const { return savePath_.isEmpty() ? untitledSource_ : savePath_; }
  void setSavePath(const QString& path) { savePath_ = path; }
  QVariantList& presetArray() { return presetArray_; }
  std::vector<std::shared_ptr<QKFile>>& missingFileArray() { return missingFileArray_; }
  QVariantList& missingFileSnapArray() { return missingFileSnapArray_; }
  bool loadingProject() const { return loadingProject_; }
  bool triggerWhenDoneLoading() const { return triggerWhenDoneLoading_; }
  int tempLoadCount() const { return tempLoadCount_; }
  std::optional<int> paletteStackOrder() const override { return paletteStackOrder_; }
  void setPaletteStackOrder(std::optional<int> order) { paletteStackOrder_ = order; }

  QKPaletteWindow* window() const { return window_.get(); }
  QKWindowContentView* contentView() const { return content_; }
  QString setNameFieldText() const;
  QFileDialog* saveAsPanel() const { return saveAsPanel_; }
  // The buttons whose shortcuts the project keeps, by snapshot key.
  QKButton* paletteButton(const QString& key) const;

 private:
  void buildWindow();
  void buildTable();
  void buildOptionsPanel();
  void observeNotifications();
  QKButton* makeButton(const QString& title, const QRect& frame, void (PresetManager::*action)());
  QKButton* makeKindButton(const QString& title, const QRect& frame,
                           void (PresetManager::*action)(const QString&), const QString& kind);
  QVariantMap takeSnapshotsOfKind(const QString& kind);
  void restoreByKind(const QVariantMap& record, const QString& kind);
  void showRecallError(const QString& message);
  void afterPresetsChanged(int rowToSelect);
  void keepButtonsOnMainThread();
  std::vector<QKButton*> allButtons() const;
  void ensureLoadingPanel();
  // Loading.
  struct ReadProject;
  ReadProject readProject(const QString& path) const;
  void showCouldNotRead(const QString& path, const QString& reason);
  void applyProject(const QVariantMap& root);
  void observeFinishedLoad(void (PresetManager::*handler)(const Notification&));
  void observeLoadingFile();
  void stopObservingLoader();
  void cancelLoading(bool newFileLater);
  void aboutToLoadProjectNotification(const Notification& notification);
  void aboutToLoadFilesNotification(const Notification& notification);
  void fileAboutToLoadNotification(const Notification& notification);
  void projectFileLoadingCompleted(const Notification& notification);
  void fileLoadingCompleted(const Notification& notification);
  void missingFileNotification(const Notification& notification);
  void fileFolderDeletedNotification(const Notification& notification);
  void startLoadingProgressSheet();
  void stopLoadingProgressSheet();
  void setNameField(const QString& text);
  void storeLoadPresetPath(const QString& path);
  // Writes, and on failure tells the performer with the path and reason.
  bool writeReportingFailure(const QString& path);
  void showSaveError(const QString& message);
  void addFirstPreset();

  PresetManagerHost* host_ = nullptr;
  bool busy_ = false;
  QString savePath_;
  QString untitledSource_;
  QVariantList presetArray_;
  std::vector<std::shared_ptr<QKFile>> missingFileArray_;
  QVariantList missingFileSnapArray_;
  int tempLoadCount_ = 0;
  bool triggerWhenDoneLoading_ = false;
  bool loadingProject_ = false;
  std::optional<int> paletteStackOrder_;

  std::unique_ptr<QKPaletteWindow> window_;
  QKWindowContentView* content_ = nullptr;
  QKNSTextLabel* setNameField_ = nullptr;
  QKButton* newFullPresetButton_ = nullptr;
  QKButton* newPluginPresetButton_ = nullptr;
  QKButton* newLayerPresetButton_ = nullptr;
  QKButton* newLayerFXPresetButton_ = nullptr;
  QKButton* updatePresetButton_ = nullptr;
  QKButton* triggerPresetButton_ = nullptr;
  QKButton* prevFullButton_ = nullptr;
  QKButton* prevPluginsButton_ = nullptr;
  QKButton* prevLayersButton_ = nullptr;
  QKButton* prevLayerFXButton_ = nullptr;
  QKButton* prevAnyButton_ = nullptr;
  QKButton* nextFullButton_ = nullptr;
  QKButton* nextPluginsButton_ = nullptr;
  QKButton* nextLayersButton_ = nullptr;
  QKButton* nextLayerFXButton_ = nullptr;
  QKButton* nextAnyButton_ = nullptr;
  QKButton* optionsButton_ = nullptr;
  QKButton* optionsDoneButton_ = nullptr;
  QPointer<QFileDialog> saveAsPanel_;
  QPointer<QFileDialog> openPanel_;
  QWidget* optionsPanel_ = nullptr;
  std::unique_ptr<PMTableDelegate> tableDelegate_;
  PMTableView* tableView_ = nullptr;
  int selectedRow_ = -1;
  std::unique_ptr<ProjectLoadingPanel> loadingPanel_;
  DelayedCalls* delayedCalls_;
  bool recallErrorShown_ = false;
  NotificationCenter::ObserverId finishedLoadObserver_ = NotificationCenter::ObserverId::None;
  NotificationCenter::ObserverId loadingFileObserver_ = NotificationCenter::ObserverId::None;
  // The buttons' target: actions stop once the manager goes.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};
