#pragma once

#include "platform/movie/QKTime.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <vector>

class MovieDemuxer;
struct AVStream;
struct VideoFrameTimes;

// One stream of a movie file, as the movie layer's callers ask about tracks.
struct MovieTrack {
  int index = -1;
  QString mediaType;  // "vide", "soun", "text", "tmcd", "data"
  QString codec;
  bool visual = false;
  bool audible = false;
  int64_t sampleCount = 0;
  int32_t mediaTimeScale = 0;
  int64_t mediaDuration = 0;  // in mediaTimeScale units
  double frameRate = 0.0;  // visual tracks
  QSize size;  // visual tracks
};

struct MovieChapter {
  QKTime startTime;
  QString title;
};

// The facts of an opened movie, worked out once at open. Movie time runs in
// `timeScale` units chosen so that one frame lasts a whole number of units
// (`frameDuration`); frame i is shown from i × frameDuration on. A clip
// whose rate varies keeps each frame's own start (`frameTimes`) instead;
// `frameDuration` is then the average frame's, for steps of the clock.
struct MovieInfo {
  int32_t timeScale = 600;
  int64_t duration = 0;  // in timeScale units
  int64_t frameDuration = 0;  // in timeScale units; 0 without pictures
  int64_t frameCount = 0;
  double frameRate = 0.0;
  QSize naturalSize;  // as shown: pixel aspect and rotation applied
  // Quarter turns clockwise the decoded pictures are shown turned by (the
  // track's display matrix: phone footage is often stored sideways).
  int rotation = 0;
  bool hasVideo = false;
  bool hasAudio = false;
  bool frameCountFromContainer = false;  // false: worked out from duration and rate
  // Variable rate: when each frame starts (timeScale units, from 0) and
  // where the last ends; empty at a constant rate.
  std::vector<int64_t> frameTimes;
  int64_t frameTimesEnd = 0;
  // Presentation time stamps of the picture stream.
  int64_t videoStartPts = 0;
  int videoTimeBaseNum = 1;
  int videoTimeBaseDen = 1;
  std::vector<MovieTrack> tracks;
  std::vector<MovieChapter> chapters;

  // May read the picture stream's frame times (see VideoFrameTimes): the
  // demuxer's read position moves.
  static MovieInfo from(MovieDemuxer& demuxer);

  QKTime time(int64_t value) const { return QKTime{value, timeScale, 0}; }
  // The frame shown at `value` (clamped to the frames there are).
  int64_t frameIndexAt(int64_t value) const;
  int64_t frameStart(int64_t index) const;
  // The frame a decoded picture with this time stamp is.
  int64_t frameIndexForPts(int64_t pts) const;
  int64_t ptsForFrameIndex(int64_t index) const;
  int64_t lastFrameIndex() const { return frameCount > 0 ? frameCount - 1 : 0; }

 private:
  void takeVideo(MovieDemuxer& demuxer);
  void takeFrameTimes(const VideoFrameTimes& times, const AVStream* st);
  static bool rateMayVary(const AVStream* st);
};
