#pragma once

namespace gl {

class Texture;
struct YuvPicture;

// Fills the RGBA texture that stands for a YUV picture, for a reader that
// needs RGBA (an effect, a filter, a read-back). Called from
// Texture::name(), so possibly in the middle of another draw's set-up: it
// leaves every piece of GL state it touches as it found it. Render thread.
class YuvConverter {
 public:
  // False without a current context, with planes missing or on a GL
  // failure (logged, rate-limited).
  static bool convert(Texture& into, const YuvPicture& picture);
};

}  // namespace gl
