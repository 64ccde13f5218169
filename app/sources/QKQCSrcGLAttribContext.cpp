#include "app/sources/QKQCSrcGLAttribContext.h"

#include "app/sources/QCSrcAttributeLoader.h"

std::shared_ptr<QKQCSrcGLAttribContext> QKQCSrcGLAttribContext::create(
    const QString& path, gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size,
    std::shared_ptr<RendererFactory> factory, Clock clock) {
  return createContext<QKQCSrcGLAttribContext>(path, sharedContext, textureCache, size, false,
                                               std::move(factory), std::move(clock));
}

QCAttributeLoader* QKQCSrcGLAttribContext::createAttributeLoader() {
  auto* loader = new QCSrcAttributeLoader();
  loader->setGeometry(0, 0, 30, 30);
  return loader;
}

void QKQCSrcGLAttribContext::setImageFileBitmapImageRep(const QKImageFile::Bitmap& bitmap,
                                                        bool purge) {
  (void)purge;
  feed_.take(bitmap);
}

void QKQCSrcGLAttribContext::useFile(const QString& path, bool resetTimer) {
  QKQCGLAttrPubContext::useFile(path, resetTimer);
  feed_.fileChanged(path.isEmpty());
}

void QKQCSrcGLAttribContext::render() {
  if (deleted()) {
    QKQCGLAttrPubContext::render();
    return;
  }
  if (attributeLoader() && feed_.held()) feed_.beforeRender(renderer().get());
  QKQCGLAttrPubContext::render();
  if (attributeLoader()) feed_.afterRender(renderer().get());
}

void QKQCSrcGLAttribContext::draw() {
  QKQCGLAttrPubContext::draw();
  feed_.afterDraw();
}
