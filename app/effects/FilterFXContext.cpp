#include "app/effects/FilterFXContext.h"

#include "app/effects/QKCIFXGLAttrContext.h"
#include "framework/params/CIAttributeLoader.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/Image.h"

std::shared_ptr<FilterFXContext> FilterFXContext::create(const QString& filterName, QSizeF size) {
  if (!image::FilterRegistry::shared().filterWithName(filterName)) return nullptr;
  std::shared_ptr<QKCIFXGLAttrContext> context = QKCIFXGLAttrContext::create(
      gl::RenderThread::instance().mainContext(), &gl::TexturePool::shared(), size, filterName);
  if (!context) return nullptr;
  return std::shared_ptr<FilterFXContext>(new FilterFXContext(std::move(context)));
}

FilterFXContext::FilterFXContext(std::shared_ptr<QKCIFXGLAttrContext> context)
    : context_(std::move(context)) {}

void FilterFXContext::setSize(QSizeF size) { context_->setSize(size); }

void FilterFXContext::setPBufferRef(const gl::TextureHandle& buffer) {
  context_->setPBufferRef(buffer);
}

gl::TextureHandle FilterFXContext::textureRef() const { return context_->textureRef(); }

void FilterFXContext::renderEffect(const gl::TextureHandle& input) {
  context_->render();
  context_->drawImage(input ? image::Image::fromTexture(input) : image::Image());
}

std::optional<QVariantMap> FilterFXContext::createSnapshot() const {
  return context_->createSnapshot();
}

void FilterFXContext::loadSnapshot(const QVariantMap& snapshot) {
  context_->loadSnapshot(snapshot);
}

void FilterFXContext::prepareToBeDeleted() { context_->prepareToBeDeleted(); }

CIAttributeLoader* FilterFXContext::attributeLoader() const { return context_->attributeLoader(); }

QWidget* FilterFXContext::parameterView() const { return attributeLoader(); }
