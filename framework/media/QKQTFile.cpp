#include "framework/media/QKQTFile.h"

#include "framework/media/CompositorInterface.h"
#include "framework/media/MediaNotifications.h"
#include "framework/media/MediaPaths.h"
#include "framework/media/MovieProps.h"
#include "framework/media/MovieTempoSync.h"
#include "framework/media/QKMovieTextureContext.h"
#include "framework/media/QKQTMovie.h"
#include "framework/media/RamloadRangeChange.h"
#include "framework/toolkit/QKStatChecker.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/WorkerPool.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/movie/QKTimeMath.h"

#include <QDir>
#include <QFileInfo>
#include <QSizeF>

#include <algorithm>
#include <cmath>
#include <exception>

const QString QKQTFile::kMoviePropsKey = QStringLiteral("movieProps");
const QString QKQTFile::kWarpArrayKey = QStringLiteral("warpArray");

namespace {
namespace P = MovieProps;

const QStringList kStillExtensions{
    QStringLiteral("png"),  QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("tiff"),
    QStringLiteral("pict"), QStringLiteral("psd"), QStringLiteral("pdf")};

std::mutex optionsMutex;
Movie::Options configuredOptions;

QVariant defaultOr(const QString& defaultKey, const QVariant& fallback) {
  const UserDefaults& defaults = UserDefaults::standard();
  return defaults.contains(defaultKey) ? defaults.value(defaultKey) : fallback;
}

int64_t rangeEnd(const QKTimeRange& r) { return r.start.value + r.duration.value; }

QKTimeRange span(int64_t start, int64_t end, int32_t scale) {
  return QKTimeRange{QKTime{start, scale, 0}, QKTime{std::max<int64_t>(end - start, 0), scale, 0}};
}

// What a subscriber was doing before an edit, so it can go on afterwards.
struct SubscriberPause {
  std::shared_ptr<QKQTMovieSubscriber> subscriber;
  bool locked = false;
  QKTime time;
};

QImage thumbnailOf(const QImage& image) {
  if (image.isNull()) return {};
  return image.scaled(QKFile::kThumbnailWidth, QKFile::kThumbnailHeight, Qt::IgnoreAspectRatio,
                      Qt::SmoothTransformation);
}

void runGuarded(const char* what, const std::function<void()>& work) {
  try {
    work();
  } catch (const std::exception& e) {
    Log::line(QStringLiteral("\t\terr: caught exception in %1: %2")
                  .arg(QLatin1String(what), QString::fromUtf8(e.what())));
  } catch (...) {
    Log::line(QStringLiteral("\t\terr: caught exception in %1").arg(QLatin1String(what)));
  }
}
}  // namespace

// The compositor's render lock for a scope (nothing without a compositor).
class QKQTFile::RenderLock {
 public:
  explicit RenderLock(CompositorInterface* compositor) : compositor_(compositor) {
    if (compositor_) compositor_->lockForRender();
  }
  ~RenderLock() {
    if (compositor_) compositor_->unlockRender();
  }
  RenderLock(const RenderLock&) = delete;
  RenderLock& operator=(const RenderLock&) = delete;

 private:
  CompositorInterface* compositor_;
};

// --- making ------------------------------------------------------------------

void QKQTFile::setMovieOptions(const Movie::Options& options) {
  std::lock_guard<std::mutex> lock(optionsMutex);
  configuredOptions = options;
}

Movie::Options QKQTFile::movieOptions() {
  std::lock_guard<std::mutex> lock(optionsMutex);
  return configuredOptions;
}

QKQTFile::QKQTFile(CompositorInterface* compositor) : QKFile(compositor) {
  qkFileType_ = kMovieKind;
}

QKQTFile::QKQTFile(const QString& name, CompositorInterface* compositor)
    : QKFile(name, compositor) {
  qkFileType_ = kMovieKind;
}

QKQTFile::~QKQTFile() {
  MainThread::cancel(this);
  if (!deleted()) releasePlayback();
}

std::shared_ptr<QKQTFile> QKQTFile::createWithCompositor(CompositorInterface* compositor) {
  return std::make_shared<QKQTFile>(compositor);
}

std::shared_ptr<QKQTFile> QKQTFile::createQTWithPath(const QString& path, const QString& name,
                                                     std::shared_ptr<QKQTMovie> movie,
                                                     CompositorInterface* compositor) {
  auto file = std::make_shared<QKQTFile>(name, compositor);
  file->takePath(path);
  file->fileType_ = QFileInfo(file->fullPath_).suffix();
  file->idleCheck_ = true;
  if (!movie) return file;
  file->initWithQTMovie(std::move(movie));
  const std::shared_ptr<QKQTMovie> opened = file->movieFile();
  if (opened && P::intValue(file->movieProps(), P::kRamload) == 1)
    file->setRamloadRange(file->initialRamloadRange(opened->movie()));
  file->threadedVisualContextInit();
  return file;
}

