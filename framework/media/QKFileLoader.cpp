#include "framework/media/QKFileLoader.h"

#include "framework/media/CompositorInterface.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/MediaPaths.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileKindTable.h"
#include "framework/media/QKFileLoaderClient.h"
#include "framework/media/QKFolder.h"
#include "framework/media/QKMediaBinHost.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKImageFile.h"
#include "framework/media/QKQCFile.h"
#include "framework/media/QKQTMovie.h"
#include "framework/media/QKTextFile.h"
#include "framework/media/QKURLFile.h"
#include "framework/media/QKThumbnailGeneratorInterface.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>

const QString QKFileLoader::kImportMediaPathKey = QStringLiteral("importMediaPath");
const QString QKFileLoader::kMissingFilesTitle = QStringLiteral("Missing Files Error");
const QString QKFileLoader::kMissingFilesMessage =
    QStringLiteral("One or more media file could not be found on project load.");
const QStringList QKFileLoader::kMissingFilesButtons = {QStringLiteral("Relink by Search"),
                                                        QStringLiteral("Skip File Relinking"),
                                                        QStringLiteral("Relink Manually")};

namespace {
const QString kContentArrayKey = QStringLiteral("contentArray");
const QString kAutoAddStateKey = QStringLiteral("autoAddState");
const QString kAutoAddTagValKey = QStringLiteral("autoAddTagVal");
const QString kAutoAddBinNameKey = QStringLiteral("autoAddBinName");
constexpr double kRelinkWindowDelaySeconds = 0.25;
const QString kPluginAdded = QStringLiteral("QKPluginAddedNotification");
const QString kPluginDeleted = QStringLiteral("QKPluginDeletedNotification");
const QString kPluginRenamed = QStringLiteral("QKPluginRenamedNotification");
const QString kRestoreEnd = QStringLiteral("QKPMRestoreEndNotification");
const QString kReasonKey = QStringLiteral("reason");

QString lastComponent(const QString& path) { return QFileInfo(path).fileName(); }

bool hasSuffix(const QString& path, const char* suffix) {
  return QFileInfo(path).suffix().compare(QLatin1String(suffix), Qt::CaseInsensitive) == 0;
}
}  // namespace

QString QKFileLoader::Destination::name() const {
  if (page) return page->name();
  return folder ? folder->name() : QString();
}

QKFileLoader::QKFileLoader(QKMediaBinHost* host) : host_(host) {
  movieProbe_ = [](const QString& path, QString* error) {
    return QKQTMovie::movieWithFile(path, error, QKQTFile::movieOptions());
  };
  addDefaultPathKinds();
  observers_.observe(MediaNotifications::kExportDone, nullptr,
                     [this](const Notification& note) { recordingDidStopNotification(note); });
  for (const QString& name :
       {kPluginAdded, kPluginDeleted, kPluginRenamed, MediaNotifications::kPageListChanged,
        kRestoreEnd, MediaNotifications::kFolderRenamed})
    observers_.observe(name, nullptr, [this](const Notification& note) {
      updateFolderListNotificationReceived(note);
    });
  observers_.observe(MediaNotifications::kFindFileLoader, nullptr,
                     [this](const Notification& note) {
                       if (note.object)
                         static_cast<QKFileLoaderClient*>(note.object)->setFileLoader(this);
                     });
}

QKFileLoader::~QKFileLoader() {
  observers_.clear();
  MainThread::cancel(this);
}

