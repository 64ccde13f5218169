#include "app/sources/QKQCSrcGLAttrPubBuffContext.h"

#include "app/sources/QCSrcAttributeLoader.h"

std::shared_ptr<QKQCSrcGLAttrPubBuffContext> QKQCSrcGLAttrPubBuffContext::create(
    const QString& path, gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size,
    std::shared_ptr<RendererFactory> factory, Clock clock) {
  return createContext<QKQCSrcGLAttrPubBuffContext>(path, sharedContext, textureCache, size, false,
                                                    std::move(factory), std::move(clock));
}

QCAttributeLoader* QKQCSrcGLAttrPubBuffContext::createAttributeLoader() {
  auto* loader = new QCSrcAttributeLoader();
  loader->setGeometry(0, 0, 30, 30);
  return loader;
}

// The preview keeps its own bitmap: the file's cache may change meanwhile.
void QKQCSrcGLAttrPubBuffContext::setImageFileBitmapImageRep(const QKImageFile::Bitmap& bitmap,
                                                             bool purge) {
  (void)purge;
  feed_.take(bitmap ? std::make_shared<const QImage>(bitmap->copy()) : nullptr);
}

void QKQCSrcGLAttrPubBuffContext::useFile(const QString& path, bool resetTimer) {
  QKQCGLAttrPubBuffContext::useFile(path, resetTimer);
  feed_.fileChanged(path.isEmpty());
}

void QKQCSrcGLAttrPubBuffContext::render() {
  if (!deleted()) feed_.beforeRender(renderer().get());
  QKQCGLAttrPubBuffContext::render();
  if (!deleted()) feed_.afterRender(renderer().get());
}

void QKQCSrcGLAttrPubBuffContext::draw() {
  QKQCGLAttrPubBuffContext::draw();
  feed_.afterDraw();
}
