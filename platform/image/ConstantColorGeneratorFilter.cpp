#include "platform/image/ConstantColorGeneratorFilter.h"

#include "platform/image/ImageContext.h"

namespace image {

ConstantColorGeneratorFilter::ConstantColorGeneratorFilter(const QString& name)
    : Filter(name, {QStringLiteral("inputColor")}) {}

QColor ConstantColorGeneratorFilter::colourFrom(const QVariant& value, const QColor& fallback) {
  if (value.typeId() == QMetaType::QColor) return value.value<QColor>();
  const QVariantList list = value.toList();
  if (list.size() != 3 && list.size() != 4) return fallback;
  double c[4] = {0, 0, 0, 1};
  for (int i = 0; i < list.size(); ++i) {
    bool ok = false;
    c[i] = qBound(0.0, list[i].toDouble(&ok), 1.0);
    if (!ok) return fallback;
  }
  return QColor::fromRgbF(float(c[0]), float(c[1]), float(c[2]), float(c[3]));
}

Image ConstantColorGeneratorFilter::outputImage() {
  return ImageContext::constantColor(
      colourFrom(input(QStringLiteral("inputColor")), QColor(0, 0, 0, 255)));
}

}  // namespace image
