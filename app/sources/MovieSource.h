#pragma once

#include "app/sources/MovieScratchTarget.h"
#include "app/sources/VidSourceObject.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/media/QKQTMovieSubscriber.h"
#include "platform/foundation/NotificationObservers.h"
#include "platform/movie/MovieTextureOutput.h"
#include "platform/movie/QKTime.h"

#include <QComboBox>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

class MasterClockInterface;
class Movie;
class QKQTFile;
class QKQTMovie;
class QKSliderCell;
class QKSliderCellDelegate;

// The layer source that plays a movie file. A load runs on the shared
// worker pool and finishes on the main thread; every display frame the
// render thread takes the movie's newest picture; the main thread's idle
// step applies speed and time changes and, with own looping, the end of
// the in/out range. The panel (built in code) carries the transport.
//
// Threads and locks:
// - `threadLock_`: held by a load from its start on the worker until its
//   main-thread step returns; the render thread only tries it and skips the
//   frame while it is busy. The main thread never waits for it.
// - `playMutex_`: guards the file and movie pointers; the main thread holds
//   it briefly to swap them, the render thread only tries it. The render
//   thread never owns a reference to a file, so a file is never released
//   there.
// - `speedMutex_`, `timeMutex_`: the pending speed and time a control's
//   action (any thread) leaves for the idle step.
// - `pointsMutex_`: tried, never waited for, by the marks and the warp
//   markers, so a change on one side never echoes back from the other.
// Each load takes a generation number; a load that a newer one overtook
// leaves without touching the source.
class MovieSource : public VidSourceObject, public QKQTMovieSubscriber, public MovieScratchTarget {
 public:
  static const QString kDidEndNotification;              // "QKMovieSourceQTMovieDidEnd"
  static const QString kLoopingChangedNotification;      // "UseQTMovieLoopingDidChangeNotification"
  static const QString kReloadAllNotification;           // "QKMBReloadAllNotification"
  static const QString kPropsUpdatedNotification;        // "QKFileMoviePropsUpdatedNotification"
  static const QString kWarpMarkersChangedNotification;  // "QKFileWarpMarkersChanged"
  enum LoopMode { kOnce = 0, kLoop = 1, kBackAndForth = 2 };
  enum JumpUnit { kFrames = 0, kSeconds = 1, kBeats = 2 };

  // Class-wide: YES lets the movie loop itself, NO makes the source loop it
  // from the idle step. The movie playback preferences push the user default
  // "useQTMovieLooping" at start-up.
  static void setUseQTMovieLooping(bool use);
  static bool useQTMovieLooping();

  // The source with its controls connected (what the compositor's factory
  // makes).
  static std::shared_ptr<MovieSource> create(const QString& name, Layer* layer);
  MovieSource(QString name, Layer* layer);
  ~MovieSource() override;

  // --- The source contract ------------------------------------------------------
  void prepareToBeDeleted() override;
  void loadThisFile(const std::shared_ptr<QKFile>& file) override;
  std::shared_ptr<QKFile> currentFile() const override;
  bool hasFile() const override { return hasFile_.load(); }
  QString currentPath() const override;
  void eject() override;
  void stop() override;
  void render(const gl::DisplayLink::Frame& frame) override;
  void skippedRenderTask(const gl::DisplayLink::Frame& frame) override;
  gl::TextureHandle currentTexture() override;
  void movieTaskNow() override;
  void setDataSource(DataSource* source) override;
  bool qtFlag() const override { return true; }
  QVariantMap createSnapshot() const override;
  using VidSourceObject::loadSnapshot;
  void loadSnapshot(const QVariantMap& snapshot, bool trigger) override;

  // --- The movie's subscriber ----------------------------------------------------
  bool paused() const override { return paused_.load(); }
  void setPausedMainThread(bool paused) override;

