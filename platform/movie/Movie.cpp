#include "platform/movie/Movie.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/movie/KeyframeIndex.h"
#include "platform/movie/MovieAudio.h"
#include "platform/movie/MovieByteSource.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/MovieDemuxer.h"
#include "platform/movie/MovieTimeMap.h"
#include "platform/movie/QKTimeMath.h"
#include "platform/movie/VideoDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>
#include <optional>

#include <pthread.h>

namespace {
constexpr auto kIdleWait = std::chrono::milliseconds(250);
constexpr auto kPlayingWait = std::chrono::milliseconds(8);
constexpr double kTrimAfterSeconds = 3.0;  // a standing movie gives back its cache
}  // namespace

std::shared_ptr<Movie> Movie::openFile(const QString& path, QString* error,
                                       const Options& options) {
  QString why;
  auto movie = openSource(MovieByteSource::forFile(path, &why), &why, options);
  if (!movie && error)
    *error = QStringLiteral("Cannot open “%1”: %2").arg(QFileInfo(path).fileName(), why);
  return movie;
}

std::shared_ptr<Movie> Movie::openData(const QByteArray& bytes, QString* error,
                                       const Options& options) {
  QString why;
  auto movie = openSource(MovieByteSource::forData(bytes, &why), &why, options);
  if (!movie && error) *error = QStringLiteral("Cannot open the movie held in memory: %1").arg(why);
  return movie;
}

std::shared_ptr<Movie> Movie::openSource(std::shared_ptr<MovieByteSource> source, QString* error,
                                         const Options& options) {
  if (!source) return nullptr;
  std::unique_ptr<MovieDemuxer> demuxer = MovieDemuxer::open(source, error);
  if (!demuxer) return nullptr;
  const MovieInfo info = MovieInfo::from(*demuxer);
  if (info.hasVideo) {
    const AVCodecParameters* par = demuxer->context()->streams[demuxer->videoStream()]->codecpar;
    if (!avcodec_find_decoder(par->codec_id)) {
      if (error) *error = MovieDemuxer::unsupportedCodec(par) + QLatin1Char('.');
      return nullptr;
    }
  }
  return std::shared_ptr<Movie>(new Movie(std::move(source), info, options, demuxer->openingReads()));
}

namespace {
void openOnWorker(std::function<std::shared_ptr<Movie>(QString*)> open, Movie::OpenHandler done) {
  std::thread([open = std::move(open), done = std::move(done)]() mutable {
    std::shared_ptr<Movie> movie;
    QString error;
    try {
      movie = open(&error);
    } catch (const std::exception& e) {
      Log::line(QStringLiteral("\t\terr: caught exception opening a movie: %1").arg(QString::fromUtf8(e.what())));
      error = QStringLiteral("The movie could not be opened.");
    } catch (...) {
      Log::line("\t\terr: caught exception opening a movie");
      error = QStringLiteral("The movie could not be opened.");
    }
    MainThread::post([movie = std::move(movie), error, done = std::move(done)]() mutable {
      if (done) done(std::move(movie), error);
    });
  }).detach();
}
}  // namespace

void Movie::openFileAsync(const QString& path, OpenHandler done, const Options& options) {
  openOnWorker([path, options](QString* error) { return openFile(path, error, options); },
               std::move(done));
}

void Movie::openDataAsync(const QByteArray& bytes, OpenHandler done, const Options& options) {
  openOnWorker([bytes, options](QString* error) { return openData(bytes, error, options); },
               std::move(done));
}

Movie::Movie(std::shared_ptr<MovieByteSource> source, const MovieInfo& info, const Options& options,
             std::vector<std::pair<int64_t, int64_t>> headerSpans)
    : source_(std::move(source)),
      headerSpans_(std::move(headerSpans)),
      info_(info),
      options_(options),
      clock_(options.clock ? options.clock : &MovieClock::steady()),
      keyframes_(std::make_shared<KeyframeIndex>()),
      store_(options.cacheBytes) {
  timeline_.scale = info_.timeScale;
  timeline_.anchorHost = now();
  selection_ = QKTimeRange{info_.time(0), info_.time(0)};
  posterTime_ = info_.time(0);
  updateBounds();
  if (info_.hasAudio && options_.audio) audio_ = std::make_unique<MovieAudio>(*this);
}