std::shared_ptr<QKQTFile> QKQTFile::createFromRecordingSource(const QString& inputName,
                                                              CompositorInterface* compositor) {
  auto file = std::make_shared<QKQTFile>(QStringLiteral("rec-%1").arg(inputName), compositor);
  file->recSourceName_ = inputName;
  std::weak_ptr<QKQTFile> weak = file;
  NotificationCenter::defaultCenter().addObserver(file.get(), MediaNotifications::kExportDone,
                                                  nullptr, [weak](const Notification& n) {
                                                    if (auto self = weak.lock())
                                                      self->recordingDidStop(n);
                                                  });
  return file;
}

std::weak_ptr<QKQTFile> QKQTFile::weakSelf() {
  return std::static_pointer_cast<QKQTFile>(weak_from_this().lock());
}

std::shared_ptr<QKQTMovie> QKQTFile::openMovie(const QString& path) {
  std::shared_ptr<QKQTMovie> movie = QKQTMovie::movieWithFile(path, &loadError_, movieOptions());
  if (movie) loadError_.clear();
  return movie;
}

std::shared_ptr<QKQTMovie> QKQTFile::openFreshCopy() {
  std::shared_ptr<QKQTMovie> movie;
  if (!dataReference_.isEmpty()) {
    movie = QKQTMovie::movieWithDataReference(dataReference_, &loadError_, movieOptions());
    if (movie) loadError_.clear();
  }
  if (!movie && !fullPath_.isEmpty()) movie = openMovie(fullPath_);
  return movie;
}

void QKQTFile::park(const std::shared_ptr<QKQTMovie>& movie) const {
  movie->movie().setCurrentTime(QKTime{0, movie->movie().timeScale(), 0});
  movie->movie().setPlaysSelectionOnly(true);
  movie->lock();
}

void QKQTFile::setMovie(std::shared_ptr<QKQTMovie> movie) {
  std::lock_guard<std::mutex> lock(stateMutex_);
  movieFile_ = std::move(movie);
}

std::shared_ptr<QKQTMovie> QKQTFile::movieFile() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return movieFile_;
}

std::shared_ptr<QKMovieTextureContext> QKQTFile::visualContext() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return visualContext_;
}

std::shared_ptr<const MovieTimeMap> QKQTFile::timeMap() const {
  std::lock_guard<std::mutex> lock(stateMutex_);
  return timeMap_;
}

// --- opening -----------------------------------------------------------------

void QKQTFile::initWithQTMovie(std::shared_ptr<QKQTMovie> qkMovie) {
  const int beats = compositor_ ? compositor_->beatsPerMeasure() : 4;
  qkFileType_ = kMovieKind;
  if (!qkMovie) return;
  setMovie(qkMovie);
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    timeMap_.reset();
  }
  movieIsWarped_ = false;
  Movie& movie = qkMovie->movie();
  movie.setTimeMap(nullptr);
  movie.setCurrentTime(QKTime{0, movie.timeScale(), 0});
  movie.stop();

  QVariantMap props;
  const QKTime duration = movie.duration();
  props.insert(P::kDuration, P::fromTime(duration));
  props.insert(P::kOriginalDuration, P::fromTime(duration));

  props.insert(P::kBpmSyncOnOff, defaultOr(QStringLiteral("bpmSyncOnOffDefault"), 0));
  const UserDefaults& defaults = UserDefaults::standard();
  std::optional<float> defaultTempo;
  if (defaults.contains(QStringLiteral("bpmDefault")))
    defaultTempo = float(defaults.doubleValue(QStringLiteral("bpmDefault")));
  const MovieTempoSync tempo = MovieTempoSync::compute(
      float(duration.seconds()), beats, P::intValue(props, P::kBpmSyncOnOff) == 1, defaultTempo);
  props.insert(P::kBeatsPerMinute, tempo.beatsPerMinute);
  props.insert(P::kDurationInMeasures, tempo.durationInMeasures);

  stillFlag_ = kStillExtensions.contains(QFileInfo(fullPath_).suffix(), Qt::CaseInsensitive);

  QKTimeRange selection = movie.selection();
  if (selection.duration.value == 0)
    selection = QKTimeRange{QKTime{0, duration.scale, 0}, duration};
  movie.setSelection(selection);
  props.insert(P::kActive, P::fromRange(selection));
  props.insert(P::kOriginalActive, P::fromRange(selection));
  movie.setPlaysSelectionOnly(true);

  deriveFromDefaults(movie, props);
  deriveTracks(movie, props);
  posterImage_ = thumbnailOf(movie.posterImage());

  if (!QKStatChecker::stopPrerolling() && !QKStatChecker::checkMemoryThreshold())
    props.insert(P::kDoMoviePreroll, defaultOr(QStringLiteral("doMoviePrerollDefault"), 0));
  props.insert(P::kRamloadDurationInFrames, defaultOr(QStringLiteral("ramloadRangeDefault"), 10));
  props.insert(P::kRamload, defaultOr(QStringLiteral("ramloadDefault"), 0));
  props.insert(P::kRamloadAll, defaultOr(QStringLiteral("ramloadAllDefault"), 0));
  setMovieProps(props);

  for (const MovieChapter& chapter : movie.chapters()) addWarpMarkerAtTime(chapter.startTime);

  qkMovie->lock();
  validFile_ = true;
}

