#include "app/effects/QCFXLoader.h"

#include "app/effects/LayerFXHost.h"
#include "app/effects/LayerFXMixer.h"
#include "app/effects/QCFXContext.h"
#include "framework/render/QCUtils.h"
#include "framework/render/QKQCComposition.h"
#include "framework/render/TheApplication.h"
#include "framework/render/WetDryContext.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"

#include <QDir>
#include <QFileInfo>

const QString QCFXLoader::kLayerFilePathKey = QStringLiteral("layerFilePath");
const QString QCFXLoader::kAlertTitle = QStringLiteral("Hang on a second....");
const QString QCFXLoader::kAlertMessage = QStringLiteral(
    "This Quartz Composer composition can't be loaded because it contains a video input object- "
    "please remove the input from the patch and try again.");

QString QCFXLoader::imageInputPortName(const QStringList& publishedKeys) {
  const QStringList& names = QCUtils::imageInputKeys();
  for (const QString& key : publishedKeys)
    if (names.contains(key)) return key;
  return {};
}

std::shared_ptr<QCFXLoader> QCFXLoader::create(const QString& name, const QRectF& activeRect,
                                               LayerFXHost* host) {
  const QString path = QCUtils::pathForQCFXNamed(name);
  if (path.isEmpty()) {
    Log::line(QStringLiteral("\terr: couldn't create qcfx at path %1").arg(name));
    return nullptr;
  }
  return createWithPath(path, activeRect, host);
}

std::shared_ptr<QCFXLoader> QCFXLoader::createWithPath(const QString& path,
                                                       const QRectF& activeRect,
                                                       LayerFXHost* host) {
  QString qtzPath = path;
  std::shared_ptr<QKQCComposition> composition = QKQCComposition::compositionWithFile(qtzPath);
  if (!composition) {
    qtzPath = QDir(TheApplication::pathToFolderNamed(QCUtils::kEffectsFolder)).filePath(path);
    composition = QKQCComposition::compositionWithFile(qtzPath);
  }
  QString port;
  if (composition && composition->hasLiveInput()) {
    if (!host || !host->willFullscreenHideAModal()) openVideoInputQCWarning();
    composition.reset();
  }
  if (composition) port = imageInputPortName(composition->inputKeys());
  if (!composition || port.isEmpty()) {
    Log::line("\t\terr:failed to load qcfx");
    return nullptr;
  }
  return FXObject::make<QCFXLoader>(path, qtzPath, port, activeRect.size());
}

QCFXLoader::QCFXLoader(const QString& path, const QString& qtzPath, const QString& imagePort,
                       QSizeF renderSize)
    : LayerFXObject(path, QFileInfo(path).fileName(), renderSize),
      qtzPath_(qtzPath),
      inputImagePortName_(imagePort) {}

void QCFXLoader::openVideoInputQCWarning() {
  Alert::show(kAlertTitle, kAlertMessage, {QStringLiteral("Okay")});
}

void QCFXLoader::setLayerFilePath(const QString& path) {
  // The copy is made before the lock; the render thread only swaps under it.
  QString copy = path;
  std::lock_guard lock(pathMutex_);
  layerFilePath_.swap(copy);
  layerFilePathNeedsUpdate_ = true;
}

QString QCFXLoader::layerFilePath() const {
  std::lock_guard lock(pathMutex_);
  return layerFilePath_;
}

std::optional<QString> QCFXLoader::takeLayerFilePath() {
  std::unique_lock lock(pathMutex_, std::try_to_lock);
  if (!lock.owns_lock() || !layerFilePathNeedsUpdate_) return std::nullopt;
  layerFilePathNeedsUpdate_ = false;
  return layerFilePath_;
}

void QCFXLoader::makeContexts() {
  auto context = QCFXContext::create(qtzPath_, renderSize(), this);
  std::shared_ptr<LayerFXMixer> mixer = LayerFXMixer::wrapping(WetDryContext::create(
      gl::RenderThread::instance().mainContext(), &gl::TexturePool::shared(), renderSize()));
  if (context && mixer) setContexts(std::move(context), std::move(mixer));
}