// In the order files are told apart; the movie probe, which may take a while
// on a large file, is tried after all of them. QuickTime's movie type code is
// the ".mov" extension here.
void QKFileLoader::addDefaultPathKinds() {
  CompositorInterface* compositor = host_->compositor();
  pathKinds_.push_back({&QKURLFile::isURLFile,
                        [this, compositor](const QString& resolved, const QString&) {
                          std::shared_ptr<QKFile> file =
                              QKURLFile::createWithFilePath(compositor, resolved);
                          if (file && file->validFile()) thumbnailForWebFile(file);
                          return file;
                        },
                        QStringLiteral("Loading web file: %1")});
  pathKinds_.push_back({&QKImageFile::isImageFileAtPath,
                        [compositor](const QString& resolved, const QString&) {
                          return std::shared_ptr<QKFile>(
                              QKImageFile::createWithFilePath(resolved, compositor));
                        },
                        QStringLiteral("Loading image: %1")});
  pathKinds_.push_back({&QKTextFile::isTextFileType,
                        [compositor](const QString&, const QString& itemPath) {
                          return std::shared_ptr<QKFile>(QKTextFile::createWithPath(
                              itemPath, lastComponent(itemPath), compositor));
                        },
                        QStringLiteral("Loading text: %1")});
  pathKinds_.push_back({[](const QString& path) { return hasSuffix(path, "mov"); },
                        [this](const QString& resolved, const QString& itemPath) {
                          return makeMovieFile(resolved, itemPath);
                        },
                        QStringLiteral("Loading movie: %1")});
  pathKinds_.push_back({[](const QString& path) {
                          const QString suffix = QFileInfo(path).suffix();
                          return suffix == QLatin1String("qtz") || suffix == QLatin1String("QTZ");
                        },
                        [compositor](const QString&, const QString& itemPath) {
                          return std::shared_ptr<QKFile>(QKQCFile::createWithPath(
                              itemPath, lastComponent(itemPath), compositor));
                        },
                        QStringLiteral("Loading QTZ: %1")});
}

std::shared_ptr<QKFile> QKFileLoader::makeMovieFile(const QString& resolved,
                                                    const QString& itemPath) {
  QString error;
  std::shared_ptr<QKQTMovie> movie = movieProbe_ ? movieProbe_(resolved, &error) : nullptr;
  if (!movie) {
    Log::line(QStringLiteral("\t\terror loading Quicktime at %1, skipping").arg(itemPath));
    return nullptr;
  }
  return QKQTFile::createQTWithPath(itemPath, lastComponent(itemPath), std::move(movie),
                                    host_->compositor());
}

// --- feeding ------------------------------------------------------------------

long QKFileLoader::destinationId(QKFileParent* parent) {
  if (parent) return parent->uniqueFileId();
  std::shared_ptr<QKPage> first = host_->pageController()->firstPage();
  return first ? first->uniqueFileId() : -1;
}

void QKFileLoader::queue(QKFileLoaderQueueItem item) { queue_.push_back(std::move(item)); }

void QKFileLoader::addTheseFilesToQueue(const QStringList& paths, QKFileParent* parent, int index,
                                        bool isGridIndex) {
  std::shared_ptr<QKPage> first;
  if (!parent) {
    first = host_->pageController()->firstPage();
    parent = first.get();
  }
  if (index == -1) {
    if (auto* page = dynamic_cast<QKPage*>(parent))
      index = page->lastFilledGridIndex();
    else if (auto* folder = dynamic_cast<QKFolder*>(parent))
      index = isGridIndex ? folder->lastFilledGridIndex() + 1 : int(folder->contents().size());
  }
  const long parentId = parent ? parent->uniqueFileId() : -1;
  for (auto it = paths.rbegin(); it != paths.rend(); ++it)
    queue(QKFileLoaderQueueItem::createWithPath(*it, parentId, index, isGridIndex));
  startLoadIfIdle();
}

void QKFileLoader::addTheseSnapshotsToQueue(const QVariantList& snapshots, QKFileParent* parent,
                                            int index, bool isGridIndex) {
  const long parentId = destinationId(parent);
  for (const QVariant& snapshot : snapshots)
    queue(
        QKFileLoaderQueueItem::createWithSnapshot(snapshot.toMap(), parentId, index, isGridIndex));
  startLoadIfIdle();
}

