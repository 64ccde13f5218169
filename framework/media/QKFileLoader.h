#pragma once

#include "framework/media/QKFileLoaderInterface.h"
#include "framework/media/QKFileLoaderQueueItem.h"
#include "framework/media/QKPageListMenu.h"
#include "platform/foundation/NotificationObservers.h"

#include <QDateTime>
#include <QString>
#include <QVariantList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QKFile;
class QKFolder;
class QKMediaBinHost;
class QKPage;
class QKQTMovie;
class QKThumbnailGeneratorInterface;
class QKURLFile;
class QWidget;
struct Notification;

// The one queue through which every file enters the media bin: imported
// paths and directories, the file snapshots of a project being restored,
// copies, finished recordings and relinks. The queue is worked off one item
// per pass of the main event loop, so the interface keeps running and shows
// "Item n of m"; at the end of a load the missing files are reported and
// offered for relinking.
//
// A file's destination is looked up by ID when its item is taken up: among
// the pages, then in the legacy folder tree; when neither has it the file
// goes to the first page (logged), never nowhere.
//
// Main thread only: the queue and the flags carry no lock. Files go into
// pages through the page controller (under its write lock).
class QKFileLoader : public QKFileLoaderInterface {
 public:
  using MovieProbe = std::function<std::shared_ptr<QKQTMovie>(const QString& path, QString* error)>;
  // Opens a file's media for the classification table: the kind's file
  // (valid or not), or null when the kind does not take the file.
  using Maker =
      std::function<std::shared_ptr<QKFile>(const QString& resolvedPath, const QString& itemPath)>;
  struct PathKind {
    std::function<bool(const QString& resolvedPath)> test;
    Maker make;
    QString text;  // the progress text, "%1" the file name
  };

  static const QString kImportMediaPathKey;  // "importMediaPath"
  static const QString kMissingFilesTitle;   // "Missing Files Error"
  static const QString kMissingFilesMessage;
  static const QStringList kMissingFilesButtons;  // default, alternate, other

  explicit QKFileLoader(QKMediaBinHost* host);
  ~QKFileLoader() override;
  QKFileLoader(const QKFileLoader&) = delete;
  QKFileLoader& operator=(const QKFileLoader&) = delete;

  // Feeding: each starts a load when none is under way.
  void addTheseFilesToQueue(const QStringList& paths, QKFileParent* parent, int index,
                            bool isGridIndex) override;
  void addTheseSnapshotsToQueue(const QVariantList& snapshots, QKFileParent* parent, int index,
                                bool isGridIndex) override;
  void copyTheseFilesFromSnapshots(const QVariantList& snapshots, QKFileParent* parent, int index,
                                   bool isGridIndex) override;
  // Paired by position; snapshots without a path are skipped.
  void relinkTheseSnapshots(const QVariantList& snapshots, const QStringList& paths);

  // The open panel, window-modal on `window` (null: the preset manager's);
  // files and folders chosen go to the page (null: the first page) from
  // `index` on.
  void loadWithOpenPanel();
  void loadWithOpenPanelToFolder(QKFileParent* page, int index, bool isGridIndex,
                                 QWidget* window = nullptr) override;
  // The panel's end: the chosen paths, empty when cancelled.
  void loadWithOpenPanelDidEnd(const QStringList& paths);
  // Where the open panel starts.
  static QString openPanelStartFolder();

  // On "QKSGExportDoneNotification".
  void recordingDidStopNotification(const Notification& notification);

  // While loading: the rest of the queue is abandoned at the next step.
  void cancelFileLoading();
  void createThumbnailForURLFile(const std::shared_ptr<QKURLFile>& file) override;
  void setThumbnailGenerator(QKThumbnailGeneratorInterface* generator) { thumbnails_ = generator; }

  // How paths are classified, tried in order; the movie probe comes last.
  void insertPathKind(size_t position, PathKind kind) {
    pathKinds_.insert(pathKinds_.begin() + std::ptrdiff_t(std::min(position, pathKinds_.size())),
                      std::move(kind));
  }
  void setMovieProbe(MovieProbe probe) { movieProbe_ = std::move(probe); }

