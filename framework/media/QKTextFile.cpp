#include "framework/media/QKTextFile.h"

#include "framework/media/CompositorInterface.h"
#include "platform/foundation/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

const QString QKTextFile::kMyStringKey = QStringLiteral("myString");
const QString QKTextFile::kReadOnlyFlagKey = QStringLiteral("readOnlyFlag");
const QString QKTextFile::kStoreStringFlagKey = QStringLiteral("storeStringWithSetFileFlag");
const QString QKTextFile::kNoText = QStringLiteral("no text");

namespace {
using StoredProps::Type;

const QString kStyleName = QStringLiteral("styleName");

QVariant flagOf(const QVariantMap& snapshot, const QString& key, bool fallback) {
  const QVariant stored = snapshot.value(key);
  if (!stored.isValid()) return fallback;
  const QVariant flag = StoredProps::typed(stored, Type::Bool);
  if (!flag.isValid())
    Log::line(QStringLiteral("\t\terr: text entry's \"%1\" has the wrong type, taken as %2")
                  .arg(key, fallback ? QStringLiteral("YES") : QStringLiteral("NO")));
  return flag.isValid() ? flag : QVariant(fallback);
}

std::optional<QString> decoded(const QByteArray& bytes, QString* error) {
  if (const std::optional<QStringConverter::Encoding> bom =
          QStringConverter::encodingForData(bytes, QChar::ByteOrderMark);
      bom && *bom != QStringConverter::Utf8 && bytes.size() >= 2) {
    QStringDecoder decoder(*bom);
    QString text = decoder(bytes);
    if (!decoder.hasError()) return text;
  }
  if (bytes.contains('\0')) {
    *error = QStringLiteral("holds binary data");
    return std::nullopt;
  }
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  QString text = utf8(bytes);
  if (utf8.hasError()) text = QString::fromLatin1(bytes);
  if (text.startsWith(QChar::ByteOrderMark)) text.remove(0, 1);
  return text;
}
}  // namespace

const std::vector<StoredProps::Key>& QKTextFile::storedKeys() {
  static const std::vector<StoredProps::Key> keys{
      {QStringLiteral("allowLiveUpdating"), Type::Bool},
      {QStringLiteral("useCustomResForQtz"), Type::Int},
      {QStringLiteral("qtzHorRes"), Type::Int},
      {QStringLiteral("qtzVertRes"), Type::Int},
      {QStringLiteral("useStyle"), Type::Int},
      {kStyleName, Type::String},
      {QStringLiteral("QCAttributeSnapshot"), Type::Dictionary},
  };
  return keys;
}

bool QKTextFile::isTextFileType(const QString& path) {
  static const QStringList types{QStringLiteral("txt"), QStringLiteral("text"),
                                 QStringLiteral("TEXT"), QStringLiteral("ttxt"),
                                 QStringLiteral("ttro")};
  if (path.isEmpty()) return false;
  return types.contains(QFileInfo(path).suffix(), Qt::CaseSensitive);
}

std::optional<QString> QKTextFile::readText(const QString& path, QString* error) {
  QFile file(path);
  if (QFileInfo(path).size() > kMaxFileBytes) {
    *error = QStringLiteral("larger than 16 MB");
    return std::nullopt;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    *error = file.errorString();
    return std::nullopt;
  }
  const QByteArray bytes = file.read(kMaxFileBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    *error = file.errorString();
    return std::nullopt;
  }
  if (bytes.size() > kMaxFileBytes) {
    *error = QStringLiteral("larger than 16 MB");
    return std::nullopt;
  }
  return decoded(bytes, error);
}

std::shared_ptr<QKTextFile> QKTextFile::createWithCompositor(CompositorInterface* compositor) {
  return std::make_shared<QKTextFile>(compositor);
}

std::shared_ptr<QKTextFile> QKTextFile::createWithName(const QString& name,
                                                       CompositorInterface* compositor) {
  auto file = std::make_shared<QKTextFile>(name, compositor);
  file->initTextFile();
  return file;
}

std::shared_ptr<QKTextFile> QKTextFile::createWithPath(const QString& path, const QString& name,
                                                       CompositorInterface* compositor) {
  auto file = std::make_shared<QKTextFile>(name, compositor);
  file->validFile_ = false;
  file->takePath(path);
  file->readOnlyFlag_ = true;
  file->storeString_ = false;
  file->fileType_ = QFileInfo(file->fullPath_).suffix();
  file->myString_.reset();
  file->readFromFullPath();
  file->initTextFile();
  return file;
}

