#pragma once

#include "platform/gl/Texture.h"
#include "platform/image/Image.h"

namespace image {

// A feedback buffer of a fixed extent: what was stored last, read back as
// an image, so that a filter can mix each new frame with its previous
// result. Each store makes a new texture (the previous one stays valid for
// whoever still holds it), so a chain never reads the texture it writes.
// Made anywhere; image() and setImage() run on the render thread.
class ImageAccumulator {
 public:
  ImageAccumulator(const QRectF& extent, gl::TextureFormat format = gl::TextureFormat::RGBA8);

  QRectF extent() const { return extent_; }
  gl::TextureFormat format() const { return format_; }

  // The contents: transparent black until something is stored.
  Image image();
  // Stores the part of `image` within the extent (transparent elsewhere).
  void setImage(const Image& image);
  void clear();

 private:
  QRectF extent_;
  gl::TextureFormat format_;
  Image contents_;
};

}  // namespace image
