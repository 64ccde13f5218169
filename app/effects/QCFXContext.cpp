#include "app/effects/QCFXContext.h"

#include "app/effects/QCFXLoader.h"
#include "app/effects/QKQCFXGLAttribContext.h"
#include "framework/params/QCAttributeLoader.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/Log.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"

std::shared_ptr<QCFXContext> QCFXContext::create(const QString& path, QSizeF size,
                                                 QCFXLoader* loader) {
  std::shared_ptr<QKQCFXGLAttribContext> context = QKQCFXGLAttribContext::create(
      path, gl::RenderThread::instance().mainContext(), &gl::TexturePool::shared(), size, loader);
  if (!context) return nullptr;
  return std::shared_ptr<QCFXContext>(new QCFXContext(std::move(context), loader));
}

QCFXContext::QCFXContext(std::shared_ptr<QKQCFXGLAttribContext> context, QCFXLoader* loader)
    : context_(std::move(context)), loader_(loader) {}

void QCFXContext::setSize(QSizeF size) { context_->setSize(size); }

void QCFXContext::setPBufferRef(const gl::TextureHandle& buffer) {
  context_->setPBufferRef(buffer);
}

gl::TextureHandle QCFXContext::textureRef() const { return context_->textureRef(); }

void QCFXContext::renderEffect(const gl::TextureHandle& input) {
  // The panel's changes reach the renderer first, so the layer's image
  // wins on the image input.
  context_->render();
  const std::shared_ptr<composition::QCRenderer>& renderer = context_->renderer();
  if (renderer) {
    if (std::optional<QString> path = loader_->takeLayerFilePath();
        path && renderer->hasInputKey(QCFXLoader::kLayerFilePathKey))
      renderer->setString(QCFXLoader::kLayerFilePathKey, *path);
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
  return context_->createSnapshot();
}

void QCFXContext::loadSnapshot(const QVariantMap& snapshot) { context_->loadSnapshot(snapshot); }

void QCFXContext::prepareToBeDeleted() { context_->prepareToBeDeleted(); }

QCAttributeLoader* QCFXContext::attributeLoader() const { return context_->attributeLoader(); }

QWidget* QCFXContext::parameterView() const { return attributeLoader(); }
