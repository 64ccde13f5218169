#pragma once

#include "platform/capture/CaptureSettings.h"
#include "platform/movie/VideoFrame.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <memory>

struct AVCodecContext;
struct AVCodecParameters;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// One open capture source read through FFmpeg's libavdevice: a camera
// ("video4linux2"), the test pattern ("lavfi") or a movie file paced at its
// own rate (or, unpaced, read as fast as asked and starting over at its
// end), all through the same code. Reads one packet at a time and
// decodes it into a 4:2:0 picture of the output size (scaled when that
// differs from the source's). One thread at a time; `interrupt` may be
// called from any thread and makes a blocked read give up.
class CaptureStream {
 public:
  // Null, with FFmpeg's reason in `error`, when the source cannot be opened
  // or holds no picture stream.
  static std::unique_ptr<CaptureStream> open(const CaptureSettings& settings, QString* error);
  ~CaptureStream();
  CaptureStream(const CaptureStream&) = delete;
  CaptureStream& operator=(const CaptureStream&) = delete;

  // The next packet of the picture stream (owned by the stream, valid until
  // the next read); null at the end or on a failure (`error` says which).
  const AVPacket* readPacket(QString* error);
  // Decodes the packet read last. Null when the decoder gave no picture for
  // it (not an error) or on a failure (then `error` is set).
  std::shared_ptr<const VideoFrame> decode(int64_t index, QString* error);

  void setOutputSize(QSize size) { outputSize_ = size; }
  QSize outputSize() const { return outputSize_; }
  // The size the source delivers.
  QSize sourceSize() const;
  // Frames per second the source announces (the settings' rate when it
  // announces none).
  double frameRate() const { return frameRate_; }
  // The picture stream's parameters (codec, size, extradata) for copying
  // packets into a recording.
  const AVCodecParameters* codecParameters() const;
  // The last decoded picture before scaling (for the recorder's encoder).
  const AVFrame* lastDecoded() const { return decoded_; }
  void interrupt() { interrupted_.store(true); }

 private:
  CaptureStream() = default;
  bool openDecoder(QString* error);
  bool scaleInto(AVFrame* out);
  static int interruptCallback(void* opaque);
  void paceFile();
  bool rewind(QString* error);

  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* decoded_ = nullptr;
  SwsContext* sws_ = nullptr;
  int stream_ = -1;
  QSize outputSize_;
  double frameRate_ = 30.0;
  bool paced_ = false;
  bool loops_ = false;
  int64_t firstPts_ = INT64_MIN;
  int64_t startedNs_ = 0;
  std::atomic<bool> interrupted_{false};
};
