#include "platform/capture/CaptureRecorder.h"

#include "platform/movie/MovieLog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
QString ffmpegError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return QString::fromUtf8(text);
}

QString reason(const MovieLog::Capture& capture, int code) {
  return capture.last().isEmpty() ? ffmpegError(code) : capture.last();
}

// The rate as a fraction: whole rates exactly, NTSC rates as n/1001.
AVRational rateFraction(double rate) {
  if (rate <= 0) return {30, 1};
  return av_d2q(rate, 1001 * 1000);
}
}  // namespace

bool CaptureRecorder::canCopy(const AVCodecParameters* source) {
  if (!source) return false;
  if (source->codec_id == AV_CODEC_ID_MJPEG) return true;
  return source->codec_id == AV_CODEC_ID_H264 && source->extradata_size > 0;
}

std::unique_ptr<CaptureRecorder> CaptureRecorder::create(const QString& path,
                                                         const AVCodecParameters* source,
                                                         double rate, QSize encodeSize,
                                                         QString* error) {
  MovieLog::Capture capture;
  const QByteArray file = QFile::encodeName(path);
  const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = QString::fromLocal8Bit(std::strerror(errno));
    return nullptr;
  }
  ::close(fd);
  std::unique_ptr<CaptureRecorder> recorder(new CaptureRecorder);
  recorder->path_ = path;
  const AVRational fraction = rateFraction(rate);
  recorder->rateNum_ = fraction.num;
  recorder->rateDen_ = fraction.den;
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    recorder.reset();
    QFile::remove(path);  // ours, made above, and still empty or unusable
    return nullptr;
  };
  int result = avformat_alloc_output_context2(&recorder->muxer_, nullptr, "mov", file.constData());
  if (result < 0) return fail(reason(capture, result));
  recorder->stream_ = avformat_new_stream(recorder->muxer_, nullptr);
  recorder->stream_->time_base = {fraction.den, fraction.num};
  recorder->stream_->avg_frame_rate = fraction;
  recorder->copy_ = canCopy(source);
  if (recorder->copy_) {
    avcodec_parameters_copy(recorder->stream_->codecpar, source);
    recorder->stream_->codecpar->codec_tag = 0;
  } else if (!recorder->openEncoder(encodeSize, rate, error)) {
    return fail(error ? *error : QString());
  }
  result = avio_open(&recorder->muxer_->pb, file.constData(), AVIO_FLAG_WRITE);
  if (result < 0) return fail(reason(capture, result));
  AVDictionary* options = nullptr;
  av_dict_set(&options, "movflags", "empty_moov+default_base_moof", 0);
  av_dict_set(&options, "frag_duration", "1000000", 0);
  // Every packet reaches the file at once: a crash loses at most the
  // fragment being written.
  recorder->muxer_->flags |= AVFMT_FLAG_FLUSH_PACKETS;
  result = avformat_write_header(recorder->muxer_, &options);
  av_dict_free(&options);
  if (result < 0) return fail(reason(capture, result));
  recorder->headerWritten_ = true;
  recorder->packet_ = av_packet_alloc();
  return recorder;
}

bool CaptureRecorder::openEncoder(QSize size, double rate, QString* error) {
  MovieLog::Capture capture;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (!codec || !size.isValid()) {
    if (error) *error = QStringLiteral("no MJPEG encoder");
    return false;
  }
  encoder_ = avcodec_alloc_context3(codec);
  encoder_->width = size.width();
  encoder_->height = size.height();
  encoder_->pix_fmt = AV_PIX_FMT_YUVJ420P;
  const AVRational fraction = rateFraction(rate);
  encoder_->time_base = {fraction.den, fraction.num};
  encoder_->framerate = fraction;
  encoder_->flags |= AV_CODEC_FLAG_QSCALE;
  encoder_->global_quality = FF_QP2LAMBDA * 3;
  if (muxer_->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  const int result = avcodec_open2(encoder_, codec, nullptr);
  if (result < 0) {
    if (error) *error = reason(capture, result);
    return false;
  }
  avcodec_parameters_from_context(stream_->codecpar, encoder_);
  converted_ = av_frame_alloc();
  converted_->format = AV_PIX_FMT_YUVJ420P;
  converted_->width = size.width();
  converted_->height = size.height();
  if (av_frame_get_buffer(converted_, 0) < 0) {
    if (error) *error = QStringLiteral("out of memory");
    return false;
  }
  return true;
}

CaptureRecorder::~CaptureRecorder() {
  if (headerWritten_ && !finished_) finish(nullptr);
  if (muxer_) {
    if (muxer_->pb) avio_closep(&muxer_->pb);
    avformat_free_context(muxer_);
  }
  avcodec_free_context(&encoder_);
  sws_freeContext(sws_);
  av_frame_free(&converted_);
  av_packet_free(&packet_);
}

bool CaptureRecorder::writeOut(AVPacket* packet, QString* error) {
  MovieLog::Capture capture;
  packet->stream_index = stream_->index;
  packet->pts = packet->dts = frames_;
  packet->duration = 1;
  av_packet_rescale_ts(packet, AVRational{rateDen_, rateNum_}, stream_->time_base);
  const int result = av_write_frame(muxer_, packet);
  if (result < 0) {
    if (error) *error = reason(capture, result);
    return false;
  }
  ++frames_;
  return true;
}

bool CaptureRecorder::writePacket(const AVPacket* packet, QString* error) {
  if (!copy_ || finished_) return false;
  av_packet_unref(packet_);
  av_packet_ref(packet_, packet);
  packet_->flags |= AV_PKT_FLAG_KEY * (stream_->codecpar->codec_id == AV_CODEC_ID_MJPEG);
  return writeOut(packet_, error);
}

bool CaptureRecorder::writeFrame(const AVFrame* frame, QString* error) {
  if (copy_ || finished_ || !frame) return false;
  MovieLog::Capture capture;
  sws_ = sws_getCachedContext(sws_, frame->width, frame->height, AVPixelFormat(frame->format),
                              converted_->width, converted_->height, AV_PIX_FMT_YUVJ420P,
                              SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws_ || av_frame_make_writable(converted_) < 0) {
    if (error) *error = QStringLiteral("the picture could not be converted");
    return false;
  }
  sws_scale(sws_, frame->data, frame->linesize, 0, frame->height, converted_->data,
            converted_->linesize);
  converted_->pts = frames_;
  int result = avcodec_send_frame(encoder_, converted_);
  if (result < 0) {
    if (error) *error = reason(capture, result);
    return false;
  }
  for (;;) {
    av_packet_unref(packet_);
    result = avcodec_receive_packet(encoder_, packet_);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) {
      if (error) *error = reason(capture, result);
      return false;
    }
    if (!writeOut(packet_, error)) return false;
  }
}

bool CaptureRecorder::finish(QString* error) {
  if (finished_) return true;
  finished_ = true;
  MovieLog::Capture capture;
  const int result = av_write_trailer(muxer_);
  avio_closep(&muxer_->pb);
  if (result < 0) {
    if (error) *error = reason(capture, result);
    return false;
  }
  return true;
}
