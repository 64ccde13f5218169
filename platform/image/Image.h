#pragma once

#include "platform/gl/TextureHandle.h"
#include "platform/image/ColorSpace.h"

#include <QMetaType>
#include <QRectF>
#include <QTransform>

namespace image {

// What an image shows outside the rectangle its texture covers.
enum class EdgeMode {
  Transparent,  // nothing: transparent black
  Clamp,        // the nearest edge pixel, for ever (infinite images)
};

// An image of the filter engine: a texture covering a rectangle (`region`)
// of the image plane, whose y axis runs upward, and the image's `extent`.
// Filters are applied eagerly, so an image is always a finished texture;
// textures of images are never written again, which makes images cheap to
// copy and safe to keep.
//
// An infinite image (a colour generator, a clamped image) has an infinite
// extent; its texture covers the part that varies and `EdgeMode::Clamp`
// gives the rest.
class Image {
 public:
  Image() = default;

  // An image of a texture made elsewhere, covering (0, 0, size). `flipped`
  // says how the texture's rows lie: true when its first row is the bottom
  // of the picture, false when it is the top. A framebuffer render (a
  // texture that is not `flipped`) is therefore wrapped with true, an
  // uploaded image with false: callers pass !texture.isFlipped().
  static Image withTexture(const gl::TextureHandle& texture, QSizeF size, bool flipped,
                           ColorSpace colorSpace = ColorSpace::DeviceRGB);
  // The same, with the rows' order read from the handle.
  static Image fromTexture(const gl::TextureHandle& texture);
  // What a kernel produced: rows bottom up.
  static Image rendered(const gl::TextureHandle& texture, const QRectF& region,
                        const QRectF& extent, EdgeMode edge);

  static QRectF infiniteExtent();
  static bool isInfinite(const QRectF& rect);

  bool isNull() const { return texture_.isNull(); }
  explicit operator bool() const { return !isNull(); }
  QRectF extent() const { return extent_; }
  bool isInfinite() const { return isInfinite(extent_); }
  const gl::TextureHandle& texture() const { return texture_; }
  QRectF region() const { return region_; }
  bool rowsBottomUp() const { return rowsBottomUp_; }
  EdgeMode edgeMode() const { return edge_; }
  ColorSpace colorSpace() const { return colorSpace_; }

  // The image moved and scaled: a scale with positive factors and a
  // translation only change where the texture lies; any other transform
  // renders the image (render thread).
  Image byApplyingTransform(const QTransform& transform) const;
  // The image cut to `rect` (nothing is rendered).
  Image byCropping(const QRectF& rect) const;

  // Whether `transform` only scales (by positive factors) and moves.
  static bool isAxisAligned(const QTransform& transform);
  // The rectangle of pixels that covers `rect` (infinite stays infinite).
  static QRect pixelBounds(const QRectF& rect);

 private:
  gl::TextureHandle texture_;
  QRectF region_;
  QRectF extent_;
  bool rowsBottomUp_ = true;
  EdgeMode edge_ = EdgeMode::Transparent;
  ColorSpace colorSpace_ = ColorSpace::DeviceRGB;
};

}  // namespace image

Q_DECLARE_METATYPE(image::Image)
