#pragma once

#include "framework/behaviors/Behavior.h"

class Crop : public Behavior {
 public:
  explicit Crop(const QString& name) : Behavior(name, name) {}
  QString className() const override { return QStringLiteral("Crop"); }
  void processPassedPtr(void* passed) override;
};