Movie::~Movie() {
  audio_.reset();
  {
    std::lock_guard<std::mutex> lock(workMutex_);
    quit_ = true;
  }
  workCv_.notify_all();
  readyCv_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void Movie::release() {
  {
    std::lock_guard<std::mutex> lock(workMutex_);
    quit_ = true;
  }
  workCv_.notify_all();
  readyCv_.notify_all();
  // The worker frees its decoder itself on its way out; the frames go here
  // (and again there, for one it was decoding just now).
  store_.clear();
  if (audio_) audio_->release();
  dropImageDecoder();
}

void Movie::dropImageDecoder() {
  std::unique_ptr<VideoDecoder> dropped;
  {
    std::unique_lock<std::mutex> image(imageMutex_, std::try_to_lock);
    if (image.owns_lock()) dropped = std::move(imageDecoder_);
  }
}

QString Movie::path() const { return source_->path(); }

int64_t Movie::now() const { return clock_->nowNanos(); }

QKTime Movie::posterTime() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return posterTime_;
}

void Movie::setPosterTime(const QKTime& time) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  posterTime_ = QKTimeMath::convert(time, info_.timeScale);
}

QImage Movie::frameImage(const QKTime& time) {
  if (!info_.hasVideo) return QImage();
  {
    std::lock_guard<std::mutex> lock(workMutex_);
    if (quit_) return QImage();  // released
  }
  int64_t value = QKTimeMath::valueIn(time, info_.timeScale);
  if (const std::shared_ptr<const MovieTimeMap> map = timeMap()) value = map->originalAt(value);
  std::lock_guard<std::mutex> lock(imageMutex_);
  if (!imageDecoder_) {
    VideoDecoder::Options o;
    o.format = VideoFrame::Format::Rgba;
    o.threads = 1;
    QString error;
    imageDecoder_ = VideoDecoder::create(source_, info_, keyframes_, o, &error);
    if (!imageDecoder_) {
      Log::line(QStringLiteral("\t\terr: frame image of %1: %2").arg(path(), error));
      return QImage();
    }
  }
  std::shared_ptr<const VideoFrame> frame = imageDecoder_->decode(info_.frameIndexAt(value));
  return frame ? frame->toImage() : QImage();
}

// --- transport ------------------------------------------------------------

void Movie::settleLocked(int64_t host) {
  if (timeline_.rate == 0.0) return;
  const MovieTimeline::Position p = timeline_.at(host);
  if (!p.ended) return;
  timeline_.setAnchor(p.value, host);
  timeline_.rate = 0.0;
  didEndPending_ = true;
}

MovieTimeline Movie::timelineSnapshot(int64_t host) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  settleLocked(host);
  return timeline_;
}

void Movie::updateBounds() {
  const bool useSelection = playsSelectionOnly_ && selection_.duration.value > 0;
  int64_t start = 0;
  int64_t end = info_.duration;
  if (useSelection) {
    start = std::clamp<int64_t>(QKTimeMath::valueIn(selection_.start, info_.timeScale), 0, info_.duration);
    end = std::clamp<int64_t>(QKTimeMath::valueIn(QKTimeMath::rangeEnd(selection_), info_.timeScale),
                              start, info_.duration);
  }
  timeline_.boundStart = start;
  timeline_.boundEnd = end;
}

void Movie::setPositionLocked(int64_t value, int64_t host) {
  timeline_.setAnchor(std::clamp<int64_t>(value, 0, info_.duration), host);
}

void Movie::jumpLocked(int64_t value, int64_t host) {
  setPositionLocked(value, host);
  timeline_.returning = false;
}

QKTime Movie::currentTime() {
  const int64_t host = now();
  std::lock_guard<std::mutex> lock(stateMutex_);
  settleLocked(host);
  return info_.time(timeline_.at(host).value);
}

