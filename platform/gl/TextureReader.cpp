#include "platform/gl/TextureReader.h"

#include "platform/gl/GLContext.h"

namespace gl {

QImage TextureReader::readRows(const TextureHandle& texture) {
  GLContext* context = GLContext::current();
  if (!context || !texture) return {};
  const GLuint name = texture.name();
  if (!name) return {};
  GLFunctions& f = context->functions();
  const GLuint previous = context->boundFramebuffer();
  const Texture* previousColour = context->drawingInto();
  GLuint framebuffer = 0;
  f.glGenFramebuffers(1, &framebuffer);
  context->bindFramebuffer(framebuffer);
  f.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, texture.target(), name, 0);
  QImage rows;
  if (f.glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
    rows = QImage(texture.size(), QImage::Format_RGBA8888);
    f.glPixelStorei(GL_PACK_ALIGNMENT, 4);
    f.glReadBuffer(GL_COLOR_ATTACHMENT0);
    f.glReadPixels(0, 0, rows.width(), rows.height(), GL_RGBA, GL_UNSIGNED_BYTE, rows.bits());
  }
  context->bindFramebuffer(previous, previousColour);
  f.glDeleteFramebuffers(1, &framebuffer);
  return rows;
}

QImage TextureReader::read(const TextureHandle& texture) {
  QImage rows = readRows(texture);
  if (rows.isNull() || texture.isFlipped()) return rows;
  return rows.mirrored(false, true);
}

}  // namespace gl
