#pragma once

#include "platform/image/Filter.h"

#include <QColor>

namespace image {

// "CIConstantColorGenerator": an infinite image of "inputColor" (a QColor,
// or a list of red, green, blue and alpha from 0 to 1).
class ConstantColorGeneratorFilter : public Filter {
 public:
  explicit ConstantColorGeneratorFilter(const QString& name);
  Image outputImage() override;

  static QColor colourFrom(const QVariant& value, const QColor& fallback);
};

}  // namespace image