void QKQTFile::deriveFromDefaults(const Movie& movie, QVariantMap& props) const {
  props.insert(P::kAllowLiveUpdating,
               defaultOr(QStringLiteral("qtAllowLiveUpdatingDefault"), true));
  props.insert(P::kUseMovieTime, defaultOr(QStringLiteral("useMovieTimeDefault"), 0));
  props.insert(P::kStartTime, defaultOr(QStringLiteral("startTimeDefault"), 0.0));
  const UserDefaults& defaults = UserDefaults::standard();
  if (defaults.contains(QStringLiteral("timeSliderDefault")))
    props.insert(P::kTimeSlider, defaults.value(QStringLiteral("timeSliderDefault")));
  props.insert(P::kUseMovieVolume, defaultOr(QStringLiteral("useMovieVolumeDefault"), 0));
  props.insert(P::kVolume, defaultOr(QStringLiteral("volumeDefault"), double(movie.volume())));
  if (defaults.contains(QStringLiteral("volumeSliderDefault")))
    props.insert(P::kVolumeSlider, defaults.value(QStringLiteral("volumeSliderDefault")));
  props.insert(P::kUseMovieSpeed, defaultOr(QStringLiteral("useMovieSpeedDefault"), 0));
  // The movie has just been stopped: its rate is 0.
  props.insert(P::kSpeed, defaultOr(QStringLiteral("speedDefault"), 0.0));
  if (defaults.contains(QStringLiteral("speedSliderDefault")))
    props.insert(P::kSpeedSlider, defaults.value(QStringLiteral("speedSliderDefault")));
  props.insert(P::kUseMovieLoopMode, defaultOr(QStringLiteral("useMovieLoopModeDefault"), 0));
  props.insert(P::kLoopMode, defaultOr(QStringLiteral("loopModeDefault"), 1));
  props.insert(P::kResolution, QSizeF(movie.naturalSize()));
}

void QKQTFile::deriveTracks(const Movie& movie, QVariantMap& props) const {
  qint64 frameCount = 0;
  float frameRate = 0.0f;
  for (const MovieTrack& track : movie.tracks()) {
    if (!track.visual || track.mediaType == QLatin1String("tmcd")) continue;
    frameCount = std::max<qint64>(frameCount, track.sampleCount);
    if (track.mediaDuration > 0) {
      const float rate =
          float(track.sampleCount) * float(track.mediaTimeScale) / float(track.mediaDuration);
      frameRate = std::max(frameRate, rate);
    }
  }
  props.insert(P::kOriginalFrameCount, frameCount);
  props.insert(P::kOriginalFrameRate, frameRate);
}

QKTimeRange QKQTFile::initialRamloadRange(const Movie& movie) const {
  const QVariantMap props = movieProps();
  const int32_t scale = movie.timeScale();
  if (P::intValue(props, P::kRamloadAll) == 1)
    return QKTimeRange{QKTime{0, scale, 0}, P::time(props.value(P::kDuration))};
  bool ok = false;
  int frames = props.value(P::kRamloadDurationInFrames).toInt(&ok);
  if (!ok) frames = 10;
  float rate = props.value(P::kOriginalFrameRate).toFloat(&ok);
  if (!ok || !(rate > 0.0f)) rate = 30.0f;
  const int64_t length = int64_t(float(int(scale * frames)) / rate);
  return QKTimeRange{QKTime{0, scale, 0}, QKTime{length, scale, 0}};
}

// --- snapshot ----------------------------------------------------------------

