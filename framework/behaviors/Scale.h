#pragma once

#include "framework/behaviors/Behavior.h"

class Scale : public Behavior {
 public:
  explicit Scale(const QString& name) : Behavior(name, name) {}
  QString className() const override { return QStringLiteral("Scale"); }
  void processPassedPtr(void* passed) override;
};
