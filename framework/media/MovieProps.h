#pragma once

#include "platform/movie/QKTime.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

Q_DECLARE_METATYPE(QKTime)
Q_DECLARE_METATYPE(QKTimeRange)

// The stored properties of a movie file: their keys, and their two forms.
// In a file's properties, times and time ranges are QKTime and QKTimeRange
// values; in a snapshot they are time and range dictionaries.
namespace MovieProps {

inline const QString kDuration = QStringLiteral("duration");
inline const QString kOriginalDuration = QStringLiteral("originalDuration");
inline const QString kBpmSyncOnOff = QStringLiteral("bpmSyncOnOff");
inline const QString kBeatsPerMinute = QStringLiteral("beatsPerMinute");
inline const QString kDurationInMeasures = QStringLiteral("durationInMeasures");
inline const QString kActive = QStringLiteral("active");
inline const QString kOriginalActive = QStringLiteral("originalActive");
inline const QString kAllowLiveUpdating = QStringLiteral("allowLiveUpdating");
inline const QString kUseMovieTime = QStringLiteral("useMovieTime");
inline const QString kStartTime = QStringLiteral("startTime");
inline const QString kTimeSlider = QStringLiteral("timeSlider");
inline const QString kUseMovieVolume = QStringLiteral("useMovieVolume");
inline const QString kVolume = QStringLiteral("volume");
inline const QString kVolumeSlider = QStringLiteral("volumeSlider");
inline const QString kUseMovieSpeed = QStringLiteral("useMovieSpeed");
inline const QString kSpeed = QStringLiteral("speed");
inline const QString kSpeedSlider = QStringLiteral("speedSlider");
inline const QString kUseMovieLoopMode = QStringLiteral("useMovieLoopMode");
inline const QString kLoopMode = QStringLiteral("loopMode");
inline const QString kResolution = QStringLiteral("resolution");
inline const QString kOriginalFrameCount = QStringLiteral("originalFrameCount");
inline const QString kOriginalFrameRate = QStringLiteral("originalFrameRate");
inline const QString kDoMoviePreroll = QStringLiteral("doMoviePreroll");
inline const QString kRamloadDurationInFrames = QStringLiteral("ramloadDurationInFrames");
inline const QString kRamload = QStringLiteral("ramload");
inline const QString kRamloadAll = QStringLiteral("ramloadAll");
inline const QString kRamloadRange = QStringLiteral("ramloadRange");
inline const QString kInstancePosterTime = QStringLiteral("InstancePosterTime");

// The keys a snapshot stores, in the order they are written.
const QStringList& storedKeys();

QVariant fromTime(const QKTime& time);
QVariant fromRange(const QKTimeRange& range);
// A property as a time or a range: the value types, or their dictionaries;
// anything else reads as zero.
QKTime time(const QVariant& value);
QKTimeRange range(const QVariant& value);
bool isTime(const QVariant& value);
bool isRange(const QVariant& value);

// A property as an int: 0 when absent or not a number.
int intValue(const QVariantMap& props, const QString& key);

// The stored form of the properties: the stored keys that are present,
// times and ranges as dictionaries.
QVariantMap storedForm(const QVariantMap& props);

}  // namespace MovieProps
