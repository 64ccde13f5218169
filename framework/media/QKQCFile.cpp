#include "framework/media/QKQCFile.h"

#include "platform/composition/CompositionFormat.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

#include <QFileInfo>

const QString QKQCFile::kThumbnailKey = QStringLiteral("thumbnail");

namespace {
using StoredProps::Type;

const QString kCompositionExtension = QLatin1String(composition::kCompositionExtension);
}  // namespace

const std::vector<StoredProps::Key>& QKQCFile::storedKeys() {
  static const std::vector<StoredProps::Key> keys{
      {QStringLiteral("allowLiveUpdating"), Type::Bool},
      {QStringLiteral("QCAttributeSnapshot"), Type::Dictionary},
      {QStringLiteral("useCustomResForQtz"), Type::Int},
      {QStringLiteral("qtzHorRes"), Type::Int},
      {QStringLiteral("qtzVertRes"), Type::Int},
  };
  return keys;
}

bool QKQCFile::hasCompositionExtension(const QString& path) {
  const QString suffix = QFileInfo(path).suffix();
  return suffix == kCompositionExtension || suffix == kCompositionExtension.toUpper();
}

QImage QKQCFile::thumbnailForQCAtPath(const QString& path) {
  const PropertyList::Result list = PropertyList::read(path);
  const QVariant data = list.value.toMap().value(kThumbnailKey);
  if (data.typeId() != QMetaType::QByteArray) return {};
  const QImage image = QImage::fromData(data.toByteArray());
  if (image.isNull())
    Log::line(QStringLiteral("\t\terr: the thumbnail of %1 is not an image").arg(path));
  return image;
}

QKQCFile::QKQCFile(CompositorInterface* compositor) : QKFile(compositor) {
  qkFileType_ = kCompositionKind;
}

QKQCFile::QKQCFile(const QString& name, CompositorInterface* compositor)
    : QKFile(name, compositor) {
  qkFileType_ = kCompositionKind;
}

std::shared_ptr<QKQCFile> QKQCFile::createWithCompositor(CompositorInterface* compositor) {
  return std::make_shared<QKQCFile>(compositor);
}

std::shared_ptr<QKQCFile> QKQCFile::createWithPath(const QString& path, const QString& name,
                                                   CompositorInterface* compositor) {
  auto file = std::make_shared<QKQCFile>(name, compositor);
  file->takePath(path);
  file->fileType_ = QFileInfo(file->fullPath_).suffix();
  file->initQCPatch();
  return file;
}

void QKQCFile::initQCPatch() {
  using StoredProps::userDefault;
  qkFileType_ = kCompositionKind;
  setMovieProps({
      {QStringLiteral("allowLiveUpdating"), userDefault("qtzAllowLiveUpdatingDefault", true)},
      {QStringLiteral("useCustomResForQtz"), userDefault("useCustomResForQtzDefault", 1)},
      {QStringLiteral("qtzHorRes"), userDefault("qtzHorResDefault", 640)},
      {QStringLiteral("qtzVertRes"), userDefault("qtzVertResDefault", 480)},
  });
  const QImage thumbnail = thumbnailForQCAtPath(fullPath_);
  posterImage_ = thumbnail.isNull() ? QImage()
                                    : thumbnail
                                          .scaled(kThumbnailWidth, kThumbnailHeight,
                                                  Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                          .convertToFormat(QImage::Format_ARGB32);
  validFile_ = true;
}

QVariantMap QKQCFile::convertQCPropsToDict() const {
  return StoredProps::subset(movieProps(), storedKeys());
}

void QKQCFile::convertDictToQCProps(const QVariant& stored) {
  StoredProps::overlay(*this, stored, storedKeys());
}

QVariantMap QKQCFile::createSnapshot() { return snapshotWithStoredProps(storedKeys()); }

bool QKQCFile::loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) {
  return loadWithMediaFromSnapshot(snapshot, compositor);
}

bool QKQCFile::loadFromSnapshot(const QVariantMap& snapshot, const QString& fullPath,
                                CompositorInterface* compositor) {
  compositor_ = compositor;
  takePath(fullPath);
  clearMovieProps();
  const bool valid = QFileInfo::exists(fullPath_) && hasCompositionExtension(fullPath_);
  if (valid) initQCPatch();
  convertDictToQCProps(snapshot.value(StoredProps::kMoviePropsKey));
  validFile_ = valid;
  return valid;
}
