#pragma once

#include "app/effects/LayerFXObject.h"

// Stands in for an effect that could not be made (a filter not registered,
// a composition not found): it passes the image unchanged and writes back
// the snapshot it was restored from, so saving the project keeps it.
class MissingFXObject : public LayerFXObject {
 public:
  MissingFXObject(const QString& filterName, QSizeF renderSize);

  bool isMissing() const override { return true; }
  QString className() const override { return QStringLiteral("MissingFXObject"); }
  void processPassedPtr(void*) override {}
  std::optional<QVariantMap> createSnapshot() const override;
  void loadSnapshot(const QVariantMap& snapshot) override;

 private:
  QVariantMap saved_;
};
