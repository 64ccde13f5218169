#pragma once

#include "framework/media/QKFile.h"
#include "framework/media/WarpMarkerList.h"
#include "platform/movie/Movie.h"
#include "platform/movie/QKTime.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QKMovieTextureContext;
class QKQTMovie;
struct RamloadRangeChange;
class QKQTMovieSubscriber;
struct Notification;

// The movie kind of media file: a movie in the media bin (or the placeholder
// of a recording still running). It opens the movie, derives and keeps the
// properties that layer sources and the media inspector use, works out the
// movie's length in measures for tempo sync, turns chapters into warp
// markers, prepares the movie for an instant trigger (parked, pre-rolled into
// a texture context, a range kept in RAM), warps its time, and writes and
// reads its part of the project.
//
// Threads: made, restored, snapshotted and edited on the main thread;
// `threadedVisualContextInit` may run on a worker. A worker never waits for
// the main thread: when the movie must be opened first, it hands the call to
// the main thread (as `setRamloadRange` does). The movie and the
// texture context are guarded by the file's own mutex; the texture context
// is swapped only while the compositor's render lock is held too, so a frame
// never sees one half made or half gone. Lock order: the render lock, then
// the file's mutex; nothing is posted or waited for while either is held.
//
// Pre-rolled count: every texture context made raises the count of
// QKStatChecker by one and every one released lowers it by one, so the
// count always equals the number of files that hold a context.
class QKQTFile : public QKFile {
 public:
  static const QString kMoviePropsKey;  // "movieProps"
  static const QString kWarpArrayKey;   // "warpArray"
  static constexpr double kRamloadRetrySeconds = 5.0;

  // A file for the movie at `path`, opened by the caller (null: the file
  // stays invalid).
  static std::shared_ptr<QKQTFile> createQTWithPath(const QString& path, const QString& name,
                                                    std::shared_ptr<QKQTMovie> movie,
                                                    CompositorInterface* compositor);
  // An empty file to restore from a snapshot.
  static std::shared_ptr<QKQTFile> createWithCompositor(CompositorInterface* compositor);
  // The placeholder of a recording of the live input `inputName`.
  static std::shared_ptr<QKQTFile> createFromRecordingSource(const QString& inputName,
                                                             CompositorInterface* compositor);

  // How files open their movies (frame format, clock); applies to movies
  // opened afterwards.
  static void setMovieOptions(const Movie::Options& options);
  static Movie::Options movieOptions();

  explicit QKQTFile(CompositorInterface* compositor);
  QKQTFile(const QString& name, CompositorInterface* compositor);
  ~QKQTFile() override;

  // Takes the movie and derives the properties from it.
  void initWithQTMovie(std::shared_ptr<QKQTMovie> movie);

  using QKFile::loadFromSnapshot;
  bool loadFromSnapshot(const QVariantMap& snapshot, CompositorInterface* compositor) override;
  bool loadFromSnapshot(const QVariantMap& snapshot, const QString& fullPath,
                        CompositorInterface* compositor) override;
  QVariantMap createSnapshot() override;
  // The stored form of the properties, and back.
  QVariantMap convertMoviePropsToDict() const;
  void convertDictToMovieProps(const QVariantMap& stored);

  void recordingDidStop(const Notification& notification);
  void recordingDidStopMainThread(const QVariantMap& userInfo);

  // Playback preparation.
  void prepareForTriggerOnMainThread();
  void threadedVisualContextInit();
  void preRollOnMainThread();
  void unPreRollOnMainThread();
  // Any thread. Keeps `range` of the movie in memory: the read runs on the
  // shared worker pool and is recorded on the main thread once it is done
  // (the playing source pauses meanwhile).
  void setRamloadRange(const QKTimeRange& range);
  // Main thread: the range whose read is under way.
  std::optional<QKTimeRange> ramloadUnderWay() const { return ramloadUnderWay_; }
  // A range refused for lack of memory, still to be loaded.
  std::optional<QKTimeRange> pendingRamloadRange() const { return pendingRamload_; }
  // Loads the pending range once memory allows (also run on a timer while
  // one is pending).
  void retryPendingRamloadRange();

