#pragma once

#include "app/inspector/MIPane.h"
#include "app/inspector/MITryFlag.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class MICheckBox;
class MIMovieView;
class MISegmentedControl;
class MediaInspector;
class QKButton;
class QKFile;
class QKMITimeWarpView;
class QKQTFile;
class QKQTMovie;
class QKSliderControl;
class QLineEdit;
class QWidget;
struct QKTime;
struct QKTimeRange;

// The preview of the inspector's movie pane: its own copy of the movie in
// a movie view, a time slider whose value is the play head, whose envelope
// is the file's range and whose marks are the file's warp markers; play,
// pause, frame and marker steps, in and out points, the poster frame, the
// loop mode and the preview volume (muted at first).
//
// Range edits go into the inspector's pending properties; the poster and
// the markers go to the file at once. Movie work runs on the main thread:
// the slider's actions may come from any thread (a data source drives it)
// and hand over the latest value, one pending call at a time; notices that
// overlap one of their kind are dropped, never queued.
class QKMIRangeSelectorController : public QObject, public MIPane {
  Q_OBJECT
 public:
  explicit QKMIRangeSelectorController(MediaInspector* inspector);
  ~QKMIRangeSelectorController() override;

  void setTimeWarpView(QKMITimeWarpView* view) { timeWarpView_ = view; }
  QWidget* view() const { return view_; }

  // MIPane: shows a movie file (anything else, or null: nothing).
  void readFile(const std::shared_ptr<QKFile>& file) override;
  std::shared_ptr<QKFile> currentFile() const override;
  std::shared_ptr<QKQTFile> currentQTFile() const { return currentFile_.lock(); }
  std::shared_ptr<QKQTMovie> currentMovie() const { return currentMovie_; }
  QKSliderControl* timeSlider() const { return timeSlider_; }
  bool loading() const { return loading_; }
  bool paused() const { return paused_; }
  bool timerRunning() const { return timerRunning_; }
  void pausePreview();
  void prepareToBeDeleted();

  // Actions.
  void playPauseButtonUsed();
  void setPosterFrameButtonUsed();
  void gotoPrevFrameButtonUsed();
  void gotoNextFrameButtonUsed();
  void gotoPrevMarkerButtonUsed();
  void gotoNextMarkerButtonUsed();
  void setInpoint();
  void setOutpoint();
  void resetInpoint();
  void resetOutpoint();
  void mutePreviewButtonUsed();
  void loopModeControlUsed(MISegmentedControl* control);
  // The time slider's action (any thread).
  void setTime();
  // A volume slider's action (any thread): this pane's, or the movie
  // properties pane's.
  void setVolume(QKSliderControl* slider);

  // Slider notices (the time slider).
  void minEnvChanged();
  void maxEnvChanged();
  void interestingPointsChanged();
  void snappedToInterestingPoint();
  void updateSliderInterestingPoints();

  // Main-thread bodies.
  void setTimeMainThread(double seconds);
  void setVolumeMainThread(float volume);
  void setRangeMainThread(const QKTimeRange& range);
  void updatePlayHeadPosition();
  void movieTaskNow();
  void startPlayback();

  // Widgets, for the window and for tests.
  MIMovieView* movieView() const { return movieView_; }
  QLineEdit* inpointText() const { return inpointText_; }
  QLineEdit* outpointText() const { return outpointText_; }
  QLineEdit* selectionDurationInMeasuresText() const { return measuresText_; }
  QKButton* playPauseButton() const { return playPauseButton_; }
  QKButton* mutePreviewButton() const { return muteButton_; }
  QKButton* setInpointButton() const { return setInButton_; }
  QKButton* setOutpointButton() const { return setOutButton_; }
  QKSliderControl* volumeSlider() const { return volumeSlider_; }
  MICheckBox* useVolumeButton() const { return useVolumeButton_; }
  MISegmentedControl* loopModeControl() const { return loopModeControl_; }
  // The volume the preview movie was last given (-1 before any).
  float lastVolume() const { return lastVolume_; }
  // Main-thread seeks handed over by `setTime` so far.
  int seeksPosted() const { return seeksPosted_.load(); }
  // The clock of the marker buttons' double press (seconds); replaceable.
  void setPressClock(std::function<double()> clock) { pressClock_ = std::move(clock); }

 private:
  void buildView();
  void readFileMainThread(const std::shared_ptr<QKFile>& file);
  void clearPreview();
  void closeMovie();
  void invalidateTimer();
  void updateTimeSliderCallback();
  void movieDidEnd();
  void envelopeChanged(bool lower);
  void goToSeconds(double seconds);
  // The range the steps wrap at: the pending "active", else the stored one,
  // else the whole movie.
  QKTimeRange activeRange() const;
  double framesPerSecond() const;
  QKTime movieDuration() const;
  QKTime originalDuration() const;

  MediaInspector* inspector_;
  QKMITimeWarpView* timeWarpView_ = nullptr;
  QWidget* view_ = nullptr;
  MIMovieView* movieView_ = nullptr;
  QKSliderControl* timeSlider_ = nullptr;
  QKSliderControl* volumeSlider_ = nullptr;
  MICheckBox* useVolumeButton_ = nullptr;
  MISegmentedControl* loopModeControl_ = nullptr;
  QLineEdit* inpointText_ = nullptr;
  QLineEdit* outpointText_ = nullptr;
  QLineEdit* measuresText_ = nullptr;
  QKButton* playPauseButton_ = nullptr;
  QKButton* posterButton_ = nullptr;
  QKButton* nextFrameButton_ = nullptr;
  QKButton* prevFrameButton_ = nullptr;
  QKButton* nextMarkerButton_ = nullptr;
  QKButton* prevMarkerButton_ = nullptr;
  QKButton* setInButton_ = nullptr;
  QKButton* setOutButton_ = nullptr;
  QKButton* resetInButton_ = nullptr;
  QKButton* resetOutButton_ = nullptr;
  QKButton* muteButton_ = nullptr;

  std::weak_ptr<QKQTFile> currentFile_;
  std::shared_ptr<QKQTMovie> currentMovie_;
  bool paused_ = true;
  bool loading_ = false;
  MITryFlag taskLock_, interestingPointsLock_, scrubLock_, volumeLock_;
  QTimer timeSliderUpdateTimer_;
  bool timerRunning_ = false;
  QList<float> localInterestingTimePoints_;
  std::optional<double> lastBackButtonTime_, lastForwardButtonTime_;
  std::function<double()> pressClock_;
  QSet<long> posterLogged_;

  // Hand-overs from other threads: the latest value, one pending call.
  std::atomic<double> pendingSeekSeconds_{0.0};
  std::atomic<bool> seekPending_{false};
  std::atomic<int> seeksPosted_{0};
  std::atomic<float> pendingVolume_{0.0f};
  std::atomic<bool> volumePending_{false};
  std::atomic<float> lastVolume_{-1.0f};

  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  std::shared_ptr<class QKSliderCellDelegate> sliderDelegate_;
};