void Movie::changeTimeline(Sound sound, const std::function<void(int64_t host)>& change) {
  const int64_t host = now();
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    settleLocked(host);
    change(host);
  }
  if (audio_ && sound != Sound::Unchanged) audio_->positionChanged(sound == Sound::Plays);
  wakeWorker();
}

void Movie::setCurrentTime(const QKTime& time) {
  changeTimeline(Sound::Follows, [&](int64_t host) {
    jumpLocked(QKTimeMath::valueIn(time, info_.timeScale), host);
  });
}

double Movie::rate() {
  const int64_t host = now();
  std::lock_guard<std::mutex> lock(stateMutex_);
  settleLocked(host);
  return timeline_.rate;
}

void Movie::setRate(double rate) {
  if (!std::isfinite(rate)) rate = 0.0;
  changeTimeline(rate != 0.0 ? Sound::Plays : Sound::Follows, [&](int64_t host) {
    timeline_.reanchor(host);
    timeline_.rate = rate;
    settleLocked(host);
  });
}

void Movie::setVolume(float volume) {
  volume_ = std::isfinite(volume) ? std::max(0.0f, volume) : 0.0f;
  if (audio_) audio_->wake();
}

void Movie::setMuted(bool muted) {
  muted_ = muted;
  if (audio_) audio_->wake();
}

void Movie::setScratching(bool scratching) {
  scratching_ = scratching;
  if (audio_) audio_->wake();
}

QKTimeRange Movie::selection() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return selection_;
}

void Movie::setSelection(const QKTimeRange& range) {
  changeTimeline(Sound::Unchanged, [&](int64_t host) {
    timeline_.reanchor(host);
    selection_.start = QKTimeMath::convert(range.start, info_.timeScale);
    selection_.duration = QKTimeMath::convert(range.duration, info_.timeScale);
    if (selection_.duration.value < 0) selection_.duration.value = 0;
    updateBounds();
  });
}

bool Movie::playsSelectionOnly() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return playsSelectionOnly_;
}

void Movie::setPlaysSelectionOnly(bool only) {
  changeTimeline(Sound::Unchanged, [&](int64_t host) {
    timeline_.reanchor(host);
    playsSelectionOnly_ = only;
    updateBounds();
  });
}

bool Movie::loops() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return timeline_.loops;
}

void Movie::setLoops(bool loops) {
  changeTimeline(Sound::Unchanged, [&](int64_t host) {
    timeline_.reanchor(host);
    timeline_.loops = loops;
  });
}

bool Movie::loopsBackAndForth() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return timeline_.backAndForth;
}

void Movie::setLoopsBackAndForth(bool backAndForth) {
  changeTimeline(Sound::Unchanged, [&](int64_t host) {
    timeline_.reanchor(host);
    timeline_.backAndForth = backAndForth;
  });
}

void Movie::stepForward() {
  changeTimeline(Sound::Follows, [&](int64_t host) {
    timeline_.reanchor(host);
    timeline_.rate = 0.0;
    const int64_t current = frameFor(timeline_, host);
    const int64_t last = info_.frameIndexAt(std::max<int64_t>(timeline_.boundEnd - 1, 0));
    const int64_t next = std::min(current + 1, last);
    setPositionLocked(std::max(playingValueOf(info_.frameStart(next)), timeline_.boundStart), host);
  });
}

void Movie::stepBackward() {
  changeTimeline(Sound::Follows, [&](int64_t host) {
    timeline_.reanchor(host);
    timeline_.rate = 0.0;
    const int64_t current = frameFor(timeline_, host);
    const int64_t first = info_.frameIndexAt(timeline_.boundStart);
    const int64_t previous = std::max(current - 1, first);
    setPositionLocked(std::max(playingValueOf(info_.frameStart(previous)), timeline_.boundStart),
                      host);
  });
}

void Movie::gotoBeginning() {
  changeTimeline(Sound::Follows, [&](int64_t host) { jumpLocked(timeline_.boundStart, host); });
}

