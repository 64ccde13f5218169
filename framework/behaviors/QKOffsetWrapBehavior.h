#pragma once

#include "framework/behaviors/QKOffsetBehavior.h"

// Offset that wraps into [0, 1] instead of clamping (exactly 1 stays 1).
class QKOffsetWrapBehavior : public QKOffsetBehavior {
 public:
  explicit QKOffsetWrapBehavior(const QString& name) : QKOffsetBehavior(name) {}
  QString className() const override { return QStringLiteral("QKOffsetWrapBehavior"); }
  void processPassedPtr(void* passed) override;
};
