#pragma once

#include "framework/params/QKQCGLAttrPubContext.h"

#include <atomic>
#include <memory>

class QKBufferHolder;

// A publishing composition context that draws into a buffer of its own, of
// its size, taken from the texture pool; a size change makes a new one at
// the next draw. A buffer that cannot be made skips the frame (logged) and
// is tried again at the next draw.
class QKQCGLAttrPubBuffContext : public QKQCGLAttrPubContext {
 public:
  static std::shared_ptr<QKQCGLAttrPubBuffContext> create(
      const QString& path, gl::GLContext* sharedContext, gl::TexturePool* textureCache, QSizeF size,
      bool publishOutputs = false, std::shared_ptr<RendererFactory> factory = nullptr,
      Clock clock = nullptr);

  void setSize(QSizeF size) override;
  // Render thread: draws into the context's buffer, which it sets only for
  // the draw.
  void draw() override;
  // Render thread: the buffer drawn into last, or null.
  const std::shared_ptr<QKBufferHolder>& buffer() const { return buffer_; }

 protected:
  using QKQCGLAttrPubContext::QKQCGLAttrPubContext;
  friend class QKGLContext;

 private:
  std::atomic<bool> bufferNeedsReset_{true};
  std::shared_ptr<QKBufferHolder> buffer_;
};
