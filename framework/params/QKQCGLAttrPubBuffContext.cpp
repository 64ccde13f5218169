#include "framework/params/QKQCGLAttrPubBuffContext.h"

#include "framework/render/QKBufferHolder.h"
#include "platform/foundation/Log.h"

std::shared_ptr<QKQCGLAttrPubBuffContext> QKQCGLAttrPubBuffContext::create(
    const QString& path, gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size,
    bool publishOutputs, std::shared_ptr<RendererFactory> factory, Clock clock) {
  return createContext<QKQCGLAttrPubBuffContext>(path, sharedContext, textureCache, size,
                                                 publishOutputs, std::move(factory),
                                                 std::move(clock));
}

void QKQCGLAttrPubBuffContext::setSize(QSizeF size) {
  if (size != this->size()) bufferNeedsReset_.store(true);
  QKQCGLAttrPubContext::setSize(size);
}

void QKQCGLAttrPubBuffContext::draw() {
  if (bufferNeedsReset_.exchange(false)) buffer_.reset();
  if (!buffer_) {
    const QSizeF wanted = size();
    // Sides are whole pixels; a negative one counts as 0.
    if (int(std::max(0.0, wanted.width())) > 0 && int(std::max(0.0, wanted.height())) > 0)
      buffer_ = QKBufferHolder::create(wanted);
    if (!buffer_) {
      releaseOutput();
      Log::limited(QStringLiteral("QKQCGLAttrPubBuffContext.buffer"),
                   QStringLiteral("\t\terr %1 while QKMIQCC creating buffer sized %2 x %3")
                       .arg(QKBufferHolder::kInvalidSize)
                       .arg(wanted.width(), 0, 'f', 6)
                       .arg(wanted.height(), 0, 'f', 6));
      return;
    }
  }
  setPBufferRef(buffer_->bufferRef());
  QKQCGLAttrPubContext::draw();
  setPBufferRef({});
}
