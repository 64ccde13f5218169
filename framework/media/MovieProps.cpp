#include "framework/media/MovieProps.h"

#include "framework/toolkit/ValueQTKitAdditions.h"

namespace MovieProps {

const QStringList& storedKeys() {
  static const QStringList keys{kAllowLiveUpdating,
                                kDuration,
                                kOriginalDuration,
                                kBeatsPerMinute,
                                kDurationInMeasures,
                                kActive,
                                kOriginalActive,
                                kInstancePosterTime,
                                kOriginalFrameCount,
                                kOriginalFrameRate,
                                kRamloadRange,
                                kRamloadDurationInFrames,
                                kRamload,
                                kRamloadAll,
                                kBpmSyncOnOff,
                                kUseMovieTime,
                                kStartTime,
                                kTimeSlider,
                                kUseMovieSpeed,
                                kSpeed,
                                kSpeedSlider,
                                kUseMovieVolume,
                                kVolume,
                                kVolumeSlider,
                                kUseMovieLoopMode,
                                kLoopMode,
                                kDoMoviePreroll};
  return keys;
}

QVariant fromTime(const QKTime& time) { return QVariant::fromValue(time); }

QVariant fromRange(const QKTimeRange& range) { return QVariant::fromValue(range); }

bool isTime(const QVariant& value) { return value.metaType() == QMetaType::fromType<QKTime>(); }

bool isRange(const QVariant& value) {
  return value.metaType() == QMetaType::fromType<QKTimeRange>();
}

QKTime time(const QVariant& value) {
  if (isTime(value)) return value.value<QKTime>();
  if (value.metaType() == QMetaType::fromType<QVariantMap>())
    return ValueQTKitAdditions::QTTimeValueFromDict(value.toMap());
  return {};
}

QKTimeRange range(const QVariant& value) {
  if (isRange(value)) return value.value<QKTimeRange>();
  if (value.metaType() == QMetaType::fromType<QVariantMap>())
    return ValueQTKitAdditions::QTTimeRangeValueFromDict(value.toMap());
  return {};
}

int intValue(const QVariantMap& props, const QString& key) {
  bool ok = false;
  const int value = props.value(key).toInt(&ok);
  return ok ? value : 0;
}

QVariantMap storedForm(const QVariantMap& props) {
  QVariantMap stored;
  for (const QString& key : storedKeys()) {
    const auto it = props.constFind(key);
    if (it == props.constEnd()) continue;
    if (isTime(*it))
      stored.insert(key, ValueQTKitAdditions::QTTimeAsDict(it->value<QKTime>()));
    else if (isRange(*it))
      stored.insert(key, ValueQTKitAdditions::QTTimeRangeAsDict(it->value<QKTimeRange>()));
    else
      stored.insert(key, *it);
  }
  return stored;
}

}  // namespace MovieProps
