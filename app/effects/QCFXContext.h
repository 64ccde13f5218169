#pragma once

#include "app/effects/LayerFXRenderContext.h"

#include <QString>
#include <QVariantMap>

#include <memory>
#include <mutex>

class QCFXLoader;
class QKQCGLContext;

// The render context of a composition effect: the composition played with
// the effect's input on its image input and the layer's file path on
// "layerFilePath" (when it publishes that input, once per change).
class QCFXContext : public LayerFXRenderContext {
 public:
  // Null without a render thread context.
  static std::shared_ptr<QCFXContext> create(const QString& path, QSizeF size, QCFXLoader* loader);

  void setSize(QSizeF size) override;
  void setPBufferRef(const gl::TextureHandle& buffer) override;
  void renderEffect(const gl::TextureHandle& input) override;
  gl::TextureHandle textureRef() const override;
  std::optional<QVariantMap> createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;

  // Queues an input value for the next frame (any thread).
  void setValue(const QVariant& value, const QString& key);

 private:
  QCFXContext(std::shared_ptr<QKQCGLContext> context, QCFXLoader* loader);

  std::shared_ptr<QKQCGLContext> context_;
  QCFXLoader* loader_;  // owns this context
  mutable std::mutex valuesMutex_;
  QVariantMap values_;
  QVariantMap pending_;
};