void QKFileLoader::copyTheseFilesFromSnapshots(const QVariantList& snapshots, QKFileParent* parent,
                                               int index, bool isGridIndex) {
  const long parentId = destinationId(parent);
  for (const QVariant& snapshot : snapshots)
    queue(QKFileLoaderQueueItem::createWithSnapshot(snapshot.toMap(), parentId, index, isGridIndex,
                                                    true));
  startLoadIfIdle();
}

void QKFileLoader::relinkTheseSnapshots(const QVariantList& snapshots, const QStringList& paths) {
  for (int i = 0; i < snapshots.size() && i < paths.size(); ++i)
    queue(QKFileLoaderQueueItem::createWithRelinkingSnapshot(snapshots[i].toMap(), paths[i]));
  startLoadIfIdle();
}

// --- the work loop --------------------------------------------------------------

void QKFileLoader::startLoadIfIdle() {
  if (loading_) return;
  startLoadDate_ = QDateTime::currentDateTimeUtc();
  filesLoaded_ = 0;
  missingFilesCount_ = 0;
  cancelLoadingFlag_ = false;
  loading_ = true;
  NotificationCenter::defaultCenter().post(MediaNotifications::kFileLoaderStartedLoad, this);
  loadNextBatchOfFiles();
}

void QKFileLoader::loadNextBatchOfFiles() {
  loading_ = true;
  if (cancelLoadingFlag_) {
    finishedBatchOfFiles();
    return;
  }
  if (batch_) return;
  batch_.emplace();
  while (!queue_.empty() && int(batch_->size()) < chunkSize_) {
    batch_->push_back(std::move(queue_.front()));
    queue_.pop_front();
  }
  MainThread::post([this, alive = std::weak_ptr<int>(alive_)] {
    if (alive.lock()) threadedFileLoading();
  });
}

void QKFileLoader::threadedFileLoading() {
  if (cancelLoadingFlag_) {
    finishedBatchOfFiles();
    return;
  }
  std::vector<QKFileLoaderQueueItem> batch;
  if (batch_) batch = std::move(*batch_);
  batch_.reset();
  for (const QKFileLoaderQueueItem& item : batch) processItem(item);
  finishedBatchOfFiles();
}

void QKFileLoader::finishedBatchOfFiles() {
  if (!queue_.empty() && !cancelLoadingFlag_) {
    loadNextBatchOfFiles();
    return;
  }
  endLoad();
}

void QKFileLoader::endLoad() {
  startLoadDate_ = QDateTime();
  if (cancelLoadingFlag_) {
    // A project's files keep their cells and their snapshots, so the next
    // save writes them back; copies, imports and relinks are dropped.
    std::vector<QKFileLoaderQueueItem> abandoned(queue_.begin(), queue_.end());
    if (batch_) abandoned.insert(abandoned.begin(), batch_->begin(), batch_->end());
    queue_.clear();
    batch_.reset();
    for (const QKFileLoaderQueueItem& item : abandoned)
      if (item.isSnapshotItem() && !item.isCopy) placeUnloaded(item);
  }
  if (!reconnectedFiles_.empty()) {
    host_->removeRelinkedMissingFiles(reconnectedFiles_, reconnectedSnaps_);
    reconnectedFiles_.clear();
    reconnectedSnaps_.clear();
  }
  loading_ = false;
  NotificationCenter::defaultCenter().post(MediaNotifications::kFileLoaderFinishedLoad, this);
  prepareFolderListMenu();
  prepareFolderAndMediaBinListMenu();
  NotificationCenter::defaultCenter().post(MediaNotifications::kFolderListMenuUpdated, this);
  if (missingFilesCount_ >= 1 && !cancelLoadingFlag_) showMissingFilesAlert();
  missingFilesCount_ = 0;
  cancelLoadingFlag_ = false;
}

