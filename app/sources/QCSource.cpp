#include "app/sources/QCSource.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/sources/SourceFileLookup.h"
#include "app/sources/PlayerStyleChoice.h"
#include "app/sources/QKQCSrcGLAttribContext.h"
#include "app/sources/SourceRouting.h"
#include "framework/media/QKImageFile.h"
#include "framework/media/QKTextFile.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QKQCScrollView.h"
#include "framework/params/QKTextUI.h"
#include "framework/render/QKQCComposition.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/VariantNumbers.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"

#include <QFileInfo>
#include <QPushButton>

#include <cmath>
#include <thread>

const QString QCSource::kSourceType = QStringLiteral("qcSource");

namespace {
const QString kPropsUpdated = QStringLiteral("QKFileMoviePropsUpdatedNotification");
const QString kAppAboutToQuit = QStringLiteral("AppAboutToQuitNotification");
const QString kAttributeSnapshot = QStringLiteral("QCAttributeSnapshot");
const QString kAllowLiveUpdating = QStringLiteral("allowLiveUpdating");
const QString kStyleName = QStringLiteral("styleName");
const QString kUseCustomRes = QStringLiteral("useCustomResForQtz");
const QString kHorRes = QStringLiteral("qtzHorRes");
const QString kVertRes = QStringLiteral("qtzVertRes");
const QString kRangeLocation = QStringLiteral("currentRange.location");
const QString kRangeLength = QStringLiteral("currentRange.length");
const QString kTrigger = QStringLiteral("trigger");
const QString kSourceFileID = QStringLiteral("sourceFileID");
const QString kSourceFileName = QStringLiteral("sourceFileName");
const QString kSnapshotsDict = QStringLiteral("attributeSnapshotsDict");
const QString kLastText = QStringLiteral("lastTextStyleName");
const QString kLastImage = QStringLiteral("lastImageStyleName");

bool isNumber(const QVariant& value) { return VariantNumbers::isNumber(value, true); }

std::optional<int> intProp(const QVariantMap& props, const QString& key) {
  const QVariant value = props.value(key);
  if (!isNumber(value)) return std::nullopt;
  return value.toInt();
}

std::optional<QString> stringOf(const QVariant& value) {
  if (value.typeId() != QMetaType::QString) return std::nullopt;
  return value.toString();
}

// A panel's snapshot: a dictionary with the panel's own keys (a
// dictionary of styles, a text or image file's shape, is not one).
bool isPanelSnapshot(const QVariant& value) {
  if (value.typeId() != QMetaType::QVariantMap) return false;
  const QVariantMap map = value.toMap();
  return map.value(QStringLiteral("attributeDicts")).typeId() == QMetaType::QVariantMap ||
         map.value(QStringLiteral("tabViewsDict")).typeId() == QMetaType::QVariantMap;
}

// A usable render size: whole, positive, finite and within the texture limit.
bool usableSize(double width, double height) {
  const double limit = std::max(1, gl::TexturePool::shared().maxTextureSize());
  auto ok = [limit](double v) { return std::isfinite(v) && v >= 1 && v <= limit; };
  return ok(width) && ok(height);
}
}  // namespace

QCSource::QCSource(const QString& name, Layer* layer,
                   std::shared_ptr<QKQCSrcGLAttribContext> context)
    : VidSourceObject(name, layer), context_(std::move(context)) {
  if (!context_)
    context_ = QKQCSrcGLAttribContext::create(QString(), gl::RenderThread::instance().mainContext(),
                                              &gl::TexturePool::shared(), QSizeF(320, 240));
  canvasSize_ = layer && layer->compositor() ? layer->compositor()->canvasSize() : QSizeF();
  renderSize_ = QSizeF(320, 240);
  observers_.observe(kAppAboutToQuit, nullptr, [this](const Notification&) {
    if (!deleted()) prepareToBeDeleted();
  });
  observers_.observe(Compositor::kCanvasSizeChangedNotification, nullptr,
                     [this](const Notification&) { canvasSizeChanged(); });
  observers_.observe(kPropsUpdated, nullptr,
                     [this](const Notification& n) { paramsUpdated(n.object); });
  if (context_) context_->setLiveUpdating(true);
  makePanel();
}

QCSource::~QCSource() {
  observers_.clear();
  if (!deleted()) prepareToBeDeleted();
  if (scrollView_) scrollView_->setDocumentView(nullptr);
}

