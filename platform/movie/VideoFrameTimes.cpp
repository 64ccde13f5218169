#include "platform/movie/VideoFrameTimes.h"

#include "platform/movie/MovieByteSource.h"
#include "platform/movie/MovieDemuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>

namespace {
// Every frame from the index: its times are presentation times only when no
// frame is reordered.
bool fromIndex(AVStream* st, VideoFrameTimes& times) {
  const int count = avformat_index_get_entries_count(st);
  if (st->nb_frames <= 0 || count != st->nb_frames || st->codecpar->video_delay != 0) return false;
  for (int i = 0; i < count; ++i) {
    const AVIndexEntry* e = avformat_index_get_entry(st, i);
    if (!e || e->timestamp == AV_NOPTS_VALUE) return false;
    if (!(e->flags & AVINDEX_DISCARD_FRAME)) times.starts.push_back(e->timestamp);
  }
  return true;
}

// Reads the picture stream's packets from where the demuxer stands, noting
// their times and where the last one ends; false past the byte budget (or
// on packets without a time).
bool scanPackets(AVFormatContext* fc, int stream, int64_t budget, VideoFrameTimes& times) {
  AVPacket* packet = av_packet_alloc();
  bool complete = packet != nullptr;
  while (complete && av_read_frame(fc, packet) >= 0) {
    if (packet->stream_index == stream) {
      if (packet->pts == AV_NOPTS_VALUE)
        complete = false;
      else {
        times.starts.push_back(packet->pts);
        times.end = std::max(times.end, packet->pts + std::max<int64_t>(packet->duration, 0));
      }
    }
    av_packet_unref(packet);
    if (budget > 0 && avio_tell(fc->pb) > budget) complete = false;
  }
  av_packet_free(&packet);
  return complete;
}
}  // namespace

VideoFrameTimes VideoFrameTimes::read(MovieDemuxer& demuxer, int64_t scanBytes) {
  VideoFrameTimes times;
  AVFormatContext* fc = demuxer.context();
  const int stream = demuxer.videoStream();
  if (stream < 0) return times;
  AVStream* st = fc->streams[stream];
  if (fromIndex(st, times)) {
    std::sort(times.starts.begin(), times.starts.end());
    return times;
  }
  times.starts.clear();
  for (unsigned i = 0; i < fc->nb_streams; ++i)
    fc->streams[i]->discard = int(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  if (demuxer.source()->size() <= scanBytes && scanPackets(fc, stream, scanBytes, times)) {
    std::sort(times.starts.begin(), times.starts.end());
    times.starts.erase(std::unique(times.starts.begin(), times.starts.end()), times.starts.end());
    return times;
  }
  // Too big to read whole: the last seconds say where the pictures end.
  times.starts.clear();
  times.end = -1;
  if (fc->duration <= 0 || fc->duration == AV_NOPTS_VALUE) return times;
  const int64_t from =
      av_rescale_q(std::max<int64_t>(0, fc->duration - int64_t(kTailSeconds * AV_TIME_BASE)),
                   AVRational{1, AV_TIME_BASE}, st->time_base);
  const int64_t start = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
  if (av_seek_frame(fc, stream, start + from, AVSEEK_FLAG_BACKWARD) < 0) return times;
  VideoFrameTimes tail;
  scanPackets(fc, stream, 0, tail);
  times.end = tail.end;
  return times;
}
