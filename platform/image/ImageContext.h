#pragma once

#include "platform/image/ColorSpace.h"
#include "platform/image/Image.h"

#include <QColor>
#include <QPointF>
#include <QRectF>

namespace image {

// Draws images of the filter engine into GL targets and into memory. Made
// anywhere; used on the render thread with a context current.
class ImageContext {
 public:
  enum class BitmapFormat { RGBA8, ARGB8, BGRA8 };

  explicit ImageContext(ColorSpace working = ColorSpace::DeviceRGB,
                        ColorSpace output = ColorSpace::DeviceRGB)
      : working_(working), output_(output) {}

  ColorSpace workingColorSpace() const { return working_; }
  ColorSpace outputColorSpace() const { return output_; }

  // Draws the part `fromRect` of the image with its lower left corner at
  // `atPoint` of the bound target (pixels, rows upward), with the target's
  // blending. Parts of `fromRect` outside the image are drawn transparent.
  // An image whose texture is the target's own is copied first.
  bool drawImage(const Image& image, const QPointF& atPoint, const QRectF& fromRect);

  // `bounds` of the image into memory, top row first, straight alpha, 8 bits
  // per channel in `format`; false (nothing written) on failure.
  bool render(const Image& image, void* bitmap, int rowBytes, const QRectF& bounds,
              BitmapFormat format, ColorSpace colorSpace = ColorSpace::DeviceRGB);

  // `bounds` of the image as a texture of its own (rows bottom up); a null
  // image gives transparent black.
  static Image copy(const Image& image, const QRectF& bounds,
                    gl::TextureFormat format = gl::TextureFormat::RGBA8);
  // An infinite image of one straight RGBA colour.
  static Image constantColor(const QColor& colour);

 private:
  ColorSpace working_;
  ColorSpace output_;
};

}  // namespace image
