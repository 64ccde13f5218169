#include "platform/image/AffineTransformFilter.h"

#include "platform/image/FilterKeys.h"
#include "platform/image/Kernel.h"

namespace image {

AffineTransformFilter::AffineTransformFilter(const QString& name)
    : Filter(name, {FilterKeys::kInputImage, QStringLiteral("inputTransform")}) {}

QTransform AffineTransformFilter::transformFrom(const QVariant& value) {
  if (value.canConvert<QTransform>() && value.typeId() == QMetaType::QTransform)
    return value.value<QTransform>();
  const QVariantList list = value.toList();
  if (list.size() != 6) return {};
  double m[6];
  for (int i = 0; i < 6; ++i) {
    bool ok = false;
    m[i] = list[i].toDouble(&ok);
    if (!ok) return {};
  }
  return QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
}

Image AffineTransformFilter::outputImage() {
  const Image image = imageInput(FilterKeys::kInputImage);
  return image.byApplyingTransform(transformFrom(input(QStringLiteral("inputTransform"))));
}

Image AffineTransformFilter::render(const Image& image, const QTransform& transform) {
  bool invertible = false;
  const QTransform inverse = transform.inverted(&invertible);
  if (image.isNull() || !invertible) return {};
  std::shared_ptr<Kernel> kernel = Kernel::named(QStringLiteral("CIAffineTransform"));
  if (!kernel) return {};
  const QVector4D linear(float(inverse.m11()), float(inverse.m21()), float(inverse.m12()),
                         float(inverse.m22()));
  const QVector2D offset(float(inverse.dx()), float(inverse.dy()));
  if (image.isInfinite()) {
    const QRectF varying = transform.mapRect(image.region()).adjusted(-1, -1, 1, 1);
    return kernel->apply(Kernel::Output{image.extent(), varying, EdgeMode::Clamp},
                         {image, linear, offset});
  }
  return kernel->apply(transform.mapRect(image.extent()), {image, linear, offset});
}

}  // namespace image