bool QKQTFile::loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) {
  if (snapshot.isEmpty()) return false;
  return loadWithMediaFromSnapshot(snapshot, compositor);
}

bool QKQTFile::loadFromSnapshot(const QVariantMap& snapshot, const QString& fullPath,
                                CompositorInterface*) {
  if (fullPath.isNull()) Log::line("\t\terr: newPath was nil");
  takePath(fullPath);
  clearMovieProps();
  storedProps_ = snapshot.value(kMoviePropsKey).toMap();

  std::shared_ptr<QKQTMovie> movie;
  if (!fullPath_.isEmpty() && QFileInfo::exists(fullPath_)) {
    movie = openMovie(fullPath_);
    if (!movie)
      Log::line(
          QStringLiteral("\t\terr: restoring %1 from the snapshot: %2").arg(fullPath_, loadError_));
  }
  validFile_ = movie != nullptr;
  if (validFile_) initWithQTMovie(movie);
  if (snapshot.contains(kMoviePropsKey)) convertDictToMovieProps(storedProps_);
  if (validFile_) threadedVisualContextInit();

  if (snapshot.contains(kWarpArrayKey)) {
    std::vector<std::shared_ptr<QKWarpMarker>> markers;
    for (const QVariant& entry : snapshot.value(kWarpArrayKey).toList()) {
      auto marker = std::make_shared<QKWarpMarker>();
      marker->loadSnapshot(entry.toMap());
      markers.push_back(std::move(marker));
    }
    warp_.setMarkers(std::move(markers));
    if (validFile_ && !warp_.empty()) {
      std::weak_ptr<QKQTFile> weak = weakSelf();
      MainThread::post([weak] {
        if (auto self = weak.lock()) self->createWarpedMovieFile();
      });
    }
  }
  return validFile_;
}

QVariantMap QKQTFile::createSnapshot() {
  QVariantMap snapshot = QKFile::createSnapshot();
  snapshot.insert(kMoviePropsKey, convertMoviePropsToDict());
  if (!warp_.empty()) {
    QVariantList markers;
    for (const auto& marker : warp_.markers()) markers << marker->returnSnapshot();
    snapshot.insert(kWarpArrayKey, markers);
  }
  return snapshot;
}

QVariantMap QKQTFile::convertMoviePropsToDict() const {
  QVariantMap props = movieProps();
  // A range still waiting for memory or being read is what the user asked for.
  if (ramloadNext_)
    props.insert(P::kRamloadRange, P::fromRange(*ramloadNext_));
  else if (ramloadUnderWay_)
    props.insert(P::kRamloadRange, P::fromRange(*ramloadUnderWay_));
  else if (pendingRamload_)
    props.insert(P::kRamloadRange, P::fromRange(*pendingRamload_));
  QVariantMap stored = P::storedForm(props);
  if (!validFile_)
    for (auto it = storedProps_.constBegin(); it != storedProps_.constEnd(); ++it)
      if (!stored.contains(it.key())) stored.insert(it.key(), it.value());
  return stored;
}

void QKQTFile::convertDictToMovieProps(const QVariantMap& stored) {
  QVariantMap props = movieProps();
  const auto copy = [&](const QStringList& keys) {
    for (const QString& key : keys)
      if (stored.contains(key)) props.insert(key, stored.value(key));
  };
  copy({P::kAllowLiveUpdating, P::kDoMoviePreroll, P::kBeatsPerMinute, P::kDurationInMeasures,
        P::kBpmSyncOnOff});

  const std::shared_ptr<QKQTMovie> movie = validFile_ ? movieFile() : nullptr;
  QKTimeRange active = P::range(stored.value(P::kActive));
  if (movie) {
    const int32_t scale = movie->movie().timeScale();
    if (active.start.scale != scale) {
      const int32_t from = active.start.scale;
      if (from < 1) {
        active = QKTimeRange{QKTime{0, scale, 0}, movie->movie().duration()};
      } else {
        active.start =
            QKTime{int64_t(__int128(active.start.value) * scale / from), scale, active.start.flags};
        active.duration = QKTime{int64_t(__int128(active.duration.value) * scale / from), scale,
                                 active.duration.flags};
      }
    }
    movie->movie().setSelection(active);
  }
  // A missing movie invents no selection: it writes back what it was given.
  if (movie || stored.contains(P::kActive)) props.insert(P::kActive, P::fromRange(active));

  copy({P::kUseMovieTime, P::kStartTime, P::kTimeSlider, P::kRamload, P::kRamloadAll,
        P::kRamloadDurationInFrames});
  setMovieProps(props);
  if (P::intValue(props, P::kRamload) == 1 && movie)
    setRamloadRange(P::range(stored.value(P::kRamloadRange)));

  props = movieProps();
  copy({P::kUseMovieSpeed, P::kSpeed, P::kSpeedSlider, P::kUseMovieVolume, P::kVolume,
        P::kVolumeSlider, P::kUseMovieLoopMode, P::kLoopMode});
  const bool hasPosterTime = stored.contains(P::kInstancePosterTime);
  const QKTime posterTime = P::time(stored.value(P::kInstancePosterTime));
  if (hasPosterTime) props.insert(P::kInstancePosterTime, P::fromTime(posterTime));
  setMovieProps(props);
  if (hasPosterTime && movie) setPosterImage(movie->movie().frameImage(posterTime));
}

