#include "platform/image/GaussianBlurFilter.h"

#include "platform/image/FilterKeys.h"
#include "platform/image/Kernel.h"

#include <cmath>

namespace image {

GaussianBlurFilter::GaussianBlurFilter(const QString& name)
    : Filter(name, {FilterKeys::kInputImage, QStringLiteral("inputRadius")}) {}

GaussianBlurFilter::Taps GaussianBlurFilter::tapsFor(double radius) {
  Taps taps;
  const double reach = std::ceil(3.0 * radius);
  taps.spacing = float(std::max(1.0, std::ceil(reach / kMaxTaps)));
  const int count = int(reach / taps.spacing);
  double sum = 0;
  for (int k = 0; k <= count; ++k) {
    const double x = k * taps.spacing;
    const double w = std::exp(-(x * x) / (2.0 * radius * radius));
    taps.weights.push_back(float(w));
    sum += k == 0 ? w : 2 * w;
  }
  for (float& w : taps.weights) w = float(w / sum);
  return taps;
}

Image GaussianBlurFilter::outputImage() {
  const Image image = imageInput(FilterKeys::kInputImage);
  if (image.isNull()) return {};
  const double radius = number(QStringLiteral("inputRadius"), 10.0);
  if (!(radius > 0.0)) return image;
  std::shared_ptr<Kernel> kernel = Kernel::named(name());
  if (!kernel) return {};
  const Taps taps = tapsFor(std::min(radius, 2000.0));
  const float count = float(taps.weights.size() - 1);
  const Kernel::Output output =
      image.isInfinite() ? Kernel::Output{image.extent(), image.region(), EdgeMode::Clamp}
                         : Kernel::Output{image.extent(), image.extent(), EdgeMode::Transparent};
  const Image across =
      kernel->apply(output, {image, QVector2D(taps.spacing, 0), taps.weights, count});
  if (across.isNull()) return {};
  return kernel->apply(output, {across, QVector2D(0, taps.spacing), taps.weights, count});
}

}  // namespace image
