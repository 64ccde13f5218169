#pragma once

#include "app/shell/PMMissingFilesOutlineModel.h"
#include "platform/foundation/NotificationObservers.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PMMissingFilesHost;
class QCheckBox;
class QComboBox;
class QDialog;
class QFileDialog;
class QKFile;
class QKFolder;
class QLabel;
class QPushButton;
class QTreeView;
struct Notification;

// The missing-files window: the project's media in an outline (pages or the
// legacy folders, all, missing or available files), a "Locate" button on
// every missing file, same-folder relinking, an import button and a done
// button, with the file loader's progress in two status lines.
//
// Relinking hands the file's stored snapshot and its new path to the loader;
// the file stays in the preset manager's missing lists until the loader has
// loaded it (the loader takes it out at the end of its load, then
// "QKFileLoaderFinishedLoad" refreshes the window), so a relink that fails
// leaves the file listed as missing. With same-folder relinking on, every
// other missing file that lay in the old folder follows when a file of its
// name is in the new one.
//
// The window is application-modal while open. Done (or a refresh that finds
// nothing missing) closes this window only: a dialog or alert open at the
// time stays. Main thread only; `openMissingFilePanelAndStartSpotlightSearch`
// may be called from any thread.
class PMMissingFilesController : public QObject {
  Q_OBJECT
 public:
  explicit PMMissingFilesController(PMMissingFilesHost* host, QObject* parent = nullptr);
  ~PMMissingFilesController() override;

  // Refreshes, then shows the window; with `startSearch` also starts the
  // search of every missing file by name (when a search flow is attached).
  void openMissingFilePanelAndStartSpotlightSearch(bool startSearch);
  // The count and the outline; the window closes when nothing is missing.
  void update();

  // The relink of one file: `snapshot` (its stored one) and `newPath` go to
  // the loader, then same-folder relinking runs when it is on. Files relinked
  // with it leave the search queue.
  void relinkFile(const std::shared_ptr<QKFile>& file, const QVariantMap& snapshot,
                  const QString& newPath);

  // A click on a row's "Locate": the open panel as a sheet on the window.
  void locateItem(const PMMissingFilesOutlineModel::Item& item);
  // The end of that sheet (QDialog::Accepted relinks to its chosen path).
  void locateFileDidEnd(int returnCode);

  void viewModeButtonUsed();
  void importMediaButtonUsed();
  void doneButtonClicked();

  // Where "Locate" starts: the nearest existing folder above `fullPath`
  // ("/" at the latest; the home folder for a path that is not absolute).
  static QString startingFolder(const QString& fullPath);

  // The search by name: started on opening with a search, stopped by done.
  void setSearchHooks(std::function<void()> startAll, std::function<void()> stop) {
    startSearch_ = std::move(startAll);
    stopSearch_ = std::move(stop);
  }
  std::vector<std::shared_ptr<QKFile>>& spotlightSearchQueueArray() { return searchQueue_; }

  PMMissingFilesHost* host() const { return host_; }
  QDialog* panel() const { return panel_.get(); }
  QTreeView* outlineView() const { return outlineView_; }
  PMMissingFilesOutlineModel* outlineModel() const { return model_; }
  QComboBox* viewModeButton() const { return viewModeButton_; }
  QComboBox* foldersOrPagesButton() const { return foldersOrPagesButton_; }
  QCheckBox* autoRelinkButton() const { return autoRelinkButton_; }
  QPushButton* importButton() const { return importButton_; }
  QPushButton* doneButton() const { return doneButton_; }
  QLabel* missingFileTextField() const { return missingFileTextField_; }
  QLabel* missingFileCountTextField() const { return missingFileCountTextField_; }
  QLabel* loadingCountTextField() const { return loadingCountTextField_; }
  QLabel* loadingDescriptionTextField() const { return loadingDescriptionTextField_; }
  QFileDialog* openPanel() const { return openPanel_; }
  std::shared_ptr<QKFile> targetedFile() const { return targetedFile_.lock(); }

 private:
  void buildWindow();
  void observeLoader();
  PMMissingFilesOutlineModel::Tree tree() const;
  void reloadOutline();
  void showMissingCount(bool shown);
  // The stored snapshot of a listed file; the file's own snapshot when it is
  // not listed (a relink needs its ID).
  QVariantMap snapshotOf(const QKFile& file) const;
  void relink(const std::optional<QVariantMap>& snapshot, const QString& oldFolder,
              const QString& newPath, const QKFile* target);
  void relinkSameFolder(const QString& oldFolder, const QString& newPath, const QKFile* target);
  void clearTarget();
  void fileLoaderStartedLoad(const Notification& notification);
  void fileAboutToLoad(const Notification& notification);
  void fileLoaderFinishedLoad(const Notification& notification);

  PMMissingFilesHost* host_ = nullptr;
  std::unique_ptr<QDialog> panel_;
  QTreeView* outlineView_ = nullptr;
  PMMissingFilesOutlineModel* model_ = nullptr;
  QComboBox* viewModeButton_ = nullptr;
  QComboBox* foldersOrPagesButton_ = nullptr;
  QCheckBox* autoRelinkButton_ = nullptr;
  QPushButton* importButton_ = nullptr;
  QPushButton* doneButton_ = nullptr;
  QLabel* missingFileTextField_ = nullptr;
  QLabel* missingFileCountTextField_ = nullptr;
  QLabel* loadingCountTextField_ = nullptr;
  QLabel* loadingDescriptionTextField_ = nullptr;
  // The "Locate" target, from the click to the end of its sheet; a file or
  // folder that goes meanwhile is not relinked.
  std::weak_ptr<QKFile> targetedFile_;
  std::weak_ptr<QKFolder> targetedFolder_;
  std::optional<QVariantMap> targetedSnap_;
  bool hasTarget_ = false;
  QPointer<QFileDialog> openPanel_;
  std::vector<std::shared_ptr<QKFile>> searchQueue_;
  std::function<void()> startSearch_;
  std::function<void()> stopSearch_;
  NotificationObservers observers_;
};
