#include "tests/support/ImageFixture.h"

#include "platform/image/ImageContext.h"

using image::Image;
using image::ImageContext;

Image ImageFixture::solid(const QColor& colour, const QRectF& extent) {
  QImage filled(extent.size().toSize(), QImage::Format_RGBA8888);
  filled.fill(colour);
  return picture(filled).byApplyingTransform(QTransform::fromTranslate(extent.x(), extent.y()));
}

Image ImageFixture::picture(const QImage& picture) {
  return Image::fromTexture(imageTexture(picture));
}

QImage ImageFixture::pixels(const Image& image, const QRectF& bounds) {
  QImage out(bounds.size().toSize(), QImage::Format_RGBA8888);
  out.fill(Qt::magenta);
  ImageContext context;
  if (!context.render(image, out.bits(), int(out.bytesPerLine()), bounds,
                      ImageContext::BitmapFormat::RGBA8))
    return {};
  return out;
}

QColor ImageFixture::at(const Image& image, double x, double y) {
  const QImage one = pixels(image, QRectF(x, y, 1, 1));
  return one.isNull() ? QColor() : one.pixelColor(0, 0);
}
