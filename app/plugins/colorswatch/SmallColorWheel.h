#pragma once

#include "app/plugins/colorswatch/QKColorWheel.h"

// The colour wheel with a smaller disc picture.
class SmallColorWheel : public QKColorWheel {
 public:
  using QKColorWheel::QKColorWheel;

 protected:
  int backgroundImageSize() const override { return 64; }
};
