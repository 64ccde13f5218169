#include "app/sources/TapSource.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/sources/SourceFileLookup.h"
#include "app/sources/SourceRouting.h"
#include "framework/media/QKTapFile.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKTapManager.h"
#include "platform/foundation/Log.h"

const QString TapSource::kSourceType = QStringLiteral("tapSource");
const QString TapSource::kStoppedName = QStringLiteral("<null>");
const QString TapSource::kLastSelectedTapKey = QStringLiteral("lastSelectedTapName");
const QString TapSource::kStoppedTapKey = QStringLiteral("stopedTapName");
const QString TapSource::kSourceFileIDKey = QStringLiteral("sourceFileID");

namespace {
const QString kPropsUpdated = QStringLiteral("QKFileMoviePropsUpdatedNotification");
const QString kInbred = QStringLiteral("\t\terr: tried to use an inbred tap");

bool isVideoInputName(const QString& name) {
  return name.size() > 6 && name.startsWith(QStringLiteral("VidIn"));
}

QKTapManager* tapManagerOf(Layer* layer) {
  return layer && layer->compositor() ? layer->compositor()->tapManager() : nullptr;
}
}  // namespace

TapSource::TapSource(const QString& name, Layer* layer) : VidSourceObject(name, layer) {
  rTap_ = QKRTap::create();
  rTap_->setDelegate(this);
  observers_.observe(kPropsUpdated, nullptr,
                     [this](const Notification& n) { fileParamsUpdated(n.object); });
}

TapSource::~TapSource() {
  observers_.clear();
  if (!deleted()) prepareToBeDeleted();
  rTap_->prepareToBeDeleted();
}

void TapSource::prepareToBeDeleted() {
  VidSourceObject::prepareToBeDeleted();
  eject();
}

QString TapSource::boundTapName() const { return rTap_->lastSelectedTapName(); }

bool TapSource::isCurrentSource() const { return layer() && layer()->currentSource() == this; }

LayerInterface* TapSource::tappedLayer() const {
  QKTapManager* manager = tapManagerOf(layer());
  return manager ? manager->layerForSTapNamed(boundTapName()) : nullptr;
}

bool TapSource::useTapNamed(const QString& tapName) {
  if (deleted()) return false;
  Layer* own = layer();
  const QString ownName = own ? own->layerName() : QString();
  auto refuse = [this](const QString& message) {
    Log::line(message);
    isVideoInput_.store(false);
    return false;
  };
  if (own && tapName == ownName) return refuse(kInbred);
  QKTapManager* manager = tapManagerOf(own);
  if (!manager || !manager->sTapNamed(tapName))
    return refuse(QStringLiteral("\t\terr: sTap named %1 doesn't exist").arg(tapName));
  if (manager && own) {
    if (auto* producer = dynamic_cast<Layer*>(manager->layerForSTapNamed(tapName));
        producer && producer->checkForSourceNamed(ownName))
      return refuse(kInbred);
  }
  eject();
  rTap_->useTapNamed(tapName);
  if (tapName != QKTapManager::kNoneTitle && isCurrentSource()) takeSourceSize();
  isVideoInput_.store(isVideoInputName(tapName));
  if (own) SourceRouting::displayGeneralSourceLater(*own);
  setBlackFrame(false);
  return true;
}

void TapSource::takeSourceSize() {
  const QSizeF size = rTap_->sourceSize();
  if (layer() && size.width() >= 1 && size.height() >= 1) layer()->setLayerSize(size);
}

void TapSource::loadThisFile(const std::shared_ptr<QKFile>& file) {
  if (deleted()) return;
  if (!file) {
    eject();
    return;
  }
  if (!file->validFile() || file->qkFileType() != QKFile::kTapKind) return;
  if (!useTapNamed(file->name())) return;
  currentFile_.store(file);
  file->setCurrentSource(shared_from_this());
}

void TapSource::eject() {
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (!file) return;
  stop();
  file->setCurrentSource(nullptr);
  currentFile_.store(nullptr);
  setBlackFrame(true);
}

// A second stop (the layer's, then an eject's) keeps the name the first
// one saved, so the tap comes back at the next start.
void TapSource::stop() {
  const QString bound = rTap_->lastSelectedTapName();
  if (bound == kStoppedName) return;
  stoppedTapName_ = bound;
  rTap_->useTapNamed(kStoppedName);
}

void TapSource::start() {
  if (deleted() || stoppedTapName_.isEmpty()) return;
  rTap_->useTapNamed(stoppedTapName_);
  if (isCurrentSource()) takeSourceSize();
}

void TapSource::updateTapSize() {
  if (deleted() || !isCurrentSource()) return;
  const QSizeF size = rTap_->sourceSize();
  if (size.width() >= 1 && size.height() >= 1) SourceRouting::setLayerSizeLater(*layer(), size);
}

void TapSource::render(const gl::DisplayLink::Frame&) { setBlackFrame(false); }

gl::TextureHandle TapSource::currentTexture() {
  if (deleted() || blackFrame()) return {};
  return rTap_->getTextureRef();
}

std::shared_ptr<QKFile> TapSource::currentFile() const { return currentFile_.load(); }

QString TapSource::currentPath() const {
  if (!rTap_->stub()) return {};
  const QString bound = rTap_->lastSelectedTapName();
  if (layer() && bound == layer()->layerName()) return QStringLiteral(" ");
  return bound;
}

void TapSource::fileParamsUpdated(const void* object) {
  std::shared_ptr<QKFile> file = currentFile_.load();
  if (deleted() || !file || file.get() != object) return;
  loadThisFile(file);
}

QVariantMap TapSource::createSnapshot() const {
  QVariantMap snapshot{{QStringLiteral("sourceType"), kSourceType}};
  const QString bound = rTap_->lastSelectedTapName();
  if (!bound.isEmpty()) snapshot.insert(kLastSelectedTapKey, bound);
  if (std::shared_ptr<QKFile> file = currentFile_.load())
    snapshot.insert(kSourceFileIDKey, qint64(file->uniqueFileId()));
  return snapshot;
}

void TapSource::loadSnapshot(const QVariantMap& snapshot, bool trigger) {
  bool triggered = false;
  const QVariant id = snapshot.value(kSourceFileIDKey);
  if (trigger && id.isValid() && layer()) {
    bool ok = false;
    const long uniqueId = long(id.toLongLong(&ok));
    if (std::shared_ptr<QKFile> file = ok ? SourceFileLookup::fileForUniqueId(uniqueId) : nullptr) {
      SourceRouting::triggerFileAndWait(*layer(), file);
      triggered = true;
    }
  }
  const QVariant name = snapshot.value(kLastSelectedTapKey);
  if (!triggered && name.typeId() == QMetaType::QString) {
    const QVariant stopped = snapshot.value(kStoppedTapKey);
    if (!(stopped.typeId() == QMetaType::QString && stopped.toString() == stoppedTapName_))
      useTapNamed(name.toString());
  }
  if (layer()) SourceRouting::displayGeneralSourceLater(*layer());
}
