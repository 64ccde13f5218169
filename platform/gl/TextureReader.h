#pragma once

#include "platform/gl/TextureHandle.h"

#include <QImage>

namespace gl {

// Reads a texture back into memory (tests, colour sampling, thumbnails):
// never on the per-frame path, since it waits for the GPU. Render thread.
class TextureReader {
 public:
  // The texture as a straight RGBA8888 image with the picture's top row
  // first (the handle's `flipped` flag says where that is). Null without a
  // context or texture.
  static QImage read(const TextureHandle& texture);
  // The raw rows in memory order (the texture's first row first).
  static QImage readRows(const TextureHandle& texture);
};

}  // namespace gl
