#pragma once

#include "platform/movie/QKTime.h"

#include <QVariantMap>

// Movie times and time ranges as dictionaries, as movie files and their warp
// markers store them:
//   time:       "timeValue" (64-bit), "timeScale" (32-bit), "flags" (32-bit)
//   time range: "timeDict" (the start), "durationDict" (the duration)
namespace ValueQTKitAdditions {

QVariantMap QTTimeAsDict(const QKTime& time);
QVariantMap QTTimeRangeAsDict(const QKTimeRange& range);
// Missing or unreadable keys read as 0.
QKTime QTTimeValueFromDict(const QVariantMap& dict);
QKTimeRange QTTimeRangeValueFromDict(const QVariantMap& dict);

// Does nothing; kept for callers of the old interface.
inline void testMethod() {}

}  // namespace ValueQTKitAdditions
