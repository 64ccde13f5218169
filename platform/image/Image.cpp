#include "platform/image/Image.h"

#include "platform/image/AffineTransformFilter.h"

#include <cmath>

namespace image {

namespace {
constexpr double kInfinite = 1e30;
}

Image Image::withTexture(const gl::TextureHandle& texture, QSizeF size, bool flipped,
                         ColorSpace colorSpace) {
  if (!texture || size.isEmpty()) return {};
  Image image;
  image.texture_ = texture;
  image.region_ = QRectF(QPointF(0, 0), size);
  image.extent_ = image.region_;
  image.rowsBottomUp_ = flipped;
  image.colorSpace_ = colorSpace;
  return image;
}

Image Image::fromTexture(const gl::TextureHandle& texture) {
  return withTexture(texture, QSizeF(texture.size()), !texture.isFlipped());
}

Image Image::rendered(const gl::TextureHandle& texture, const QRectF& region, const QRectF& extent,
                      EdgeMode edge) {
  if (!texture) return {};
  Image image;
  image.texture_ = texture;
  image.region_ = region;
  image.extent_ = extent;
  image.rowsBottomUp_ = true;
  image.edge_ = edge;
  return image;
}

Image Image::pending(std::shared_ptr<Recipe> recipe, const QRectF& region, const QRectF& extent,
                     EdgeMode edge) {
  if (!recipe) return {};
  // Made before any input it reads is written again: as if made now.
  std::weak_ptr<Recipe> weak = recipe;
  recipe->realiseBeforeInputsChange = std::make_shared<std::function<void()>>([weak] {
    if (std::shared_ptr<Recipe> r = weak.lock()) r->realise();
  });
  for (const Image& input : recipe->inputs)
    if (!input.isPending() && input.texture_.storage())
      input.texture_.storage()->addWriteObserver(recipe->realiseBeforeInputsChange);
  Image image;
  image.recipe_ = std::move(recipe);
  image.region_ = region;
  image.extent_ = extent;
  image.rowsBottomUp_ = true;
  image.edge_ = edge;
  return image;
}

bool Image::isNull() const {
  if (texture_) return false;
  return !recipe_ || (recipe_->tried && !recipe_->made);
}

void Image::Recipe::realise() {
  if (tried) return;
  tried = true;
  made = make();
  inputs.clear();  // made: the inputs are no longer needed
  source.reset();
  make = nullptr;
  drawInto = nullptr;
}

const gl::TextureHandle& Image::texture() const {
  if (!texture_ && recipe_) {
    recipe_->realise();
    texture_ = recipe_->made;
  }
  return texture_;
}

bool Image::drawPendingInto(const QRect& viewport, const QPointF& origin) const {
  return isPending() && recipe_->drawInto && recipe_->drawInto(viewport, origin);
}

bool Image::pendingReads(const gl::Texture* storage) const {
  if (!isPending()) return false;
  for (const Image& input : recipe_->inputs)
    if (input.texture_.storage() == storage || input.pendingReads(storage)) return true;
  return false;
}

QRectF Image::infiniteExtent() {
  return QRectF(-kInfinite / 2, -kInfinite / 2, kInfinite, kInfinite);
}

bool Image::isInfinite(const QRectF& rect) {
  return rect.width() >= kInfinite / 2 || rect.height() >= kInfinite / 2;
}

bool Image::isAxisAligned(const QTransform& t) {
  return t.type() <= QTransform::TxScale && t.m11() > 0 && t.m22() > 0;
}

QRect Image::pixelBounds(const QRectF& rect) {
  if (isInfinite(rect) || rect.isEmpty()) return {};
  const int left = int(std::floor(rect.left() + 1e-6));
  const int top = int(std::floor(rect.top() + 1e-6));
  const int right = int(std::ceil(rect.right() - 1e-6));
  const int bottom = int(std::ceil(rect.bottom() - 1e-6));
  return QRect(left, top, right - left, bottom - top);
}

Image Image::byApplyingTransform(const QTransform& transform) const {
  if (isNull()) return {};
  if (transform.isIdentity()) return *this;
  if (!isAxisAligned(transform)) return AffineTransformFilter::render(*this, transform);
  texture();  // a pending image is made where it lies before it moves
  Image moved = *this;
  moved.region_ = transform.mapRect(region_);
  if (!isInfinite()) moved.extent_ = transform.mapRect(extent_);
  return moved;
}

Image Image::byCropping(const QRectF& rect) const {
  if (isNull()) return {};
  const QRectF cut = extent_.intersected(rect);
  if (cut.isEmpty()) return {};
  Image cropped = *this;
  cropped.extent_ = cut;
  return cropped;
}

}  // namespace image
