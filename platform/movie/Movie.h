#pragma once

#include "platform/movie/FrameStore.h"
#include "platform/movie/MovieInfo.h"
#include "platform/movie/MovieTimeline.h"
#include "platform/movie/QKTime.h"
#include "platform/movie/VideoFrame.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct AVFormatContext;
class KeyframeIndex;
class MovieAudio;
class MovieByteSource;
class MovieClock;
class VideoDecoder;

// How a movie decodes and plays.
struct MovieOptions {
  VideoFrame::Format frameFormat = VideoFrame::Format::Yuv420;
  int decoderThreads = 0;  // 0: as many as the machine has
  int64_t cacheBytes = int64_t(128) << 20;  // decoded frames kept around the play head
  MovieClock* clock = nullptr;  // the steady clock when null; must outlive the movie
  double displayPeriod = 1.0 / 60.0;  // how often the render thread asks for a frame
  int framesAhead = 4;  // display frames decoded ahead of the play head
  bool audio = true;  // play the sound through the audio output
};

// A movie opened with FFmpeg: its facts (duration, scale, size, rate, frames,
// tracks, chapters), its transport (time, rate, selection, looping, volume)
// and its pictures. Time runs on the movie's clock at the rate; a worker
// thread decodes the frames the render thread will ask for next into a small
// bounded store, and the render thread takes the frame for its display time
// without ever waiting (no frame ready: it keeps the one it has). A movie
// that stands still for a few seconds parks: it keeps only the frame at its
// play head, and its decoders (with their buffer pools and threads) and its
// worker thread go until a transport call or a still wants another frame.
//
// Transport calls may come from any thread but the render thread; the render
// thread calls only frameForDisplayTime (usually through a MovieFrameReader).
// Lock order: the worker's lock, then the state, then the store; the image
// decoder's and the handler's locks stand alone.
class Movie {
 public:
  using Options = MovieOptions;
  using OpenHandler = std::function<void(std::shared_ptr<Movie> movie, const QString& error)>;

  // Opening. A missing, unreadable, empty, truncated or foreign file answers
  // null with a clear error; probing is bounded in bytes and time.
  static std::shared_ptr<Movie> openFile(const QString& path, QString* error,
                                         const Options& options = {});
  static std::shared_ptr<Movie> openData(const QByteArray& bytes, QString* error,
                                         const Options& options = {});
  // The same on a worker thread; `done` runs on the main thread.
  static void openFileAsync(const QString& path, OpenHandler done, const Options& options = {});
  static void openDataAsync(const QByteArray& bytes, OpenHandler done, const Options& options = {});
  ~Movie();
  Movie(const Movie&) = delete;
  Movie& operator=(const Movie&) = delete;

  // Facts.
  QString path() const;  // empty for a movie opened from memory
  const MovieInfo& info() const { return info_; }
  int32_t timeScale() const { return info_.timeScale; }
  QKTime duration() const { return info_.time(info_.duration); }
  QKTime frameDuration() const { return info_.time(info_.frameDuration); }
  QSize naturalSize() const { return info_.naturalSize; }
  double frameRate() const { return info_.frameRate; }
  int64_t frameCount() const { return info_.frameCount; }
  bool hasVideo() const { return info_.hasVideo; }
  bool hasAudio() const { return info_.hasAudio; }
  const std::vector<MovieTrack>& tracks() const { return info_.tracks; }
  const std::vector<MovieChapter>& chapters() const { return info_.chapters; }
  double preferredRate() const { return 1.0; }

  // Time warp: playback, seeking and stepping run in warped time, and the
  // map says which movie time shows at each (the movie keeps its duration).
  // Null plays the movie as made.
  void setTimeMap(std::shared_ptr<const MovieTimeMap> map);
  std::shared_ptr<const MovieTimeMap> timeMap() const;

  // Poster: the frame that stands for the movie (the first one unless set).
  QKTime posterTime() const;
  void setPosterTime(const QKTime& time);
  // Movie files are never rewritten: the poster time lives in the project.
  bool canUpdateMovieFile() const { return false; }
  bool updateMovieFile() { return false; }

  // The picture at a movie time, decoded at once (not on the render thread).
  QImage frameImage(const QKTime& time);
  QImage posterImage() { return frameImage(posterTime()); }

  // Transport.
  QKTime currentTime();
  void setCurrentTime(const QKTime& time);
  double rate();
  void setRate(double rate);  // negative plays backwards
  void play() { setRate(preferredRate()); }
  void stop() { setRate(0.0); }
  float volume() const { return volume_.load(); }
  void setVolume(float volume);
  bool muted() const { return muted_.load(); }
  void setMuted(bool muted);
  QKTimeRange selection() const;
  void setSelection(const QKTimeRange& range);
  bool playsSelectionOnly() const;
  void setPlaysSelectionOnly(bool only);
  bool loops() const;
  void setLoops(bool loops);
  bool loopsBackAndForth() const;
  void setLoopsBackAndForth(bool backAndForth);
  // Steps stop the movie and move it by one frame within the play bounds.
  void stepForward();
  void stepBackward();
  // The start and end of the selection while it plays alone, else of the movie.
  void gotoBeginning();
  void gotoEnd();
  // While a performer scratches, the sound is off.
  void setScratching(bool scratching);
  bool scratching() const { return scratching_.load(); }

