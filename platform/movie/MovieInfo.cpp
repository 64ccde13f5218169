#include "platform/movie/MovieInfo.h"

#include "platform/movie/MovieDemuxer.h"
#include "platform/movie/VideoFrameTimes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

bool sane(AVRational r) { return r.num > 0 && r.den > 0 && av_q2d(r) >= 1.0 && av_q2d(r) <= 1000.0; }

// The stream's base rate when the average agrees with it (the average is off
// when a container leaves the last frame without a duration), else the
// average (variable rates), else 30.
AVRational pictureRate(const AVStream* st) {
  const AVRational base = st->r_frame_rate;
  const AVRational average = st->avg_frame_rate;
  if (sane(base) && (!sane(average) || std::abs(av_q2d(average) / av_q2d(base) - 1.0) < 0.05))
    return base;
  if (sane(average)) return average;
  return AVRational{30, 1};
}

QString mediaTypeOf(const AVStream* st) {
  switch (st->codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO:
      return QStringLiteral("vide");
    case AVMEDIA_TYPE_AUDIO:
      return QStringLiteral("soun");
    case AVMEDIA_TYPE_SUBTITLE:
      return QStringLiteral("text");
    default:
      break;
  }
  if (st->codecpar->codec_tag == MKTAG('t', 'm', 'c', 'd')) return QStringLiteral("tmcd");
  if (const AVDictionaryEntry* e = av_dict_get(st->metadata, "handler_name", nullptr, 0))
    if (QString::fromUtf8(e->value).contains(QStringLiteral("Time Code"), Qt::CaseInsensitive))
      return QStringLiteral("tmcd");
  return QStringLiteral("data");
}

// The pixel aspect: the codec's, else the container's, else square.
AVRational pixelAspect(const AVStream* st) {
  const AVRational codec = st->codecpar->sample_aspect_ratio;
  if (codec.num > 0 && codec.den > 0) return codec;
  const AVRational container = st->sample_aspect_ratio;
  if (container.num > 0 && container.den > 0) return container;
  return AVRational{1, 1};
}

// Quarter turns clockwise of the display matrix (flips are not followed).
int quarterTurns(const AVStream* st) {
  const uint8_t* matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
  if (!matrix) return 0;
  const double counterClockwise = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
  if (std::isnan(counterClockwise)) return 0;
  const long turns = std::lround(-counterClockwise / 90.0) % 4;
  return int(turns < 0 ? turns + 4 : turns);
}

QSize shownSize(const AVStream* st, int rotation) {
  int width = st->codecpar->width;
  const AVRational sar = pixelAspect(st);
  if (sar.num != sar.den) width = int(std::lround(double(width) * sar.num / sar.den));
  const QSize size(width, st->codecpar->height);
  return rotation % 2 ? size.transposed() : size;
}

int64_t durationIn(const AVStream* st, const AVFormatContext* fc, AVRational target) {
  if (st->duration > 0 && st->duration != AV_NOPTS_VALUE)
    return av_rescale_q(st->duration, st->time_base, target);
  if (fc && fc->duration > 0 && fc->duration != AV_NOPTS_VALUE)
    return av_rescale_q(fc->duration, AVRational{1, AV_TIME_BASE}, target);
  return 0;
}
}  // namespace

bool MovieInfo::rateMayVary(const AVStream* st) {
  const AVRational base = st->r_frame_rate;
  const AVRational average = st->avg_frame_rate;
  return sane(base) && sane(average) && std::abs(av_q2d(average) / av_q2d(base) - 1.0) >= 0.05;
}

void MovieInfo::takeFrameTimes(const VideoFrameTimes& times, const AVStream* st) {
  const AVRational tb{videoTimeBaseNum, videoTimeBaseDen};
  auto units = [&](int64_t pts) {
    return av_rescale_q_rnd(pts - videoStartPts, tb, AVRational{1, timeScale}, AV_ROUND_NEAR_INF);
  };
  if (times.starts.empty()) {
    if (times.end < 0) return;
    frameCount = std::max<int64_t>(1, (units(times.end) + frameDuration / 2) / frameDuration);
    return;
  }
  videoStartPts = times.starts.front();
  frameCount = int64_t(times.starts.size());
  frameCountFromContainer = true;
  bool constant = true;
  for (size_t i = 0; i < times.starts.size() && constant; ++i)
    constant = std::abs(units(times.starts[i]) - int64_t(i) * frameDuration) <= frameDuration / 4;
  if (constant) return;
  // Frames at their own times, in the stream's scale when it has one.
  if (tb.num == 1 && tb.den <= kInt32Max) timeScale = tb.den;
  for (const int64_t pts : times.starts) frameTimes.push_back(units(pts));
  const int64_t last = frameTimes.back();
  const int64_t end =
      times.end >= 0 ? units(times.end) : durationIn(st, nullptr, AVRational{1, timeScale});
  frameRate = end > 0 ? double(frameCount) * timeScale / double(end) : frameRate;
  frameDuration = std::max<int64_t>(1, std::llround(timeScale / std::max(frameRate, 1.0)));
  frameTimesEnd = std::max(end, last + 1);
}

