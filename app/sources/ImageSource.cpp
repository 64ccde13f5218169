#include "app/sources/ImageSource.h"

#include "app/compositor/Layer.h"
#include "app/sources/SourceFileLookup.h"
#include "app/sources/SourceRouting.h"
#include "framework/params/CIPositionElement.h"
#include "framework/render/DeferredReleaseArrays.h"
#include "platform/foundation/HappensBefore.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QThreadPool>

#include <exception>

const QString ImageSource::kSourceType = QStringLiteral("imageSource");

namespace {
const QString kPropsUpdated = QStringLiteral("QKFileMoviePropsUpdatedNotification");
const QString kWidthKey = QStringLiteral("widthTextField");
const QString kHeightKey = QStringLiteral("heightTextField");
const QString kPositionKey = QStringLiteral("renderPositionElement");
const QString kSourceFileIDKey = QStringLiteral("sourceFileID");

void logNoBitmap(const QString& path) {
  Log::line(QStringLiteral("\t\timage rep was nil, %1 (%2)")
                .arg(QStringLiteral("-[ImageSource pushImageToTexture]"), path));
}

std::optional<int> intValue(const QVariant& value) {
  const int type = value.typeId();
  if (type != QMetaType::Int && type != QMetaType::LongLong && type != QMetaType::Double &&
      type != QMetaType::UInt && type != QMetaType::ULongLong)
    return std::nullopt;
  return value.toInt();
}
}  // namespace

ImageSource::ImageSource(const QString& name, Layer* layer) : VidSourceObject(name, layer) {
  makePanel();
  observers_.observe(kPropsUpdated, nullptr,
                     [this](const Notification& n) { paramsUpdated(n.object); });
}

ImageSource::~ImageSource() {
  observers_.clear();
  if (!deleted()) prepareToBeDeleted();
  if (position_) position_->prepareToBeDeleted();
  if (texture_)
    DeferredReleaseArrays::shared().addBuffer(
        std::make_shared<gl::TextureHandle>(std::move(texture_)));
}

void ImageSource::makePanel() {
  auto* panel = new QWidget;
  panel->resize(300, 120);
  auto* widthLabel = new QLabel(QStringLiteral("width"), panel);
  widthLabel->setGeometry(8, 8, 44, 20);
  widthField_ = new QLineEdit(QStringLiteral("640"), panel);
  widthField_->setValidator(new QIntValidator(0, 1 << 16, widthField_));
  widthField_->setGeometry(54, 8, 60, 20);
  auto* heightLabel = new QLabel(QStringLiteral("height"), panel);
  heightLabel->setGeometry(120, 8, 44, 20);
  heightField_ = new QLineEdit(QStringLiteral("480"), panel);
  heightField_->setValidator(new QIntValidator(0, 1 << 16, heightField_));
  heightField_->setGeometry(166, 8, 60, 20);
  position_ = CIPositionElement::create(QRectF(8, 34, 280, 80), panel, QSizeF(1, 1));
  if (position_) position_->setPointValue(QPointF(0.5, 0));
  setView(panel);
}

void ImageSource::prepareToBeDeleted() {
  VidSourceObject::prepareToBeDeleted();
  eject();
}

bool ImageSource::isCurrentSource() const { return layer() && layer()->currentSource() == this; }

QSizeF ImageSource::renderSize() const {
  std::lock_guard<std::mutex> lock(const_cast<std::mutex&>(renderLock_));
  return renderSize_;
}

QString ImageSource::currentPath() const {
  std::shared_ptr<QKFile> file = currentFile_.load();
  return file ? file->fullPath() : QString();
}

void ImageSource::loadThisFile(const std::shared_ptr<QKFile>& file) {
  if (deleted()) return;
  if (!file) {
    eject();
    return;
  }
  auto image = std::dynamic_pointer_cast<QKImageFile>(file);
  if (!image || !image->validFile()) return;
  image->prepareImageCacheIfNeeded();
  const QKImageFile::Bitmap cached = image->imageRep();
  QSizeF size = QSizeF(image->actualSize());
  long generation = 0;
  {
    std::lock_guard<std::mutex> lock(renderLock_);
    unlockedEject();
    currentFile_.store(file);
    generation = generation_;
    if (cached) takeBitmap(cached);
    if (size.isEmpty() && cached) size = QSizeF(cached->size());
    if (!size.isEmpty()) renderSize_ = size;
  }
  if (!size.isEmpty() && isCurrentSource()) layer()->setLayerSize(size);
  image->setCurrentSource(shared_from_this());
  if (!cached) decodeLater(image->fullPath(), generation);
  if (layer()) SourceRouting::displayGeneralSourceLater(*layer());
}

// Under renderLock_.
void ImageSource::takeBitmap(const QKImageFile::Bitmap& bitmap) {
  pending_ = bitmap ? gl::PixelUploader::toStraightRGBA(*bitmap) : QImage();
  needsUpdate_ = !pending_.isNull();
}

