#pragma once

#include "framework/render/QKGLContext.h"

#include <memory>

// Mixes two textures by GL blending: the dry image (an effect's input) and
// over it the wet image (the effect's output), each faded by its share of
// the mix amount (opacitiesFor). The wet image is blended source-over, or
// added in proportion to what lies below when the destination factor is
// GL_DST_ALPHA (the additive kind). Both cover the whole target, upright
// whichever way their rows lie.
//
// Per frame: the amount and both textures, setPBufferRef(), render(),
// draw(), textureRef(). Render thread; no locks of its own.
class QKGL2LayerContext : public QKGLContext {
 public:
  struct Opacities {
    float wet = 1;
    float dry = 1;
  };

  static std::shared_ptr<QKGL2LayerContext> create(gl::GLContext* sharedContext,
                                                   gl::TexturePool* textureCache, QSizeF size);

  // The split of the amount w (0 dry … 1 wet): up to 0.5 the wet image
  // fades in (2w) over the opaque dry one; above it the dry one fades out
  // ((1 − w) / 0.5) under the opaque wet one.
  static Opacities opacitiesFor(float wetDry);

  void setWetDryValue(float wetDry) { wetDryValue_ = wetDry; }
  float wetDryValue() const { return wetDryValue_; }
  // The textures are held until replaced.
  void setBackTextureRef(const gl::TextureHandle& texture) { back_ = texture; }
  void setFrontTextureRef(const gl::TextureHandle& texture) { front_ = texture; }
  void setDFactor(GLenum factor) { dFactor_ = factor; }
  GLenum dFactor() const { return dFactor_; }
  GLenum sFactor() const { return sFactor_; }
  bool additive() const { return sFactor_ == GL_SRC_ALPHA && dFactor_ == GL_DST_ALPHA; }

  // Clears to transparent black and draws the dry, then the wet image; a
  // missing one is logged (rate-limited) and the other still drawn.
  void draw() override;

 protected:
  using QKGLContext::QKGLContext;
  friend class QKGLContext;
  void setUpState() override;

 private:
  void drawLayer(const gl::TextureHandle& texture, float opacity, GLenum destinationFactor);

  float wetDryValue_ = 1.0f;
  gl::TextureHandle back_;
  gl::TextureHandle front_;
  GLenum sFactor_ = GL_SRC_ALPHA;
  GLenum dFactor_ = GL_ONE_MINUS_SRC_ALPHA;
};