void Movie::gotoEnd() {
  changeTimeline(Sound::Follows, [&](int64_t host) { jumpLocked(timeline_.boundEnd, host); });
}

void Movie::idle() {
  if (!idling_) return;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    settleLocked(now());
  }
  if (!didEndPending_.exchange(false)) return;
  std::function<void()> handler;
  {
    std::lock_guard<std::mutex> lock(handlerMutex_);
    handler = didEndHandler_;
  }
  if (handler) handler();
}

void Movie::setDidEndHandler(std::function<void()> handler) {
  std::lock_guard<std::mutex> lock(handlerMutex_);
  didEndHandler_ = std::move(handler);
}

void Movie::soundPosition(double* seconds, double* rate) {
  const int64_t host = now();
  std::lock_guard<std::mutex> lock(stateMutex_);
  settleLocked(host);
  const int64_t value = timeline_.at(host).value;
  int64_t original = value;
  double stretch = 1.0;
  if (timeline_.timeMap) {
    original = timeline_.timeMap->originalAt(value);
    // The warp's slope over one frame around the play head.
    const int64_t step = std::max<int64_t>(info_.frameDuration, 1);
    stretch = double(timeline_.timeMap->originalAt(value + step) - original) / double(step);
  }
  *seconds = double(original) / info_.timeScale;
  *rate = timeline_.rate * stretch;
}

// --- frames ---------------------------------------------------------------

int64_t Movie::frameFor(const MovieTimeline& timeline, int64_t host) const {
  return frameShownAt(timeline, timeline.at(host).value);
}

int64_t Movie::frameShownAt(const MovieTimeline& timeline, int64_t value) const {
  const int64_t last = std::max(timeline.boundEnd - 1, timeline.boundStart);
  value = std::clamp(value, timeline.boundStart, last);
  if (timeline.timeMap) value = timeline.timeMap->originalAt(value);
  return info_.frameIndexAt(value);
}

int64_t Movie::playingValueOf(int64_t movieValue) const {
  return timeline_.timeMap ? timeline_.timeMap->warpedAt(movieValue) : movieValue;
}

void Movie::setTimeMap(std::shared_ptr<const MovieTimeMap> map) {
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    timeline_.timeMap = std::move(map);
  }
  if (audio_) audio_->positionChanged();
  wakeWorker();
}

std::shared_ptr<const MovieTimeMap> Movie::timeMap() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return timeline_.timeMap;
}

int64_t Movie::frameIndexAt(int64_t displayHostNanos) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return frameFor(timeline_, displayHostNanos);
}

std::shared_ptr<const VideoFrame> Movie::frameForDisplayTime(int64_t displayHostNanos) {
  if (!info_.hasVideo) return nullptr;
  int64_t index;
  {
    std::unique_lock<std::mutex> lock(stateMutex_, std::try_to_lock);
    if (!lock.owns_lock()) return nullptr;
    index = frameFor(timeline_, displayHostNanos);
  }
  std::shared_ptr<const VideoFrame> frame = store_.tryFind(index);
  if (!frame) {
    // Ask the worker without taking its lock (and never start a thread here:
    // the transport calls and pre-roll start it).
    wakeRequested_ = true;
    workCv_.notify_one();
  }
  return frame;
}

bool Movie::preroll(double timeoutSeconds) {
  if (!info_.hasVideo) return true;
  ensureWorker();
  wakeWorker();
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(timeoutSeconds));
  std::unique_lock<std::mutex> lock(workMutex_);
  while (true) {
    const int64_t index = frameIndexAt(now());
    if (store_.contains(index)) return true;
    if (decoderFailed_ || quit_) return false;
    if (readyCv_.wait_until(lock, deadline) == std::cv_status::timeout)
      return store_.contains(frameIndexAt(now()));
  }
}

void Movie::wakeWorker() {
  if (!info_.hasVideo) return;
  ensureWorker();
  {
    std::lock_guard<std::mutex> lock(workMutex_);
    wake_ = true;
  }
  workCv_.notify_one();
}