void ImageSource::decodeLater(const QString& path, long generation) {
  decoding_.store(true);
  std::weak_ptr<ImageSource> self = std::static_pointer_cast<ImageSource>(shared_from_this());
  // The pool is Qt's: the hand-over is shown to ThreadSanitizer by hand.
  static const int handOver = 0;
  std::function<void()> decode = [path, generation, self] {
    HappensBefore::observe(&handOver);
    QKImageFile::Bitmap straight;
    try {
      QString error;
      if (QKImageFile::Bitmap bitmap = QKImageFile::imageRepAtPath(path, &error))
        straight = std::make_shared<const QImage>(gl::PixelUploader::toStraightRGBA(*bitmap));
    } catch (const std::exception& e) {
      Log::line(
          QStringLiteral("\t\terr: image decode failed: %1").arg(QString::fromUtf8(e.what())));
    } catch (...) {
      Log::line(QStringLiteral("\t\terr: image decode failed"));
    }
    MainThread::post([self, straight, generation, path] {
      if (std::shared_ptr<ImageSource> source = self.lock())
        source->decoded(straight, generation, path);
    });
  };
  HappensBefore::publish(&handOver);
  QThreadPool::globalInstance()->start(std::move(decode));
}

// Main thread: a decode started for load `generation` ended.
void ImageSource::decoded(QKImageFile::Bitmap bitmap, long generation, const QString& path) {
  std::shared_ptr<QKFile> file;
  QSizeF size;
  {
    std::lock_guard<std::mutex> lock(renderLock_);
    if (generation != generation_) return;  // ejected or loaded again since
    decoding_.store(false);
    file = currentFile_.load();
    if (!bitmap || !file) {
      if (!bitmap) logNoBitmap(path);
      return;
    }
    pending_ = *bitmap;  // already straight
    needsUpdate_ = true;
    size = QSizeF(bitmap->size());
    renderSize_ = size;
  }
  if (auto image = std::dynamic_pointer_cast<QKImageFile>(file))
    image->setActualSize(bitmap->size());
  if (isCurrentSource()) layer()->setLayerSize(size);
}

void ImageSource::render(const gl::DisplayLink::Frame&) {
  std::unique_lock<std::mutex> lock(renderLock_, std::try_to_lock);
  if (!lock.owns_lock() || !currentFile_.holdsFile() || !needsUpdate_) return;
  needsUpdate_ = false;
  gl::TextureHandle made = uploader_.upload(pending_);
  pending_ = QImage();
  if (!made) {
    Log::limited(QStringLiteral("ImageSource.texture"),
                 QStringLiteral("\t\terr creating texture: %1").arg(0));
    return;
  }
  ++uploads_;
  if (texture_)
    DeferredReleaseArrays::shared().addBuffer(
        std::make_shared<gl::TextureHandle>(std::move(texture_)));
  texture_ = std::move(made);
  setBlackFrame(false);
}

gl::TextureHandle ImageSource::currentTexture() {
  if (blackFrame()) return {};
  return texture_;
}

void ImageSource::eject() {
  bool had = false;
  {
    std::lock_guard<std::mutex> lock(renderLock_);
    had = currentFile_.load() != nullptr;
    unlockedEject();
  }
  if (had && layer()) SourceRouting::displayGeneralSourceLater(*layer());
}

// Under renderLock_. The texture stays until the next one is made; the
// black frame hides it meanwhile.
void ImageSource::unlockedEject() {
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (!file) return;
  ++generation_;
  decoding_.store(false);
  pending_ = QImage();
  needsUpdate_ = false;
  file->setCurrentSource(nullptr);
  currentFile_.store(nullptr);
  setBlackFrame(true);
}

void ImageSource::paramsUpdated(const void* object) {
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (deleted() || !file || file.get() != object || !layer()) return;
  if (layer()->sourceNameForFile(*file) != Layer::kImage) {
    eject();
    SourceRouting::triggerFileLater(*layer(), file);
  } else {
    loadThisFile(file);
  }
}

void ImageSource::setImageStyleWithStyleNamed(const QString& style) {
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (!file || style.isEmpty() || !layer()) return;
  eject();
  file->setMovieProp(QKImageFile::kStyleNameKey, style);
  if (VidSourceObject* qc = layer()->sourceOfKind(VidSourceObject::kQCSource))
    qc->setLastImageStyleName(style);
  if (style == QKImageFile::kBuiltInPlayer)
    loadThisFile(file);
  else
    SourceRouting::triggerFileLater(*layer(), file);
}

QVariantMap ImageSource::createSnapshot() const {
  QVariantMap snapshot{{QStringLiteral("sourceType"), kSourceType}};
  if (std::shared_ptr<QKFile> file = currentFile_.load()) {
    snapshot.insert(kSourceFileIDKey, qint64(file->uniqueFileId()));
    snapshot.insert(QStringLiteral("sourceFileName"), file->name());
  }
  snapshot.insert(kWidthKey, widthField_ ? widthField_->text().toInt() : 0);
  snapshot.insert(kHeightKey, heightField_ ? heightField_->text().toInt() : 0);
  if (position_) snapshot.insert(kPositionKey, position_->createSnapshot());
  return snapshot;
}

void ImageSource::loadSnapshot(const QVariantMap& snapshot, bool trigger) {
  if (auto width = intValue(snapshot.value(kWidthKey)); width && widthField_)
    widthField_->setText(QString::number(*width));
  if (auto height = intValue(snapshot.value(kHeightKey)); height && heightField_)
    heightField_->setText(QString::number(*height));
  const QVariant position = snapshot.value(kPositionKey);
  if (position_ && position.typeId() == QMetaType::QVariantMap)
    position_->loadSnapshot(position.toMap());
  const std::optional<int> isId = intValue(snapshot.value(kSourceFileIDKey));
  if (!trigger || !isId || !layer()) return;
  std::shared_ptr<QKFile> file =
      SourceFileLookup::fileForUniqueId(long(snapshot.value(kSourceFileIDKey).toLongLong()));
  if (file && file->validFile()) SourceRouting::triggerFileAndWait(*layer(), file);
}
