#include "platform/capture/CaptureStream.h"

#include "platform/movie/MovieLog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <chrono>
#include <mutex>
#include <thread>

namespace {
QString ffmpegError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return QString::fromUtf8(text);
}

// The decoder's words when it gave some, else the error code's.
QString reason(const MovieLog::Capture& capture, int code) {
  return capture.last().isEmpty() ? ffmpegError(code) : capture.last();
}

int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

const char* inputFormatName(CaptureSettings::Backend backend) {
  switch (backend) {
    case CaptureSettings::Backend::Camera:
      return "video4linux2";
    case CaptureSettings::Backend::TestPattern:
      return "lavfi";
    case CaptureSettings::Backend::File:
      return nullptr;
  }
  return nullptr;
}
}  // namespace

std::unique_ptr<CaptureStream> CaptureStream::open(const CaptureSettings& settings,
                                                   QString* error) {
  static std::once_flag registered;
  std::call_once(registered, [] {
    avdevice_register_all();
    MovieLog::install();
  });
  MovieLog::Capture capture;
  std::unique_ptr<CaptureStream> stream(new CaptureStream);
  stream->format_ = avformat_alloc_context();
  stream->format_->interrupt_callback = {&CaptureStream::interruptCallback, stream.get()};
  const AVInputFormat* inputFormat = nullptr;
  if (const char* name = inputFormatName(settings.backend)) {
    inputFormat = av_find_input_format(name);
    if (!inputFormat) {
      if (error) *error = QStringLiteral("FFmpeg has no \"%1\" input").arg(QString::fromUtf8(name));
      return nullptr;
    }
  }
  AVDictionary* options = nullptr;
  if (settings.backend == CaptureSettings::Backend::Camera) {
    if (settings.size.isValid())
      av_dict_set(&options, "video_size",
                  QStringLiteral("%1x%2")
                      .arg(settings.size.width())
                      .arg(settings.size.height())
                      .toUtf8()
                      .constData(),
                  0);
    if (settings.frameRate > 0)
      av_dict_set(&options, "framerate", QByteArray::number(settings.frameRate).constData(), 0);
    if (!settings.format.isEmpty())
      av_dict_set(&options, "input_format", settings.format.toUtf8().constData(), 0);
  }
  const QByteArray url = settings.devicePath.toUtf8();
  int result = avformat_open_input(&stream->format_, url.constData(), inputFormat, &options);
  av_dict_free(&options);
  if (result < 0) {
    if (error) *error = reason(capture, result);
    return nullptr;  // avformat_open_input freed the context
  }
  if (settings.backend == CaptureSettings::Backend::File) {
    result = avformat_find_stream_info(stream->format_, nullptr);
    if (result < 0) {
      if (error) *error = reason(capture, result);
      return nullptr;
    }
    stream->paced_ = !settings.unpaced;
    stream->loops_ = settings.unpaced;
  }
  stream->stream_ = av_find_best_stream(stream->format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (stream->stream_ < 0) {
    if (error) *error = QStringLiteral("it gives no picture");
    return nullptr;
  }
  const AVStream* video = stream->format_->streams[stream->stream_];
  const AVRational rate =
      video->avg_frame_rate.num > 0 ? video->avg_frame_rate : video->r_frame_rate;
  stream->frameRate_ = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : settings.frameRate;
  if (!stream->openDecoder(error)) return nullptr;
  stream->packet_ = av_packet_alloc();
  stream->decoded_ = av_frame_alloc();
  stream->outputSize_ = stream->sourceSize();
  return stream;
}

CaptureStream::~CaptureStream() {
  sws_freeContext(sws_);
  av_frame_free(&decoded_);
  av_packet_free(&packet_);
  avcodec_free_context(&codec_);
  if (format_) avformat_close_input(&format_);
}

bool CaptureStream::openDecoder(QString* error) {
  MovieLog::Capture capture;
  const AVCodecParameters* parameters = format_->streams[stream_]->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
  if (!decoder) {
    if (error)
      *error = QStringLiteral("no decoder for %1")
                   .arg(QString::fromUtf8(avcodec_get_name(parameters->codec_id)));
    return false;
  }
  codec_ = avcodec_alloc_context3(decoder);
  avcodec_parameters_to_context(codec_, parameters);
  codec_->thread_count = 1;  // one picture at a time: no frame delay
  const int result = avcodec_open2(codec_, decoder, nullptr);
  if (result < 0) {
    if (error) *error = reason(capture, result);
    return false;
  }
  return true;
}

int CaptureStream::interruptCallback(void* opaque) {
  return static_cast<CaptureStream*>(opaque)->interrupted_.load() ? 1 : 0;
}

QSize CaptureStream::sourceSize() const {
  const AVCodecParameters* parameters = codecParameters();
  return parameters ? QSize(parameters->width, parameters->height) : QSize();
}

const AVCodecParameters* CaptureStream::codecParameters() const {
  return format_ && stream_ >= 0 ? format_->streams[stream_]->codecpar : nullptr;
}

// A file stands in for a camera: its packets come no faster than it plays.
void CaptureStream::paceFile() {
  const AVStream* video = format_->streams[stream_];
  if (packet_->pts == AV_NOPTS_VALUE) return;
  if (firstPts_ == INT64_MIN) {
    firstPts_ = packet_->pts;
    startedNs_ = nowNs();
    return;
  }
  const int64_t dueNs =
      startedNs_ + av_rescale_q(packet_->pts - firstPts_, video->time_base, {1, 1000000000});
  while (!interrupted_.load()) {
    const int64_t waitNs = dueNs - nowNs();
    if (waitNs <= 0) break;
    std::this_thread::sleep_for(std::chrono::nanoseconds(std::min<int64_t>(waitNs, 20000000)));
  }
}

const AVPacket* CaptureStream::readPacket(QString* error) {
  MovieLog::Capture capture;
  for (;;) {
    av_packet_unref(packet_);
    const int result = av_read_frame(format_, packet_);
    if (result == AVERROR(EAGAIN)) continue;
    if (result == AVERROR_EOF && loops_) {
      if (!rewind(error)) return nullptr;
      continue;
    }
    if (result < 0) {
      if (error)
        *error =
            result == AVERROR_EOF ? QStringLiteral("the source ended") : reason(capture, result);
      return nullptr;
    }
    if (packet_->stream_index != stream_) continue;
    if (paced_) paceFile();
    return packet_;
  }
}

// An unpaced file starts over, as a camera that never ends.
bool CaptureStream::rewind(QString* error) {
  MovieLog::Capture capture;
  const int result = av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD);
  if (result < 0) {
    if (error) *error = reason(capture, result);
    return false;
  }
  avcodec_flush_buffers(codec_);
  return true;
}

