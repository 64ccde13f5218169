#pragma once

#include "platform/gl/GLContext.h"
#include "platform/gl/GLObject.h"
#include "platform/gl/TextureHandle.h"

#include <QMatrix4x4>
#include <QRect>
#include <QVector4D>

namespace gl {

// A framebuffer object of the current context that draws into one colour
// texture (2D or rectangle), with the viewport, projection and blending it
// draws with. bind() makes it the current drawing target and applies all
// three, so targets that share one context do not disturb each other.
// Framebuffers are not shared between contexts: a target belongs to the
// context it was first bound on.
class RenderTarget {
 public:
  RenderTarget() = default;
  RenderTarget(const RenderTarget&) = delete;
  RenderTarget& operator=(const RenderTarget&) = delete;

  // Attaches `colour` and binds. False (logged, rate-limited) without a
  // current context, with a null texture or an incomplete framebuffer.
  bool bind(const TextureHandle& colour);
  // Binds again with the texture attached last.
  bool bind() { return bind(attached_); }
  // Drops the texture (the next bind attaches another).
  void detach() {
    attached_.reset();
    attachedName_ = 0;  // a deleted texture's name may come back for another
  }
  const TextureHandle& attached() const { return attached_; }

  // The viewport; an empty one means the whole texture.
  void setViewport(const QRect& viewport) { viewport_ = viewport; }
  QRect viewport() const { return viewport_; }
  void setProjection(const QMatrix4x4& projection) { projection_ = projection; }
  const QMatrix4x4& projection() const { return projection_; }
  void setBlend(const GLContext::Blend& blend) { blend_ = blend; }
  GLContext::Blend blend() const { return blend_; }

  // Clears the bound target's colour.
  void clear(const QVector4D& colour);

  // An ortho projection of (0, 0)–(width, height) whose y runs downward.
  static QMatrix4x4 topDownOrtho(const QSizeF& size);
  // The same with y running upward.
  static QMatrix4x4 bottomUpOrtho(const QSizeF& size);

 private:
  GLObject framebuffer_;
  GLuint attachedName_ = 0;
  GLenum attachedTarget_ = 0;
  TextureHandle attached_;
  QRect viewport_;
  QMatrix4x4 projection_;
  GLContext::Blend blend_;
};

}  // namespace gl
