#include "app/effects/QCFXContext.h"

#include "app/effects/QCFXLoader.h"
#include "framework/render/QKQCGLContext.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/Log.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"

std::shared_ptr<QCFXContext> QCFXContext::create(const QString& path, QSizeF size,
                                                 QCFXLoader* loader) {
  std::shared_ptr<QKQCGLContext> context = QKQCGLContext::create(
      path, gl::RenderThread::instance().mainContext(), &gl::TexturePool::shared(), size);
  if (!context) return nullptr;
  return std::shared_ptr<QCFXContext>(new QCFXContext(std::move(context), loader));
}

QCFXContext::QCFXContext(std::shared_ptr<QKQCGLContext> context, QCFXLoader* loader)
    : context_(std::move(context)), loader_(loader) {}

void QCFXContext::setSize(QSizeF size) { context_->setSize(size); }

void QCFXContext::setPBufferRef(const gl::TextureHandle& buffer) {
  context_->setPBufferRef(buffer);
}

gl::TextureHandle QCFXContext::textureRef() const { return context_->textureRef(); }

void QCFXContext::setValue(const QVariant& value, const QString& key) {
  std::lock_guard lock(valuesMutex_);
  values_.insert(key, value);
  pending_.insert(key, value);
}

void QCFXContext::renderEffect(const gl::TextureHandle& input) {
  context_->render();
  const std::shared_ptr<composition::QCRenderer>& renderer = context_->renderer();
  if (renderer) {
    if (std::optional<QString> path = loader_->takeLayerFilePath();
        path && renderer->hasInputKey(QCFXLoader::kLayerFilePathKey))
      renderer->setString(QCFXLoader::kLayerFilePathKey, *path);
    std::unique_lock lock(valuesMutex_, std::try_to_lock);
    if (lock.owns_lock()) {
      for (auto it = pending_.cbegin(); it != pending_.cend(); ++it)
        if (renderer->hasInputKey(it.key())) renderer->setValue(it.key(), it.value());
      pending_.clear();
    }
    // After the panel's values, so the layer's image wins on the image input.
    const QString& port = loader_->inputImagePortName();
    if (input && renderer->hasInputKey(port))
      renderer->setImage(port, input);
    else if (input)
      Log::limited(QStringLiteral("QCFX port ") + port,
                   QStringLiteral("\t\terr: %1 doesn't contain %2")
                       .arg(renderer->inputKeys().join(QStringLiteral(", ")), port));
  }
  context_->draw();
}

std::optional<QVariantMap> QCFXContext::createSnapshot() const {
  std::lock_guard lock(valuesMutex_);
  return values_;
}

void QCFXContext::loadSnapshot(const QVariantMap& snapshot) {
  for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it) setValue(it.value(), it.key());
}

void QCFXContext::prepareToBeDeleted() { context_->prepareToBeDeleted(); }