void QKFileLoader::showMissingFilesAlert() {
  if (host_->willFullscreenHideAModal()) host_->setFullscreen(false);
  const int answer = Alert::show(kMissingFilesTitle, kMissingFilesMessage, kMissingFilesButtons, 0);
  QKMediaBinHost* host = host_;
  if (answer == 0)
    MainThread::runLater(this, kRelinkWindowDelaySeconds,
                         [host] { host->openWindowForMissingFilesAndStartSearch(); });
  else if (answer == 2)
    MainThread::runLater(this, kRelinkWindowDelaySeconds,
                         [host] { host->openWindowForMissingFiles(); });
}

void QKFileLoader::cancelFileLoading() { cancelLoadingFlag_ = loading_; }

void QKFileLoader::createThumbnailForURLFile(const std::shared_ptr<QKURLFile>& file) {
  if (file && thumbnails_) thumbnails_->addFileToQueue(file);
}

void QKFileLoader::thumbnailForWebFile(const std::shared_ptr<QKFile>& file) {
  if (auto web = std::dynamic_pointer_cast<QKURLFile>(file)) createThumbnailForURLFile(web);
}

// --- items ------------------------------------------------------------------------

void QKFileLoader::postLoadingFile(const QString& text) {
  const QString count =
      QStringLiteral("Item %1 of %2").arg(filesLoaded_).arg(filesLoaded_ + int(queue_.size()));
  NotificationCenter::defaultCenter().post(MediaNotifications::kFileLoaderLoadingFile, this,
                                           {{MediaNotifications::kLoadingCountStringKey, count},
                                            {MediaNotifications::kLoadingStringKey, text}});
}

void QKFileLoader::processItem(const QKFileLoaderQueueItem& item) {
  ++filesLoaded_;
  if (item.isRelinking)
    processRelinkItem(item);
  else if (item.isSnapshotItem())
    processSnapshotItem(item);
  else
    processPathItem(item);
}

QKFileLoader::Destination QKFileLoader::findDestination(long parentId, bool fallBackToFirstPage) {
  QKPageController* pages = host_->pageController();
  if (std::shared_ptr<QKPage> page = pages->pageForUniqueId(parentId)) return {page, nullptr};
  if (QKFolder* root = host_->rootFolder())
    if (QKFolder* folder = root->findFolderByUniqueFileId(parentId)) return {nullptr, folder};
  if (!fallBackToFirstPage) return {};
  Log::line(QStringLiteral("\t\terr: destination %1 of a file was not found, it goes to the "
                           "first page")
                .arg(parentId));
  return {pages->firstPage(), nullptr};
}

// A negative index means the end.
void QKFileLoader::place(const std::shared_ptr<QKFile>& file, const Destination& destination,
                         int index, bool isGridIndex) {
  if (destination.page) {
    host_->pageController()->addObjects(
        {file}, destination.page, index < 0 ? destination.page->lastFilledGridIndex() : index);
  } else if (QKFolder* folder = destination.folder) {
    if (isGridIndex)
      folder->addObjectsAtGridIndex({{file, nullptr}},
                                    index < 0 ? int(folder->gridLayout().size()) : index);
    else
      folder->addObjects({{file, nullptr}}, index < 0 ? int(folder->contents().size()) : index);
  }
}

void QKFileLoader::processRelinkItem(const QKFileLoaderQueueItem& item) {
  postLoadingFile(QStringLiteral("Attempting to relink %1").arg(lastComponent(item.fullPath)));
  if (item.fileSnapshot.isEmpty()) {
    Log::line(QStringLiteral("\t\terr: relinking was missing a snapshot"));
    return;
  }
  bool ok = false;
  const long id = long(item.fileSnapshot.value(QKFile::kUniqueIdKey).toLongLong(&ok));
  if (!ok) {
    Log::line(QStringLiteral("\t\terr: relinking failed - file ID was nil!"));
    return;
  }
  std::shared_ptr<QKFile> file = host_->pageController()->fileForUniqueId(id);
  if (!file) {
    Log::line(QStringLiteral("\t\terr: could not find qkfile to relink"));
    Log::line(QStringLiteral("\t\terr: attempted to relink with a non-existent file"));
    return;
  }
  if (!file->loadFromSnapshot(item.fileSnapshot, item.fullPath, host_->compositor())) {
    Log::line(QStringLiteral("\t\terr: relinking failed"));
    return;
  }
  file->keepUnloadedSnapshot({});
  reconnectedFiles_.push_back(file);
  reconnectedSnaps_.append(item.fileSnapshot);
  thumbnailForWebFile(file);
}

