#include "platform/image/ImageAccumulator.h"

#include "platform/image/ImageContext.h"

namespace image {

ImageAccumulator::ImageAccumulator(const QRectF& extent, gl::TextureFormat format)
    : extent_(extent), format_(format) {}

Image ImageAccumulator::image() {
  if (contents_.isNull()) setImage(Image());
  return contents_;
}

void ImageAccumulator::setImage(const Image& image) {
  const Image stored = ImageContext::copy(image, extent_, format_);
  if (!stored.isNull()) contents_ = stored;
}

void ImageAccumulator::clear() { contents_ = Image(); }

}  // namespace image