  // The page menus: every page; and "<none>", the media bins to follow and
  // every page. Rebuilt when pages, media bins or the project change (each
  // rebuild posts "QKFolderListMenuUpdatedNotification" with its reason) and
  // at the end of every load.
  const QKPageListMenu& folderListMenu() const { return folderListMenu_; }
  const QKPageListMenu& folderAndMediaBinListMenu() const { return folderAndMediaBinListMenu_; }
  void prepareFolderListMenu();
  void prepareFolderAndMediaBinListMenu();
  // One item per page, indented by `depth` (0 … 15).
  void addPagesToMenu(QKPageListMenu* menu, int depth);
  void addMediaBinsToMenu(QKPageListMenu* menu);
  // The folder, then its sub-folders one level deeper.
  void addFolder(const QKFolder& folder, QKPageListMenu* menu, int depth);
  void updateFolderListNotificationReceived(const Notification& notification);

  bool loading() const { return loading_; }
  // A project with nothing to load: when idle, the (empty) load ends at
  // once and "QKFileLoaderFinishedLoad" is posted.
  void finishIdleLoad() {
    if (!loading_) endLoad();
  }
  long missingFilesCount() const { return missingFilesCount_; }
  const std::deque<QKFileLoaderQueueItem>& toBeLoadedArray() const { return queue_; }
  bool loadingAutoRecording() const { return loadingAutoRecording_; }
  bool autoRecordOverride() const { return autoRecordOverride_; }
  void setAutoRecordOverride(bool value) override { autoRecordOverride_ = value; }

 private:
  struct Destination {
    std::shared_ptr<QKPage> page;
    QKFolder* folder = nullptr;
    QString name() const;
  };

  long destinationId(QKFileParent* parent);
  void queue(QKFileLoaderQueueItem item);
  void startLoadIfIdle();
  void loadNextBatchOfFiles();
  void threadedFileLoading();
  void finishedBatchOfFiles();
  void endLoad();
  void showMissingFilesAlert();
  void processItem(const QKFileLoaderQueueItem& item);
  void processRelinkItem(const QKFileLoaderQueueItem& item);
  void processSnapshotItem(const QKFileLoaderQueueItem& item);
  void processPathItem(const QKFileLoaderQueueItem& item);
  void placeUnloaded(const QKFileLoaderQueueItem& item);
  std::shared_ptr<QKFile> classify(const QString& resolved, const QString& itemPath);
  Destination findDestination(long parentId, bool fallBackToFirstPage);
  void place(const std::shared_ptr<QKFile>& file, const Destination& destination, int index,
             bool isGridIndex);
  void postLoadingFile(const QString& text);
  std::shared_ptr<QKFile> makeMovieFile(const QString& resolved, const QString& itemPath);
  void addDefaultPathKinds();
  void thumbnailForWebFile(const std::shared_ptr<QKFile>& file);

  QKMediaBinHost* host_ = nullptr;
  std::deque<QKFileLoaderQueueItem> queue_;
  std::optional<std::vector<QKFileLoaderQueueItem>> batch_;  // set while one is pending
  int chunkSize_ = 1;
  bool loading_ = false;
  bool cancelLoadingFlag_ = false;
  int filesLoaded_ = 0;
  long missingFilesCount_ = 0;
  bool autoRecordOverride_ = false;
  bool loadingAutoRecording_ = false;
  std::vector<std::shared_ptr<QKFile>> reconnectedFiles_;
  QVariantList reconnectedSnaps_;
  QDateTime startLoadDate_;
  QKThumbnailGeneratorInterface* thumbnails_ = nullptr;
  // The open panel's destination.
  long loadToMe_ = -1;
  int loadIndex_ = 0;
  bool loadIndexFlag_ = false;
  std::vector<PathKind> pathKinds_;
  QKPageListMenu folderListMenu_;
  QKPageListMenu folderAndMediaBinListMenu_;
  MovieProbe movieProbe_;
  // Queued batches and delayed relink windows do nothing once the loader is
  // gone.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  NotificationObservers observers_;
};
