#pragma once

#include "app/effects/LayerFXRenderContext.h"

#include <QString>
#include <QVariantMap>

#include <memory>

class QCAttributeLoader;
class QCFXLoader;
class QKQCFXGLAttribContext;

// The render context of a composition effect: the composition played with
// the effect's input on its image input, the layer's file path on
// "layerFilePath" (when it publishes that input, once per change) and its
// other inputs driven by its panel, which gives the snapshot.
class QCFXContext : public LayerFXRenderContext {
 public:
  // Null without a render thread context (main thread: makes the panel).
  static std::shared_ptr<QCFXContext> create(const QString& path, QSizeF size, QCFXLoader* loader);

  void setSize(QSizeF size) override;
  void setPBufferRef(const gl::TextureHandle& buffer) override;
  void renderEffect(const gl::TextureHandle& input) override;
  gl::TextureHandle textureRef() const override;
  std::optional<QVariantMap> createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;
  void prepareToBeDeleted() override;
  QWidget* parameterView() const override;

  // The composition's panel (main thread).
  QCAttributeLoader* attributeLoader() const;

 private:
  QCFXContext(std::shared_ptr<QKQCFXGLAttribContext> context, QCFXLoader* loader);

  std::shared_ptr<QKQCFXGLAttribContext> context_;
  QCFXLoader* loader_;  // owns this context
};
