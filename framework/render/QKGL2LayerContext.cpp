#include "framework/render/QKGL2LayerContext.h"

#include "platform/foundation/Log.h"
#include "platform/gl/QuadShader.h"

std::shared_ptr<QKGL2LayerContext> QKGL2LayerContext::create(gl::GLContext* sharedContext,
                                                             gl::TexturePool* textureCache,
                                                             QSizeF size) {
  return make<QKGL2LayerContext>(sharedContext, textureCache, size);
}

QKGL2LayerContext::Opacities QKGL2LayerContext::opacitiesFor(float wetDry) {
  if (wetDry > 0.5f) return {1.0f, (1.0f - wetDry) / 0.5f};
  return {2.0f * wetDry, 1.0f};
}

void QKGL2LayerContext::setUpState() { target().setBlend({true, GL_SRC_ALPHA, GL_DST_ALPHA}); }

void QKGL2LayerContext::draw() {
  if (!beginDraw(QVector4D(0, 0, 0, 0), true)) {
    target().detach();
    return;
  }
  const Opacities opacities = opacitiesFor(wetDryValue_);
  if (back_)
    drawLayer(back_, opacities.dry, GL_ONE);
  else
    Log::limited(QStringLiteral("QKGL2LayerContext.back"),
                 QStringLiteral("\t\terr: back texture was null"));
  if (front_)
    drawLayer(front_, opacities.wet, additive() ? GL_DST_ALPHA : GL_ONE_MINUS_SRC_ALPHA);
  else
    Log::limited(QStringLiteral("QKGL2LayerContext.front"),
                 QStringLiteral("\t\terr: front texture was null"));
  endDraw();
}

void QKGL2LayerContext::drawLayer(const gl::TextureHandle& texture, float opacity,
                                  GLenum destinationFactor) {
  gl::QuadShader* shader = gl::QuadShader::forCurrentContext();
  if (!shader) return;
  gl::GLContext::current()->setBlend({true, GL_SRC_ALPHA, destinationFactor});
  // Texture coordinates in pixels of the context's size, so that the top of
  // the target shows the top of the picture.
  const float width = float(size().width());
  const float height = float(size().height());
  const gl::QuadShader::TexCoords rows = texture.isFlipped()
                                             ? gl::QuadShader::TexCoords{0, 0, width, height}
                                             : gl::QuadShader::TexCoords{0, height, width, 0};
  // A texture of the context's size lies pixel on pixel.
  const bool pixelAligned = texture.size() == QSize(int(width), int(height));
  shader->draw(texture, QRectF(0, 0, width, height), rows, QVector4D(1, 1, 1, opacity), false,
               pixelAligned);
}
