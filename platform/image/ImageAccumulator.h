#pragma once

#include "platform/gl/Texture.h"
#include "platform/image/Image.h"

namespace image {

// A feedback buffer of a fixed extent: what was stored last, read back as
// an image, so that a filter can mix each new frame with its previous
// result. Each store renders at once into a new texture of its own (the
// previous one stays valid for whoever still holds it): a result stored
// keeps nothing of what made it, so the next frame's pass reads a texture
// and never joins the passes of frames before, and a chain never reads the
// texture it writes. Half floats by default; where they cannot be rendered
// to, every accumulator falls back to 8 bits (logged once).
// Made anywhere; image() and setImage() run on the render thread.
class ImageAccumulator {
 public:
  ImageAccumulator(const QRectF& extent, gl::TextureFormat format = gl::TextureFormat::RGBA16F);

  QRectF extent() const { return extent_; }
  gl::TextureFormat format() const { return format_; }

  // The contents: transparent black until something is stored.
  Image image();
  // Stores the part of `image` within the extent (transparent elsewhere);
  // false when nothing could be rendered (the contents stay).
  bool setImage(const Image& image);
  void clear();

  // Whether half-float targets were refused in this process.
  static bool halfFloatRefused();

 private:
  QRectF extent_;
  gl::TextureFormat format_;
  Image contents_;
};

}  // namespace image
