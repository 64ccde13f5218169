#pragma once

#include "framework/behaviors/Smooth.h"

// Smooth on a circle where 1 meets 0 (hue, angle): the value eases the
// short way round, across the seam when that is shorter or as short.
class SmoothWrap : public Smooth {
 public:
  explicit SmoothWrap(const QString& name) : Smooth(name) {}
  QString className() const override { return QStringLiteral("SmoothWrap"); }

 protected:
  float ease(float v, float last, float factor) const override;
};
