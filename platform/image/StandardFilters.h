#pragma once

namespace image {

class FilterRegistry;

// The engine's own filters under their public names: the compositing
// family that comp modes list, "CIAffineTransform", "CIGaussianBlur",
// "CIColorControls" and "CIConstantColorGenerator".
class StandardFilters {
 public:
  static void registerAll(FilterRegistry& registry);
};

}  // namespace image
