#include "platform/gl/RenderTarget.h"

#include "platform/foundation/Log.h"

namespace gl {

bool RenderTarget::bind(const TextureHandle& colour) {
  GLContext* context = GLContext::current();
  if (!context) {
    Log::limited(QStringLiteral("RenderTarget.context"),
                 QStringLiteral("\t\terr: render target bound without a GL context"));
    return false;
  }
  const GLuint texture = colour.name();
  if (!texture) {
    Log::limited(QStringLiteral("RenderTarget.texture"),
                 QStringLiteral("\t\terr: render target has no texture to draw into"));
    return false;
  }
  colour.storage()->aboutToWrite();
  GLFunctions& f = context->functions();
  if (framebuffer_.alive() && !framebuffer_.ownedBy(context->lifetime())) framebuffer_.reset();
  if (!framebuffer_.alive()) {
    GLuint name = 0;
    f.glGenFramebuffers(1, &name);
    framebuffer_ = GLObject(GLObject::Kind::Framebuffer, name, context->lifetime());
    attachedName_ = 0;
  }
  context->bindFramebuffer(framebuffer_.name(), colour.storage());
  if (attachedName_ != texture || attachedTarget_ != colour.target()) {
    f.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, colour.target(), texture, 0);
    attachedName_ = texture;
    attachedTarget_ = colour.target();
    const GLenum status = f.glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
      Log::limited(QStringLiteral("RenderTarget.incomplete"),
                   QStringLiteral("\t\terr: framebuffer incomplete (0x%1)").arg(status, 0, 16));
      attachedName_ = 0;
      context->bindFramebuffer(0);
      return false;
    }
  }
  attached_ = colour;
  const QRect whole(QPoint(0, 0), colour.size());
  context->setViewport(viewport_.isEmpty() ? whole : viewport_);
  context->setBlend(blend_);
  context->setProjection(projection_);
  return true;
}

void RenderTarget::clear(const QVector4D& colour) {
  GLContext* context = GLContext::current();
  if (!context) return;
  GLFunctions& f = context->functions();
  f.glClearColor(colour.x(), colour.y(), colour.z(), colour.w());
  f.glClear(GL_COLOR_BUFFER_BIT);
}

QMatrix4x4 RenderTarget::topDownOrtho(const QSizeF& size) {
  QMatrix4x4 m;
  m.ortho(0.0f, float(size.width()), float(size.height()), 0.0f, -1.0f, 1.0f);
  return m;
}

QMatrix4x4 RenderTarget::bottomUpOrtho(const QSizeF& size) {
  QMatrix4x4 m;
  m.ortho(0.0f, float(size.width()), 0.0f, float(size.height()), -1.0f, 1.0f);
  return m;
}

}  // namespace gl
