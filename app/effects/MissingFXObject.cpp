#include "app/effects/MissingFXObject.h"

#include "app/effects/LayerFXChain.h"

#include <QFileInfo>

MissingFXObject::MissingFXObject(const QString& filterName, QSizeF renderSize)
    : LayerFXObject(
          filterName,
          QStringLiteral("%1 (missing)")
              .arg(LayerFXChain::isCompositionName(filterName) ? QFileInfo(filterName).fileName()
                                                               : filterName),
          renderSize) {}

std::optional<QVariantMap> MissingFXObject::createSnapshot() const {
  QVariantMap snapshot = saved_;
  snapshot.remove(QStringLiteral("fxNameString"));
  snapshot.remove(QStringLiteral("frameHeight"));
  return snapshot;
}

void MissingFXObject::loadSnapshot(const QVariantMap& snapshot) { saved_ = snapshot; }
