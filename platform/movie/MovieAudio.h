#pragma once

#include "platform/movie/MovieAudioMixer.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
class Movie;
class MovieDemuxer;

// The sound of one movie: a thread that decodes the sound track, resamples
// it to the mixer's stereo 48 kHz and keeps the movie's stream in the mixer
// a little ahead of the play head. Heard only at rate 1, unmuted, while no
// one scratches and while something takes the mix; after a jump or loop it
// follows the picture's time. Unheard, the thread sleeps until a call wakes
// it (under a time warp it looks again every 50 ms while the movie plays).
class MovieAudio {
 public:
  explicit MovieAudio(Movie& movie);
  ~MovieAudio();
  MovieAudio(const MovieAudio&) = delete;
  MovieAudio& operator=(const MovieAudio&) = delete;

  // The play head jumped or the rate changed: follow at once (`playing`:
  // the movie now runs, so the sound starts if it has not yet).
  void positionChanged(bool playing = false);
  // Something that decides whether the sound is heard changed (volume, mute,
  // scratching): look again.
  void wake();
  // Ends the thread, which lets go of its decoder and stream on its way out;
  // nothing starts it again. Never waits.
  void release();

  static constexpr double kAhead = 0.1;  // seconds queued ahead of the play head
  static constexpr double kTolerance = 0.08;  // drift that makes the sound jump

 private:
  // Heard; silent until something calls; or silent for now (a time warp's
  // stretch ahead may play at its own speed, so the thread looks again soon).
  enum class Hearing { Heard, Silent, SilentForNow };
  void threadMain();
  void waitForWork(Hearing hearing);
  bool open();
  void close();
  Hearing hearing();
  // Fills the stream up to kAhead; false when nothing could be decoded.
  bool fill();
  void seekTo(double seconds);
  bool decodeFrame();

  Movie& movie_;
  std::shared_ptr<MovieAudioMixer::Stream> stream_;
  std::unique_ptr<MovieDemuxer> demuxer_;
  AVCodecContext* codec_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  double nextTime_ = -1.0;  // movie seconds of the next sample to queue
  double dropUntil_ = -1.0;  // samples before this time are skipped (after a seek)
  bool ended_ = false;

  std::mutex mutex_;
  std::condition_variable wake_;
  bool jumped_ = false;
  bool woken_ = false;
  bool quit_ = false;
  std::thread thread_;
};
