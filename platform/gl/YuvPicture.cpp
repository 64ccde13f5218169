#include "platform/gl/YuvPicture.h"

namespace gl {

QSize YuvPicture::shownSize() const { return rotation % 2 ? lumaSize.transposed() : lumaSize; }

bool YuvPicture::complete() const {
  for (const TextureHandle& plane : planes)
    if (!plane) return false;
  return !lumaSize.isEmpty();
}

void YuvPicture::colourTransform(std::array<float, 9>& matrix, std::array<float, 3>& offset) const {
  // Y' = ys * y + yo, U' = cs * u + co, V' = cs * v + co.
  const double ys = fullRange ? 1.0 : 255.0 / 219.0;
  const double yo = fullRange ? 0.0 : -16.0 / 219.0;
  const double cs = fullRange ? 1.0 : 255.0 / 224.0;
  const double co = fullRange ? -128.0 / 255.0 : -128.0 / 224.0;
  // R = Y' + rv V', G = Y' - gu U' - gv V', B = Y' + bu U'.
  const double rv = bt709 ? 1.5748 : 1.402;
  const double gu = bt709 ? 0.187324 : 0.344136;
  const double gv = bt709 ? 0.468124 : 0.714136;
  const double bu = bt709 ? 1.8556 : 1.772;
  matrix = {float(ys),      float(ys),       float(ys),       // y
            0.0f,           float(-gu * cs), float(bu * cs),  // u
            float(rv * cs), float(-gv * cs), 0.0f};           // v
  offset = {float(yo + rv * co), float(yo - (gu + gv) * co), float(yo + bu * co)};
}

void YuvPicture::shownToStored(std::array<float, 9>& m) const {
  // Columns: the image of the shown x axis, of the y axis, and the origin.
  switch (((rotation % 4) + 4) % 4) {
    case 1:  // stored = (sy, 1 - sx)
      m = {0, -1, 0, 1, 0, 0, 0, 1, 1};
      break;
    case 2:  // stored = (1 - sx, 1 - sy)
      m = {-1, 0, 0, 0, -1, 0, 1, 1, 1};
      break;
    case 3:  // stored = (1 - sy, sx)
      m = {0, 1, 0, -1, 0, 0, 1, 0, 1};
      break;
    default:
      m = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  }
}

}  // namespace gl