void Movie::ensureWorker() {
  if (!info_.hasVideo) return;
  std::lock_guard<std::mutex> lock(workMutex_);
  if (workerRunning_ || quit_) return;
  // A worker that parked has ended (or is ending without the lock): this
  // join is short.
  if (worker_.joinable()) worker_.join();
  workerRunning_ = true;
  worker_ = std::thread([this] { workerMain(); });
}

std::vector<int64_t> Movie::wantedFrames(const MovieTimeline& timeline, int64_t host) const {
  std::vector<int64_t> wanted{frameFor(timeline, host)};
  if (timeline.rate == 0.0) return wanted;
  const int64_t period = int64_t(options_.displayPeriod * 1e9);
  for (int k = 1; k <= options_.framesAhead; ++k) {
    const int64_t index = frameFor(timeline, host + k * period);
    if (std::find(wanted.begin(), wanted.end(), index) == wanted.end()) wanted.push_back(index);
  }
  return wanted;
}

void Movie::workerMain() {
  pthread_setname_np(pthread_self(), "movie decode");
  try {
    while (true) {
      {
        std::lock_guard<std::mutex> lock(workMutex_);
        if (quit_) break;
      }
      const Work work = workOnce();
      if (work == Work::Decoded) continue;
      if (work == Work::Parked) {
        // Its threads and buffer pools go with the decoder (never under the
        // lock: freeing it joins the codec's threads), and so does the
        // still-image decoder unless a still is being made just now.
        decoder_.reset();
        dropImageDecoder();
        std::lock_guard<std::mutex> lock(workMutex_);
        readyCv_.notify_all();
        if (quit_) break;
        if (!wake_ && !wakeRequested_) {
          workerRunning_ = false;  // the next transport call starts a worker again
          return;
        }
        wake_ = false;
        wakeRequested_ = false;
        continue;
      }
      std::unique_lock<std::mutex> lock(workMutex_);
      readyCv_.notify_all();
      if (quit_) break;
      const bool playing = timelineSnapshot(now()).rate != 0.0;
      workCv_.wait_for(lock, playing ? kPlayingWait : kIdleWait,
                       [&] { return quit_ || wake_ || wakeRequested_.load(); });
      wake_ = false;
      wakeRequested_ = false;
    }
    // Released or going: the decoder and the frames go now, not when the
    // last holder of the movie lets it go.
    decoder_.reset();
    store_.clear();
    return;
  } catch (const std::exception& e) {
    Log::line(QStringLiteral("\t\terr: caught exception in movie worker: %1").arg(QString::fromUtf8(e.what())));
  } catch (...) {
    Log::line("\t\terr: caught exception in movie worker");
  }
  std::lock_guard<std::mutex> lock(workMutex_);
  decoderFailed_ = true;
  readyCv_.notify_all();
}

Movie::Work Movie::workOnce() {
  const int64_t host = now();
  const MovieTimeline timeline = timelineSnapshot(host);
  const std::vector<int64_t> wanted = wantedFrames(timeline, host);
  const int64_t head = wanted.front();
  int64_t missing = -1;
  for (int64_t index : wanted)
    if (!store_.contains(index)) {
      missing = index;
      break;
    }
  if (missing < 0) {
    if (timeline.rate == 0.0 && lastRequestHost_ != 0 &&
        double(host - lastRequestHost_) / 1e9 > kTrimAfterSeconds) {
      store_.keepOnly(head, head);
      return Work::Parked;
    }
    return Work::Idle;
  }
  lastRequestHost_ = host;
  if (!decoder_) {
    {
      std::lock_guard<std::mutex> lock(workMutex_);
      if (decoderFailed_) return Work::Idle;
    }
    VideoDecoder::Options o;
    o.format = options_.frameFormat;
    o.threads = options_.decoderThreads;
    QString error;
    decoder_ = VideoDecoder::create(source_, info_, keyframes_, o, &error);
    if (!decoder_) {
      Log::line(QStringLiteral("\t\terr: cannot decode movie %1: %2").arg(path(), error));
      std::lock_guard<std::mutex> lock(workMutex_);
      decoderFailed_ = true;
      return Work::Idle;
    }
  }
  const int direction = timeline.rate < 0 ? -1 : 1;
  auto frame = decoder_->decode(missing, [&](const std::shared_ptr<const VideoFrame>& f) {
    store_.insert(f->index(), f, head, direction);
  });
  if (!frame) {
    Log::limited(QStringLiteral("movie-frame"),
                 QStringLiteral("\t\terr: no frame %1 in movie %2").arg(missing).arg(path()));
    std::lock_guard<std::mutex> lock(workMutex_);
    decoderFailed_ = true;
    return Work::Idle;
  }
  // A frame the stream does not have (a damaged file): the nearest one stands in.
  if (frame->index() != missing) store_.insert(missing, frame, head, direction);
  {
    std::lock_guard<std::mutex> lock(workMutex_);
    readyCv_.notify_all();
  }
  return Work::Decoded;
}

