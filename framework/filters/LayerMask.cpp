#include "framework/filters/LayerMask.h"

#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"

#include <cmath>

using namespace FilterKeys;

const QString LayerMask::kName = QStringLiteral("LayerMask");

namespace {
const QString kMaskImage = QStringLiteral("maskImage");
const QString kContrast = QStringLiteral("contrast");
const QString kOffset = QStringLiteral("offset");
}  // namespace

LayerMask::LayerMask(const QString& name)
    : CustomFilter(name, {kInputImage, kMaskImage, kContrast, kOffset}, QString()),
      maskTransFilter_(
          image::FilterRegistry::shared().filterWithName(QStringLiteral("CIAffineTransform"))),
      alphaFilter_(image::FilterRegistry::shared().filterWithName(QStringLiteral("AlphaMask"))) {
  Filter::setValue(1.0, kContrast);
  Filter::setValue(0.0, kOffset);
}

std::optional<QTransform> LayerMask::maskTransform(const QRectF& input, const QRectF& mask) {
  if (!(mask.width() > 0) || !(mask.height() > 0) || !(input.width() > 0) ||
      !(input.height() > 0) || image::Image::isInfinite(mask) || image::Image::isInfinite(input))
    return std::nullopt;
  return QTransform::fromTranslate(-mask.x(), -mask.y()) *
         QTransform::fromScale(input.width() / mask.width(), input.height() / mask.height()) *
         QTransform::fromTranslate(input.x(), input.y());
}

image::Image LayerMask::outputImage() {
  const image::Image source = imageInput(kInputImage);
  if (source.isNull()) return {};
  const image::Image mask = imageInput(kMaskImage);
  if (mask.isNull() || !maskTransFilter_ || !alphaFilter_) return source;
  const std::optional<QTransform> fit = maskTransform(source.extent(), mask.extent());
  if (!fit) return source;
  maskTransFilter_->setValue(QVariant::fromValue(mask), kInputImage);
  maskTransFilter_->setValue(QVariant::fromValue(*fit), QStringLiteral("inputTransform"));
  const QVariant fitted = maskTransFilter_->value(kOutputImage);
  maskTransFilter_->setValue(QVariant(), kInputImage);
  alphaFilter_->setValue(input(kContrast), kContrast);
  alphaFilter_->setValue(input(kOffset), kOffset);
  alphaFilter_->setValue(fitted, kMaskImage);
  alphaFilter_->setValue(QVariant::fromValue(source), kInputImage);
  const image::Image result = alphaFilter_->value(kOutputImage).value<image::Image>();
  return result.isNull() ? source : result;
}