void QKFileLoader::processSnapshotItem(const QKFileLoaderQueueItem& item) {
  const Destination destination = findDestination(item.parentUniqueID, true);
  QVariantMap snapshot = item.fileSnapshot;
  if (item.isCopy)
    snapshot.insert(QKFile::kUniqueIdKey, qint64(host_->compositor()->getUniqueID()));
  if (snapshot.contains(kContentArrayKey)) {
    host_->pageController()->addPageFromFolderSnapshot(snapshot);
    return;
  }
  std::shared_ptr<QKFile> file = QKFileKindTable::createForSnapshot(snapshot, host_->compositor());
  if (!file) {
    Log::line(QStringLiteral("\t\terr file was nil"));
    ++missingFilesCount_;
    return;
  }
  const QString name = snapshot.value(QKFile::kNameKey).toString();
  if (item.isCopy)
    postLoadingFile(name.isEmpty()
                        ? QStringLiteral("Copying file to %1").arg(destination.name())
                        : QStringLiteral("Copying: %1 to %2").arg(name, destination.name()));
  else
    postLoadingFile(name.isEmpty() ? QStringLiteral("Loading unnamed snapshot")
                                   : QStringLiteral("Loading snapshot: %1").arg(name));
  // Loaded before it is placed: once in a page, other threads find it by ID.
  const bool loaded = file->loadFromSnapshot(snapshot, host_->compositor());
  place(file, destination, item.index, item.isGridIndex);
  if (!loaded)
    ++missingFilesCount_;
  else
    thumbnailForWebFile(file);
}

// A project file whose load was cancelled takes its cell with its ID and
// name, and keeps its snapshot until it is loaded or relinked.
void QKFileLoader::placeUnloaded(const QKFileLoaderQueueItem& item) {
  if (item.fileSnapshot.contains(kContentArrayKey)) return;
  std::shared_ptr<QKFile> file =
      QKFileKindTable::createForSnapshot(item.fileSnapshot, host_->compositor());
  if (!file) return;
  file->QKFile::loadFromSnapshot(item.fileSnapshot, host_->compositor());
  file->keepUnloadedSnapshot(item.fileSnapshot);
  place(file, findDestination(item.parentUniqueID, true), item.index, item.isGridIndex);
}

void QKFileLoader::processPathItem(const QKFileLoaderQueueItem& item) {
  const Destination destination = findDestination(item.parentUniqueID, true);
  const QString resolved = QKFile::justResolveAliasFilePath(item.fullPath);
  const QFileInfo info(resolved);
  if (!info.exists()) return;
  if (info.isDir()) {
    if (!hasSuffix(resolved, "nib"))
      host_->pageController()->loadFilesFromDirectory(resolved, destination.page, item.index);
    return;
  }
  std::shared_ptr<QKFile> file = classify(resolved, item.fullPath);
  if (file && file->validFile())
    place(file, destination, item.index, item.isGridIndex);
  else
    Log::line(QStringLiteral("\t\terror loading file at %1, skipping").arg(item.fullPath));
}

