#include "framework/media/QKFileKindTable.h"

#include "framework/media/QKFile.h"
#include "framework/media/QKImageFile.h"
#include "framework/media/QKQCFile.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKTapFile.h"
#include "framework/media/QKTextFile.h"
#include "framework/media/QKURLFile.h"

#include <map>
#include <mutex>

namespace {
const QString kQtFlagKey = QStringLiteral("qtFlag");
const QString kQcFlagKey = QStringLiteral("qcFlag");

struct Table {
  std::mutex mutex;
  std::map<int, QKFileKindTable::Maker> makers;
  QKFileKindTable::PathTest isStillImage;
};

Table& table() {
  static Table t;
  return t;
}

std::shared_ptr<QKFile> builtIn(int kind, CompositorInterface* compositor) {
  switch (kind) {
    case QKFile::kMovieKind:
      return QKQTFile::createWithCompositor(compositor);
    case QKFile::kCompositionKind:
      return QKQCFile::createWithCompositor(compositor);
    case QKFile::kTapKind:
      return QKTapFile::createWithCompositor(compositor);
    case QKFile::kTextKind:
      return QKTextFile::createWithCompositor(compositor);
    case QKFile::kWebKind:
      return QKURLFile::createWithCompositor(compositor);
    case QKFile::kImageKind:
      return QKImageFile::createWithCompositor(compositor);
    default:
      return nullptr;
  }
}
}  // namespace

std::optional<int> QKFileKindTable::kindOfSnapshot(const QVariantMap& snapshot) {
  if (snapshot.value(kQtFlagKey).toBool()) return QKFile::kMovieKind;
  if (snapshot.value(kQcFlagKey).toBool()) return QKFile::kCompositionKind;
  bool ok = false;
  const int kind = snapshot.value(QKFile::kTypeKey).toInt(&ok);
  if (!ok) return std::nullopt;
  return kind;
}

std::shared_ptr<QKFile> QKFileKindTable::createForSnapshot(const QVariantMap& snapshot,
                                                           CompositorInterface* compositor) {
  const std::optional<int> kind = kindOfSnapshot(snapshot);
  if (!kind) return nullptr;
  Maker maker;
  Maker imageMaker;
  PathTest isStillImage;
  {
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (auto it = t.makers.find(*kind); it != t.makers.end()) maker = it->second;
    if (auto it = t.makers.find(QKFile::kImageKind); it != t.makers.end()) imageMaker = it->second;
    isStillImage = t.isStillImage;
  }
  if (!imageMaker)
    imageMaker = [](CompositorInterface* c) { return builtIn(QKFile::kImageKind, c); };
  if (!isStillImage) isStillImage = &QKImageFile::isImageFileAtPath;
  if (*kind == QKFile::kMovieKind &&
      isStillImage(snapshot.value(QStringLiteral("fullPath")).toString()))
    return imageMaker(compositor);
  return maker ? maker(compositor) : builtIn(*kind, compositor);
}

void QKFileKindTable::registerKind(int kind, Maker maker) {
  if (kind == 5) return;
  Table& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (maker)
    t.makers[kind] = std::move(maker);
  else
    t.makers.erase(kind);
}

void QKFileKindTable::registerStillImageTest(PathTest test) {
  Table& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  t.isStillImage = std::move(test);
}