  // Time warp.
  void addWarpMarkerAtTime(const QKTime& time);
  void addWarpMarkerAtWarpedTime(const QKTime& time);
  void deleteWarpMarker(const std::shared_ptr<QKWarpMarker>& marker);
  void deleteWarpMarkerWithOriginalTime(const QKTime& time);
  void warpMarkerMoved(const std::shared_ptr<QKWarpMarker>& marker);
  void createWarpedMovieFile();
  void createUnwarpedMovieFile();
  const std::vector<std::shared_ptr<QKWarpMarker>>& warpMarkers() const { return warp_.markers(); }
  // Empties the marker array (callers un-warp the movie when it is warped).
  void clearWarpMarkers() { warp_.clear(); }
  bool movieIsWarped() const { return movieIsWarped_; }
  // The warp the movie plays with (null: none).
  std::shared_ptr<const MovieTimeMap> timeMap() const;

  void prepareToBeDeleted() override;

  std::shared_ptr<QKQTMovie> movieFile() const;
  std::shared_ptr<QKMovieTextureContext> visualContext() const;
  QString recSourceName() const { return recSourceName_; }
  bool stillFlag() const { return stillFlag_; }
  bool idleCheck() const { return idleCheck_; }
  void setIdleCheck(bool check) { idleCheck_ = check; }
  // Bytes of the movie when it was handed in from memory; a closed movie is
  // reopened from them rather than from the path.
  QByteArray dataReference() const { return dataReference_; }
  void setDataReference(const QByteArray& data) { dataReference_ = data; }
  bool isMovieCached() const { return false; }

 private:
  class RenderLock;

  // Both keep the reason of a failure in loadError_ (cleared on success).
  std::shared_ptr<QKQTMovie> openMovie(const QString& path);
  std::shared_ptr<QKQTMovie> openFreshCopy();
  void park(const std::shared_ptr<QKQTMovie>& movie) const;
  void setMovie(std::shared_ptr<QKQTMovie> movie);
  std::shared_ptr<QKMovieTextureContext> takeVisualContext();
  void releaseVisualContext();
  void releasePlayback();
  void deriveTracks(const Movie& movie, QVariantMap& props) const;
  void deriveFromDefaults(const Movie& movie, QVariantMap& props) const;
  QKTimeRange initialRamloadRange(const Movie& movie) const;
  QKTimeRange originalRange(const QKTimeRange& range) const;
  QKTime warpDuration() const;
  void applyTimeMap(const MovieTimeMap& map);
  void postMarkersChanged();
  struct RamloadRead {
    QKTimeRange wanted, kept, loadRange;
    std::vector<QKTimeRange> flush;  // in the movie's original time
    bool load = false;
    bool noMemory = false;
    bool loaded = false;
    // Weak: the worker never holds the source (a layer's, let go on the
    // main thread only).
    std::weak_ptr<QKQTMovieSubscriber> source;
    bool sourceWasPaused = true;
  };
  void startRamloadRead(const std::shared_ptr<QKQTMovie>& movie, const QKTimeRange& wanted,
                        const RamloadRangeChange& change, bool noMemory);
  void finishRamloadRead(const RamloadRead& read);
  void scheduleRamloadRetry();
  std::weak_ptr<QKQTFile> weakSelf();

  mutable std::mutex stateMutex_;  // guards movieFile_, visualContext_, timeMap_
  std::shared_ptr<QKQTMovie> movieFile_;
  std::shared_ptr<QKMovieTextureContext> visualContext_;
  std::shared_ptr<const MovieTimeMap> timeMap_;

  WarpMarkerList warp_;
  bool idleCheck_ = false;
  bool stillFlag_ = false;
  QString recSourceName_;
  bool movieIsWarped_ = false;
  QByteArray dataReference_;
  // The "movieProps" the file was restored from: an invalid file writes back
  // every key of it that it did not read.
  QVariantMap storedProps_;
  std::optional<QKTimeRange> pendingRamload_;
  std::optional<QKTimeRange> ramloadUnderWay_;  // main thread
  std::optional<QKTimeRange> ramloadNext_;      // main thread: asked for during a read
  bool ramloadRetryScheduled_ = false;
};
