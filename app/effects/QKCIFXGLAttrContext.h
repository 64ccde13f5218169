#pragma once

#include "framework/params/QKCIGLAttrContext.h"

// The filter-panel context of a filter effect: its panel is a
// CIFXAttributeLoader.
class QKCIFXGLAttrContext : public QKCIGLAttrContext {
 public:
  // As QKCIGLAttrContext::create.
  static std::shared_ptr<QKCIFXGLAttrContext> create(gl::GLContext* sharedContext,
                                                     gl::TexturePool* textureCache, QSizeF size,
                                                     const QString& filterName);

 protected:
  using QKCIGLAttrContext::QKCIGLAttrContext;
  CIAttributeLoader* createAttributeLoader() override;

 private:
  friend class QKGLContext;
};
