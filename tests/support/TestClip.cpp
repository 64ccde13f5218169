#include "tests/support/TestClip.h"

#include "tests/support/TestEnvironment.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/display.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <algorithm>
#include <functional>
#include <memory>

namespace {
constexpr int kCols = 4;
constexpr int kRows = 3;
constexpr int kWhite = 235;
constexpr int kBlack = 16;

QString avError(int code, const char* what) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {0};
  av_strerror(code, text, sizeof text);
  return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLatin1(text));
}

struct CodecDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct OutputDeleter {
  void operator()(AVFormatContext* f) const {
    if (f->pb) avio_closep(&f->pb);
    avformat_free_context(f);
  }
};

class Writer {
 public:
  Writer(const QString& path, const TestClipSpec& spec) : path_(path), spec_(spec) {}

  QString run() {
    AVFormatContext* raw = nullptr;
    const char* format = spec_.container == TestClipSpec::Container::Matroska ? "matroska" : "mov";
    int rc = avformat_alloc_output_context2(&raw, nullptr, format, path_.toLocal8Bit().constData());
    if (rc < 0) return avError(rc, "output");
    out_.reset(raw);
    if (QString e = openVideo(); !e.isEmpty()) return e;
    if (spec_.audio)
      if (QString e = openAudio(); !e.isEmpty()) return e;
    addChapters();
    rc = avio_open(&out_->pb, path_.toLocal8Bit().constData(), AVIO_FLAG_WRITE);
    if (rc < 0) return avError(rc, "open");
    AVDictionary* options = nullptr;
    if (spec_.moovFirst) av_dict_set(&options, "movflags", "+faststart", 0);
    if (spec_.timeScale > 0) av_dict_set_int(&options, "video_track_timescale", spec_.timeScale, 0);
    rc = avformat_write_header(out_.get(), &options);
    av_dict_free(&options);
    if (rc < 0) return avError(rc, "header");
    if (QString e = writeMedia(); !e.isEmpty()) return e;
    rc = av_write_trailer(out_.get());
    if (rc < 0) return avError(rc, "trailer");
    return {};
  }

