#include "framework/render/QKFilterAlpha.h"

#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/Kernel.h"

#include <mutex>

using namespace FilterKeys;

const QString QKFilterAlpha::kName = QStringLiteral("QKFilterAlpha");
const QString QKFilterAlpha::kAlphaNumber = QStringLiteral("alphaNumber");

QKFilterAlpha::QKFilterAlpha(const QString& name) : Filter(name, {kInputImage, kAlphaNumber}) {}

image::Image QKFilterAlpha::outputImage() {
  const image::Image image = imageInput(kInputImage);
  if (image.isNull()) return {};
  std::shared_ptr<image::Kernel> kernel = image::Kernel::named(name());
  if (!kernel) return {};
  const image::Kernel::Output output{
      image.extent(), image.isInfinite() ? image.region() : image.extent(), image.edgeMode()};
  return kernel->apply(output, {image, float(number(kAlphaNumber, 1.0))});
}

void QKFilterAlpha::registerFilter() {
  static std::once_flag once;
  std::call_once(once, [] { registerWith(image::FilterRegistry::shared()); });
}

void QKFilterAlpha::registerWith(image::FilterRegistry& target) {
  const QVariantMap alpha{{kClass, kClassNumber},
                          {kType, kTypeScalar},
                          {kDisplayName, QStringLiteral("Alpha")},
                          {kMin, 0.0},
                          {kMax, 1.0},
                          {kSliderMin, 0.0},
                          {kSliderMax, 1.0},
                          {kDefault, 1.0},
                          {kIdentity, 1.0}};
  target.registerFilterName(
      kName, [](const QString& name) { return std::make_shared<QKFilterAlpha>(name); },
      {{kFilterDisplayName, QStringLiteral("Alpha")},
       {kDescription, QStringLiteral("Multiplies the image's opacity.")},
       {kFilterCategories, QStringList{kCategoryColorAdjustment}},
       {kInputImage,
        QVariantMap{
            {kClass, kClassImage}, {kType, kTypeImage}, {kDisplayName, QStringLiteral("Image")}}},
       {kAlphaNumber, alpha}});
}
