#include "platform/image/CompositingFilter.h"

#include "platform/image/FilterKeys.h"
#include "platform/image/Kernel.h"

namespace image {

CompositingFilter::CompositingFilter(const QString& name, Extent extent)
    : Filter(name, {FilterKeys::kInputImage, FilterKeys::kInputBackgroundImage}), extent_(extent) {}

QRectF CompositingFilter::resultExtent(Extent rule, const Image& image, const Image& background) {
  switch (rule) {
    case Extent::Union:
      if (image.isInfinite() || background.isInfinite()) return Image::infiniteExtent();
      return image.extent().united(background.extent());
    case Extent::Background:
      return background.extent();
    case Extent::Intersection:
      return image.extent().intersected(background.extent());
    case Extent::Input:
      return image.extent();
  }
  return {};
}

Image CompositingFilter::outputImage() {
  const Image image = imageInput(FilterKeys::kInputImage);
  const Image background = imageInput(FilterKeys::kInputBackgroundImage);
  if (image.isNull() || background.isNull()) return {};
  const QRectF extent = resultExtent(extent_, image, background);
  if (extent.isEmpty()) return {};
  std::shared_ptr<Kernel> kernel = Kernel::named(name());
  if (!kernel) return {};
  if (!Image::isInfinite(extent)) return kernel->apply(extent, {image, background});
  // Beyond the part that varies, an infinite result is what its edge shows.
  QRectF varying;
  for (const Image* input : {&image, &background})
    varying = varying.united(input->isInfinite() ? input->region() : input->extent());
  return kernel->apply(Kernel::Output{extent, varying.adjusted(-1, -1, 1, 1), EdgeMode::Clamp},
                       {image, background});
}

}  // namespace image
