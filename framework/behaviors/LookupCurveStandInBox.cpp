#include "framework/behaviors/LookupCurveStandInBox.h"

QVariantMap LookupCurveStandInBox::createSnapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return loaded_;
}

void LookupCurveStandInBox::loadSnapshot(const QVariantMap& snapshot) {
  std::lock_guard<std::mutex> lock(mutex_);
  loaded_ = snapshot;
}