void MovieInfo::takeVideo(MovieDemuxer& demuxer) {
  const AVFormatContext* fc = demuxer.context();
  const AVStream* st = fc->streams[demuxer.videoStream()];
  const AVRational rate = pictureRate(st);
  const AVRational tb = st->time_base;
  hasVideo = true;
  frameRate = av_q2d(rate);
  // A scale in which one frame is a whole number of units: the stream's own
  // when it allows that, else the frame rate's numerator.
  const int64_t unitsPerFrameNum = int64_t(tb.den) * rate.den;
  const int64_t unitsPerFrameDen = int64_t(tb.num) * rate.num;
  if (tb.num == 1 && tb.den <= kInt32Max && unitsPerFrameNum % unitsPerFrameDen == 0) {
    timeScale = tb.den;
    frameDuration = unitsPerFrameNum / unitsPerFrameDen;
  } else {
    timeScale = int32_t(rate.num);
    frameDuration = rate.den;
  }
  videoTimeBaseNum = tb.num;
  videoTimeBaseDen = tb.den;
  videoStartPts = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
  if (st->nb_frames > 0) {
    frameCount = st->nb_frames;
    frameCountFromContainer = true;
  } else {
    const int64_t units = durationIn(st, fc, AVRational{1, timeScale});
    frameCount = std::max<int64_t>(1, (units + frameDuration / 2) / frameDuration);
  }
  // Frames not counted by the container, a rate that varies, or pictures
  // without an end of their own (the container's may be the sound's): the
  // frames' own times decide.
  const bool noEnd = st->duration <= 0 || st->duration == AV_NOPTS_VALUE;
  if (st->nb_frames <= 0 || rateMayVary(st) || noEnd)
    takeFrameTimes(VideoFrameTimes::read(demuxer), st);
  duration = frameTimes.empty() ? frameCount * frameDuration : frameTimesEnd;
  rotation = quarterTurns(st);
  naturalSize = shownSize(st, rotation);
}

MovieInfo MovieInfo::from(MovieDemuxer& demuxer) {
  MovieInfo info;
  const AVFormatContext* fc = demuxer.context();
  if (demuxer.videoStream() >= 0) info.takeVideo(demuxer);
  if (demuxer.audioStream() >= 0) {
    const AVStream* st = fc->streams[demuxer.audioStream()];
    info.hasAudio = true;
    if (!info.hasVideo) info.timeScale = std::max(1, st->codecpar->sample_rate);
    info.duration = std::max(info.duration, durationIn(st, fc, AVRational{1, info.timeScale}));
  }
  for (unsigned i = 0; i < fc->nb_streams; ++i) {
    const AVStream* st = fc->streams[i];
    MovieTrack t;
    t.index = int(i);
    t.mediaType = mediaTypeOf(st);
    t.codec = QString::fromLatin1(avcodec_get_name(st->codecpar->codec_id));
    t.visual = st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    t.audible = st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
    t.mediaTimeScale = st->time_base.num == 1 ? st->time_base.den : info.timeScale;
    t.mediaDuration = durationIn(st, fc, AVRational{1, t.mediaTimeScale});
    t.sampleCount = st->nb_frames;
    if (int(i) == demuxer.videoStream()) {
      t.sampleCount = info.frameCount;
      t.frameRate = info.frameRate;
      t.size = info.naturalSize;
    } else if (t.visual) {
      t.frameRate = av_q2d(pictureRate(st));
      t.size = shownSize(st, quarterTurns(st));
    }
    info.tracks.push_back(t);
  }
  for (unsigned i = 0; i < fc->nb_chapters; ++i) {
    const AVChapter* ch = fc->chapters[i];
    MovieChapter c;
    c.startTime = info.time(av_rescale_q_rnd(ch->start, ch->time_base, AVRational{1, info.timeScale},
                                             AV_ROUND_DOWN));
    if (const AVDictionaryEntry* e = av_dict_get(ch->metadata, "title", nullptr, 0))
      c.title = QString::fromUtf8(e->value);
    info.chapters.push_back(c);
  }
  std::sort(info.chapters.begin(), info.chapters.end(),
            [](const MovieChapter& a, const MovieChapter& b) {
              return a.startTime.value < b.startTime.value;
            });
  return info;
}

int64_t MovieInfo::frameIndexAt(int64_t value) const {
  if (frameDuration <= 0 || frameCount <= 0) return 0;
  if (!frameTimes.empty()) {
    const auto after = std::upper_bound(frameTimes.begin(), frameTimes.end(), value);
    return std::max<int64_t>(0, int64_t(after - frameTimes.begin()) - 1);
  }
  const int64_t index = value >= 0 ? value / frameDuration : -1;
  return std::clamp<int64_t>(index, 0, frameCount - 1);
}

int64_t MovieInfo::frameStart(int64_t index) const {
  if (frameTimes.empty()) return index * frameDuration;
  if (index < 0) return frameTimes.front() + index * frameDuration;
  if (index >= int64_t(frameTimes.size()))
    return frameTimesEnd + (index - int64_t(frameTimes.size())) * frameDuration;
  return frameTimes[size_t(index)];
}

int64_t MovieInfo::frameIndexForPts(int64_t pts) const {
  if (frameDuration <= 0) return 0;
  const int64_t units =
      av_rescale_q_rnd(pts - videoStartPts, AVRational{videoTimeBaseNum, videoTimeBaseDen},
                       AVRational{1, timeScale}, AV_ROUND_NEAR_INF);
  if (!frameTimes.empty()) {
    // The frame whose time is nearest.
    const auto at = std::lower_bound(frameTimes.begin(), frameTimes.end(), units);
    int64_t index = int64_t(at - frameTimes.begin());
    if (index >= int64_t(frameTimes.size()) ||
        (index > 0 && units - frameTimes[size_t(index - 1)] < frameTimes[size_t(index)] - units))
      --index;
    return index;
  }
  // Nearest frame: time stamps may be off by rounding in the container.
  const int64_t half = frameDuration / 2;
  return units >= 0 ? (units + half) / frameDuration : -((-units + half) / frameDuration);
}

int64_t MovieInfo::ptsForFrameIndex(int64_t index) const {
  return videoStartPts + av_rescale_q_rnd(frameStart(index), AVRational{1, timeScale},
                                          AVRational{videoTimeBaseNum, videoTimeBaseDen},
                                          AV_ROUND_NEAR_INF);
}
