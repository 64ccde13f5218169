#pragma once

#include "platform/gl/TextureHandle.h"
#include "platform/image/ColorSpace.h"

#include <QMetaType>
#include <QRectF>
#include <QTransform>

#include <functional>
#include <memory>
#include <vector>

namespace image {

// What an image shows outside the rectangle its texture covers.
enum class EdgeMode {
  Transparent,  // nothing: transparent black
  Clamp,        // the nearest edge pixel, for ever (infinite images)
};

// An image of the filter engine: a texture covering a rectangle (`region`)
// of the image plane, whose y axis runs upward, and the image's `extent`.
// Filters are applied eagerly: a filter's result is rendered into a texture
// of its own when something first reads it (another kernel, a read of its
// texture). The one exception is an image that is only drawn: its last
// kernel then renders straight into the target, which saves a full pass per
// drawn frame. Textures of images are never written again, which makes
// images cheap to copy and safe to keep.
//
// An infinite image (a colour generator, a clamped image) has an infinite
// extent; its texture covers the part that varies and `EdgeMode::Clamp`
// gives the rest.
class Image {
 public:
  // How a result not rendered yet is made: `make` renders it into a texture
  // of its own; `drawInto` renders it into the bound target instead (the
  // target pixels `viewport` receiving the image plane from `origin`).
  // `inputs` are the images it reads.
  struct Recipe {
    std::function<gl::TextureHandle()> make;
    std::function<bool(const QRect& viewport, const QPointF& origin)> drawInto;
    std::vector<Image> inputs;
    // What made it (the kernel and its arguments), for passes that join it.
    std::shared_ptr<void> source;
    gl::TextureHandle made;
    bool tried = false;
    // Renders it now (once); the inputs' textures call it before they are
    // written again.
    void realise();
    std::shared_ptr<std::function<void()>> realiseBeforeInputsChange;
  };

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
  // What a kernel will produce, rendered when first needed (rows bottom up).
  static Image pending(std::shared_ptr<Recipe> recipe, const QRectF& region, const QRectF& extent,
                       EdgeMode edge);

  static QRectF infiniteExtent();
  static bool isInfinite(const QRectF& rect);

  bool isNull() const;
  explicit operator bool() const { return !isNull(); }
  QRectF extent() const { return extent_; }
  bool isInfinite() const { return isInfinite(extent_); }
  // The texture; a pending image is rendered now (render thread).
  const gl::TextureHandle& texture() const;
  bool isPending() const { return recipe_ && !recipe_->tried; }
  const Recipe* recipe() const { return isPending() ? recipe_.get() : nullptr; }
  // Renders a pending image straight into the bound target; false when it
  // is not pending or cannot (the caller then draws its texture).
  bool drawPendingInto(const QRect& viewport, const QPointF& origin) const;
  // Whether a pending image reads the texture `storage`.
  bool pendingReads(const gl::Texture* storage) const;
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
  mutable gl::TextureHandle texture_;
  std::shared_ptr<Recipe> recipe_;
  QRectF region_;
  QRectF extent_;
  bool rowsBottomUp_ = true;
  EdgeMode edge_ = EdgeMode::Transparent;
  ColorSpace colorSpace_ = ColorSpace::DeviceRGB;
};

}  // namespace image

Q_DECLARE_METATYPE(image::Image)
