#pragma once

#include "platform/movie/KeyframeIndex.h"
#include "platform/movie/MovieInfo.h"
#include "platform/movie/RgbaConverter.h"
#include "platform/movie/VideoFrame.h"

#include <QString>

#include <functional>
#include <memory>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
class MovieByteSource;
class MovieDemuxer;

// Decodes the picture stream of a movie by frame number: forward through the
// stream while that is the short way, otherwise by a seek to the nearest key
// frame at or before the target (learning key frames as it goes). In a stream
// of key frames only, a seek decodes exactly the frame asked for.
class VideoDecoder {
 public:
  struct Options {
    VideoFrame::Format format = VideoFrame::Format::Yuv420;
    int threads = 0;  // 0: as many as the machine has
  };
  using Sink = std::function<void(const std::shared_ptr<const VideoFrame>&)>;

  static std::unique_ptr<VideoDecoder> create(const std::shared_ptr<MovieByteSource>& source,
                                              const MovieInfo& info,
                                              std::shared_ptr<KeyframeIndex> keyframes,
                                              const Options& options, QString* error);
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // The frame with number `index` (clamped to the movie). Every frame decoded
  // on the way is handed to `sink` first. When the stream ends before the
  // frame (a damaged file), the last frame there is answers; null when no
  // frame can be decoded at all.
  std::shared_ptr<const VideoFrame> decode(int64_t index, const Sink& sink = {});
  // Whether reaching `index` takes a seek rather than decoding on.
  bool needsSeek(int64_t index) const;
  // Decoders alive in the process now (for tests and statistics).
  static int liveCount();

  static constexpr int64_t kMaxForwardDecode = 120;

 private:
  VideoDecoder();
  std::shared_ptr<const VideoFrame> decodeOnce(int64_t index, const Sink& sink);
  // Feeds packets until a frame comes out; null at the end of the stream.
  std::shared_ptr<const VideoFrame> nextFrame();
  std::shared_ptr<const VideoFrame> wrap(AVFrame* decoded);
  bool receive(AVFrame* decoded);
  void seedKeyframesFromContainer();

  std::unique_ptr<MovieDemuxer> demuxer_;
  MovieInfo info_;
  Options options_;
  std::shared_ptr<KeyframeIndex> keyframes_;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* decoded_ = nullptr;
  RgbaConverter rgba_;
  int stream_ = -1;
  int64_t position_ = -1;  // the last frame decoded (-1 after a seek)
  int64_t endIndex_ = -1;  // the last frame the stream has, once its end was reached (-1 before)
  bool atEnd_ = false;
  bool allIntra_ = false;  // every frame is a key frame
  bool fresh_ = true;  // nothing read since open
  std::shared_ptr<const VideoFrame> last_;
};