  // --- Transport (main thread unless noted) -------------------------------------------
  // Any thread: leave a speed (the speed slider's) or a time for the idle step.
  void setSpeed(float speed);
  void setTime(float seconds);
  void setSpeedMainThread(float speed) override;
  void setTimeMainThread(float seconds) override;
  // The play head as 0 … 1 of the movie, or -1 without one (main thread).
  float lastRangedTime() const;
  // The scratch strip's view of the source (main thread).
  int pauseToggleValue() const override;
  void setPauseToggleValue(int value) override;
  float lastMovieTime() const override;
  float speedSliderValue() const override;
  // Moves the play head to `fraction` (kept in 0 … 1) of the movie.
  void setRangedTimeMainThread(float fraction);
  void setGoingBackwards(bool backwards);
  bool goingBackwards() const { return goingBackwards_.load(); }
  void setLoopModeVar(int mode);
  int loopModeVar() const { return loopMode_.load(); }
  void handleMovieDidEnd();
  void loopCheckPing();
  void setInpoint();
  void setOutpoint();
  void resetInpoint();
  void resetOutpoint();
  // The time slider's in or out point moved (any thread).
  void timeEnvelopesChanged();
  void gotoPrevFrame();
  void gotoNextFrame();
  void gotoPrevMarker();
  void gotoNextMarker();
  void scratchTo(float rangedValue);
  // The scratch slider's binding starts and ends scratching; the time
  // slider's binding stands the movie while a frequent source drives it.
  void sliderSyncFlagChanged(QKSliderCell& cell);
  void startScratching(bool start);
  bool scratching() const { return scratching_.load(); }
  void setJumpUnit(int unit);
  int jumpUnit() const { return jumpUnit_.load(); }
  // The unit's length in frames and its slider ranges (frames per second
  // 30 when the file's is unusable).
  struct UnitRanges {
    double framesPerUnit;
    float jumpMin, jumpMax;
    QList<float> jumpMarks;
    float scratchMin, scratchMax;
  };
  static UnitRanges unitRanges(int unit, double fps, int beatsPerMeasure, double measureDuration);
  // The file's frame rate: "originalFrameRate" when positive and finite, else 30.
  double frameRate() const;
  static double frameRateOf(const QKQTFile* file);

  // --- Persistence and sync -----------------------------------------------------------
  void movieParamsUpdated();
  void masterClockChanged();
  // The clock given, else the compositor's.
  void setMasterClock(MasterClockInterface* clock) { clock_.store(clock); }
  MasterClockInterface* masterClock() const;
  // The speed at which the file's own tempo follows the clock's.
  static double tempoSpeed(int beatsPerMeasure, double measureDuration, double beatsPerMinute);
  void updateSliderInterestingPoints();
  void sliderInterestingPointsChanged();
  void addWarpMarkerAtCurrentTime();
  void clearAllWarpMarkers();

  // --- State -----------------------------------------------------------------------------
  std::shared_ptr<QKQTFile> qtFile() const;
  std::shared_ptr<Movie> movie() const;
  bool hasVideo() const { return hasVideo_.load(); }
  double currentTimeInSeconds() const { return currentTime_; }
  float position() const { return position_.load(); }

  QKLogSliderControl* speedSlider() const { return speedSlider_; }
  QKSliderControl* timeSlider() const { return timeSlider_; }
  QKSliderControl* volumeSlider() const { return volumeSlider_; }
  QKSliderControl* scratchSlider() const { return scratchSlider_; }
  QKLogSliderControl* relJumpSlider() const { return relJumpSlider_; }
  QKButton* pauseToggle() const { return pauseToggle_; }
  QKButton* muteButton() const { return muteButton_; }
  QKButton* reverseButton() const { return reverseButton_; }
  QKButton* loopButton(int mode) const;
  QComboBox* jumpUnitPopUp() const { return jumpUnits_; }

  // How long the own-looping stopwatch has run (seconds, the movie's clock).
  double stopwatchSeconds() const;