std::shared_ptr<QKFile> QKFileLoader::classify(const QString& resolved, const QString& itemPath) {
  const QString name = lastComponent(resolved);
  for (const PathKind& kind : pathKinds_) {
    if (!kind.test(resolved)) continue;
    postLoadingFile(kind.text.arg(name));
    return kind.make(resolved, itemPath);
  }
  QString error;
  std::shared_ptr<QKQTMovie> movie = movieProbe_ ? movieProbe_(resolved, &error) : nullptr;
  if (!movie) {
    postLoadingFile(QStringLiteral("Skipping: %1").arg(name));
    return nullptr;
  }
  postLoadingFile(QStringLiteral("Loading movie: %1").arg(name));
  return QKQTFile::createQTWithPath(itemPath, lastComponent(itemPath), std::move(movie),
                                    host_->compositor());
}

// --- recordings ----------------------------------------------------------------

void QKFileLoader::recordingDidStopNotification(const Notification& notification) {
  const QVariantMap& info = notification.userInfo;
  const QString path = info.value(MediaNotifications::kExportPathKey).toString();
  if (path.isEmpty() || !info.value(kAutoAddStateKey).toBool()) return;
  QKPageController* pages = host_->pageController();
  bool ok = false;
  const long tag = long(info.value(kAutoAddTagValKey).toLongLong(&ok));
  std::shared_ptr<QKPage> page;
  if (ok && tag >= 0) {
    page = pages->pageForUniqueId(tag);
    if (!page) page = pages->firstPage();
  } else if (ok && tag == -1) {
    const QString bin = info.value(kAutoAddBinNameKey).toString();
    if (bin.isEmpty()) return;
    if (std::optional<long> shown = host_->currentPageIdOfMediaBin(bin))
      page = pages->pageForUniqueId(*shown);
    if (!page) page = pages->firstPage();
  }
  if (!page) return;
  loadingAutoRecording_ = true;
  addTheseFilesToQueue({path}, page.get(), page->lastFilledGridIndex(), false);
  loadingAutoRecording_ = false;
}

// --- the open panel ----------------------------------------------------------------

void QKFileLoader::loadWithOpenPanel() {
  std::shared_ptr<QKPage> first = host_->pageController()->firstPage();
  loadWithOpenPanelToFolder(first.get(), first ? first->lastFilledGridIndex() : 0, false);
}

QString QKFileLoader::openPanelStartFolder() {
  QString folder = QFileInfo(MediaPaths::applicationBundlePath()).dir().filePath("media");
  const QString remembered = UserDefaults::standard().stringValue(kImportMediaPathKey);
  if (!remembered.isEmpty()) {
    const QFileInfo holder(QFileInfo(remembered).absolutePath());
    if (holder.isDir()) folder = holder.absoluteFilePath();
  }
  return folder;
}

// Run without a page, the panel loads into the first page (the legacy root
// folder is not shown anywhere).
void QKFileLoader::loadWithOpenPanelToFolder(QKFileParent* page, int index, bool isGridIndex,
                                             QWidget* window) {
  if (!window) window = host_->presetManagerWindow();
  loadToMe_ = page ? page->uniqueFileId() : -1;
  loadIndex_ = page ? index : -1;
  loadIndexFlag_ = isGridIndex;
  auto* dialog = new QFileDialog(window, QStringLiteral("Import Media"), openPanelStartFolder());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setObjectName(QStringLiteral("importMediaPanel"));
  dialog->setFileMode(QFileDialog::ExistingFiles);
  dialog->setOption(QFileDialog::DontResolveSymlinks);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
  const std::weak_ptr<int> alive = alive_;
  QObject::connect(dialog, &QFileDialog::finished, dialog, [this, alive, dialog](int result) {
    if (!alive.lock()) return;
    loadWithOpenPanelDidEnd(result == QDialog::Accepted ? dialog->selectedFiles() : QStringList());
  });
  dialog->open();
}

void QKFileLoader::loadWithOpenPanelDidEnd(const QStringList& paths) {
  if (paths.isEmpty()) {
    Log::line(QStringLiteral("\t\terr: cancelled or no files selected"));
    return;
  }
  UserDefaults::standard().setValue(kImportMediaPathKey, paths.first());
  QKFileParent* destination = nullptr;
  std::shared_ptr<QKPage> page = host_->pageController()->pageForUniqueId(loadToMe_);
  if (page)
    destination = page.get();
  else if (QKFolder* root = host_->rootFolder())
    destination = root->findFolderByUniqueFileId(loadToMe_);
  addTheseFilesToQueue(paths, destination, destination ? loadIndex_ : -1, loadIndexFlag_);
}

