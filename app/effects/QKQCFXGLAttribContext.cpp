#include "app/effects/QKQCFXGLAttribContext.h"

#include "app/effects/QCFXAttributeLoader.h"

std::shared_ptr<QKQCFXGLAttribContext> QKQCFXGLAttribContext::create(const QString& path,
                                                                     gl::GLContext* sharedContext,
                                                                     gl::TexturePool* textureCache,
                                                                     QSizeF size,
                                                                     QCFXLoader* fxLoader) {
  // The element first: the panel made with the context may ask for it.
  std::shared_ptr<QKQCFXGLAttribContext> context = createContext<QKQCFXGLAttribContext>(
      QString(), sharedContext, textureCache, size, false, nullptr, nullptr);
  if (!context) return nullptr;
  context->fxLoader_ = fxLoader;
  context->useFile(path, false);
  return context;
}

QCAttributeLoader* QKQCFXGLAttribContext::createAttributeLoader() {
  auto* loader = new QCFXAttributeLoader;
  loader->setGeometry(0, 0, 30, 30);
  return loader;
}
