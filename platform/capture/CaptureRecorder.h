#pragma once

#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

struct AVCodecContext;
struct AVCodecParameters;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

// Writes a live input into a QuickTime movie. Pictures that arrive
// compressed (MJPEG, H.264 with its parameter sets) are copied as they
// are; anything else is encoded as MJPEG (intra only, so every frame can be
// shown on its own). Frame n is stamped n / rate: a recording plays
// frame-exact at the input's rate. The movie is fragmented (a fragment a
// second), so a program killed while recording leaves a playable file.
//
// The file is created exclusively: an existing file is never written over.
// One thread at a time (the input's capture thread).
class CaptureRecorder {
 public:
  // `source`: the input's picture stream; `rate`: its frames per second;
  // `encodeSize`: the size of the pictures handed to writeFrame (encode
  // path). Null with the reason when the file cannot be made.
  static std::unique_ptr<CaptureRecorder> create(const QString& path,
                                                 const AVCodecParameters* source, double rate,
                                                 QSize encodeSize, QString* error);
  ~CaptureRecorder();
  CaptureRecorder(const CaptureRecorder&) = delete;
  CaptureRecorder& operator=(const CaptureRecorder&) = delete;

  // Whether packets are copied (else pictures are encoded).
  bool copies() const { return copy_; }
  static bool canCopy(const AVCodecParameters* source);
  bool writePacket(const AVPacket* packet, QString* error);
  bool writeFrame(const AVFrame* frame, QString* error);
  // Writes the end of the movie and closes the file; false with the reason
  // (the fragments written stay readable).
  bool finish(QString* error);
  int64_t framesWritten() const { return frames_; }
  QString path() const { return path_; }

 private:
  CaptureRecorder() = default;
  bool openEncoder(QSize size, double rate, QString* error);
  bool writeOut(AVPacket* packet, QString* error);

  QString path_;
  AVFormatContext* muxer_ = nullptr;
  AVStream* stream_ = nullptr;
  AVCodecContext* encoder_ = nullptr;
  SwsContext* sws_ = nullptr;
  AVFrame* converted_ = nullptr;
  AVPacket* packet_ = nullptr;
  bool copy_ = false;
  bool headerWritten_ = false;
  bool finished_ = false;
  int64_t frames_ = 0;
  int rateNum_ = 30;
  int rateDen_ = 1;
};
