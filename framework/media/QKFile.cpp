#include "framework/media/QKFile.h"

#include "framework/media/CompositorInterface.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/MediaPaths.h"
#include "framework/media/StoredProps.h"
#include "platform/foundation/NotificationCenter.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>

const QString QKFile::kTypeKey = QStringLiteral("qkFileType");
const QString QKFile::kUniqueIdKey = QStringLiteral("uniqueFileId");
const QString QKFile::kNameKey = QStringLiteral("name");
const QString QKFile::kUnnamed = QStringLiteral("unnamed file");

std::shared_ptr<QKFile> QKFile::createWithCompositor(CompositorInterface* compositor) {
  return std::make_shared<QKFile>(compositor);
}

std::shared_ptr<QKFile> QKFile::createWithName(const QString& name,
                                               CompositorInterface* compositor) {
  return std::make_shared<QKFile>(name, compositor);
}

QKFile::QKFile(CompositorInterface* compositor) : compositor_(compositor) {}

QKFile::QKFile(const QString& name, CompositorInterface* compositor)
    : compositor_(compositor), name_(name) {
  if (compositor_) uniqueFileId_ = compositor_->getUniqueID();
}

QKFile::~QKFile() {
  // Never post from here: observers would be handed a file that is going.
  NotificationCenter::defaultCenter().removeObserver(this);
}

void QKFile::initNonQTFile() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    const QIcon icon = QFileIconProvider().icon(QFileInfo(fullPath_));
    posterImage_ = icon.pixmap(kThumbnailWidth, kThumbnailHeight).toImage();
  }
  validFile_ = true;
}

QString QKFile::description() const {
  return name_.isNull() ? QStringLiteral("File (nil name)")
                        : QStringLiteral("File (%1)").arg(name_);
}

QVariantMap QKFile::createSnapshot() {
  QVariantMap snapshot;
  snapshot.insert(kTypeKey, qkFileType_);
  snapshot.insert(kUniqueIdKey, qint64(uniqueFileId_));
  if (!name_.isNull()) snapshot.insert(kNameKey, name_);
  if (!originalPath_.isNull()) snapshot.insert(MediaPaths::kOriginalPathKey, originalPath_);
  if (fullPath_.isEmpty()) return snapshot;
  snapshot.insert(MediaPaths::kFullPathKey, fullPath_);

  const QString savePath = compositor_ ? compositor_->projectSavePath() : QString();
  const QString toProject = MediaPaths::relativeToFileEscaped(savePath, fullPath_);
  if (!toProject.isEmpty()) snapshot.insert(MediaPaths::kRelPathToProjectKey, toProject);
  const QString toApplication =
      MediaPaths::relativeToFileEscaped(MediaPaths::applicationBundlePath(), fullPath_);
  if (!toApplication.isEmpty())
    snapshot.insert(MediaPaths::kRelPathToApplicationKey, toApplication);
  const QString toHome = MediaPaths::relativeToHomeEscaped(fullPath_);
  if (!toHome.isEmpty()) snapshot.insert(MediaPaths::kRelPathToUserFolderKey, toHome);
  refreshRelPath();
  return snapshot;
}

QVariantMap QKFile::snapshotWithStoredProps(const std::vector<StoredProps::Key>& keys) {
  QVariantMap snapshot = QKFile::createSnapshot();
  snapshot.insert(StoredProps::kMoviePropsKey, StoredProps::subset(movieProps(), keys));
  return snapshot;
}

bool QKFile::loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) {
  compositor_ = compositor;
  bool ok = false;
  const qlonglong stored = snapshot.value(kUniqueIdKey).toLongLong(&ok);
  if (ok) {
    uniqueFileId_ = long(stored);
    if (compositor_) compositor_->uniqueIDRecovered(uniqueFileId_);
  } else if (compositor_) {
    uniqueFileId_ = compositor_->getUniqueID();
  }
  const QVariant name = snapshot.value(kNameKey);
  if (name.isValid())
    name_ = name.toString();
  else if (name_.isNull())
    name_ = kUnnamed;
  return true;
}

bool QKFile::loadFromSnapshot(const QVariantMap&, const QString& fullPath, CompositorInterface*) {
  takePath(fullPath);
  return false;
}

bool QKFile::loadWithMediaFromSnapshot(const QVariantMap& snapshot,
                                       CompositorInterface* compositor) {
  QKFile::loadFromSnapshot(snapshot, compositor);
  const QString savePath = compositor_ ? compositor_->projectSavePath() : QString();
  const QString path = MediaPaths::findMedia(snapshot, savePath);
  const bool loaded = loadFromSnapshot(snapshot, path, compositor);
  if (!loaded)
    NotificationCenter::defaultCenter().post(MediaNotifications::kMissingFile, this,
                                             {{MediaNotifications::kMissingFileSnapKey, snapshot}});
  return loaded;
}

QString QKFile::createRelPath() const {
  if (fullPath_.isEmpty()) return {};
  return MediaPaths::relativeToFileEscaped(MediaPaths::applicationBundlePath(), fullPath_);
}

void QKFile::refreshRelPath() {
  const QString relative = createRelPath();
  if (!relative.isEmpty()) relPath_ = relative;
}

void QKFile::takePath(const QString& path) {
  originalPath_ = path;
  fullPath_ = resolveAliasFilePath(path, fileIsAlias_);
  refreshRelPath();
}

QString QKFile::resolveAliasFilePath(const QString& path, bool) {
  return justResolveAliasFilePath(path);
}

QString QKFile::justResolveAliasFilePath(const QString& path) {
  if (path.isNull()) return {};
  const QFileInfo info(path);
  if (!info.isSymLink()) return path;
  const QString target = info.canonicalFilePath();
  return target.isEmpty() ? path : target;
}

void QKFile::setPosterImage(const QImage& image) {
  QImage poster(kThumbnailWidth, kThumbnailHeight, QImage::Format_ARGB32);
  poster.fill(Qt::transparent);
  if (!image.isNull()) {
    QPainter painter(&poster);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(poster.rect(), image, image.rect());
  }
  posterImage_ = poster;
  NotificationCenter::defaultCenter().post(MediaNotifications::kPosterImageChanged, this);
}

bool QKFile::hasMovieProps() const {
  std::lock_guard<std::mutex> lock(propsMutex_);
  return hasProps_;
}

QVariantMap QKFile::movieProps() const {
  std::lock_guard<std::mutex> lock(propsMutex_);
  return props_;
}

QVariant QKFile::movieProp(const QString& key) const {
  std::lock_guard<std::mutex> lock(propsMutex_);
  return props_.value(key);
}

void QKFile::setMovieProps(const QVariantMap& props) {
  std::lock_guard<std::mutex> lock(propsMutex_);
  hasProps_ = true;
  props_ = props;
}

void QKFile::setMovieProp(const QString& key, const QVariant& value) {
  std::lock_guard<std::mutex> lock(propsMutex_);
  hasProps_ = true;
  props_.insert(key, value);
}

void QKFile::removeMovieProp(const QString& key) {
  std::lock_guard<std::mutex> lock(propsMutex_);
  props_.remove(key);
}

void QKFile::clearMovieProps() {
  std::lock_guard<std::mutex> lock(propsMutex_);
  hasProps_ = false;
  props_.clear();
}

void QKFile::prepareToBeDeleted() {
  if (deleted_) return;
  deleted_ = true;
  NotificationCenter::defaultCenter().removeObserver(this);
  NotificationCenter::defaultCenter().post(MediaNotifications::kFileFolderDeleted, this);
  currentSource_.reset();
  parent_ = nullptr;
}
