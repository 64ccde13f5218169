#include "platform/movie/MovieAudio.h"

#include "platform/foundation/Log.h"
#include "platform/movie/Movie.h"
#include "platform/movie/MovieByteSource.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/MovieDemuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <chrono>
#include <cmath>
#include <exception>
#include <vector>

#include <pthread.h>

MovieAudio::MovieAudio(Movie& movie) : movie_(movie) {}

MovieAudio::~MovieAudio() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (stream_) MovieAudioMixer::shared().removeStream(stream_);
  close();
}

void MovieAudio::positionChanged(bool playing) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jumped_ = true;
    // The sound starts when the movie first plays: a parked movie costs
    // neither a thread nor a stream.
    if (playing && !thread_.joinable() && !quit_) {
      stream_ = MovieAudioMixer::shared().addStream();
      thread_ = std::thread([this] { threadMain(); });
    }
  }
  wake_.notify_all();
}

void MovieAudio::wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

void MovieAudio::release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
}

MovieAudio::Hearing MovieAudio::hearing() {
  double seconds = 0.0;
  double rate = 0.0;
  movie_.soundPosition(&seconds, &rate);
  // Nothing that changes by itself: a call (or never) wakes the thread.
  if (rate == 0.0 || movie_.scratching() || movie_.muted() || movie_.volume() <= 0.0f ||
      !MovieAudioMixer::shared().hasListener())
    return Hearing::Silent;
  // Within a few parts in a million of 1: a warped stretch rounds its rate.
  if (std::abs(rate - 1.0) < 1e-6) return Hearing::Heard;
  // Under a time warp, the stretch ahead may play at its own speed.
  return movie_.timeMap() ? Hearing::SilentForNow : Hearing::Silent;
}

void MovieAudio::waitForWork(Hearing hearing) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto woken = [this] { return quit_ || jumped_ || woken_; };
  if (hearing == Hearing::Heard)
    wake_.wait_for(lock, std::chrono::milliseconds(10), woken);
  else if (hearing == Hearing::SilentForNow)
    wake_.wait_for(lock, std::chrono::milliseconds(50), woken);
  else
    wake_.wait(lock, woken);
  woken_ = false;
}

void MovieAudio::threadMain() {
  pthread_setname_np(pthread_self(), "movie sound");
  try {
    bool failed = false;
    Hearing hearing = Hearing::SilentForNow;
    while (true) {
      waitForWork(hearing);
      bool jumped = false;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (quit_) break;
        jumped = jumped_;
        jumped_ = false;
      }
      if (jumped) {
        stream_->clear();
        nextTime_ = -1.0;
      }
      hearing = failed ? Hearing::Silent : this->hearing();
      if (hearing != Hearing::Heard) {
        stream_->gain = 0.0f;
        stream_->clear();
        nextTime_ = -1.0;
        continue;
      }
      if (!codec_ && !open()) {
        failed = true;
        hearing = Hearing::Silent;
        continue;
      }
      stream_->gain = movie_.volume();
      fill();
    }
    // Released: the decoder and the stream go now.
    MovieAudioMixer::shared().removeStream(stream_);
    close();
  } catch (const std::exception& e) {
    Log::line(QStringLiteral("\t\terr: caught exception in movie sound: %1").arg(QString::fromUtf8(e.what())));
  } catch (...) {
    Log::line("\t\terr: caught exception in movie sound");
  }
}

bool MovieAudio::open() {
  QString error;
  demuxer_ = MovieDemuxer::open(movie_.source_, &error);
  if (!demuxer_ || demuxer_->audioStream() < 0) {
    Log::line(QStringLiteral("\t\terr: movie sound cannot be read: %1").arg(error));
    return false;
  }
  AVFormatContext* fc = demuxer_->context();
  for (unsigned i = 0; i < fc->nb_streams; ++i)
    fc->streams[i]->discard = int(i) == demuxer_->audioStream() ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
  const AVCodecParameters* par = fc->streams[demuxer_->audioStream()]->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
  if (!decoder) {
    Log::line("\t\terr: no decoder for the movie's sound");
    return false;
  }
  codec_ = avcodec_alloc_context3(decoder);
  avcodec_parameters_to_context(codec_, par);
  codec_->pkt_timebase = fc->streams[demuxer_->audioStream()]->time_base;
  if (avcodec_open2(codec_, decoder, nullptr) < 0) {
    Log::line("\t\terr: the movie's sound cannot be decoded");
    close();
    return false;
  }
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  return true;
}