// --- RAM loading -------------------------------------------------------------

namespace {
// Widens [lo, hi) to an index entry's bytes; false when the entry does not
// say where they are.
bool widen(const AVIndexEntry* e, int64_t& lo, int64_t& hi) {
  if (!e || e->pos < 0 || e->size <= 0) return false;
  lo = std::min(lo, e->pos);
  hi = std::max(hi, e->pos + e->size);
  return true;
}

// Every stream's packets from `from` to `to` (in `base`) by the stream's
// own index; false when an entry there has no place or size.
bool widenOtherStreams(AVFormatContext* fc, int stream, AVRational base, int64_t from, int64_t to,
                       int64_t& lo, int64_t& hi) {
  for (unsigned i = 0; i < fc->nb_streams; ++i) {
    AVStream* st = fc->streams[i];
    if (int(i) == stream) continue;
    const int count = avformat_index_get_entries_count(st);
    const int64_t start = av_rescale_q(from, base, st->time_base);
    const int64_t end = av_rescale_q(to, base, st->time_base);
    int k =
        std::max(0, av_index_search_timestamp(st, start, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY));
    for (; k < count; ++k) {
      const AVIndexEntry* e = avformat_index_get_entry(st, k);
      if (e->timestamp > end) break;
      if (!widen(e, lo, hi)) return false;
    }
  }
  return true;
}
}  // namespace

// From the demuxer's index, without reading a packet: the picture stream's
// packets from the key frame the range decodes from (a reordering delay
// early) to a few past its end, and the other streams' packets of that time.
// Nothing when the index does not list every picture with its place and size.
std::optional<std::pair<int64_t, int64_t>> Movie::indexedSpan(AVFormatContext* fc, int stream,
                                                              int64_t startTs, int64_t endTs,
                                                              int64_t frameTs) const {
  AVStream* st = fc->streams[stream];
  const int count = avformat_index_get_entries_count(st);
  const int64_t listed = st->nb_frames > 0 ? st->nb_frames : info_.frameCount;
  if (count <= 0 || count < listed) return std::nullopt;
  const int64_t early = (int64_t(st->codecpar->video_delay) + 1) * frameTs;
  const int first =
      std::max(0, av_index_search_timestamp(st, startTs - early, AVSEEK_FLAG_BACKWARD));
  int last = av_index_search_timestamp(st, endTs, AVSEEK_FLAG_ANY);
  last = last < 0 ? count - 1 : std::min(count - 1, last + 8);
  int64_t lo = std::numeric_limits<int64_t>::max();
  int64_t hi = -1;
  for (int k = first; k <= last; ++k)
    if (!widen(avformat_index_get_entry(st, k), lo, hi)) return std::nullopt;
  const int64_t from = avformat_index_get_entry(st, first)->timestamp;
  const int64_t to = avformat_index_get_entry(st, last)->timestamp;
  if (!widenOtherStreams(fc, stream, st->time_base, from, to, lo, hi)) return std::nullopt;
  if (hi <= lo) return std::nullopt;
  return std::make_pair(lo, hi - lo);
}

