#include "framework/media/QKURLFile.h"

#include "framework/media/CompositorInterface.h"
#include "framework/media/QKFileLoaderInterface.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyList.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

const QString QKURLFile::kUrlStringKey = QStringLiteral("urlString");
const QString QKURLFile::kReloadThumbnailsNotification =
    QStringLiteral("QKURLFileReloadThumbnailsNotification");

namespace {
using StoredProps::Type;

const QString kWebArchive = QStringLiteral("webarchive");
const QString kWebloc = QStringLiteral("webloc");
const QString kWeblocUrlKey = QStringLiteral("URL");

// HTML and Flash files are shown by their file URL, whatever the case of
// their extension.
bool isPageFileType(const QString& type) {
  return type.compare(QLatin1String("html"), Qt::CaseInsensitive) == 0 ||
         type.compare(QLatin1String("swf"), Qt::CaseInsensitive) == 0;
}
}  // namespace

const std::vector<StoredProps::Key>& QKURLFile::storedKeys() {
  static const std::vector<StoredProps::Key> keys{
      {QStringLiteral("useCustomResForURL"), Type::Int},
      {QStringLiteral("urlHorRes"), Type::Int},
      {QStringLiteral("urlVertRes"), Type::Int},
  };
  return keys;
}

bool QKURLFile::isURLFile(const QString& path) {
  static const QStringList types{kWebloc,
                                 QStringLiteral("url"),
                                 kWebArchive,
                                 QStringLiteral("html"),
                                 QStringLiteral("SWF"),
                                 QStringLiteral("swf")};
  if (path.isEmpty()) return false;
  return types.contains(QFileInfo(path).suffix(), Qt::CaseSensitive);
}

// --- making ------------------------------------------------------------------

QKURLFile::QKURLFile(CompositorInterface* compositor) : QKFile(compositor) {
  qkFileType_ = kWebKind;
  setMovieProps({});
}

QKURLFile::QKURLFile(const QString& name, CompositorInterface* compositor)
    : QKFile(name, compositor) {
  qkFileType_ = kWebKind;
  setDefaults();
}

std::shared_ptr<QKURLFile> QKURLFile::observed(std::shared_ptr<QKURLFile> file) {
  std::weak_ptr<QKURLFile> weak = file;
  NotificationCenter::defaultCenter().addObserver(file.get(), kReloadThumbnailsNotification,
                                                  nullptr, [weak](const Notification& note) {
                                                    if (auto self = weak.lock())
                                                      self->refreshThumbnailNotification(note);
                                                  });
  return file;
}

std::shared_ptr<QKURLFile> QKURLFile::createWithCompositor(CompositorInterface* compositor) {
  return observed(std::make_shared<QKURLFile>(compositor));
}

std::shared_ptr<QKURLFile> QKURLFile::createWithName(const QString& name,
                                                     CompositorInterface* compositor) {
  return observed(std::make_shared<QKURLFile>(name, compositor));
}

std::shared_ptr<QKURLFile> QKURLFile::createWithURLString(CompositorInterface* compositor,
                                                          const QString& urlString) {
  auto file = std::make_shared<QKURLFile>(compositor);
  file->name_ = lastPathComponent(urlString);
  file->urlString_ = urlString;
  file->setDefaults();
  file->validFile_ = true;
  return observed(std::move(file));
}

std::shared_ptr<QKURLFile> QKURLFile::createWithWebArchiveData(CompositorInterface* compositor,
                                                               const QByteArray& data,
                                                               const QString& name) {
  auto file = std::make_shared<QKURLFile>(compositor);
  file->name_ = name;
  WebArchive::Result archive = WebArchive::fromData(data, name);
  if (archive.ok()) {
    file->webArchive_ = std::move(archive.archive);
    file->validFile_ = true;
  } else {
    Log::line(QStringLiteral("\t\terr: %1").arg(archive.error));
  }
  file->setDefaults();
  return observed(std::move(file));
}

std::shared_ptr<QKURLFile> QKURLFile::createWithWebloc(CompositorInterface* compositor,
                                                       const QString& path) {
  const QString address = weblocAddress(path);
  if (!address.isEmpty()) return createWithURLString(compositor, address);
  auto file = std::make_shared<QKURLFile>(compositor);
  file->setDefaults();
  return observed(std::move(file));
}

std::shared_ptr<QKURLFile> QKURLFile::createWithFilePath(CompositorInterface* compositor,
                                                         const QString& path) {
  const QString type = QFileInfo(path).suffix();
  std::shared_ptr<QKURLFile> file;
  if (type == kWebArchive) {
    QFile archive(path);
    if (archive.open(QIODevice::ReadOnly))
      file = createWithWebArchiveData(compositor, archive.readAll(), QFileInfo(path).fileName());
    else
      Log::line(QStringLiteral("\t\terr: could not read the web archive %1: %2")
                    .arg(path, archive.errorString()));
  } else if (type == kWebloc) {
    file = createWithWebloc(compositor, path);
  } else if (isPageFileType(type)) {
    file = createWithURLString(compositor, fileUrlString(path));
  }
  if (!file) file = createWithCompositor(compositor);
  file->takeFilePath(path);
  return file;
}

