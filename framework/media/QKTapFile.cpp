#include "framework/media/QKTapFile.h"

#include "framework/media/StoredProps.h"

const QString QKTapFile::kIsVideoInputKey = QStringLiteral("isVideoInput");

std::shared_ptr<QKTapFile> QKTapFile::createWithCompositor(CompositorInterface* compositor) {
  return std::make_shared<QKTapFile>(compositor);
}

std::shared_ptr<QKTapFile> QKTapFile::createWithTapName(const QString& tapName,
                                                        CompositorInterface* compositor) {
  return std::make_shared<QKTapFile>(tapName, compositor);
}

bool QKTapFile::isVideoInputName(const QString& tapName) {
  return tapName.size() > 6 && tapName.startsWith(QLatin1String("VidIn"), Qt::CaseSensitive);
}

QKTapFile::QKTapFile(CompositorInterface* compositor) : QKFile(compositor) {
  qkFileType_ = kTapKind;
  validFile_ = true;
}

QKTapFile::QKTapFile(const QString& tapName, CompositorInterface* compositor)
    : QKFile(tapName, compositor), isVideoInput_(isVideoInputName(tapName)) {
  qkFileType_ = kTapKind;
  validFile_ = true;
  fullPath_ = tapName;
}

void QKTapFile::setName(const QString& name) {
  QKFile::setName(name);
  isVideoInput_ = isVideoInputName(name);
}

QVariantMap QKTapFile::createSnapshot() {
  QVariantMap snapshot = QKFile::createSnapshot();
  snapshot.insert(kIsVideoInputKey, isVideoInput_);
  return snapshot;
}

bool QKTapFile::loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) {
  const bool loaded = QKFile::loadFromSnapshot(snapshot, compositor);
  const QVariant stored = snapshot.value(kIsVideoInputKey);
  if (stored.isValid()) {
    const QVariant flag = StoredProps::typed(stored, StoredProps::Type::Bool);
    isVideoInput_ = flag.isValid() && flag.toBool();
  }
  return loaded;
}