 private:
  struct Controls;
  void buildPanel();
  QKButton* makeButton(const QString& key, const QString& title, int type, QWidget* parent);
  void connectControls();
  void threadedLoad(const std::shared_ptr<QKQTFile>& file, uint64_t generation);
  void finishLoad(const std::shared_ptr<QKQTFile>& file, uint64_t generation);
  void applyTimeSliderProps(const QVariantMap& props, bool atLoad);
  void applyRangeProps(const QVariantMap& props, const char* missing);
  void applySpeedProps(const QVariantMap& props, bool atLoad);
  void applyVolumeProps(const QVariantMap& props);
  void applyLoopModeProps(const QVariantMap& props);
  void writeBackProps(QKQTFile& file);
  void setLoopModeOnMainThread();
  void setVolumeMainThread(float volume);
  void setRangeMainThread(const QKTimeRange& range);
  void loopModeButtonUsed(int mode);
  void timeSliderSyncChanged(bool synced, int dataSourceType);
  void resumeUnlessPausedBefore();
  void restartStopwatch();
  QKTimeRange activeRange(const char* missing) const;
  double effectiveSpeed() const;
  void frameStep(const gl::DisplayLink::Frame& frame, bool drawn);
  // What a frame step leaves to be done once the source's locks are let go.
  struct StepOutcome {
    QSize newLayerSize;  // empty: unchanged
    std::optional<float> position;
  };
  StepOutcome advanceLocked(bool drawn);
  void updateTimeSlider(float position);
  void observeFile(const std::shared_ptr<QKQTFile>& file);
  static void releaseOnMainThread(std::shared_ptr<void> object);

  // Play state: pointers under playMutex_.
  mutable std::mutex playMutex_;
  std::shared_ptr<QKQTFile> file_;
  std::shared_ptr<QKQTMovie> qtMovie_;
  std::shared_ptr<Movie> movie_;
  std::atomic<bool> hasFile_{false};  // file_ is set; written under playMutex_

  std::mutex threadLock_;
  std::atomic<uint64_t> generation_{0};
  std::mutex speedMutex_, timeMutex_, volumeMutex_, rangeMutex_, pointsMutex_;

  std::atomic<bool> paused_{false};
  std::atomic<bool> pausedBeforeScrub_{false};
  std::atomic<bool> goingBackwards_{false};
  std::atomic<int> loopMode_{kLoop};
  std::atomic<int> jumpUnit_{kFrames};
  std::atomic<bool> hasVideo_{false};
  std::atomic<bool> checkSizeFlip_{true};
  std::atomic<bool> scratching_{false};
  std::atomic<bool> movieDidLoop_{false};
  std::atomic<float> position_{0.0f};
  bool jumpToSpeed_ = false;  // under speedMutex_
  float jumpToSpeedVal_ = 0.0f;
  bool jumpToTime_ = false;  // under timeMutex_
  float jumpToTimeVal_ = 0.0f;
  bool timeSyncOnStop_ = false;
  bool speedSyncOnStop_ = false;
  std::atomic<float> lastScratchValue_{0.0f};
  double currentTime_ = -1.0;   // main thread: the position the source reckons
  int64_t stopwatchStart_ = 0;  // main thread: movie clock nanoseconds
  QList<float> localPoints_;    // under pointsMutex_
  std::chrono::steady_clock::time_point lastBackPress_{}, lastForwardPress_{};
  std::atomic<MasterClockInterface*> clock_{nullptr};

  // Render thread only.
  MovieTextureOutput output_;
  gl::TextureHandle texture_;
  int64_t lastMovieValue_ = 0;
  int64_t lastContextFrame_ = -1;
  int redrawCount_ = 0;

  QPointer<QKLogSliderControl> speedSlider_, relJumpSlider_;
  QPointer<QKSliderControl> timeSlider_, volumeSlider_, scratchSlider_;
  QPointer<QKButton> pauseToggle_, muteButton_, reverseButton_, onceButton_, loopButton_,
      rLoopButton_, nextFrameButton_, prevFrameButton_, nextMarkerButton_, prevMarkerButton_,
      setInButton_, setOutButton_, resetInButton_, resetOutButton_, createWarpButton_,
      clearWarpButton_, ejectButton_;
  QPointer<QComboBox> jumpUnits_;
  std::shared_ptr<QKSliderCellDelegate> timeDelegate_;
  std::shared_ptr<QKSliderCellDelegate> scratchDelegate_;
  NotificationObservers observers_;
  NotificationObservers fileObservers_;
};
