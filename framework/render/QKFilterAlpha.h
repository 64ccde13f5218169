#pragma once

#include "platform/image/Filter.h"

namespace image {
class FilterRegistry;
}

// "QKFilterAlpha": the image ("inputImage") with its opacity multiplied by
// "alphaNumber" (0 to 1; colours are kept). The wet/dry mixer fades its two
// images with it in filter mode.
class QKFilterAlpha : public image::Filter {
 public:
  static const QString kName;         // "QKFilterAlpha"
  static const QString kAlphaNumber;  // "alphaNumber"

  explicit QKFilterAlpha(const QString& name);
  image::Image outputImage() override;

  // Registers the filter with the shared registry, once per process.
  static void registerFilter();

 private:
  static void registerWith(image::FilterRegistry& registry);
};
