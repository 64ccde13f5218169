#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

struct AVCodecParameters;
struct AVFormatContext;
struct AVIOContext;
class MovieByteSource;

// One FFmpeg demuxer over a movie's bytes. Opening probes the content (not
// the file name) with a size and a time limit, so a strange or huge file
// gives an error instead of a hang.
class MovieDemuxer {
 public:
  static constexpr int64_t kProbeBytes = 8 * 1024 * 1024;
  static constexpr double kProbeSeconds = 5.0;         // of media analysed
  static constexpr double kOpenTimeoutSeconds = 10.0;  // of wall time

  static std::unique_ptr<MovieDemuxer> open(const std::shared_ptr<MovieByteSource>& source,
                                            QString* error,
                                            double timeoutSeconds = kOpenTimeoutSeconds);
  ~MovieDemuxer();
  MovieDemuxer(const MovieDemuxer&) = delete;
  MovieDemuxer& operator=(const MovieDemuxer&) = delete;

  // Errors are said in a performer's words ("the movie is damaged or
  // incomplete"), ending with FFmpeg's own reason in brackets when it gave
  // one; the caller names the file.
  static QString withReason(const QString& text, const QString& logged, int code = 0);
  static QString unsupportedCodec(const AVCodecParameters* par);

  AVFormatContext* context() const { return format_; }
  int videoStream() const { return video_; }  // -1 when none
  int audioStream() const { return audio_; }  // -1 when none
  const std::shared_ptr<MovieByteSource>& source() const { return source_; }
  // The byte spans opening read (offset, length).
  const std::vector<std::pair<int64_t, int64_t>>& openingReads() const { return openingReads_; }

 private:
  MovieDemuxer() = default;
  static int interrupted(void* opaque);

  std::shared_ptr<MovieByteSource> source_;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  int video_ = -1;
  int audio_ = -1;
  std::atomic<int64_t> deadlineNanos_{0};  // 0: no deadline
  std::vector<std::pair<int64_t, int64_t>> openingReads_;
};
