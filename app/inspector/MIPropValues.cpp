#include "app/inspector/MIPropValues.h"

#include "framework/media/MovieProps.h"
#include "platform/foundation/VariantNumbers.h"

#include <QSize>

#include <cmath>

namespace P = MovieProps;

namespace MIProps {

namespace {

bool isNumber(const QVariant& value) { return VariantNumbers::isNumber(value, true); }

}  // namespace

std::optional<double> number(const QVariantMap& props, const QString& key) {
  const QVariant value = props.value(key);
  if (!isNumber(value)) return std::nullopt;
  const double number = value.toDouble();
  if (!std::isfinite(number)) return std::nullopt;
  return number;
}

int flag(const QVariantMap& props, const QString& key) {
  const auto value = number(props, key);
  return value ? int(*value) : 0;
}

bool boolValue(const QVariantMap& props, const QString& key) { return flag(props, key) != 0; }

std::optional<QVariantMap> map(const QVariantMap& props, const QString& key) {
  const QVariant value = props.value(key);
  if (value.typeId() != QMetaType::QVariantMap) return std::nullopt;
  return value.toMap();
}

QSizeF size(const QVariantMap& props, const QString& key) {
  const QVariant value = props.value(key);
  if (value.typeId() == QMetaType::QSizeF) return value.toSizeF();
  if (value.typeId() == QMetaType::QSize) return QSizeF(value.toSize());
  if (value.typeId() == QMetaType::QVariantMap) {
    const QVariantMap m = value.toMap();
    return {m.value(QStringLiteral("width")).toDouble(),
            m.value(QStringLiteral("height")).toDouble()};
  }
  return {};
}

bool validate(const QVariantMap& props, QString* reason) {
  auto refuse = [reason](const QString& key, const char* why) {
    if (reason) *reason = QStringLiteral("\"%1\" %2").arg(key, QString::fromLatin1(why));
    return false;
  };
  static const QStringList numbers{P::kUseMovieTime,
                                   P::kStartTime,
                                   P::kUseMovieSpeed,
                                   P::kSpeed,
                                   P::kUseMovieVolume,
                                   P::kVolume,
                                   P::kUseMovieLoopMode,
                                   P::kLoopMode,
                                   P::kDoMoviePreroll,
                                   P::kRamload,
                                   P::kRamloadAll,
                                   P::kBpmSyncOnOff,
                                   P::kBeatsPerMinute,
                                   P::kAllowLiveUpdating,
                                   P::kOriginalFrameRate,
                                   QStringLiteral("useCustomResForQtz"),
                                   QStringLiteral("useStyle"),
                                   QStringLiteral("cacheImage"),
                                   QStringLiteral("useCustomResForURL")};
  static const QStringList nonNegative{P::kDurationInMeasures,      P::kRamloadDurationInFrames,
                                       QStringLiteral("qtzHorRes"), QStringLiteral("qtzVertRes"),
                                       QStringLiteral("urlHorRes"), QStringLiteral("urlVertRes")};
  static const QStringList snapshots{P::kTimeSlider, P::kSpeedSlider, P::kVolumeSlider};
  static const QStringList ranges{P::kActive, P::kOriginalActive, P::kRamloadRange};
  for (const QString& key : numbers)
    if (props.contains(key) && !number(props, key)) return refuse(key, "is not a finite number");
  for (const QString& key : nonNegative) {
    if (!props.contains(key)) continue;
    const auto value = number(props, key);
    if (!value) return refuse(key, "is not a finite number");
    if (*value < 0) return refuse(key, "is negative");
  }
  for (const QString& key : snapshots)
    if (props.contains(key) && !map(props, key)) return refuse(key, "is not a slider's settings");
  for (const QString& key : ranges) {
    if (!props.contains(key)) continue;
    if (!P::isRange(props.value(key))) return refuse(key, "is not a time range");
    const QKTimeRange range = P::range(props.value(key));
    if (range.duration.value < 0 || range.start.value < 0) return refuse(key, "is negative");
  }
  const QString style = QStringLiteral("styleName");
  if (props.contains(style) && props.value(style).typeId() != QMetaType::QString)
    return refuse(style, "is not a name");
  return true;
}

}  // namespace MIProps
