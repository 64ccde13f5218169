#include "platform/image/ColorControlsFilter.h"

#include "platform/image/FilterKeys.h"
#include "platform/image/Kernel.h"

namespace image {

ColorControlsFilter::ColorControlsFilter(const QString& name)
    : Filter(name, {FilterKeys::kInputImage, QStringLiteral("inputSaturation"),
                    QStringLiteral("inputBrightness"), QStringLiteral("inputContrast")}) {}

Image ColorControlsFilter::outputImage() {
  const Image image = imageInput(FilterKeys::kInputImage);
  if (image.isNull()) return {};
  std::shared_ptr<Kernel> kernel = Kernel::named(name());
  if (!kernel) return {};
  const float saturation = float(number(QStringLiteral("inputSaturation"), 1.0));
  const float brightness = float(number(QStringLiteral("inputBrightness"), 0.0));
  const float contrast = float(number(QStringLiteral("inputContrast"), 1.0));
  const Kernel::Output output{image.extent(), image.isInfinite() ? image.region() : image.extent(),
                              image.edgeMode()};
  return kernel->apply(output, {image, saturation, brightness, contrast});
}

}  // namespace image
