#pragma once

#include "framework/behaviors/Multiply.h"

// Multiply on the slider's ranged value (its output units): the factor
// times the ranged value becomes the new ranged value. Made with Multiply's
// panel.
class QKRangedMultiplyBehavior : public Multiply {
 public:
  explicit QKRangedMultiplyBehavior(const QString& name);
  QString className() const override { return QStringLiteral("QKRangedMultiplyBehavior"); }
  void processPassedPtr(void* passed) override;
};
