#include "tests/support/CaptureTestSupport.h"

#include "platform/capture/CaptureRecorder.h"
#include "tests/support/TestClip.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include <QImage>

#include <algorithm>
#include <cmath>

int CaptureTestSupport::stepOfFullRangeLuma(int luma) {
  return int(std::lround(luma * 219.0 / 255.0 / 8.0)) % kSteps;
}

CaptureSettings CaptureTestSupport::countingPattern(int width, int height, int rate) {
  CaptureSettings settings;
  settings.backend = CaptureSettings::Backend::TestPattern;
  settings.devicePath = QStringLiteral(
                            "nullsrc=size=%1x%2:rate=%3,geq=lum='16+mod(N*8,216)':cb=128:cr=128,"
                            "format=yuv420p,realtime")
                            .arg(width)
                            .arg(height)
                            .arg(rate);
  settings.size = QSize(width, height);
  settings.frameRate = rate;
  return settings;
}

CaptureSettings CaptureTestSupport::numberedPattern(int width, int height, int rate) {
  // Cell (column c, row r) of the 4 x 3 grid holds bit 4 r + c, white when set.
  CaptureSettings settings;
  settings.backend = CaptureSettings::Backend::TestPattern;
  settings.devicePath =
      QStringLiteral(
          "nullsrc=size=%1x%2:rate=%3,"
          "geq=lum='if(mod(floor((N+1)/pow(2,floor(Y*3/H)*4+floor(X*4/W))),2),235,16)':cb=128:"
          "cr=128,format=yuv420p,realtime")
          .arg(width)
          .arg(height)
          .arg(rate);
  settings.size = QSize(width, height);
  settings.frameRate = rate;
  return settings;
}

namespace {
int gridNumber(const AVFrame* frame) {
  QImage luma(frame->width, frame->height, QImage::Format_Grayscale8);
  for (int y = 0; y < frame->height; ++y)
    std::copy_n(frame->data[0] + y * frame->linesize[0], frame->width, luma.scanLine(y));
  return TestClip::frameNumberIn(luma);
}
}  // namespace

CaptureTestSupport::Probe CaptureTestSupport::probe(const QString& path, double rate) {
  Probe probe;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0) {
    probe.error = QStringLiteral("cannot open");
    return probe;
  }
  avformat_find_stream_info(format, nullptr);
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) {
    probe.error = QStringLiteral("no picture stream");
    avformat_close_input(&format);
    return probe;
  }
  const AVStream* stream = format->streams[index];
  probe.codec = QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id));
  probe.width = stream->codecpar->width;
  probe.height = stream->codecpar->height;
  const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  AVCodecContext* codec = avcodec_alloc_context3(decoder);
  avcodec_parameters_to_context(codec, stream->codecpar);
  avcodec_open2(codec, decoder, nullptr);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index) {
      probe.pts.push_back(std::llround(double(packet->pts) * av_q2d(stream->time_base) * rate));
      if (avcodec_send_packet(codec, packet) >= 0)
        while (avcodec_receive_frame(codec, frame) >= 0) {
          probe.lumas.push_back(frame->data[0][0]);
          probe.numbers.push_back(gridNumber(frame));
        }
    }
    av_packet_unref(packet);
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
  return probe;
}

QString CaptureTestSupport::writeMjpegFile(const QString& path, int frames, int width, int height,
                                           int rate) {
  QString error;
  auto recorder = CaptureRecorder::create(path, nullptr, rate, QSize(width, height), &error);
  if (!recorder) return error;
  AVFrame* frame = av_frame_alloc();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = width;
  frame->height = height;
  av_frame_get_buffer(frame, 0);
  for (int n = 0; n < frames; ++n) {
    av_frame_make_writable(frame);
    for (int y = 0; y < height; ++y)
      std::fill_n(frame->data[0] + y * frame->linesize[0], width, uint8_t(16 + (n * 8) % 216));
    for (int p = 1; p < 3; ++p)
      for (int y = 0; y < height / 2; ++y)
        std::fill_n(frame->data[p] + y * frame->linesize[p], width / 2, uint8_t(128));
    if (!recorder->writeFrame(frame, &error)) break;
  }
  av_frame_free(&frame);
  if (error.isEmpty()) recorder->finish(&error);
  return error;
}