// --- recording ----------------------------------------------------------------

void QKQTFile::recordingDidStop(const Notification& notification) {
  std::weak_ptr<QKQTFile> weak = weakSelf();
  const QVariantMap userInfo = notification.userInfo;
  MainThread::post([weak, userInfo] {
    if (auto self = weak.lock()) self->recordingDidStopMainThread(userInfo);
  });
}

void QKQTFile::recordingDidStopMainThread(const QVariantMap& userInfo) {
  if (recSourceName_.isNull() ||
      userInfo.value(MediaNotifications::kExportTapNameKey).toString() != recSourceName_)
    return;
  NotificationCenter::defaultCenter().removeObserver(this, MediaNotifications::kExportDone);
  QString path = userInfo.value(MediaNotifications::kExportPathKey).toString();
  if (!path.isEmpty()) {
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
      path = MediaPaths::homeFolder() + path.mid(1);
    // The placeholder keeps its ID: the page and the bin refer to it by it.
    const QVariantMap snapshot{{MediaPaths::kFullPathKey, path},
                               {kNameKey, QFileInfo(path).fileName()},
                               {kUniqueIdKey, qint64(uniqueFileId_)}};
    loadFromSnapshot(snapshot, compositor_);
  } else {
    Log::line("err: record path was nil");
  }
  recSourceName_ = QString();
  NotificationCenter::defaultCenter().post(MediaNotifications::kReloadAll, this);
  NotificationCenter::defaultCenter().post(MediaNotifications::kFileLoaderFinishedLoad, this);
}

// --- pre-roll -------------------------------------------------------------------

void QKQTFile::prepareForTriggerOnMainThread() {
  if (movieFile()) return;
  if (!warp_.empty()) {
    createWarpedMovieFile();
    return;
  }
  std::shared_ptr<QKQTMovie> movie = openFreshCopy();
  if (!movie) {
    Log::line(QStringLiteral("\t\terr: preparing %1 for its trigger: %2").arg(name_, loadError_));
    return;
  }
  park(movie);
  setMovie(std::move(movie));
}

std::shared_ptr<QKMovieTextureContext> QKQTFile::takeVisualContext() {
  std::lock_guard<std::mutex> lock(stateMutex_);
  std::shared_ptr<QKMovieTextureContext> context = std::move(visualContext_);
  if (context) context->detach();
  return context;
}

void QKQTFile::releaseVisualContext() {
  std::shared_ptr<QKMovieTextureContext> context;
  {
    RenderLock render(compositor_);
    context = takeVisualContext();
  }
  if (!context) return;
  QKMovieTextureContext::releaseLater(std::move(context));
  QKStatChecker::decrementCachedMovieCount();
}

void QKQTFile::threadedVisualContextInit() {
  runGuarded("threadedVisualContextInit", [this] {
    const bool preroll = P::intValue(movieProps(), P::kDoMoviePreroll) == 1;
    if (!preroll) {
      releaseVisualContext();
      return;
    }
    if (QKStatChecker::stopPrerolling()) {
      setMovieProp(P::kDoMoviePreroll, 0);
      return;
    }
    std::weak_ptr<QKQTFile> weak = weakSelf();
    if (!movieFile()) {
      if (!MainThread::isMainThread()) {
        // Not waited for: the main thread may be waiting for this worker.
        // It opens the movie and makes the context itself.
        MainThread::post([weak] {
          if (auto self = weak.lock()) self->threadedVisualContextInit();
        });
        return;
      }
      prepareForTriggerOnMainThread();
    }
    if (QKStatChecker::checkMemoryThreshold()) {
      setMovieProp(P::kDoMoviePreroll, 0);
      MainThread::run([weak] {
        if (auto self = weak.lock()) self->unPreRollOnMainThread();
      });
      return;
    }
    const std::shared_ptr<QKQTMovie> movie = movieFile();
    // Made before the lock is taken: a context costs no GL work until the
    // render thread first draws from it.
    std::shared_ptr<QKMovieTextureContext> fresh =
        movie ? QKMovieTextureContext::create() : nullptr;
    std::shared_ptr<QKMovieTextureContext> old;
    {
      RenderLock render(compositor_);
      std::lock_guard<std::mutex> lock(stateMutex_);
      old = std::move(visualContext_);
      if (old) old->detach();
      if (fresh) fresh->attach(movie->sharedMovie());
      visualContext_ = fresh;
    }
    if (old) {
      QKMovieTextureContext::releaseLater(std::move(old));
      QKStatChecker::decrementCachedMovieCount();
    }
    if (!fresh) {
      Log::line("\t\terror: QTVisualContext creation failed with error: 0");
      MainThread::run([weak] {
        if (auto self = weak.lock()) self->unPreRollOnMainThread();
      });
      return;
    }
    QKStatChecker::incrementCachedMovieCount();
    if (!currentSource())
      MainThread::run([weak] {
        if (auto self = weak.lock()) self->preRollOnMainThread();
      });
  });
}

