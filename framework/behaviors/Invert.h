#pragma once

#include "framework/behaviors/Behavior.h"

class Invert : public Behavior {
 public:
  explicit Invert(const QString& name) : Behavior(name, name) {}
  QString className() const override { return QStringLiteral("Invert"); }
  void processPassedPtr(void* passed) override;
};