void QCSource::makePanel() {
  auto* panel = new QWidget;
  panel->resize(300, 260);
  auto* ejectButton = new QPushButton(QStringLiteral("eject"), panel);
  ejectButton->setGeometry(236, 4, 60, 20);
  QObject::connect(ejectButton, &QPushButton::clicked, panel, [this] { ejectButtonUsed(); });
  scrollView_ = new QKQCScrollView(panel);
  scrollView_->setFrame(QRect(0, 28, 300, 232));
  if (context_ && context_->attributeLoader()) {
    context_->setParentScrollView(scrollView_);
    scrollView_->setDocumentView(context_->attributeLoader());
  }
  setView(panel);
}

void QCSource::prepareToBeDeleted() {
  VidSourceObject::prepareToBeDeleted();
  eject();
  if (context_) context_->prepareToBeDeleted();
}

bool QCSource::isCurrentSource() const { return layer() && layer()->currentSource() == this; }

void QCSource::spinLock() const {
  while (!threadLock_.try_lock()) std::this_thread::yield();
}

std::optional<QString> QCSource::styleOrNone(const QString& name) {
  return name.isNull() ? std::nullopt : std::optional<QString>(name);
}

QString QCSource::lastTextStyleName() const {
  std::lock_guard<std::mutex> lock(styleMutex_);
  return lastTextStyleName_;
}

void QCSource::setLastTextStyleName(const QString& name) {
  std::lock_guard<std::mutex> lock(styleMutex_);
  lastTextStyleName_ = name;
}

QString QCSource::lastImageStyleName() const {
  std::lock_guard<std::mutex> lock(styleMutex_);
  return lastImageStyleName_;
}

void QCSource::setLastImageStyleName(const QString& name) {
  std::lock_guard<std::mutex> lock(styleMutex_);
  lastImageStyleName_ = name;
}

QVariantMap QCSource::attributeSnapshotsDict() const { return attributeSnapshotsDict_; }

QString QCSource::currentPath() const {
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (!file) return {};
  if (!file->fullPath().isEmpty()) return file->fullPath();
  return QStringLiteral("%1-%2").arg(file->name()).arg(file->uniqueFileId());
}

QString QCSource::currentPatchPath() const {
  return context_ ? context_->rendererPath() : patchPath_;
}

QKTextUI* QCSource::textInput() const {
  if (!context_ || !context_->attributeLoader()) return nullptr;
  return dynamic_cast<QKTextUI*>(context_->attributeLoader()->defaultFileInput().get());
}

// --- Loading -----------------------------------------------------------------------

void QCSource::loadThisFile(const std::shared_ptr<QKFile>& file) {
  if (deleted()) return;
  if (!file) {
    eject();
    return;
  }
  switch (file->qkFileType()) {
    case QKFile::kCompositionKind:
      loadComposition(file);
      break;
    case QKFile::kTextKind:
      loadText(file);
      break;
    case QKFile::kImageKind:
      loadImage(file);
      break;
    default:
      break;
  }
}

void QCSource::useComposition(const QString& path) {
  patchPath_ = path;
  if (context_) context_->useFile(path);
  bool refused = false;
  if (context_ && !path.isEmpty() && !context_->composition()) {
    const auto read = QKQCComposition::compositionWithFile(path);
    refused = read && read->hasLiveInput();
  }
  refusedVideoInput_.store(refused);
}

void QCSource::attach(const std::shared_ptr<QKFile>& file) {
  currentFile_.store(file);
  file->setCurrentSource(shared_from_this());
}

// Holds threadLock_. A custom size that is not usable falls back to the
// canvas (logged). Answers the layer's new size (empty: none), which the
// caller announces once threadLock_ is let go: it reaches the tap
// manager's lock.
QSizeF QCSource::applySize(const QKFile& file) {
  useCustomRenderSize_ = false;
  const QVariantMap props = file.movieProps();
  if (intProp(props, kUseCustomRes) == 1 && isNumber(props.value(kHorRes)) &&
      isNumber(props.value(kVertRes))) {
    const double width = props.value(kHorRes).toDouble();
    const double height = props.value(kVertRes).toDouble();
    if (usableSize(width, height)) {
      customRenderSize_ = QSizeF(float(width), float(height));
      useCustomRenderSize_ = true;
    } else {
      Log::line(QStringLiteral("\t\terr: custom render size %1 x %2 of %3 is not usable, "
                               "the canvas size is used")
                    .arg(width)
                    .arg(height)
                    .arg(file.name()));
    }
  }
  renderSize_ = useCustomRenderSize_ ? customRenderSize_ : canvasSize_;
  if (renderSize_.isEmpty()) return {};
  if (context_) context_->setSize(renderSize_);
  return renderSize_;
}

