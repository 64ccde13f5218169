#include "framework/media/QKImageFile.h"

#include "framework/media/CompositorInterface.h"
#include "framework/toolkit/QKStatChecker.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cmath>

const QString QKImageFile::kBuiltInPlayer = QStringLiteral("<Built-In Player>");
const QString QKImageFile::kCacheImageKey = QStringLiteral("cacheImage");
const QString QKImageFile::kUseStyleKey = QStringLiteral("useStyle");
const QString QKImageFile::kStyleNameKey = QStringLiteral("styleName");

namespace {
using StoredProps::Type;

// What the reader tells of an image before decoding it: its size as shown
// (turned by its orientation), or why it cannot be read.
struct Probe {
  QSize size;
  QString error;
};

bool turnsSideways(const QImageReader& reader) {
  return reader.transformation() & QImageIOHandler::TransformationRotate90;
}

Probe probe(const QString& path) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  if (!reader.canRead()) return {{}, reader.errorString()};
  const QSize stored = reader.size();
  if (!stored.isValid() || stored.isEmpty()) return {{}, QStringLiteral("the image has no size")};
  const qint64 limitBytes = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
  if (limitBytes > 0 && qint64(stored.width()) * stored.height() * 4 > limitBytes)
    return {{},
            QStringLiteral("the image claims %1 x %2 pixels, beyond the reader's limit of %3 MB")
                .arg(stored.width())
                .arg(stored.height())
                .arg(QImageReader::allocationLimit())};
  return {turnsSideways(reader) ? stored.transposed() : stored, {}};
}

// The image decoded at `size` (as shown), stretched when its aspect differs.
QImage decode(const QString& path, QSize size, QString* error) {
  QImageReader reader(path);
  reader.setAutoTransform(true);
  const QSize stored = turnsSideways(reader) ? size.transposed() : size;
  if (reader.size() != stored) reader.setScaledSize(stored);
  QImage image = reader.read();
  if (image.isNull()) {
    *error = reader.errorString();
    return {};
  }
  if (image.size() != size)
    image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void logUnreadable(const QString& path, const QString& error) {
  Log::line(QStringLiteral("\t\terr: could not read the image %1: %2").arg(path, error));
}
}  // namespace

const std::vector<StoredProps::Key>& QKImageFile::storedKeys() {
  static const std::vector<StoredProps::Key> keys{
      {QStringLiteral("allowLiveUpdating"), Type::Bool},
      {QStringLiteral("QCAttributeSnapshot"), Type::Dictionary},
      {QStringLiteral("useCustomResForQtz"), Type::Int},
      {QStringLiteral("qtzHorRes"), Type::Int},
      {QStringLiteral("qtzVertRes"), Type::Int},
      {kCacheImageKey, Type::Int},
      {kUseStyleKey, Type::Int},
      {kStyleNameKey, Type::String},
  };
  return keys;
}

bool QKImageFile::isImageFileAtPath(const QString& path) {
  if (path.isEmpty()) return false;
  const QByteArray suffix = QFileInfo(path).suffix().toLower().toUtf8();
  return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix);
}

int QKImageFile::cacheLimit() {
  const int limit =
      StoredProps::userDefault(QStringLiteral("maxImageCacheSizeDefault"), kDefaultCacheLimit)
          .toInt();
  return limit > 0 ? limit : kDefaultCacheLimit;
}

QSize QKImageFile::fittedSize(QSize original, int limit) {
  if (original.isEmpty() || limit <= 0) return original;
  const double aspect = double(original.width()) / original.height();
  const auto rounded = [](double value) { return std::max(1, int(std::lround(value))); };
  if (aspect >= 1.0 && original.width() > limit) return {limit, rounded(limit / aspect)};
  if (aspect < 1.0 && original.height() > limit) return {rounded(limit * aspect), limit};
  return original;
}