QKTextFile::QKTextFile(CompositorInterface* compositor) : QKFile(compositor), myString_(kNoText) {
  qkFileType_ = kTextKind;
  validFile_ = true;
}

QKTextFile::QKTextFile(const QString& name, CompositorInterface* compositor)
    : QKFile(name, compositor), myString_(kNoText) {
  qkFileType_ = kTextKind;
  validFile_ = true;
}

void QKTextFile::readFromFullPath() {
  QString error;
  myString_ = readText(fullPath_, &error);
  if (!myString_)
    Log::line(QStringLiteral("\t\terr: could not read the text of %1: %2").arg(fullPath_, error));
}

void QKTextFile::initTextFile() {
  using StoredProps::userDefault;
  qkFileType_ = kTextKind;
  QVariantMap props{
      {QStringLiteral("allowLiveUpdating"), userDefault("textAllowLiveUpdatingDefault", true)},
      {QStringLiteral("useCustomResForQtz"), userDefault("useCustomResForTextDefault", 1)},
      {QStringLiteral("qtzHorRes"), userDefault("textHorResDefault", 640)},
      {QStringLiteral("qtzVertRes"), userDefault("textVertResDefault", 480)},
      {QStringLiteral("useStyle"), userDefault("useTextStyleDefault", 1)},
  };
  const QString style =
      compositor_ ? StoredProps::styleNameDefault(
                        "textFileStyleNameDefault", QStringLiteral("DefaultFontsynth"),
                        compositor_->fontSynthPathsDict().keys(), compositor_->fontSynthNames())
                  : StoredProps::styleNameDefault("textFileStyleNameDefault", {}, {}, {});
  if (!style.isEmpty()) props.insert(kStyleName, style);
  setMovieProps(props);
  validFile_ = hasText();
}

void QKTextFile::setReadOnlyFlag(bool readOnly) {
  readOnlyFlag_ = readOnly;
  if (!readOnly) storeString_ = true;
}

QVariantMap QKTextFile::convertPropsToDict() const {
  return StoredProps::subset(movieProps(), storedKeys());
}

void QKTextFile::convertDictToProps(const QVariant& stored) {
  StoredProps::overlay(*this, stored, storedKeys());
}

QVariantMap QKTextFile::createSnapshot() {
  QVariantMap snapshot = snapshotWithStoredProps(storedKeys());
  snapshot.insert(kReadOnlyFlagKey, readOnlyFlag_);
  snapshot.insert(kStoreStringFlagKey, storeString_);
  if (storeString_) snapshot.insert(kMyStringKey, myString());
  return snapshot;
}

bool QKTextFile::loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) {
  return loadWithMediaFromSnapshot(snapshot, compositor);
}

bool QKTextFile::loadFromSnapshot(const QVariantMap& snapshot, const QString& fullPath,
                                  CompositorInterface* compositor) {
  compositor_ = compositor;
  originalPath_.clear();
  fullPath_.clear();
  if (!fullPath.isEmpty()) takePath(fullPath);
  clearMovieProps();
  myString_.reset();

  readOnlyFlag_ = flagOf(snapshot, kReadOnlyFlagKey, true).toBool();
  storeString_ = flagOf(snapshot, kStoreStringFlagKey, false).toBool();
  const bool loaded = loadText(snapshot);
  if (loaded)
    initTextFile();
  else if (!hasText())
    myString_ = QString();
  validFile_ = loaded;
  convertDictToProps(snapshot.value(StoredProps::kMoviePropsKey));
  return loaded;
}

bool QKTextFile::loadText(const QVariantMap& snapshot) {
  if (storeString_) {
    const QVariant stored = snapshot.value(kMyStringKey);
    if (stored.typeId() != QMetaType::QString) {
      Log::line(QStringLiteral("\t\terr: failed to extract text from set file"));
      return false;
    }
    myString_ = stored.toString();
    return true;
  }
  if (fullPath_.isEmpty()) {
    myString_ = QString();
    return true;
  }
  if (!QFileInfo::exists(fullPath_) || !isTextFileType(fullPath_)) return false;
  readFromFullPath();
  return hasText();
}
