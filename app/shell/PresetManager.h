#pragma once

#include "framework/toolkit/QKWindowDelegate.h"

#include <QObject>
#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <optional>

class PresetManagerHost;
class QKButton;
class QKNSTextLabel;
class QKPaletteWindow;
class QKWindowContentView;

// The project: its file (an XML property list, ".zaph", written atomically),
// Save, Save As (a file dialog on the preset window), the "~" backup beside
// it, File New, and the two palette snapshots (window positions, palette
// shortcuts). The preset window ("Preset Manager", Ctrl+1) shows the
// project's name and the preset buttons. Project operations are guarded by
// `busy`: one that starts while another runs is dropped. A save reports
// success only with the file in place; on failure the old file, `savePath`
// and "loadPresetPath" stay as they were. Main thread only.
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

  // --- Opening (the project loader comes with the presets) ---
  // The project last saved or loaded, when it still exists; empty otherwise.
  QString defaultProjectPath() const;
  void loadProjectFromPath(const QString& path);
  void loadDefaultProject();
  void fileMenuOpen();

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
  void setSavePath(const QString& path) { savePath_ = path; }
  QVariantList& presetArray() { return presetArray_; }
  QVariantList& missingFileArray() { return missingFileArray_; }
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
  QKButton* makeButton(const QString& title, const QRect& frame);
  void setNameField(const QString& text);
  void storeLoadPresetPath(const QString& path);
  // Writes, and on failure tells the performer with the path and reason.
  bool writeReportingFailure(const QString& path);
  void showSaveError(const QString& message);
  void addFirstPreset();

  PresetManagerHost* host_ = nullptr;
  bool busy_ = false;
  QString savePath_;
  QVariantList presetArray_;
  QVariantList missingFileArray_;
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
  QPointer<QFileDialog> saveAsPanel_;
};
