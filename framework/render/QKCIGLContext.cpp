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
  if (!beginDraw(QVector4D(0, 0, 0, 0), false)) return false;
  if (!image.isNull()) ciContext_->drawImage(image, QPointF(0, 0), QRectF(QPointF(0, 0), size()));
  return true;
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