 private:
  QString openVideo() {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) return QStringLiteral("no H.264 encoder");
    video_.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = video_.get();
    c->width = spec_.width;
    c->height = spec_.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{spec_.fpsDen, spec_.fpsNum};
    c->framerate = AVRational{spec_.fpsNum, spec_.fpsDen};
    const bool intra = spec_.gop == TestClipSpec::Gop::AllIntra;
    c->gop_size = intra ? 1 : spec_.gopSize;
    c->max_b_frames = (!intra && spec_.bFrames) ? 2 : 0;
    c->thread_count = 1;
    setColourTags(c);
    if (out_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(c->priv_data, "preset", "veryfast", 0);
    av_opt_set(c->priv_data, "crf", QByteArray::number(spec_.quality).constData(), 0);
    // Closed GOPs and no scene-cut key frames: the key frames fall where asked.
    av_opt_set(c->priv_data, "x264-params", intra ? "keyint=1" : "scenecut=0:open-gop=0", 0);
    int rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0) return avError(rc, "video encoder");
    videoStream_ = avformat_new_stream(out_.get(), nullptr);
    videoStream_->time_base = AVRational{1, spec_.fpsNum * 512};
    avcodec_parameters_from_context(videoStream_->codecpar, c);
    if (spec_.containerAspectNum > 0 && spec_.containerAspectDen > 0) {
      const AVRational aspect{spec_.containerAspectNum, spec_.containerAspectDen};
      videoStream_->codecpar->sample_aspect_ratio = aspect;
      videoStream_->sample_aspect_ratio = aspect;
    }
    if (spec_.rotation != 0) {
      auto* matrix = reinterpret_cast<int32_t*>(
          av_stream_new_side_data(videoStream_, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
      if (!matrix) return QStringLiteral("no display matrix");
      // The setter takes the angle clockwise; the matrix states it as FFmpeg
      // reads it back (counter-clockwise).
      av_display_rotation_set(matrix, -spec_.rotation);
    }
    return {};
  }

  void setColourTags(AVCodecContext* c) const {
    c->color_range = spec_.fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    switch (spec_.matrix) {
      case TestClipSpec::Matrix::Bt601:
        c->colorspace = AVCOL_SPC_SMPTE170M;
        c->color_primaries = AVCOL_PRI_SMPTE170M;
        c->color_trc = AVCOL_TRC_SMPTE170M;
        break;
      case TestClipSpec::Matrix::Bt709:
        c->colorspace = AVCOL_SPC_BT709;
        c->color_primaries = AVCOL_PRI_BT709;
        c->color_trc = AVCOL_TRC_BT709;
        break;
      case TestClipSpec::Matrix::Untagged:
        break;
    }
  }

  QString openAudio() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
    audio_.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = audio_.get();
    c->sample_fmt = AV_SAMPLE_FMT_S16;
    c->sample_rate = 48000;
    av_channel_layout_default(&c->ch_layout, 2);
    c->time_base = AVRational{1, 48000};
    int rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0) return avError(rc, "audio encoder");
    audioStream_ = avformat_new_stream(out_.get(), nullptr);
    audioStream_->time_base = AVRational{1, 48000};
    avcodec_parameters_from_context(audioStream_->codecpar, c);
    return {};
  }

  void addChapters() {
    if (spec_.chapters.empty()) return;
    const int n = int(spec_.chapters.size());
    out_->chapters = static_cast<AVChapter**>(av_calloc(n, sizeof(AVChapter*)));
    for (int i = 0; i < n; ++i) {
      auto* ch = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
      ch->id = i + 1;
      ch->time_base = AVRational{spec_.fpsDen, spec_.fpsNum};
      ch->start = spec_.chapters[i].startFrame;
      ch->end = i + 1 < n ? spec_.chapters[i + 1].startFrame : spec_.frames;
      av_dict_set(&ch->metadata, "title", spec_.chapters[i].title.toUtf8().constData(), 0);
      out_->chapters[i] = ch;
    }
    out_->nb_chapters = n;
  }

  QString writeMedia() {
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = spec_.width;
    frame->height = spec_.height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return QStringLiteral("no frame buffer");
    const double seconds = spec_.audioSeconds > 0.0
                               ? spec_.audioSeconds
                               : double(spec_.frames) * spec_.fpsDen / spec_.fpsNum;
    const int64_t audioSamples = spec_.audio ? int64_t(std::llround(seconds * 48000)) : 0;
    int64_t samplesWritten = 0;
    for (int n = 0; n < spec_.frames; ++n) {
      const double videoSeconds = double(n) * spec_.fpsDen / spec_.fpsNum;
      while (samplesWritten < audioSamples && samplesWritten < (videoSeconds + 0.1) * 48000)
        if (QString e = writeAudio(samplesWritten, audioSamples); !e.isEmpty()) return e;
      av_frame_make_writable(frame.get());
      fillPattern(frame.get(), n);
      frame->pts = n < int(spec_.slots.size()) ? spec_.slots[size_t(n)] : n;
      if (QString e = encode(video_.get(), frame.get(), videoStream_); !e.isEmpty()) return e;
    }
    if (QString e = encode(video_.get(), nullptr, videoStream_); !e.isEmpty()) return e;
    while (samplesWritten < audioSamples)
      if (QString e = writeAudio(samplesWritten, audioSamples); !e.isEmpty()) return e;
    if (spec_.audio) return encode(audio_.get(), nullptr, audioStream_);
    return {};
  }

  QString writeAudio(int64_t& written, int64_t total) {
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_S16;
    frame->sample_rate = 48000;
    av_channel_layout_copy(&frame->ch_layout, &audio_->ch_layout);
    frame->nb_samples = int(std::min<int64_t>(1024, total - written));
    if (av_frame_get_buffer(frame.get(), 0) < 0) return QStringLiteral("no audio buffer");
    auto* samples = reinterpret_cast<int16_t*>(frame->data[0]);
    for (int i = 0; i < frame->nb_samples; ++i) {
      const double t = double(written + i) / 48000.0;
      const auto v = int16_t(std::lround(16383.0 * std::sin(2.0 * M_PI * 440.0 * t)));
      samples[2 * i] = v;
      samples[2 * i + 1] = v;
    }
    frame->pts = written;
    written += frame->nb_samples;
    return encode(audio_.get(), frame.get(), audioStream_);
  }

  QString encode(AVCodecContext* c, AVFrame* frame, AVStream* stream) {
    int rc = avcodec_send_frame(c, frame);
    if (rc < 0) return avError(rc, "encode");
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    while ((rc = avcodec_receive_packet(c, packet.get())) >= 0) {
      if (packet->duration == 0 && c->codec_type == AVMEDIA_TYPE_VIDEO) packet->duration = 1;
      av_packet_rescale_ts(packet.get(), c->time_base, stream->time_base);
      packet->stream_index = stream->index;
      rc = av_interleaved_write_frame(out_.get(), packet.get());
      if (rc < 0) return avError(rc, "write");
    }
    return (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) ? QString() : avError(rc, "encode");
  }

  // Stored pixel (x, y) shows at (sx, sy) of the picture turned by the
  // display matrix (quarter turns clockwise).
  void fillPattern(AVFrame* f, int n) {
    const int turns = ((-spec_.rotation / 90) % 4 + 4) % 4;
    const int w = f->width;
    const int h = f->height;
    const int shownWidth = turns % 2 ? h : w;
    const int shownHeight = turns % 2 ? w : h;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        int sx = x;
        int sy = y;
        if (turns == 1) {
          sx = h - 1 - y;
          sy = x;
        } else if (turns == 2) {
          sx = w - 1 - x;
          sy = h - 1 - y;
        } else if (turns == 3) {
          sx = y;
          sy = w - 1 - x;
        }
        f->data[0][y * f->linesize[0] + x] =
            uint8_t(TestClip::patternLuma(n, sx, sy, shownWidth, shownHeight));
      }
    uint32_t seed = 2166136261u ^ uint32_t(n);
    auto noise = [&]() -> int {
      if (spec_.chromaNoise <= 0) return 0;
      seed = seed * 1664525u + 1013904223u;
      return int((seed >> 16) % uint32_t(2 * spec_.chromaNoise + 1)) - spec_.chromaNoise;
    };
    for (int y = 0; y < f->height / 2; ++y)
      for (int x = 0; x < f->width / 2; ++x) {
        f->data[1][y * f->linesize[1] + x] = uint8_t(spec_.chromaU + noise());
        f->data[2][y * f->linesize[2] + x] = uint8_t(spec_.chromaV + noise());
      }
  }

  QString path_;
  TestClipSpec spec_;
  std::unique_ptr<AVFormatContext, OutputDeleter> out_;
  std::unique_ptr<AVCodecContext, CodecDeleter> video_;
  std::unique_ptr<AVCodecContext, CodecDeleter> audio_;
  AVStream* videoStream_ = nullptr;
  AVStream* audioStream_ = nullptr;
};

