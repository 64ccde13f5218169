#include "platform/movie/VideoDecoder.h"

#include "platform/foundation/Log.h"
#include "platform/movie/MovieByteSource.h"
#include "platform/movie/MovieDemuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <atomic>

namespace {
constexpr int kSeekTries = 14;
std::atomic<int> liveDecoders{0};

bool isYuv420(int format) { return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P; }
}  // namespace

std::unique_ptr<VideoDecoder> VideoDecoder::create(const std::shared_ptr<MovieByteSource>& source,
                                                   const MovieInfo& info,
                                                   std::shared_ptr<KeyframeIndex> keyframes,
                                                   const Options& options, QString* error) {
  std::unique_ptr<VideoDecoder> d(new VideoDecoder);
  d->demuxer_ = MovieDemuxer::open(source, error);
  if (!d->demuxer_) return nullptr;
  d->stream_ = d->demuxer_->videoStream();
  if (d->stream_ < 0) {
    if (error) *error = QStringLiteral("the movie has no pictures.");
    return nullptr;
  }
  d->info_ = info;
  d->options_ = options;
  d->keyframes_ = keyframes ? std::move(keyframes) : std::make_shared<KeyframeIndex>();
  AVFormatContext* fc = d->demuxer_->context();
  // Only the picture stream is read here.
  for (unsigned i = 0; i < fc->nb_streams; ++i)
    fc->streams[i]->discard = int(i) == d->stream_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  const AVCodecParameters* par = fc->streams[d->stream_]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) {
    if (error) *error = MovieDemuxer::unsupportedCodec(par) + QLatin1Char('.');
    return nullptr;
  }
  d->codec_ = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(d->codec_, par);
  d->seedKeyframesFromContainer();
  d->codec_->thread_count = options.threads;
  // Key frames only: each frame is drained on its own (random access), where
  // frame threads only add hand-overs; slices still share the work.
  d->codec_->thread_type = d->allIntra_ ? FF_THREAD_SLICE : FF_THREAD_FRAME | FF_THREAD_SLICE;
  d->codec_->pkt_timebase = fc->streams[d->stream_]->time_base;
  if (avcodec_open2(d->codec_, codec, nullptr) < 0) {
    if (error) *error = QStringLiteral("its pictures cannot be decoded.");
    return nullptr;
  }
  d->packet_ = av_packet_alloc();
  d->decoded_ = av_frame_alloc();
  return d;
}

VideoDecoder::VideoDecoder() { ++liveDecoders; }

int VideoDecoder::liveCount() { return liveDecoders.load(); }

VideoDecoder::~VideoDecoder() {
  --liveDecoders;
  last_.reset();
  av_frame_free(&decoded_);
  av_packet_free(&packet_);
  avcodec_free_context(&codec_);
}

void VideoDecoder::seedKeyframesFromContainer() {
  // Index time stamps are decode times; they equal presentation times only
  // when no frame is reordered.
  AVStream* st = demuxer_->context()->streams[stream_];
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(st->codecpar->codec_id);
  const int count = avformat_index_get_entries_count(st);
  int keys = 0;
  for (int i = 0; i < count; ++i) {
    const AVIndexEntry* e = avformat_index_get_entry(st, i);
    if (!e || !(e->flags & AVINDEX_KEYFRAME)) continue;
    ++keys;
    if (st->codecpar->video_delay == 0) keyframes_->add(info_.frameIndexForPts(e->timestamp));
  }
  allIntra_ = (descriptor && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY)) ||
              (count > 1 && keys == count && st->codecpar->video_delay == 0);
}

bool VideoDecoder::needsSeek(int64_t index) const {
  if (!fresh_ && position_ < 0) return true;
  const int64_t at = fresh_ ? -1 : position_;
  if (index <= at) return index != at || !last_;
  if (atEnd_) return false;
  // A known key frame between here and the target is the short way.
  if (index - at > 2 && keyframes_->anyIn(at, index)) return true;
  return index - at > kMaxForwardDecode;
}

std::shared_ptr<const VideoFrame> VideoDecoder::decode(int64_t index, const Sink& sink) {
  index = std::clamp<int64_t>(index, 0, info_.lastFrameIndex());
  if (endIndex_ >= 0) index = std::min(index, endIndex_);
  std::shared_ptr<const VideoFrame> frame = decodeOnce(index, sink);
  // A damaged file that ends before the frame: step back until frames come.
  for (int64_t step = 1; !frame && index - step >= 0; step *= 2) {
    const int64_t earlier = endIndex_ >= 0 && endIndex_ < index ? endIndex_ : index - step;
    frame = decodeOnce(earlier, sink);
    if (earlier == endIndex_) break;
  }
  return frame;
}

