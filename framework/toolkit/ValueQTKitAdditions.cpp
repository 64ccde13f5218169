#include "framework/toolkit/ValueQTKitAdditions.h"

namespace {
const QString kTimeValueKey = QStringLiteral("timeValue");
const QString kTimeScaleKey = QStringLiteral("timeScale");
const QString kFlagsKey = QStringLiteral("flags");
const QString kStartKey = QStringLiteral("timeDict");
const QString kDurationKey = QStringLiteral("durationDict");

template <typename Integer>
Integer integerOf(const QVariantMap& dict, const QString& key) {
  bool ok = false;
  const qlonglong value = dict.value(key).toLongLong(&ok);
  return ok ? static_cast<Integer>(value) : Integer(0);
}
}  // namespace

namespace ValueQTKitAdditions {

QVariantMap QTTimeAsDict(const QKTime& time) {
  return {{kTimeValueKey, qint64(time.value)},
          {kTimeScaleKey, qint32(time.scale)},
          {kFlagsKey, qint32(time.flags)}};
}

QVariantMap QTTimeRangeAsDict(const QKTimeRange& range) {
  return {{kStartKey, QTTimeAsDict(range.start)}, {kDurationKey, QTTimeAsDict(range.duration)}};
}

QKTime QTTimeValueFromDict(const QVariantMap& dict) {
  return {integerOf<int64_t>(dict, kTimeValueKey), integerOf<int32_t>(dict, kTimeScaleKey),
          integerOf<int32_t>(dict, kFlagsKey)};
}

QKTimeRange QTTimeRangeValueFromDict(const QVariantMap& dict) {
  return {QTTimeValueFromDict(dict.value(kStartKey).toMap()),
          QTTimeValueFromDict(dict.value(kDurationKey).toMap())};
}

}  // namespace ValueQTKitAdditions
