#pragma once

#include "framework/behaviors/Behavior.h"

#include <memory>

// Snaps the value to the nearest mark within the proximity, or to 0 or 1
// on a slider without marks.
class Snap : public Behavior {
 public:
  explicit Snap(const QString& name) : Behavior(name, name) {}
  QString className() const override { return QStringLiteral("Snap"); }
  void processPassedPtr(void* passed) override;

  // The proximity slider's value, read at each use (0 without a panel).
  float proximity() const;

 protected:
  void wakeUp() override;

 private:
  std::shared_ptr<QKSliderCell> proximity_;
};
