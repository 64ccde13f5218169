#pragma once

#include "platform/gl/TextureHandle.h"

#include <QSizeF>
#include <QVariantMap>

#include <optional>

class QWidget;

// The offscreen context that draws one effect of a layer's image.
//
// Per frame (render thread, under the element's render lock):
// setPBufferRef(target), renderEffect(input), textureRef(),
// setPBufferRef({}).
class LayerFXRenderContext {
 public:
  virtual ~LayerFXRenderContext() = default;

  virtual void setSize(QSizeF size) = 0;
  virtual void setPBufferRef(const gl::TextureHandle& buffer) = 0;
  // Draws the effect of `input` into the target; the output is textureRef().
  virtual void renderEffect(const gl::TextureHandle& input) = 0;
  virtual gl::TextureHandle textureRef() const = 0;

  // The parameter values (none when the context keeps none).
  virtual std::optional<QVariantMap> createSnapshot() const { return std::nullopt; }
  virtual void loadSnapshot(const QVariantMap& snapshot) { (void)snapshot; }
  virtual void prepareToBeDeleted() {}
  // The effect's parameter panel, owned by the context (main thread); null
  // when it has none.
  virtual QWidget* parameterView() const { return nullptr; }
};
