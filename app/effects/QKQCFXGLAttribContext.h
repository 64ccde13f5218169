#pragma once

#include "framework/params/QKQCGLAttrPubContext.h"

class QCFXLoader;

// The composition context of a composition effect: its panel is a
// QCFXAttributeLoader, and it publishes no outputs.
class QKQCFXGLAttribContext : public QKQCGLAttrPubContext {
 public:
  // Null when the shared context or the texture cache is missing.
  static std::shared_ptr<QKQCFXGLAttribContext> create(const QString& path,
                                                       gl::GLContext* sharedContext,
                                                       gl::TexturePool* textureCache, QSizeF size,
                                                       QCFXLoader* fxLoader);

  QCFXLoader* fxLoader() const { return fxLoader_; }

 protected:
  using QKQCGLAttrPubContext::QKQCGLAttrPubContext;
  friend class QKGLContext;
  QCAttributeLoader* createAttributeLoader() override;

 private:
  QCFXLoader* fxLoader_ = nullptr;  // owns the effect that owns this context
};
