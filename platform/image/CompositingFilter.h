#pragma once

#include "platform/image/Filter.h"

namespace image {

// The compositing family: "inputImage" composited over (or blended with)
// "inputBackgroundImage" by the kernel named after the filter. Both images
// are needed; the result's extent follows the operation.
class CompositingFilter : public Filter {
 public:
  enum class Extent { Union, Background, Intersection, Input };

  CompositingFilter(const QString& name, Extent extent);
  Image outputImage() override;

  static QRectF resultExtent(Extent rule, const Image& image, const Image& background);

 private:
  Extent extent_;
};

}  // namespace image
