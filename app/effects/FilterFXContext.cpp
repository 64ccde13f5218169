#include "app/effects/FilterFXContext.h"

#include "framework/render/QKCIGLContext.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/Filter.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"

std::shared_ptr<FilterFXContext> FilterFXContext::create(const QString& filterName, QSizeF size) {
  std::shared_ptr<image::Filter> filter =
      image::FilterRegistry::shared().filterWithName(filterName);
  if (!filter) return nullptr;
  filter->setDefaults();
  std::shared_ptr<QKCIGLContext> context = QKCIGLContext::create(
      gl::RenderThread::instance().mainContext(), &gl::TexturePool::shared(), size);
  if (!context) return nullptr;
  return std::shared_ptr<FilterFXContext>(
      new FilterFXContext(std::move(context), std::move(filter)));
}

FilterFXContext::FilterFXContext(std::shared_ptr<QKCIGLContext> context,
                                 std::shared_ptr<image::Filter> filter)
    : context_(std::move(context)), filter_(std::move(filter)) {}

void FilterFXContext::setSize(QSizeF size) { context_->setSize(size); }

void FilterFXContext::setPBufferRef(const gl::TextureHandle& buffer) {
  context_->setPBufferRef(buffer);
}

gl::TextureHandle FilterFXContext::textureRef() const { return context_->textureRef(); }

void FilterFXContext::setValue(const QVariant& value, const QString& key) {
  std::lock_guard lock(valuesMutex_);
  values_.insert(key, value);
  pending_.insert(key, value);
}

void FilterFXContext::renderEffect(const gl::TextureHandle& input) {
  {
    // Values the main thread set wait for a later frame while it sets them.
    std::unique_lock lock(valuesMutex_, std::try_to_lock);
    if (lock.owns_lock()) {
      for (auto it = pending_.cbegin(); it != pending_.cend(); ++it)
        filter_->setValue(it.value(), it.key());
      pending_.clear();
    }
  }
  context_->render();
  if (!input) {
    context_->drawImage({});
    return;
  }
  filter_->setValue(QVariant::fromValue(image::Image::fromTexture(input)), FilterKeys::kInputImage);
  context_->drawImage(filter_->outputImage());
  filter_->setValue(QVariant(), FilterKeys::kInputImage);
}

std::optional<QVariantMap> FilterFXContext::createSnapshot() const {
  std::lock_guard lock(valuesMutex_);
  return values_;
}

void FilterFXContext::loadSnapshot(const QVariantMap& snapshot) {
  for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it)
    if (filter_->inputKeys().contains(it.key()) && it.key() != FilterKeys::kInputImage)
      setValue(it.value(), it.key());
}

void FilterFXContext::prepareToBeDeleted() { context_->prepareToBeDeleted(); }
