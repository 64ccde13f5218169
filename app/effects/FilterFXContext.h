#pragma once

#include "app/effects/LayerFXRenderContext.h"

#include <QString>

#include <memory>

class CIAttributeLoader;
class QKCIFXGLAttrContext;

// The render context of a filter effect: the filter of that name drawn over
// the effect's input into the target buffer, through the filter-panel
// context, whose panel drives the filter and gives the snapshot.
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
  QWidget* parameterView() const override;

  // The filter's panel (main thread).
  CIAttributeLoader* attributeLoader() const;

 private:
  explicit FilterFXContext(std::shared_ptr<QKCIFXGLAttrContext> context);

  std::shared_ptr<QKCIFXGLAttrContext> context_;
};