std::shared_ptr<const VideoFrame> VideoDecoder::decodeOnce(int64_t index, const Sink& sink) {
  if (last_ && position_ == index) return last_;
  if (needsSeek(index)) {
    // Land at or before the target: a seek that overshoots (reordered frames
    // between the key frame and the target) backs off further.
    int64_t from = keyframes_->atOrBefore(index);
    if (from < 0) from = index;
    for (int attempt = 0;; ++attempt) {
      av_seek_frame(demuxer_->context(), stream_, info_.ptsForFrameIndex(from),
                    AVSEEK_FLAG_BACKWARD);
      avcodec_flush_buffers(codec_);
      position_ = -1;
      atEnd_ = false;
      fresh_ = false;
      last_.reset();
      std::shared_ptr<const VideoFrame> first = nextFrame();
      if (!first) break;
      if (first->index() <= index || attempt >= kSeekTries || from <= 0) {
        if (sink) sink(first);
        if (first->index() >= index) return first;
        break;
      }
      from = std::min(from, first->index()) - (int64_t(1) << attempt);
      from = std::max<int64_t>(from, 0);
    }
  }
  std::shared_ptr<const VideoFrame> previous = last_;
  while (true) {
    std::shared_ptr<const VideoFrame> frame = nextFrame();
    if (!frame) return last_;
    if (sink) sink(frame);
    if (frame->index() == index) return frame;
    // A frame missing from the stream: the one before it stays on screen.
    if (frame->index() > index) return previous ? previous : frame;
    previous = frame;
  }
}

bool VideoDecoder::receive(AVFrame* decoded) {
  while (true) {
    const int rc = avcodec_receive_frame(codec_, decoded);
    if (rc == 0) {
      if (decoded->decode_error_flags || (decoded->flags & AV_FRAME_FLAG_CORRUPT)) {
        av_frame_unref(decoded);
        continue;
      }
      return true;
    }
    return false;
  }
}

std::shared_ptr<const VideoFrame> VideoDecoder::nextFrame() {
  if (atEnd_) return nullptr;
  fresh_ = false;
  AVFormatContext* fc = demuxer_->context();
  while (true) {
    if (receive(decoded_)) return wrap(decoded_);
    const int rc = av_read_frame(fc, packet_);
    if (rc < 0) {
      // End of the stream (or of a damaged file): drain what the decoder holds.
      avcodec_send_packet(codec_, nullptr);
      if (receive(decoded_)) return wrap(decoded_);
      atEnd_ = true;
      endIndex_ = std::max(endIndex_, position_);
      if (endIndex_ < 0 && last_) endIndex_ = last_->index();
      return nullptr;
    }
    if (packet_->stream_index != stream_) {
      av_packet_unref(packet_);
      continue;
    }
    const bool key = packet_->flags & AV_PKT_FLAG_KEY;
    const int64_t packetIndex =
        packet_->pts != AV_NOPTS_VALUE ? info_.frameIndexForPts(packet_->pts) : -1;
    int sent = avcodec_send_packet(codec_, packet_);
    av_packet_unref(packet_);
    if (sent < 0 && sent != AVERROR(EAGAIN))
      Log::limited(QStringLiteral("movie-decode"),
                   QStringLiteral("\t\terr: damaged picture in movie %1").arg(demuxer_->source()->path()));
    // Key frames only: the picture can come out at once, without waiting for
    // the decoder's pipeline to fill (what makes random access fast).
    if (key && allIntra_ && packetIndex >= 0 && codec_->has_b_frames == 0) {
      if (receive(decoded_)) return wrap(decoded_);
      avcodec_send_packet(codec_, nullptr);
      const bool got = receive(decoded_);
      avcodec_flush_buffers(codec_);
      if (got) return wrap(decoded_);
    }
  }
}

std::shared_ptr<const VideoFrame> VideoDecoder::wrap(AVFrame* decoded) {
  const int64_t pts = decoded->best_effort_timestamp != AV_NOPTS_VALUE ? decoded->best_effort_timestamp
                                                                       : decoded->pts;
  const int64_t index = pts != AV_NOPTS_VALUE ? info_.frameIndexForPts(pts) : position_ + 1;
  const bool key = decoded->key_frame || decoded->pict_type == AV_PICTURE_TYPE_I;
  if (key) keyframes_->add(index);
  else
    allIntra_ = false;
  const QKTime time = info_.time(info_.frameStart(index));
  std::shared_ptr<const VideoFrame> frame;
  if (options_.format == VideoFrame::Format::Yuv420 && isYuv420(decoded->format)) {
    frame = std::make_shared<VideoFrame>(decoded, VideoFrame::Format::Yuv420, index, time, key,
                                         info_.rotation);
  } else {
    AVFrame* rgba = rgba_.convert(decoded, info_.rotation);
    av_frame_unref(decoded);
    if (!rgba) {
      Log::limited(QStringLiteral("movie-convert"),
                   QStringLiteral("\t\terr: pictures of movie %1 cannot be converted")
                       .arg(demuxer_->source()->path()));
      return nullptr;
    }
    frame = std::make_shared<VideoFrame>(rgba, VideoFrame::Format::Rgba, index, time, key);
    av_frame_free(&rgba);
  }
  position_ = index;
  last_ = frame;
  return frame;
}
