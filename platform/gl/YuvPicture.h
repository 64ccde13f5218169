#pragma once

#include "platform/gl/TextureHandle.h"

#include <QSize>

#include <array>

namespace gl {

// A picture kept as its 8-bit Y, U and V planes (4:2:0, R8 textures, first
// row the top) and what turns them into colours: levels, matrix and the
// quarter turns the planes are shown turned by. An RGBA texture stands for
// it (Texture::setYuvPicture): drawing code that knows pictures samples the
// planes directly and converts in its own shader; any other reader gets the
// RGBA texture, converted when first asked for.
struct YuvPicture {
  std::array<TextureHandle, 3> planes;
  QSize lumaSize;          // plane 0 as stored
  int rotation = 0;        // quarter turns clockwise, 0..3
  bool fullRange = false;  // levels 0..255 rather than 16..235 (chroma 16..240)
  bool bt709 = false;      // the BT.709 matrix rather than BT.601

  // The picture as shown (turned).
  QSize shownSize() const;
  bool complete() const;

  // rgb = matrix * (y, u, v) + offset, with samples in 0..1: the levels and
  // the matrix in one step. `matrix` is column-major (for glUniformMatrix3fv).
  void colourTransform(std::array<float, 9>& matrix, std::array<float, 3>& offset) const;
  // Normalised coordinates in the picture as shown (rows top first) to the
  // same in the planes: stored = m * (shown, 1), column-major.
  void shownToStored(std::array<float, 9>& m) const;
};

}  // namespace gl