std::shared_ptr<const VideoFrame> CaptureStream::decode(int64_t index, QString* error) {
  MovieLog::Capture capture;
  int result = avcodec_send_packet(codec_, packet_);
  if (result < 0 && result != AVERROR(EAGAIN)) {
    if (error) *error = reason(capture, result);
    return nullptr;
  }
  result = avcodec_receive_frame(codec_, decoded_);
  if (result == AVERROR(EAGAIN)) return nullptr;
  if (result < 0) {
    if (error) *error = reason(capture, result);
    return nullptr;
  }
  AVFrame* out = av_frame_alloc();
  // 4:2:0 pictures of the output size go as they are, full range (MJPEG's
  // yuvj420p) included: the upload's shader reads either range.
  const bool planar420 =
      decoded_->format == AV_PIX_FMT_YUV420P || decoded_->format == AV_PIX_FMT_YUVJ420P;
  const bool direct = planar420 && QSize(decoded_->width, decoded_->height) == outputSize_;
  if (direct) {
    av_frame_ref(out, decoded_);
  } else if (!scaleInto(out)) {
    av_frame_free(&out);
    if (error) *error = QStringLiteral("the picture could not be converted");
    return nullptr;
  }
  const AVStream* video = format_->streams[stream_];
  const QKTime time{decoded_->pts == AV_NOPTS_VALUE ? 0 : decoded_->pts * video->time_base.num,
                    video->time_base.den, 0};
  auto frame =
      std::make_shared<const VideoFrame>(out, VideoFrame::Format::Yuv420, index, time, true);
  av_frame_free(&out);
  return frame;
}

bool CaptureStream::scaleInto(AVFrame* out) {
  const QSize size = outputSize_.isValid() ? outputSize_ : QSize(decoded_->width, decoded_->height);
  sws_ = sws_getCachedContext(sws_, decoded_->width, decoded_->height,
                              AVPixelFormat(decoded_->format), size.width(), size.height(),
                              AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws_) return false;
  out->format = AV_PIX_FMT_YUV420P;
  out->width = size.width();
  out->height = size.height();
  if (av_frame_get_buffer(out, 0) < 0) return false;
  sws_scale(sws_, decoded_->data, decoded_->linesize, 0, decoded_->height, out->data,
            out->linesize);
  // Full-range sources (MJPEG's yuvj) are scaled to video levels.
  out->color_range = AVCOL_RANGE_MPEG;
  out->colorspace = decoded_->colorspace;
  out->pts = decoded_->pts;
  return true;
}