void MovieAudio::close() {
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&codec_);
  swr_free(&swr_);
  demuxer_.reset();
}

void MovieAudio::seekTo(double seconds) {
  AVFormatContext* fc = demuxer_->context();
  const AVStream* st = fc->streams[demuxer_->audioStream()];
  const int64_t ts = av_rescale_q(int64_t(std::max(0.0, seconds) * AV_TIME_BASE),
                                  AVRational{1, AV_TIME_BASE}, st->time_base);
  av_seek_frame(fc, demuxer_->audioStream(), ts, AVSEEK_FLAG_BACKWARD);
  avcodec_flush_buffers(codec_);
  swr_free(&swr_);
  nextTime_ = seconds;
  dropUntil_ = seconds;
  ended_ = false;
}

bool MovieAudio::fill() {
  // Where the play head will be when the next queued sample sounds.
  const double queued = double(stream_->queuedFrames()) / MovieAudioMixer::kSampleRate;
  double now = 0.0;
  double rate = 0.0;
  movie_.soundPosition(&now, &rate);
  const double dueAt = now + queued;
  if (nextTime_ < 0.0 || std::abs(nextTime_ - dueAt) > kTolerance) {
    stream_->clear();
    seekTo(now);
  }
  while (!ended_ && stream_->queuedFrames() < int(kAhead * MovieAudioMixer::kSampleRate) &&
         stream_->freeFrames() > 4096) {
    if (!decodeFrame()) return false;
  }
  return true;
}

bool MovieAudio::decodeFrame() {
  AVFormatContext* fc = demuxer_->context();
  while (true) {
    const int rc = avcodec_receive_frame(codec_, frame_);
    if (rc == 0) break;
    if (rc == AVERROR_EOF) {
      ended_ = true;
      return false;
    }
    if (av_read_frame(fc, packet_) < 0) {
      avcodec_send_packet(codec_, nullptr);
      continue;
    }
    if (packet_->stream_index == demuxer_->audioStream()) avcodec_send_packet(codec_, packet_);
    av_packet_unref(packet_);
  }
  if (!swr_) {
    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, MovieAudioMixer::kChannels);
    if (swr_alloc_set_opts2(&swr_, &stereo, AV_SAMPLE_FMT_FLT, MovieAudioMixer::kSampleRate,
                            &frame_->ch_layout, AVSampleFormat(frame_->format), frame_->sample_rate,
                            0, nullptr) < 0 ||
        swr_init(swr_) < 0) {
      Log::limited(QStringLiteral("movie-sound"), QStringLiteral("\t\terr: movie sound cannot be resampled"));
      av_frame_unref(frame_);
      ended_ = true;
      return false;
    }
  }
  const AVStream* st = fc->streams[demuxer_->audioStream()];
  const int64_t pts = frame_->best_effort_timestamp;
  const double frameTime = pts == AV_NOPTS_VALUE ? nextTime_ : pts * av_q2d(st->time_base);
  const int capacity = swr_get_out_samples(swr_, frame_->nb_samples) + 32;
  std::vector<float> out(size_t(capacity) * MovieAudioMixer::kChannels);
  uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(out.data())};
  const int produced = swr_convert(swr_, outPlanes, capacity,
                                   const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples);
  av_frame_unref(frame_);
  if (produced <= 0) return true;
  int skip = 0;
  if (dropUntil_ >= 0.0) {
    skip = std::clamp(int(std::lround((dropUntil_ - frameTime) * MovieAudioMixer::kSampleRate)), 0, produced);
    if (skip < produced) dropUntil_ = -1.0;
  }
  stream_->write(out.data() + size_t(skip) * MovieAudioMixer::kChannels, produced - skip);
  nextTime_ += double(produced - skip) / MovieAudioMixer::kSampleRate;
  return true;
}
