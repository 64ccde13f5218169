#pragma once

#include "platform/image/Filter.h"

#include <vector>

namespace image {

// "CIGaussianBlur": a Gaussian blur whose standard deviation is
// "inputRadius", in two passes. The result keeps the image's extent, so a
// blurred layer lines up with the unblurred one; the image fades out at
// its edges (it is transparent beyond them).
class GaussianBlurFilter : public Filter {
 public:
  // Taps on each side of the centre at most; wider blurs space their taps.
  static constexpr int kMaxTaps = 63;

  explicit GaussianBlurFilter(const QString& name);
  Image outputImage() override;

  struct Taps {
    float spacing = 1;
    std::vector<float> weights;  // centre first; each other one counts twice
  };
  static Taps tapsFor(double radius);
};

}  // namespace image
