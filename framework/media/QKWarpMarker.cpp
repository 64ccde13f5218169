#include "framework/media/QKWarpMarker.h"

#include "framework/toolkit/ValueQTKitAdditions.h"

#include <cmath>

const QString QKWarpMarker::kOriginalTimeKey = QStringLiteral("originalTime");
const QString QKWarpMarker::kWarpTimeKey = QStringLiteral("warpTime");
const QString QKWarpMarker::kBeatPositionKey = QStringLiteral("beatPosition");

QVariantMap QKWarpMarker::returnSnapshot() const {
  return {{kOriginalTimeKey, ValueQTKitAdditions::QTTimeAsDict(originalTime_)},
          {kWarpTimeKey, ValueQTKitAdditions::QTTimeAsDict(warpTime_)},
          {kBeatPositionKey, double(beatPosition_)}};
}

void QKWarpMarker::loadSnapshot(const QVariantMap& snapshot) {
  originalTime_ =
      ValueQTKitAdditions::QTTimeValueFromDict(snapshot.value(kOriginalTimeKey).toMap());
  warpTime_ = ValueQTKitAdditions::QTTimeValueFromDict(snapshot.value(kWarpTimeKey).toMap());
  bool ok = false;
  const float position = snapshot.value(kBeatPositionKey).toFloat(&ok);
  beatPosition_ = ok && std::isfinite(position) ? position : 0.0f;
}
