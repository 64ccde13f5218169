#pragma once

#include "platform/movie/QKTime.h"

#include <QVariantMap>

// A pin of a time-warped movie: the moment `originalTime` of the movie as
// made plays at `warpTime`; `beatPosition` is where it belongs on the beat
// grid, as a fraction of the movie's original duration. Times are in the
// scale of the movie's original duration. Main-thread object.
class QKWarpMarker {
 public:
  static const QString kOriginalTimeKey;  // "originalTime"
  static const QString kWarpTimeKey;      // "warpTime"
  static const QString kBeatPositionKey;  // "beatPosition"

  QKWarpMarker() = default;
  QKWarpMarker(const QKTime& originalTime, float beatPosition)
      : originalTime_(originalTime), beatPosition_(beatPosition) {}

  QKTime originalTime() const { return originalTime_; }
  void setOriginalTime(const QKTime& time) { originalTime_ = time; }
  QKTime warpTime() const { return warpTime_; }
  void setWarpTime(const QKTime& time) { warpTime_ = time; }
  float beatPosition() const { return beatPosition_; }
  void setBeatPosition(float position) { beatPosition_ = position; }

  QVariantMap returnSnapshot() const;
  // Missing times read as zero, a missing beat position as 0.0.
  void loadSnapshot(const QVariantMap& snapshot);

 private:
  QKTime originalTime_;
  QKTime warpTime_;
  float beatPosition_ = 0.0f;
};