QKImageFile::Bitmap QKImageFile::imageRepAtPath(const QString& path, QString* error) {
  QString reason;
  const Probe probed = probe(path);
  QImage image;
  if (probed.error.isEmpty())
    image = decode(path, fittedSize(probed.size, cacheLimit()), &reason);
  else
    reason = probed.error;
  if (image.isNull()) {
    if (error) *error = reason;
    return nullptr;
  }
  return std::make_shared<const QImage>(std::move(image));
}

// --- making ------------------------------------------------------------------

QKImageFile::QKImageFile(CompositorInterface* compositor) : QKFile(compositor) {
  qkFileType_ = kImageKind;
}

QKImageFile::QKImageFile(const QString& name, CompositorInterface* compositor)
    : QKFile(name, compositor) {
  qkFileType_ = kImageKind;
}

QKImageFile::~QKImageFile() {
  // May run on the render thread: no lock a frame holds, no wait. The
  // memory check reads /proc, so it is handed to the main thread.
  Bitmap dropped;
  {
    std::lock_guard<std::mutex> lock(bitmapMutex_);
    dropped = std::move(bitmap_);
  }
  if (dropped) MainThread::post(&QKStatChecker::updateBelowMemoryThreshold);
}

std::shared_ptr<QKImageFile> QKImageFile::createWithCompositor(CompositorInterface* compositor) {
  return std::make_shared<QKImageFile>(compositor);
}

std::shared_ptr<QKImageFile> QKImageFile::createWithFilePath(const QString& path,
                                                             CompositorInterface* compositor) {
  auto file = std::make_shared<QKImageFile>(QFileInfo(path).fileName(), compositor);
  file->takeFilePath(path);
  file->validFile_ = file->initWithImage();
  return file;
}

void QKImageFile::takeFilePath(const QString& path) {
  takePath(path);
  fileType_ = QFileInfo(fullPath_).suffix();
}

void QKImageFile::setMoviePropDefaults() {
  using StoredProps::userDefault;
  qkFileType_ = kImageKind;
  if (!hasMovieProps()) setMovieProps({});
  setMovieProp(QStringLiteral("allowLiveUpdating"),
               userDefault("imageAllowLiveUpdatingDefault", true));
  setMovieProp(QStringLiteral("useCustomResForQtz"), userDefault("useCustomResForImageDefault", 1));
  setMovieProp(QStringLiteral("qtzHorRes"), userDefault("imageHorResDefault", 640));
  setMovieProp(QStringLiteral("qtzVertRes"), userDefault("imageVertResDefault", 480));
  const QString style = StoredProps::styleNameDefault(
      QStringLiteral("imageFileStyleNameDefault"), QStringLiteral("DefaultImageSource.qtz"),
      compositor_ ? compositor_->imageSourcesPathsDict().keys() : QStringList(),
      compositor_ ? compositor_->imageSourcesNames() : QStringList());
  if (!style.isEmpty()) setMovieProp(kStyleNameKey, style);
  setMovieProp(kUseStyleKey, userDefault("useImageStyleDefault", 0));
  setMovieProp(kCacheImageKey, userDefault("cacheImagesDefault", 0));
}

bool QKImageFile::cachingWanted() {
  const bool memoryShort = QKStatChecker::checkMemoryThreshold();
  const QVariant stored = StoredProps::typed(movieProp(kCacheImageKey), Type::Int);
  int value = stored.toInt();
  if (!stored.isValid()) {
    value = memoryShort ? 0 : StoredProps::userDefault("cacheImagesDefault", 0).toInt();
    setMovieProp(kCacheImageKey, value);
  }
  return !memoryShort && value == 1;
}