void QCSource::announceLayerSize(QSizeF size) {
  if (layer() && !size.isEmpty()) layer()->setLayerSize(size);
}

void QCSource::applyStyleValues(const QKFile& file, const std::optional<QString>& style,
                                bool useFileValues) {
  if (!context_ || !style) return;
  const QVariant own = file.movieProp(kAttributeSnapshot);
  if (useFileValues && own.typeId() == QMetaType::QVariantMap) {
    const QVariant entry = own.toMap().value(*style);
    if (isPanelSnapshot(entry)) {
      context_->loadSnapshot(entry.toMap());
      return;
    }
  }
  const QVariant kept = attributeSnapshotsDict_.value(*style);
  if (isPanelSnapshot(kept)) context_->loadSnapshot(kept.toMap());
}

void QCSource::loadComposition(const std::shared_ptr<QKFile>& file) {
  if (!file->validFile()) return;
  spinLock();
  std::shared_ptr<QKFile> current = currentFile_.load();
  const bool same = current && current->uniqueFileId() == file->uniqueFileId();
  if (!same) unlockedEject();
  attach(file);
  if (!same) useComposition(file->fullPath());
  if (context_) {
    const QVariant values = file->movieProp(kAttributeSnapshot);
    if (isPanelSnapshot(values)) {
      context_->loadSnapshot(values.toMap());
    } else if (values.isValid()) {
      Log::line(QStringLiteral("\t\terr: the stored values of %1 are not a dictionary, ignored")
                    .arg(file->name()));
    } else if (const QVariantMap defaults = context_->createSnapshot(); !defaults.isEmpty()) {
      file->setMovieProp(kAttributeSnapshot, defaults);
    }
  }
  const QSizeF size = applySize(*file);
  threadLock_.unlock();
  announceLayerSize(size);
  if (layer()) SourceRouting::displayGeneralSourceLater(*layer());
}

void QCSource::loadText(const std::shared_ptr<QKFile>& file) {
  if (!file->validFile()) return;
  spinLock();
  unlockedEject();
  const PlayerStyleChoice::Result choice = PlayerStyleChoice::choose(
      PlayerStyleChoice::Kind::Text, file->movieProps(), file->name(),
      styleOrNone(lastTextStyleName()),
      layer() ? layer()->compositor()->fontSynthTable().paths : QMap<QString, QString>());
  for (const QString& message : choice.messages) Log::line(message);
  if (choice.path.isEmpty()) {
    threadLock_.unlock();
    return;
  }
  attach(file);
  useComposition(choice.path);
  applyStyleValues(*file, choice.style, choice.useFileValues);
  if (QKTextUI* text = textInput()) text->loadFile(dynamic_cast<const QKTextFile*>(file.get()));
  const QSizeF size = applySize(*file);
  if (choice.style) setLastTextStyleName(*choice.style);
  threadLock_.unlock();
  announceLayerSize(size);
  if (layer()) SourceRouting::displayGeneralSourceLater(*layer());
}