int readBits(const std::function<int(int, int)>& luma, int width, int height) {
  int n = 0;
  for (int bit = 0; bit < kCols * kRows; ++bit) {
    const int col = bit % kCols;
    const int row = bit / kCols;
    int sum = 0;
    int count = 0;
    // The middle half of the cell, away from blurred edges.
    const int x0 = col * width / kCols + width / (kCols * 4);
    const int x1 = (col + 1) * width / kCols - width / (kCols * 4);
    const int y0 = row * height / kRows + height / (kRows * 4);
    const int y1 = (row + 1) * height / kRows - height / (kRows * 4);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        sum += luma(x, y);
        ++count;
      }
    if (count == 0) return -1;
    const int mean = sum / count;
    if (mean > 60 && mean < 190) return -1;
    if (mean >= 190) n |= 1 << bit;
  }
  return n;
}
}  // namespace

QString TestClip::write(const QString& path, const TestClipSpec& spec) {
  if (spec.frames < 1 || spec.frames > kMaxFrames) return QStringLiteral("frame count out of range");
  av_log_set_level(AV_LOG_ERROR);
  return Writer(path, spec).run();
}

QString TestClip::create(const TestClipSpec& spec, const QString& fileName, QString* error) {
  const QString path = TestEnvironment::makeTempDir(QStringLiteral("clip")) + QLatin1Char('/') + fileName;
  const QString result = write(path, spec);
  if (error) *error = result;
  return result.isEmpty() ? path : QString();
}

int TestClip::patternLuma(int n, int x, int y, int width, int height) {
  const int col = x * kCols / width;
  const int row = y * kRows / height;
  const int bit = row * kCols + col;
  return (n >> bit) & 1 ? kWhite : kBlack;
}

int TestClip::frameNumberIn(const unsigned char* rgba, int width, int height, int bytesPerLine) {
  if (!rgba || width < kCols || height < kRows) return -1;
  return readBits(
      [&](int x, int y) {
        const unsigned char* p = rgba + y * bytesPerLine + 4 * x;
        return (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
      },
      width, height);
}

int TestClip::frameNumberIn(const QImage& image) {
  if (image.isNull()) return -1;
  const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
  return frameNumberIn(rgba.constBits(), rgba.width(), rgba.height(), int(rgba.bytesPerLine()));
}
