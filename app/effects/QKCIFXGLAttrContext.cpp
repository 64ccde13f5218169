#include "app/effects/QKCIFXGLAttrContext.h"

#include "app/effects/CIFXAttributeLoader.h"

std::shared_ptr<QKCIFXGLAttrContext> QKCIFXGLAttrContext::create(gl::GLContext* sharedContext,
                                                                 gl::TexturePool* textureCache,
                                                                 QSizeF size,
                                                                 const QString& filterName) {
  return createKind<QKCIFXGLAttrContext>(sharedContext, textureCache, size, filterName);
}

CIAttributeLoader* QKCIFXGLAttrContext::createAttributeLoader() {
  auto* loader = new CIFXAttributeLoader;
  loader->resize(30, 30);
  return loader;
}