void QCSource::loadImage(const std::shared_ptr<QKFile>& file) {
  auto image = std::dynamic_pointer_cast<QKImageFile>(file);
  if (!image || !file->validFile()) return;
  spinLock();
  const bool isNew = currentFile_.load() != file;
  if (isNew) unlockedEject();
  const QMap<QString, QString> players =
      layer() ? layer()->compositor()->imageSourceTable().paths : QMap<QString, QString>();
  PlayerStyleChoice::Result choice =
      PlayerStyleChoice::choose(PlayerStyleChoice::Kind::Image, file->movieProps(), file->name(),
                                styleOrNone(lastImageStyleName()), players);
  // The layer's rule has the last word on which source shows an image: a
  // file it gives the image source goes there at once (it would only come
  // back here otherwise), and a file it gives this source plays its own
  // style when the last one is the built-in player.
  const bool layerSaysImage = layer() && layer()->sourceNameForFile(*file) == Layer::kImage;
  if (choice.builtInPlayer && !layerSaysImage)
    choice = PlayerStyleChoice::choose(PlayerStyleChoice::Kind::Image, file->movieProps(),
                                       file->name(), std::nullopt, players);
  if (choice.builtInPlayer || layerSaysImage) {
    Log::line(QStringLiteral(
        "\t\terror: was told to use built in image player but used QTZ player instead"));
    unlockedEject();
    setLastImageStyleName(QKImageFile::kBuiltInPlayer);
    threadLock_.unlock();
    if (layer()) SourceRouting::triggerFileLater(*layer(), file);
    return;
  }
  for (const QString& message : choice.messages) Log::line(message);
  if (choice.path.isEmpty()) {
    if (!isNew) unlockedEject();
    threadLock_.unlock();
    return;
  }
  attach(file);
  useComposition(choice.path);
  applyStyleValues(*file, choice.style, choice.useFileValues);
  image->prepareImageCacheIfNeeded();
  QKImageFile::Bitmap bitmap = image->imageRep();
  if (!bitmap && !(!isNew && context_ && context_->imageFileBitmapImageRep())) {
    QString error;
    bitmap = QKImageFile::imageRepAtPath(image->fullPath(), &error);
    if (!bitmap)
      Log::line(QStringLiteral("\t\timage rep was nil, %1: %2").arg(image->fullPath(), error));
  }
  if (bitmap && context_ && bitmap != context_->imageFileBitmapImageRep())
    context_->setImageFileBitmapImageRep(bitmap, true);
  const QSizeF size = applySize(*file);
  if (choice.style) setLastImageStyleName(*choice.style);
  threadLock_.unlock();
  announceLayerSize(size);
  if (layer()) SourceRouting::displayGeneralSourceLater(*layer());
}

// --- Frame ---------------------------------------------------------------------------

