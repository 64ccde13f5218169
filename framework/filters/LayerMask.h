#pragma once

#include "framework/filters/CustomFilter.h"

#include <QTransform>

#include <memory>
#include <optional>

// "LayerMask": "AlphaMask" with the mask fitted onto the input first: the
// mask's extent is moved to the origin, scaled to the input's size and moved
// to the input's origin (the mask's aspect ratio is not kept). No mask, or
// an empty one, leaves the input unchanged; no input gives no image.
class LayerMask : public CustomFilter {
 public:
  static const QString kName;  // "LayerMask"

  explicit LayerMask(const QString& name);
  image::Image outputImage() override;

  // The transform that fits `mask` onto `input`; none for an empty mask or
  // input.
  static std::optional<QTransform> maskTransform(const QRectF& input, const QRectF& mask);

 private:
  std::shared_ptr<image::Filter> maskTransFilter_;
  std::shared_ptr<image::Filter> alphaFilter_;
};
