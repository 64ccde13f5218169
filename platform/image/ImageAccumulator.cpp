#include "platform/image/ImageAccumulator.h"

#include "platform/foundation/Log.h"
#include "platform/gl/GLContext.h"
#include "platform/image/ImageContext.h"

#include <atomic>

namespace image {

namespace {
std::atomic<bool> halfFloatRefused_{false};

Image renderedCopy(const Image& image, const QRectF& extent, gl::TextureFormat format) {
  Image stored = ImageContext::copy(image, extent, format);
  if (stored.isNull() || !stored.texture()) return {};
  return stored;
}
}  // namespace

ImageAccumulator::ImageAccumulator(const QRectF& extent, gl::TextureFormat format)
    : extent_(extent),
      format_(format == gl::TextureFormat::RGBA16F && halfFloatRefused_.load()
                  ? gl::TextureFormat::RGBA8
                  : format) {}

bool ImageAccumulator::halfFloatRefused() { return halfFloatRefused_.load(); }

Image ImageAccumulator::image() {
  if (contents_.isNull()) setImage(Image());
  return contents_;
}

bool ImageAccumulator::setImage(const Image& image) {
  Image stored = renderedCopy(image, extent_, format_);
  if (stored.isNull() && format_ == gl::TextureFormat::RGBA16F && gl::GLContext::current()) {
    stored = renderedCopy(image, extent_, gl::TextureFormat::RGBA8);
    if (!stored.isNull()) {
      format_ = gl::TextureFormat::RGBA8;
      if (!halfFloatRefused_.exchange(true))
        Log::line(QStringLiteral(
            "\t\terr: half-float feedback buffers cannot be drawn into here; using 8 bits"));
    }
  }
  if (stored.isNull()) return false;
  contents_ = stored;
  return true;
}

void ImageAccumulator::clear() { contents_ = Image(); }

}  // namespace image