bool QKImageFile::initWithImage() {
  qkFileType_ = kImageKind;
  if (!hasMovieProps()) setMoviePropDefaults();
  const Probe probed = probe(fullPath_);
  if (!probed.error.isEmpty()) {
    logUnreadable(fullPath_, probed.error);
    return false;
  }
  originalSize_ = probed.size;
  const bool cache = cachingWanted();
  actualSize_ = fittedSize(originalSize_, cacheLimit());
  QString error;
  if (cache) {
    QImage bitmap = decode(fullPath_, actualSize_, &error);
    if (bitmap.isNull()) {
      logUnreadable(fullPath_, error);
      return false;
    }
    posterImage_ = bitmap.scaled(kThumbnailWidth, kThumbnailHeight, Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation);
    setImageRep(std::make_shared<const QImage>(std::move(bitmap)));
    return true;
  }
  posterImage_ = decode(fullPath_, QSize(kThumbnailWidth, kThumbnailHeight), &error);
  if (posterImage_.isNull()) logUnreadable(fullPath_, error);
  return !posterImage_.isNull();
}

// --- the bitmap --------------------------------------------------------------

QKImageFile::Bitmap QKImageFile::imageRep() const {
  std::lock_guard<std::mutex> lock(bitmapMutex_);
  return bitmap_;
}

void QKImageFile::setImageRep(Bitmap bitmap) {
  std::unique_lock<std::mutex> lock(bitmapMutex_);
  std::swap(bitmap_, bitmap);
  lock.unlock();
  // The old bitmap goes here; a reader that still draws it keeps its own.
}

int QKImageFile::useImageSource() const {
  if (!hasMovieProps()) return 0;
  const QVariantMap props = movieProps();
  const QVariant useStyle = props.value(kUseStyleKey);
  if (useStyle.isValid() && useStyle.toInt() == 0) return 2;
  if (!props.contains(kStyleNameKey)) return 0;
  const QString style = props.value(kStyleNameKey).toString();
  if (style == kBuiltInPlayer || !compositor_) return 0;
  return compositor_->imageSourcesNames().contains(style) ? 1 : 0;
}

void QKImageFile::prepareImageCacheIfNeeded() {
  if (!hasMovieProps()) return;
  const QSize target = fittedSize(originalSize_, cacheLimit());
  const QVariant stored = StoredProps::typed(movieProp(kCacheImageKey), Type::Int);
  if (!stored.isValid()) setMovieProp(kCacheImageKey, 0);
  const Bitmap current = imageRep();
  if (stored.toInt() != 1) {
    if (current) setImageRep(nullptr);
    return;
  }
  if (current && current->size() == target) return;
  if (current) setImageRep(nullptr);
  if (QKStatChecker::checkMemoryThreshold()) {
    Log::line(QStringLiteral("err: attempted to cache image when below memory threshold"));
    return;
  }
  QString error;
  Bitmap bitmap = imageRepAtPath(fullPath_, &error);
  if (!bitmap) {
    logUnreadable(fullPath_, error);
    return;
  }
  actualSize_ = bitmap->size();
  setImageRep(std::move(bitmap));
}

// --- snapshot ------------------------------------------------------------------

QVariantMap QKImageFile::convertPropsToDict() const {
  return StoredProps::subset(movieProps(), storedKeys());
}

void QKImageFile::convertDictToProps(const QVariant& stored) {
  if (!hasMovieProps()) setMoviePropDefaults();
  StoredProps::overlay(*this, stored, storedKeys());
}

QVariantMap QKImageFile::createSnapshot() { return snapshotWithStoredProps(storedKeys()); }

bool QKImageFile::loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) {
  return loadWithMediaFromSnapshot(snapshot, compositor);
}

bool QKImageFile::loadFromSnapshot(const QVariantMap& snapshot, const QString& fullPath,
                                   CompositorInterface* compositor) {
  compositor_ = compositor;
  qkFileType_ = kImageKind;
  takeFilePath(fullPath);
  if (snapshot.contains(StoredProps::kMoviePropsKey))
    convertDictToProps(snapshot.value(StoredProps::kMoviePropsKey));
  validFile_ = !fullPath_.isEmpty() && QFileInfo::exists(fullPath_) && initWithImage();
  return validFile_;
}
