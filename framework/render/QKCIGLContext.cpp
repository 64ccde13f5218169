#include "framework/render/QKCIGLContext.h"

#include "platform/foundation/Log.h"

std::shared_ptr<QKCIGLContext> QKCIGLContext::create(gl::GLContext* sharedContext,
                                                     gl::TexturePool* textureCache, QSizeF size) {
  return make<QKCIGLContext>(sharedContext, textureCache, size);
}

QKCIGLContext::QKCIGLContext(gl::GLContext* sharedContext, gl::TexturePool* textureCache,
                             QSizeF size)
    : QKGLContext(sharedContext, textureCache, size) {
  makeImageContext();
}

void QKCIGLContext::makeImageContext() {
  ciContext_ = std::make_shared<image::ImageContext>(workingColorSpace(), outputColorSpace());
}

void QKCIGLContext::setUpState() { target().setBlend(gl::GLContext::Blend{}); }

void QKCIGLContext::reshape() {
  QKGLContext::reshape();
  makeImageContext();
}

bool QKCIGLContext::drawInto(const image::Image& image) {
  if (!beginDrawUncleared(false)) return false;
  drawOverBuffer(image);
  return true;
}

void QKCIGLContext::drawOverBuffer(const image::Image& image) {
  const QVector4D transparent(0, 0, 0, 0);
  const bool covering = !image.isNull() && sizeCoversBuffer();
  if (!covering) target().clear(transparent);
  if (image.isNull()) return;
  const bool drawn = ciContext_->drawImage(image, QPointF(0, 0), QRectF(QPointF(0, 0), size()));
  if (covering && !drawn) target().clear(transparent);
}

void QKCIGLContext::justDrawImage(const image::Image& image) {
  drawInto(image);
  target().detach();
}

void QKCIGLContext::drawImage(const image::Image& image) {
  if (drawInto(image))
    endDraw();
  else
    target().detach();
}

bool QKCIGLContext::render(const image::Image& image, void* toBitmap, int rowBytes,
                           const QRectF& bounds, image::ImageContext::BitmapFormat format,
                           image::ColorSpace colorSpace) {
  if (deleted()) return false;
  if (!ciContext_) {
    Log::line("\t\terr: ciContext was nil");
    return false;
  }
  return ciContext_->render(image, toBitmap, rowBytes, bounds, format, colorSpace);
}

void QKCIGLContext::prepareToBeDeleted() {
  releaseOutput();
  QKGLContext::prepareToBeDeleted();
}
