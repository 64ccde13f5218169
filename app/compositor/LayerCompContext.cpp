#include "app/compositor/LayerCompContext.h"

#include "framework/render/DeferredReleaseArrays.h"
#include "framework/render/QKQCGLContext.h"
#include "platform/composition/QCRenderer.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"

std::unique_ptr<LayerCompContext> LayerCompContext::create(QSizeF size) {
  auto context = QKQCGLContext::create(QString(), gl::RenderThread::instance().mainContext(),
                                       &gl::TexturePool::shared(), size);
  if (!context) return nullptr;
  return std::unique_ptr<LayerCompContext>(new LayerCompContext(std::move(context)));
}

LayerCompContext::LayerCompContext(std::shared_ptr<QKQCGLContext> context)
    : context_(std::move(context)) {}

// The frame under way may still draw with the context.
LayerCompContext::~LayerCompContext() {
  DeferredReleaseArrays::shared().addRenderer(std::move(context_));
}

bool LayerCompContext::hasRenderer() const { return context_->renderer() != nullptr; }

void LayerCompContext::render() { context_->render(); }

QStringList LayerCompContext::inputKeys() const {
  const auto& renderer = context_->renderer();
  return renderer ? renderer->inputKeys() : QStringList();
}

void LayerCompContext::setImageInput(const QString& key, const image::Image& image) {
  if (const auto& renderer = context_->renderer()) renderer->setImage(key, image);
}

void LayerCompContext::setNumberInput(const QString& key, double value) {
  if (const auto& renderer = context_->renderer()) renderer->setNumber(key, value);
}

void LayerCompContext::setPBufferRef(const gl::TextureHandle& buffer) {
  context_->setPBufferRef(buffer);
}

void LayerCompContext::draw() { context_->drawToTransparentBG(); }

gl::TextureHandle LayerCompContext::textureRef() const { return context_->textureRef(); }

void LayerCompContext::useFile(const QString& path) { context_->useFile(path); }

QString LayerCompContext::rendererPath() const { return context_->rendererPath(); }

void LayerCompContext::setSize(QSizeF size) { context_->setSize(size); }

void LayerCompContext::prepareToBeDeleted() { context_->prepareToBeDeleted(); }