  // Main-thread housekeeping: delivers the end-of-play notice. Skipped while
  // idling is off.
  void idle();
  void setIdling(bool idling) { idling_ = idling; }
  bool idling() const { return idling_.load(); }
  // Called from idle when the movie stopped at a bound (not looping).
  void setDidEndHandler(std::function<void()> handler);

  // Render thread: the frame due at a display time, or null when it is not
  // decoded yet (or the movie is busy); never waits.
  std::shared_ptr<const VideoFrame> frameForDisplayTime(int64_t displayHostNanos);
  // The frame number shown at a display time.
  int64_t frameIndexAt(int64_t displayHostNanos);
  // Pre-roll: waits (at most `timeoutSeconds`) until the frame for the
  // current time is decoded. Not for the render thread.
  bool preroll(double timeoutSeconds = 2.0);
  MovieClock& clock() const { return *clock_; }

  // RAM loading: the compressed data of a time range kept in memory, so that
  // playing it never reads the disk. Answers false when the file cannot be
  // read there.
  bool loadIntoRam(const QKTimeRange& range);
  void flushFromRam(const QKTimeRange& range);
  int64_t ramBytes() const;
  int64_t fileBytesRead() const;

  // Lets go at once of what the movie holds to play: its frames, its decoder
  // and its threads (the sound's too). From then on it shows nothing and no
  // call starts it again, so whoever still holds it (the render thread, until
  // its next frame) keeps only the movie's facts. Never waits for a decode.
  void release();

  // Decoded frames now held (for tests and statistics).
  const FrameStore& frameStore() const { return store_; }
  const std::shared_ptr<KeyframeIndex>& keyframes() const { return keyframes_; }

 private:
  friend class MovieAudio;
  // The sound's view: the movie's own time (seconds) at the play head and
  // how fast it runs there (the rate, times the warp's stretch).
  void soundPosition(double* seconds, double* rate);
  Movie(std::shared_ptr<MovieByteSource> source, const MovieInfo& info, const Options& options,
        std::vector<std::pair<int64_t, int64_t>> headerSpans);
  static std::shared_ptr<Movie> openSource(std::shared_ptr<MovieByteSource> source, QString* error,
                                           const Options& options);
  int64_t now() const;
  // What a transport change means for the sound: nothing, a jump to follow,
  // or the movie starting to play (the sound starts if it has not yet).
  enum class Sound { Unchanged, Follows, Plays };
  // Runs `change` under the state lock with the host time (after applying a
  // stop at a bound), then lets the sound and the decode worker follow.
  void changeTimeline(Sound sound, const std::function<void(int64_t host)>& change);
  // Applies a stop at a bound (under stateMutex_).
  void settleLocked(int64_t host);
  MovieTimeline timelineSnapshot(int64_t host);
  void updateBounds();  // under stateMutex_
  int64_t frameFor(const MovieTimeline& timeline, int64_t host) const;
  // The frame shown at a (warped) time value.
  int64_t frameShownAt(const MovieTimeline& timeline, int64_t value) const;
  // Where a movie time plays under the warp (under stateMutex_).
  int64_t playingValueOf(int64_t movieValue) const;
  // Moves the play head (a step: looping back and forth, the leg stays).
  void setPositionLocked(int64_t value, int64_t host);
  // The same for a jump: looping back and forth, it starts on the way out.
  void jumpLocked(int64_t value, int64_t host);
  // Frees the decoder of frameImage unless it is at work (never waits).
  void dropImageDecoder();
  void wakeWorker();
  void ensureWorker();
  void workerMain();
  // One pass of the worker: a frame decoded, nothing to do, or nothing to do
  // for a while (the movie stands: it parks).
  enum class Work { Decoded, Idle, Parked };
  Work workOnce();
  std::vector<int64_t> wantedFrames(const MovieTimeline& timeline, int64_t host) const;
  // The bytes a time range plays from (offset, length).
  std::pair<int64_t, int64_t> byteSpan(const QKTimeRange& range);
  std::optional<std::pair<int64_t, int64_t>> indexedSpan(AVFormatContext* fc, int stream,
                                                         int64_t startTs, int64_t endTs,
                                                         int64_t frameTs) const;

  std::shared_ptr<MovieByteSource> source_;
  std::vector<std::pair<int64_t, int64_t>> headerSpans_;  // what opening reads
  MovieInfo info_;
  Options options_;
  MovieClock* clock_;
  std::shared_ptr<KeyframeIndex> keyframes_;
  FrameStore store_;

  mutable std::mutex stateMutex_;
  MovieTimeline timeline_;
  QKTimeRange selection_;
  bool playsSelectionOnly_ = false;
  QKTime posterTime_;
  std::atomic<bool> didEndPending_{false};
  std::atomic<float> volume_{1.0f};
  std::atomic<bool> muted_{false};
  std::atomic<bool> scratching_{false};
  std::atomic<bool> idling_{true};
  std::mutex handlerMutex_;
  std::function<void()> didEndHandler_;

  // Decode worker (started when first needed).
  std::mutex workMutex_;
  std::condition_variable workCv_;
  std::condition_variable readyCv_;
  bool wake_ = false;
  bool quit_ = false;  // released or going: no worker starts again
  bool workerRunning_ = false;
  bool decoderFailed_ = false;
  std::atomic<bool> wakeRequested_{false};
  std::thread worker_;
  std::unique_ptr<VideoDecoder> decoder_;  // worker thread only
  int64_t lastRequestHost_ = 0;

  std::mutex imageMutex_;
  std::unique_ptr<VideoDecoder> imageDecoder_;

  std::unique_ptr<MovieAudio> audio_;
};
