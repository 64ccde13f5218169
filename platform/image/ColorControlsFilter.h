#pragma once

#include "platform/image/Filter.h"

namespace image {

// "CIColorControls": saturation (1 leaves colours, 0 makes grey),
// brightness (added) and contrast (around mid grey), in that order, on the
// straight colour; alpha is kept.
class ColorControlsFilter : public Filter {
 public:
  explicit ColorControlsFilter(const QString& name);
  Image outputImage() override;
};

}  // namespace image
