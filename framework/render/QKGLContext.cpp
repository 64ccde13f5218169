#include "framework/render/QKGLContext.h"

#include "framework/render/DeferredReleaseArrays.h"
#include "platform/foundation/Log.h"
#include "platform/gl/RenderThread.h"

#include <cmath>

std::shared_ptr<QKGLContext> QKGLContext::create(gl::GLContext* sharedContext,
                                                 gl::TexturePool* textureCache, QSizeF size) {
  return make<QKGLContext>(sharedContext, textureCache, size);
}

QKGLContext::QKGLContext(gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size)
    : sharedContext_(sharedContext),
      textureCache_(textureCache),
      pixelFormat_(gl::GLContext::defaultFormat()),
      target_(std::make_shared<gl::RenderTarget>()),
      size_(size) {}

QKGLContext::~QKGLContext() {
  if (!deleted_) QKGLContext::prepareToBeDeleted();
  texture_.reset();
  // The framebuffer may still be in use by a frame under way.
  if (!gl::RenderThread::isRenderThread()) DeferredReleaseArrays::shared().addRenderer(target_);
}

void QKGLContext::prepareToBeDeleted() { deleted_ = true; }

void QKGLContext::setSize(QSizeF size) {
  if (size == size_) return;
  size_ = size;
  needsReshape_ = true;
}

void QKGLContext::render() {
  releaseOutput();
  if (deleted_) return;
  if (!gl::GLContext::current()) {
    Log::limited(QStringLiteral("QKGLContext.context"),
                 QStringLiteral("\t\terr: QKGLContext's context is nil"));
    return;
  }
  if (!initialized_) {
    setUpState();
    initialized_ = true;
  }
  if (needsReshape_) {
    reshape();
    needsReshape_ = false;
  }
}

void QKGLContext::setUpState() { target_->setBlend({true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}); }

void QKGLContext::reshape() {
  const QSize pixels(int(size_.width()), int(size_.height()));
  target_->setViewport(QRect(QPoint(0, 0), pixels));
  target_->setProjection(gl::RenderTarget::topDownOrtho(QSizeF(pixels)));
}

void QKGLContext::draw() { releaseOutput(); }

bool QKGLContext::attachPBuffer() {
  if (!pBuffer_ || !target_->bind(pBuffer_)) {
    Log::limited(QStringLiteral("QKGLContext.attach"), QStringLiteral("\t\terr attaching buffer"));
    return false;
  }
  return true;
}

bool QKGLContext::beginDraw(const QVector4D& clearColour, bool needsReadiness) {
  if (!beginDrawUncleared(needsReadiness)) return false;
  target_->clear(clearColour);
  return true;
}

bool QKGLContext::beginDrawUncleared(bool needsReadiness) {
  releaseOutput();
  if (deleted_) return false;
  if (needsReadiness && (!initialized_ || needsReshape_)) return false;
  return attachPBuffer();
}

bool QKGLContext::sizeCoversBuffer() const {
  const QSize buffer = pBuffer_.size();
  return std::lround(size_.width()) >= buffer.width() &&
         std::lround(size_.height()) >= buffer.height();
}

void QKGLContext::endDraw() {
  if (textureCache_ && pBuffer_) texture_ = pBuffer_.withFlipped(false);
  target_->detach();
}