void QKQTFile::preRollOnMainThread() {
  const std::shared_ptr<QKQTMovie> movie = movieFile();
  if (!movie) return;
  // Decoding the first picture may take a while for a large movie: it runs
  // off the main thread, and the texture context uploads it once it is there.
  std::shared_ptr<Movie> shared = movie->sharedMovie();
  const bool queued = WorkerPool::shared().post([shared] {
    runGuarded("preroll", [&] {
      if (!shared->preroll()) Log::line("\t\terror: PrerollMovie error");
    });
  });
  if (!queued) Log::line("\t\terror: PrerollMovie error");
}

void QKQTFile::unPreRollOnMainThread() {
  if (currentSource()) return;
  const bool ramLoaded = P::intValue(movieProps(), P::kRamload) == 1;
  releaseVisualContext();
  if (ramLoaded) return;
  std::shared_ptr<QKQTMovie> movie;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    movie = std::move(movieFile_);
  }
  // Its frames, decoder and threads go now, even while the render thread
  // still holds the movie for the texture it let go.
  if (movie) movie->movie().release();
}

void QKQTFile::releasePlayback() {
  std::shared_ptr<QKMovieTextureContext> context;
  std::shared_ptr<QKQTMovie> movie;
  {
    RenderLock render(visualContext() ? compositor_ : nullptr);
    context = takeVisualContext();
    std::lock_guard<std::mutex> lock(stateMutex_);
    movie = std::move(movieFile_);
  }
  if (movie) movie->movie().release();
  // Lowering the count reads the free memory again too.
  if (context) {
    QKMovieTextureContext::releaseLater(std::move(context));
    QKStatChecker::decrementCachedMovieCount();
  } else {
    QKStatChecker::updateBelowMemoryThreshold();
  }
}

void QKQTFile::prepareToBeDeleted() {
  if (deleted()) return;
  MainThread::cancel(this);
  pendingRamload_.reset();
  ramloadNext_.reset();
  releasePlayback();
  warp_.clear();
  QKFile::prepareToBeDeleted();
}

// --- RAM loading -----------------------------------------------------------------

// The read runs on a worker (a whole large movie takes seconds); the main
// thread only works out the change, pauses the playing source around it and
// records the outcome. A range asked for while a read is under way waits
// for it and is applied after, the last one asked for winning.
void QKQTFile::setRamloadRange(const QKTimeRange& wanted) {
  if (!MainThread::isMainThread()) {
    // Not waited for: the main thread opens the movie if need be and hands
    // the read to a worker.
    std::weak_ptr<QKQTFile> weak = weakSelf();
    MainThread::post([weak, wanted] {
      if (auto self = weak.lock()) self->setRamloadRange(wanted);
    });
    return;
  }
  if (deleted()) return;
  if (ramloadUnderWay_) {
    ramloadNext_ = wanted;
    return;
  }
  if (!movieFile() && wanted.duration.value > 0) prepareForTriggerOnMainThread();
  const std::shared_ptr<QKQTMovie> movie = movieFile();
  if (!movie) return;
  const int32_t scale = movie->movie().duration().scale;
  const QVariant recorded = movieProp(P::kRamloadRange);
  const QKTimeRange old = recorded.isValid() ? P::range(recorded) : span(0, 0, scale);
  if (RamloadRangeChange::sameRange(wanted, old)) {
    pendingRamload_.reset();
    return;
  }
  if (pendingRamload_ && RamloadRangeChange::sameRange(*pendingRamload_, wanted))
    return;  // waiting for memory
  const RamloadRangeChange change = RamloadRangeChange::between(old, wanted);
  const bool noMemory = change.load && QKStatChecker::checkMemoryThreshold();
  startRamloadRead(movie, wanted, change, noMemory);
}

