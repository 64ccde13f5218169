#pragma once

#include "platform/image/Filter.h"

#include <QTransform>

namespace image {

// "CIAffineTransform": the image under "inputTransform" (a QTransform, or a
// list of six numbers a, b, c, d, tx, ty with x' = a·x + c·y + tx and
// y' = b·x + d·y + ty). Moves and positive scales only place the texture
// anew; rotations, shears and mirrors render, resampling between pixels.
class AffineTransformFilter : public Filter {
 public:
  explicit AffineTransformFilter(const QString& name);
  Image outputImage() override;

  // The transform of an input value; identity for anything else.
  static QTransform transformFrom(const QVariant& value);
  // Renders `image` under `transform` (render thread).
  static Image render(const Image& image, const QTransform& transform);
};

}  // namespace image