std::pair<int64_t, int64_t> Movie::byteSpan(const QKTimeRange& range) {
  QString error;
  std::unique_ptr<MovieDemuxer> demuxer = MovieDemuxer::open(source_, &error);
  if (!demuxer) return {0, 0};
  AVFormatContext* fc = demuxer->context();
  const int stream = demuxer->videoStream() >= 0 ? demuxer->videoStream() : demuxer->audioStream();
  const AVRational tb = fc->streams[stream]->time_base;
  const int64_t startValue = QKTimeMath::valueIn(range.start, info_.timeScale);
  const int64_t endValue = QKTimeMath::valueIn(QKTimeMath::rangeEnd(range), info_.timeScale);
  const int64_t startTs = av_rescale_q(startValue, AVRational{1, info_.timeScale}, tb) +
                          (demuxer->videoStream() >= 0 ? info_.videoStartPts : 0);
  const int64_t endTs = av_rescale_q(endValue, AVRational{1, info_.timeScale}, tb) +
                        (demuxer->videoStream() >= 0 ? info_.videoStartPts : 0);
  if (demuxer->videoStream() >= 0) {
    const int64_t frameTs =
        std::max<int64_t>(1, av_rescale_q(info_.frameDuration, AVRational{1, info_.timeScale}, tb));
    if (auto span = indexedSpan(fc, stream, startTs, endTs, frameTs)) return *span;
  }
  // No full index: the packets themselves say where they are.
  AVPacket* packet = av_packet_alloc();
  // Start at the key frame the range's first frame is decoded from: a seek
  // that lands after the range start (reordered frames) backs off further.
  int64_t seekTs = startTs;
  for (int attempt = 0; attempt < 16; ++attempt) {
    av_seek_frame(fc, stream, seekTs, AVSEEK_FLAG_BACKWARD);
    int64_t landed = AV_NOPTS_VALUE;
    while (av_read_frame(fc, packet) >= 0) {
      const bool ours = packet->stream_index == stream;
      if (ours) landed = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
      av_packet_unref(packet);
      if (ours) break;
    }
    if (landed == AV_NOPTS_VALUE || landed <= startTs) break;
    seekTs = std::min(seekTs, landed) - (int64_t(1) << attempt) * std::max<int64_t>(1, av_rescale_q(info_.frameDuration, AVRational{1, info_.timeScale}, tb));
  }
  av_seek_frame(fc, stream, seekTs, AVSEEK_FLAG_BACKWARD);
  int64_t first = -1;
  int64_t last = -1;
  // Past the range end a little: reordered frames of its last group.
  int trailing = 0;
  while (av_read_frame(fc, packet) >= 0) {
    if (packet->pos >= 0) {
      first = first < 0 ? packet->pos : std::min(first, packet->pos);
      last = std::max(last, packet->pos + packet->size);
    }
    const bool past = packet->stream_index == stream && packet->dts != AV_NOPTS_VALUE &&
                      packet->dts >= endTs;
    av_packet_unref(packet);
    if (past && ++trailing > 8) break;
  }
  av_packet_free(&packet);
  if (first < 0) return {0, 0};
  return {first, last - first};
}

bool Movie::loadIntoRam(const QKTimeRange& range) {
  if (range.duration.value <= 0) return true;
  // The header first, so that a decoder opened later needs no disk either,
  // and finding the span reads it from memory.
  for (const auto& [spanOffset, spanLength] : headerSpans_)
    if (!source_->pin(spanOffset, spanLength)) return false;
  const auto [offset, length] = byteSpan(range);
  if (length <= 0) return false;
  return source_->pin(offset, length);
}

void Movie::flushFromRam(const QKTimeRange& range) {
  if (range.duration.value <= 0) return;
  const auto [offset, length] = byteSpan(range);
  if (length > 0) source_->unpin(offset, length);
}

int64_t Movie::ramBytes() const { return source_->pinnedBytes(); }

int64_t Movie::fileBytesRead() const { return source_->fileBytesRead(); }
