#include "platform/image/ImageContext.h"

#include "platform/gl/GLContext.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"
#include "platform/image/Kernel.h"

#include <cmath>
#include <cstring>

namespace image {

namespace {
std::shared_ptr<Kernel> copyKernel() {
  static const std::shared_ptr<Kernel> kernel =
      Kernel::fromSource(QStringLiteral("ImageContext.copy"),
                         "// pointwise\nuniform sampler2D source;\n"
                         "vec4 kernelMain() { return source_sample(destCoord()); }\n");
  return kernel;
}
}  // namespace

Image ImageContext::copy(const Image& image, const QRectF& bounds, gl::TextureFormat format) {
  return copyKernel()->apply(Kernel::Output{bounds, bounds, EdgeMode::Transparent, format},
                             {image});
}

Image ImageContext::constantColor(const QColor& colour) {
  gl::GLContext* context = gl::GLContext::current();
  if (!context) return {};
  gl::TextureHandle texture = gl::TexturePool::shared().acquire(QSize(1, 1));
  if (!texture) return {};
  const GLuint previous = context->boundFramebuffer();
  const gl::Texture* previousColour = context->drawingInto();
  const QRect viewport = context->viewport();
  {
    gl::RenderTarget& target = context->cached<gl::RenderTarget>(
        QStringLiteral("image.kernelTarget"), [] { return std::make_shared<gl::RenderTarget>(); });
    if (!target.bind(texture)) return {};
    target.clear(QVector4D(colour.redF(), colour.greenF(), colour.blueF(), colour.alphaF()));
    target.detach();
  }
  context->bindFramebuffer(previous, previousColour);
  if (!viewport.isEmpty()) context->setViewport(viewport);
  return Image::rendered(texture, QRectF(0, 0, 1, 1), Image::infiniteExtent(), EdgeMode::Clamp);
}

bool ImageContext::drawImage(const Image& image, const QPointF& atPoint, const QRectF& fromRect) {
  gl::GLContext* context = gl::GLContext::current();
  if (!context || image.isNull() || fromRect.isEmpty()) return false;
  const QRect viewport(int(std::lround(atPoint.x())), int(std::lround(atPoint.y())),
                       int(std::lround(fromRect.width())), int(std::lround(fromRect.height())));
  const QRect previous = context->viewport();
  // A result not rendered yet goes straight into the target when the part
  // drawn lies within what it covers.
  const QRectF covered = image.extent().intersected(image.region());
  if (image.isPending() && covered.contains(fromRect) &&
      !image.pendingReads(context->drawingInto()) &&
      image.drawPendingInto(viewport, fromRect.topLeft())) {
    if (!previous.isEmpty()) context->setViewport(previous);
    return true;
  }
  Image source = image;
  if (image.texture().storage() == context->drawingInto()) {
    source = copy(image, image.isInfinite() ? fromRect : image.extent().intersected(fromRect));
    if (source.isNull()) return false;
  }
  const bool drawn = copyKernel()->renderInto(viewport, fromRect.topLeft(), {source});
  if (!previous.isEmpty()) context->setViewport(previous);
  return drawn;
}

bool ImageContext::render(const Image& image, void* bitmap, int rowBytes, const QRectF& bounds,
                          BitmapFormat format, ColorSpace) {
  if (!bitmap || image.isNull()) return false;
  const QRect pixels = Image::pixelBounds(bounds);
  if (pixels.isEmpty() || rowBytes < pixels.width() * 4) return false;
  const Image rendered = copy(image, QRectF(pixels));
  if (rendered.isNull()) return false;
  gl::TextureHandle texture = rendered.texture();
  texture.setFlipped(false);  // rows bottom up
  const QImage rows = gl::TextureReader::read(texture);
  if (rows.isNull()) return false;
  auto* out = static_cast<uchar*>(bitmap);
  for (int y = 0; y < rows.height(); ++y) {
    const uchar* in = rows.constScanLine(y);
    uchar* line = out + std::size_t(y) * std::size_t(rowBytes);
    for (int x = 0; x < rows.width(); ++x) {
      const uchar* p = in + 4 * x;
      uchar* q = line + 4 * x;
      switch (format) {
        case BitmapFormat::RGBA8:
          std::memcpy(q, p, 4);
          break;
        case BitmapFormat::ARGB8:
          q[0] = p[3], q[1] = p[0], q[2] = p[1], q[3] = p[2];
          break;
        case BitmapFormat::BGRA8:
          q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = p[3];
          break;
      }
    }
  }
  return true;
}

}  // namespace image