void QKURLFile::setDefaults() {
  using StoredProps::userDefault;
  if (!hasMovieProps()) setMovieProps({});
  setMovieProp(QStringLiteral("useCustomResForURL"), userDefault("useCustomResForURLDefault", 1));
  setMovieProp(QStringLiteral("urlHorRes"), userDefault("urlHorResDefault", 640));
  setMovieProp(QStringLiteral("urlVertRes"), userDefault("urlVertResDefault", 480));
}

// --- paths and addresses -------------------------------------------------------

void QKURLFile::takeFilePath(const QString& path) {
  takePath(path);
  fileType_ = QFileInfo(fullPath_).suffix();
}

QString QKURLFile::fileUrlString(const QString& path) {
  QString expanded = path;
  if (expanded == QLatin1String("~") || expanded.startsWith(QLatin1String("~/")))
    expanded.replace(0, 1, QDir::homePath());
  const QUrl url = QUrl::fromLocalFile(QFileInfo(expanded).absoluteFilePath());
  return url.isValid() ? url.toString(QUrl::FullyEncoded) : path;
}

QString QKURLFile::lastPathComponent(const QString& urlString) {
  QString trimmed = urlString;
  while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/'))) trimmed.chop(1);
  return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

QString QKURLFile::weblocAddress(const QString& path) {
  const PropertyList::Result list = PropertyList::read(path);
  const QVariant address = list.value.toMap().value(kWeblocUrlKey);
  if (address.typeId() == QMetaType::QString && !address.toString().isEmpty())
    return address.toString();
  Log::line(QStringLiteral("\t\terr: the webloc file %1 holds no address (%2)")
                .arg(path, list.ok() ? QStringLiteral("no \"URL\"") : list.error));
  return {};
}

bool QKURLFile::isLocalFile() const {
  if (webArchive_) return true;
  if (urlString_.isEmpty()) return false;
  return !urlString_.startsWith(QLatin1String("http")) &&
         !urlString_.startsWith(QLatin1String("rtsp"));
}

void QKURLFile::refreshThumbnailNotification(const Notification&) {
  if (!posterImage_.isNull() || !compositor_) return;
  if (QKFileLoaderInterface* loader = compositor_->fileLoader())
    loader->createThumbnailForURLFile(std::static_pointer_cast<QKURLFile>(shared_from_this()));
}

// --- snapshot ------------------------------------------------------------------

QVariantMap QKURLFile::convertMoviePropsToDict() const {
  return StoredProps::subset(movieProps(), storedKeys());
}

void QKURLFile::convertDictToMovieProps(const QVariant& stored) {
  StoredProps::overlay(*this, stored, storedKeys());
}

QVariantMap QKURLFile::createSnapshot() {
  QVariantMap snapshot = snapshotWithStoredProps(storedKeys());
  if (!urlString_.isEmpty()) snapshot.insert(kUrlStringKey, urlString_);
  return snapshot;
}

bool QKURLFile::loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) {
  return loadWithMediaFromSnapshot(snapshot, compositor);
}

bool QKURLFile::loadFromSnapshot(const QVariantMap& snapshot, const QString& fullPath,
                                 CompositorInterface* compositor) {
  compositor_ = compositor;
  urlString_.clear();
  webArchive_.reset();
  const QString type = QFileInfo(fullPath).suffix();
  bool loaded = false;
  if (!fullPath.isEmpty() && type == kWebArchive)
    loaded = readWebArchive(fullPath);
  else
    loaded = loadAddress(snapshot, fullPath);
  if (!fullPath.isEmpty()) takeFilePath(fullPath);
  setDefaults();
  convertDictToMovieProps(snapshot.value(StoredProps::kMoviePropsKey));
  validFile_ = loaded;
  return loaded;
}

bool QKURLFile::readWebArchive(const QString& path) {
  WebArchive::Result archive = WebArchive::read(path);
  if (!archive.ok()) {
    Log::line(QStringLiteral("\t\terr: %1").arg(archive.error));
    return false;
  }
  webArchive_ = std::move(archive.archive);
  return true;
}

bool QKURLFile::loadAddress(const QVariantMap& snapshot, const QString& path) {
  const QString type = QFileInfo(path).suffix();
  if (!path.isEmpty() && type == kWebloc) {
    urlString_ = QFileInfo::exists(path) ? weblocAddress(path) : QString();
    return !urlString_.isEmpty();
  }
  if (isPageFileType(fileType_) || (!path.isEmpty() && isPageFileType(type))) {
    if (path.isEmpty() || !QFileInfo::exists(path)) return false;
    urlString_ = fileUrlString(path);
    return true;
  }
  const QVariant stored = snapshot.value(kUrlStringKey);
  if (stored.typeId() != QMetaType::QString || stored.toString().isEmpty()) return false;
  urlString_ = stored.toString();
  return true;
}