void QCSource::render(const gl::DisplayLink::Frame&) {
  if (!currentFile_.holdsFile() || !context_) return;
  std::unique_lock<std::mutex> lock(threadLock_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  setBlackFrame(false);
  context_->render();
  if (!layer()) return;
  const gl::TextureHandle buffer = layer()->pBufferARef();
  if (!buffer) return;
  context_->setPBufferRef(buffer);
  context_->draw();
  context_->setPBufferRef({});
}

gl::TextureHandle QCSource::currentTexture() {
  return context_ ? context_->textureRef() : gl::TextureHandle();
}

// --- Eject and write-back ------------------------------------------------------------

void QCSource::eject() {
  spinLock();
  unlockedEject();
  threadLock_.unlock();
}

void QCSource::unlockedEject() {
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (!file) return;
  updateFileQCAttributeSnapshot();
  if (file->qkFileType() == QKFile::kImageKind && context_)
    context_->setImageFileBitmapImageRep(nullptr, true);
  useComposition(QString());
  file->setCurrentSource(nullptr);
  currentFile_.store(nullptr);
  setBlackFrame(true);
}

void QCSource::updateFileQCAttributeSnapshot() const {
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (!file || !context_ || !context_->hasAttributes()) return;
  const QVariantMap values = context_->createSnapshot();
  if (values.isEmpty()) return;
  const int kind = file->qkFileType();
  const QString lastImage = lastImageStyleName();
  const QString lastText = lastTextStyleName();
  if (kind == QKFile::kImageKind && !lastImage.isNull())
    attributeSnapshotsDict_.insert(lastImage, values);
  else if (kind == QKFile::kTextKind && !lastText.isNull())
    attributeSnapshotsDict_.insert(lastText, values);
  const QVariant allow = file->movieProp(kAllowLiveUpdating);
  if (!isNumber(allow) || !allow.toBool()) return;
  auto* text = const_cast<QCSource*>(this)->textInput();
  if (kind == QKFile::kTextKind || kind == QKFile::kImageKind) {
    const QVariant stored = file->movieProp(kAttributeSnapshot);
    QVariantMap perStyle =
        stored.typeId() == QMetaType::QVariantMap ? stored.toMap() : QVariantMap();
    const QString style =
        stringOf(file->movieProp(kStyleName)).value_or(QFileInfo(currentPatchPath()).fileName());
    perStyle.insert(style, values);
    file->setMovieProp(kAttributeSnapshot, perStyle);
    auto* textFile = dynamic_cast<QKTextFile*>(file.get());
    if (textFile && text && !textFile->readOnlyFlag()) textFile->setMyString(text->currentString());
  } else if (kind == QKFile::kCompositionKind) {
    file->setMovieProp(kAttributeSnapshot, values);
  }
  if (text) {
    const QKStringParser::Range range = text->stringParser().currentRange();
    file->setMovieProp(kRangeLocation, qint64(range.location));
    file->setMovieProp(kRangeLength, qint64(range.length));
  }
}

// --- Style, properties and canvas ---------------------------------------------------

void QCSource::setTextStyleWithStyleNamed(const QString& style) {
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (!file || style.isEmpty()) return;
  if (file->qkFileType() == QKFile::kTextKind) {
    std::optional<QKStringParser::Range> range;
    if (QKTextUI* text = textInput()) range = text->stringParser().currentRange();
    eject();
    file->setMovieProp(kStyleName, style);
    setLastTextStyleName(style);
    loadThisFile(file);
    if (QKTextUI* text = textInput(); text && range) {
      text->stringParser().restoreCurrentRange(*range);
      text->updateTextHighlights();
    }
  } else if (file->qkFileType() == QKFile::kImageKind) {
    eject();
    file->setMovieProp(kStyleName, style);
    setLastImageStyleName(style);
    if (style == QKImageFile::kBuiltInPlayer) {
      if (layer()) SourceRouting::triggerFileLater(*layer(), file);
    } else {
      loadThisFile(file);
    }
  }
}

void QCSource::paramsUpdated(const void* object) {
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (deleted() || !file || file.get() != object) return;
  if (file->qkFileType() == QKFile::kTextKind) {
    QKTextUI* text = textInput();
    if (!text) return;
    const QKStringParser::Range range = text->stringParser().currentRange();
    loadThisFile(file);
    if (QKTextUI* reloaded = textInput()) {
      reloaded->stringParser().restoreCurrentRange(range);
      reloaded->updateTextHighlights();
    }
    return;
  }
  if (file->qkFileType() == QKFile::kImageKind && layer() &&
      layer()->sourceNameForFile(*file) == Layer::kImage) {
    eject();
    setLastImageStyleName(QKImageFile::kBuiltInPlayer);
    SourceRouting::triggerFileLater(*layer(), file);
    return;
  }
  loadThisFile(file);
}

void QCSource::canvasSizeChanged() {
  if (!layer() || !layer()->compositor()) return;
  canvasSize_ = layer()->compositor()->canvasSize();
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (!file || intProp(file->movieProps(), kUseCustomRes) != 0 || canvasSize_.isEmpty()) return;
  spinLock();
  renderSize_ = canvasSize_;
  if (context_) context_->setSize(canvasSize_);
  threadLock_.unlock();
  if (isCurrentSource()) layer()->setLayerSize(canvasSize_);
}

// --- Snapshot --------------------------------------------------------------------------

QVariantMap QCSource::createSnapshot() const {
  QVariantMap snapshot{{QStringLiteral("sourceType"), kSourceType}};
  spinLock();
  std::shared_ptr<QKFile> file = currentFile_.load();
  snapshot.insert(kTrigger, file ? 1 : 0);
  if (file) {
    snapshot.insert(kSourceFileID, qint64(file->uniqueFileId()));
    snapshot.insert(kSourceFileName, file->name());
    if (context_ && context_->hasAttributes())
      snapshot.insert(kAttributeSnapshot, context_->createSnapshot());
  }
  updateFileQCAttributeSnapshot();
  snapshot.insert(kSnapshotsDict, attributeSnapshotsDict_);
  threadLock_.unlock();
  if (const QString text = lastTextStyleName(); !text.isNull()) snapshot.insert(kLastText, text);
  if (const QString image = lastImageStyleName(); !image.isNull())
    snapshot.insert(kLastImage, image);
  return snapshot;
}

void QCSource::loadSnapshot(const QVariantMap& snapshot, bool trigger) {
  const QVariant dict = snapshot.value(kSnapshotsDict);
  if (dict.typeId() == QMetaType::QVariantMap) {
    const QVariantMap entries = dict.toMap();
    for (auto it = entries.begin(); it != entries.end(); ++it)
      if (isPanelSnapshot(it.value())) attributeSnapshotsDict_.insert(it.key(), it.value());
  }
  if (auto text = stringOf(snapshot.value(kLastText))) setLastTextStyleName(*text);
  if (auto image = stringOf(snapshot.value(kLastImage))) setLastImageStyleName(*image);
  if (!trigger || intProp(snapshot, kTrigger) != 1) return;
  const QVariant id = snapshot.value(kSourceFileID);
  if (!isNumber(id)) {
    eject();
    return;
  }
  std::shared_ptr<QKFile> file = SourceFileLookup::fileForUniqueId(long(id.toLongLong()));
  if (!file || !file->validFile() || !layer()) {
    eject();
    return;
  }
  SourceRouting::triggerFileAndWait(*layer(), file);
}
