#pragma once

#include "app/effects/LayerFXRenderContext.h"

#include <QString>
#include <QVariantMap>

#include <memory>
#include <mutex>

class QKCIGLContext;
namespace image {
class Filter;
}

// The render context of a filter effect: the filter of that name drawn over
// the effect's input into the target buffer. Parameter values set from the
// main thread (a restore, the panel) are handed to the filter on the render
// thread, just before it draws.
class FilterFXContext : public LayerFXRenderContext {
 public:
  // Null when the filter is unknown or there is no render thread context.
  static std::shared_ptr<FilterFXContext> create(const QString& filterName, QSizeF size);

  void setSize(QSizeF size) override;
  void setPBufferRef(const gl::TextureHandle& buffer) override;
  void renderEffect(const gl::TextureHandle& input) override;
  gl::TextureHandle textureRef() const override;
  std::optional<QVariantMap> createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;

  // Queues a parameter value for the next frame (any thread).
  void setValue(const QVariant& value, const QString& key);

 private:
  FilterFXContext(std::shared_ptr<QKCIGLContext> context, std::shared_ptr<image::Filter> filter);

  std::shared_ptr<QKCIGLContext> context_;
  std::shared_ptr<image::Filter> filter_;
  mutable std::mutex valuesMutex_;
  QVariantMap values_;   // every value set, the snapshot
  QVariantMap pending_;  // not yet handed to the filter
};