void QKQTFile::startRamloadRead(const std::shared_ptr<QKQTMovie>& movie, const QKTimeRange& wanted,
                                const RamloadRangeChange& change, bool noMemory) {
  RamloadRead read;
  read.wanted = wanted;
  read.kept = change.kept;
  read.load = change.load && !noMemory;
  read.noMemory = noMemory;
  for (const QKTimeRange& part : change.flush) read.flush.push_back(originalRange(part));
  read.loadRange = originalRange(wanted);
  const std::shared_ptr<QKQTMovieSubscriber> source = movie->subscriber();
  read.source = source;
  read.sourceWasPaused = source ? source->paused() : true;
  if (source) source->setPausedMainThread(true);
  ramloadUnderWay_ = wanted;
  std::weak_ptr<QKQTFile> weak = weakSelf();
  std::shared_ptr<Movie> shared = movie->sharedMovie();
  const QString path = fullPath_;
  auto work = [weak, shared, read, path]() mutable {
    runGuarded("RAM load", [&] {
      for (const QKTimeRange& part : read.flush) shared->flushFromRam(part);
      read.loaded = !read.load || shared->loadIntoRam(read.loadRange);
      if (!read.loaded) Log::line(QStringLiteral("\t\terr: could not keep %1 in memory").arg(path));
    });
    MainThread::post([weak, read] {
      if (auto self = weak.lock()) self->finishRamloadRead(read);
    });
  };
  if (WorkerPool::shared().post(std::move(work))) return;
  Log::line(QStringLiteral("\t\terr: no worker took the RAM load of %1").arg(path));
  read.loaded = false;
  read.load = true;
  finishRamloadRead(read);
}

void QKQTFile::finishRamloadRead(const RamloadRead& read) {
  ramloadUnderWay_.reset();
  if (const auto source = read.source.lock(); source && !read.sourceWasPaused)
    source->setPausedMainThread(false);
  if (deleted()) return;
  if (!read.noMemory && read.loaded) {
    pendingRamload_.reset();
    setMovieProp(P::kRamloadRange, P::fromRange(read.wanted));
  } else {
    // Only what is in memory is recorded; a range refused for lack of
    // memory is loaded once memory allows.
    setMovieProp(P::kRamloadRange, P::fromRange(read.kept));
    if (read.noMemory) {
      pendingRamload_ = read.wanted;
      scheduleRamloadRetry();
    } else {
      pendingRamload_.reset();
    }
  }
  if (const std::optional<QKTimeRange> next = std::exchange(ramloadNext_, std::nullopt))
    setRamloadRange(*next);
}

void QKQTFile::scheduleRamloadRetry() {
  if (ramloadRetryScheduled_) return;
  ramloadRetryScheduled_ = true;
  std::weak_ptr<QKQTFile> weak = weakSelf();
  MainThread::runLater(this, kRamloadRetrySeconds, [weak] {
    auto self = weak.lock();
    if (!self) return;
    self->ramloadRetryScheduled_ = false;
    self->retryPendingRamloadRange();
  });
}

void QKQTFile::retryPendingRamloadRange() {
  if (!pendingRamload_ || deleted()) return;
  if (QKStatChecker::belowPhysicalRAMThreshold()) {
    scheduleRamloadRetry();
    return;
  }
  QKStatChecker::updateBelowMemoryThreshold();
  const QKTimeRange wanted = *pendingRamload_;
  pendingRamload_.reset();
  setRamloadRange(wanted);
}

QKTimeRange QKQTFile::originalRange(const QKTimeRange& range) const {
  const std::shared_ptr<const MovieTimeMap> map = timeMap();
  if (!map) return range;
  const int64_t start = map->originalAt(range.start.value);
  const int64_t end = map->originalAt(rangeEnd(range));
  return span(start, end, range.start.scale ? range.start.scale : range.duration.scale);
}

// --- time warp --------------------------------------------------------------------

QKTime QKQTFile::warpDuration() const {
  const QVariant stored = movieProp(P::kOriginalDuration);
  if (stored.isValid()) return P::time(stored);
  const std::shared_ptr<QKQTMovie> movie = movieFile();
  return movie ? movie->movie().duration() : QKTime{};
}

void QKQTFile::postMarkersChanged() {
  NotificationCenter::defaultCenter().post(MediaNotifications::kWarpMarkersChanged, this);
}