// --- the page menus ------------------------------------------------------------------

void QKFileLoader::prepareFolderListMenu() {
  folderListMenu_.clear();
  addPagesToMenu(&folderListMenu_, 0);
}

void QKFileLoader::prepareFolderAndMediaBinListMenu() {
  QKPageListMenu& menu = folderAndMediaBinListMenu_;
  menu.clear();
  menu.addItem(QStringLiteral("<none>"), QKPageListMenu::kNoneTag);
  menu.addSeparator();
  menu.addItem(QStringLiteral("Follow media bin:"), QKPageListMenu::kInertTag, 0, false);
  addMediaBinsToMenu(&menu);
  menu.addSeparator();
  menu.addItem(QStringLiteral("Page:"), QKPageListMenu::kInertTag, 0, false);
  addPagesToMenu(&menu, 0);
}

void QKFileLoader::addPagesToMenu(QKPageListMenu* menu, int depth) {
  QKPageController* pages = host_->pageController();
  if (!menu || !pages) return;
  RWTryLock::ReadGuard guard(pages->pagesLock());
  for (const std::shared_ptr<QKPage>& page : pages->pages())
    menu->addItem(page->name(), int(page->uniqueFileId()), depth);
}

void QKFileLoader::addMediaBinsToMenu(QKPageListMenu* menu) {
  if (!menu) return;
  for (const QString& title : host_->mediaBinTitles())
    menu->addItem(title, QKPageListMenu::kFollowMediaBinTag);
}

void QKFileLoader::addFolder(const QKFolder& folder, QKPageListMenu* menu, int depth) {
  if (!menu) return;
  menu->addItem(folder.name(), int(folder.uniqueFileId()), depth);
  for (const QKFolder::Item& item : folder.contents())
    if (item.folder) addFolder(*item.folder, menu, depth + 1);
}

void QKFileLoader::updateFolderListNotificationReceived(const Notification& notification) {
  const QString& name = notification.name;
  const std::optional<QString> bin = host_->mediaBinTitle(notification.object);
  QVariantMap reason;
  bool pageMenuToo = false;
  if (name == kPluginAdded && bin) {
    reason = {{kReasonKey, QStringLiteral("addedMediaBin")},
              {QStringLiteral("addedBinName"), *bin}};
  } else if (name == kPluginDeleted) {
    reason = {{kReasonKey, QStringLiteral("deletedPlugin")}};
  } else if (name == kPluginRenamed && bin) {
    reason = {{kReasonKey, QStringLiteral("changePluginName")},
              {MediaNotifications::kOldNameKey,
               notification.userInfo.value(MediaNotifications::kOldNameKey)},
              {MediaNotifications::kNewNameKey,
               notification.userInfo.value(MediaNotifications::kNewNameKey)}};
  } else if (name == MediaNotifications::kPageListChanged) {
    reason = {{kReasonKey, QStringLiteral("pagesChanged")}};
    pageMenuToo = true;
  } else if (name == kRestoreEnd) {
    reason = {{kReasonKey, QStringLiteral("loadedPreset")}};
  } else if (name == MediaNotifications::kFolderRenamed) {
    // A page's new name shows at once; the pop-ups keep it by its ID.
    reason = notification.userInfo;
    reason.insert(kReasonKey, QStringLiteral("changeFolderName"));
    pageMenuToo = true;
  } else {
    return;
  }
  if (pageMenuToo) prepareFolderListMenu();
  prepareFolderAndMediaBinListMenu();
  NotificationCenter::defaultCenter().post(MediaNotifications::kFolderListMenuUpdated, this,
                                           reason);
}