void QKQTFile::applyTimeMap(const MovieTimeMap& map) {
  std::shared_ptr<const MovieTimeMap> shared =
      map.isIdentity() ? nullptr : std::make_shared<const MovieTimeMap>(map);
  std::shared_ptr<QKQTMovie> movie;
  {
    std::lock_guard<std::mutex> lock(stateMutex_);
    timeMap_ = shared;
    movie = movieFile_;
  }
  if (movie) movie->movie().setTimeMap(shared);
}

void QKQTFile::addWarpMarkerAtTime(const QKTime& time) {
  if (warp_.addAtTime(time, warpDuration())) postMarkersChanged();
}

void QKQTFile::addWarpMarkerAtWarpedTime(const QKTime& time) {
  if (warp_.addAtWarpedTime(time, warpDuration())) postMarkersChanged();
}

void QKQTFile::deleteWarpMarker(const std::shared_ptr<QKWarpMarker>& marker) {
  warp_.remove(marker);
  postMarkersChanged();
  std::weak_ptr<QKQTFile> weak = weakSelf();
  MainThread::post([weak] {
    if (auto self = weak.lock()) self->createWarpedMovieFile();
  });
}

void QKQTFile::deleteWarpMarkerWithOriginalTime(const QKTime& time) {
  const std::shared_ptr<QKQTMovie> movie = movieFile();
  const std::shared_ptr<QKQTMovieSubscriber> source = movie ? movie->subscriber() : nullptr;
  const QKTime now = source ? movie->movie().currentTime() : QKTime{};
  const std::shared_ptr<QKWarpMarker> marker = warp_.lastWithOriginalTime(time, warpDuration());
  if (!marker) return;
  deleteWarpMarker(marker);
  if (source && !source->paused()) {
    movie->movie().setCurrentTime(now);
    source->setPausedMainThread(false);
  }
}

namespace {
SubscriberPause pauseForEdit(const std::shared_ptr<QKQTMovie>& movie) {
  SubscriberPause pause;
  if (!movie) return pause;
  movie->setIdling(false);
  pause.subscriber = movie->subscriber();
  if (pause.subscriber) {
    pause.time = movie->movie().currentTime();
    pause.locked = movie->tryLock();
  }
  return pause;
}

void resumeAfterEdit(const std::shared_ptr<QKQTMovie>& movie, const SubscriberPause& pause,
                     bool unpause) {
  if (!movie) return;
  movie->setIdling(true);
  if (!pause.subscriber) return;
  if (pause.locked) movie->unlock();
  if (pause.subscriber->paused()) return;
  movie->movie().setCurrentTime(pause.time);
  if (unpause) pause.subscriber->setPausedMainThread(false);
}
}  // namespace

void QKQTFile::createWarpedMovieFile() {
  std::shared_ptr<QKQTMovie> movie = movieFile();
  if (!movie) {
    movie = openFreshCopy();
    if (!movie) {
      movieIsWarped_ = false;
      return;
    }
    park(movie);
    setMovie(movie);
  }
  const SubscriberPause pause = pauseForEdit(movie);
  bool warped = false;
  const MovieTimeMap map = warp_.rebuild(warpDuration(), &warped);
  applyTimeMap(map);
  resumeAfterEdit(movie, pause, true);
  movieIsWarped_ = warped;
}

void QKQTFile::createUnwarpedMovieFile() {
  if (!movieIsWarped_) Log::line("\t\terr: movie was not warped on createWarpedMovie");
  std::shared_ptr<QKQTMovie> movie = movieFile();
  if (!movie) {
    movie = openFreshCopy();
    if (!movie) return;
    park(movie);
    setMovie(movie);
  }
  const SubscriberPause pause = pauseForEdit(movie);
  applyTimeMap(MovieTimeMap::identity(warpDuration().value));
  warp_.unwarp(warpDuration());
  postMarkersChanged();
  resumeAfterEdit(movie, pause, true);
  movieIsWarped_ = false;
}

void QKQTFile::warpMarkerMoved(const std::shared_ptr<QKWarpMarker>& marker) {
  const std::shared_ptr<QKQTMovie> movie = movieFile();
  const SubscriberPause pause = pauseForEdit(movie);
  const QKTime duration = warpDuration();
  const std::shared_ptr<const MovieTimeMap> current = timeMap();
  const MovieTimeMap map =
      warp_.moved(marker, duration, current ? *current : MovieTimeMap::identity(duration.value));
  applyTimeMap(map);
  postMarkersChanged();
  resumeAfterEdit(movie, pause, false);
}
