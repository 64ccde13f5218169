#include "app/inspector/QKMIRangeSelectorController.h"

#include "app/inspector/MICheckBox.h"
#include "app/inspector/MIMovieView.h"
#include "app/inspector/MIPropValues.h"
#include "app/inspector/MISegmentedControl.h"
#include "app/inspector/MediaInspector.h"
#include "app/inspector/QKMITimeWarpView.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderCellDelegate.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/media/MovieProps.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKQTMovie.h"
#include "framework/media/QKWarpMarker.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <chrono>
#include <cmath>

namespace P = MovieProps;

namespace {

constexpr double kDoublePressSeconds = 0.25;

class TimeSliderDelegate : public QKSliderCellDelegate {
 public:
  using Notice = std::function<void(int)>;
  explicit TimeSliderDelegate(Notice notice) : notice_(std::move(notice)) {}
  void QKSliderMinEnvChanged(QKSliderCell&) override { notice_(0); }
  void QKSliderMaxEnvChanged(QKSliderCell&) override { notice_(1); }
  void QKSliderInterestingPointsChanged(QKSliderCell&) override { notice_(2); }
  void QKSliderSnappedToInterestingPoint(QKSliderCell&) override { notice_(3); }

 private:
  Notice notice_;
};

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A time given in another scale.
int64_t valueIn(const QKTime& time, int32_t scale) {
  if (time.scale == scale || time.scale <= 0) return time.value;
  return int64_t(std::llround(double(time.value) * double(scale) / double(time.scale)));
}

QString printed(double value) { return QString::asprintf("%f", value); }

}  // namespace

QKMIRangeSelectorController::QKMIRangeSelectorController(MediaInspector* inspector)
    : inspector_(inspector), pressClock_(steadySeconds) {
  buildView();
}

QKMIRangeSelectorController::~QKMIRangeSelectorController() { prepareToBeDeleted(); }

void QKMIRangeSelectorController::buildView() {
  view_ = new QWidget;
  movieView_ = new MIMovieView;
  movieView_->setMinimumHeight(90);
  timeSlider_ = new QKSliderControl;
  timeSlider_->setSliderName(QStringLiteral("Preview Time"));
  timeSlider_->setMinimumHeight(18);
  volumeSlider_ = new QKSliderControl;
  volumeSlider_->setSliderName(QStringLiteral("Preview Volume"));
  volumeSlider_->setMinRange(0.0f);
  volumeSlider_->setMaxRange(1.0f);
  volumeSlider_->setValueWithRangedValue(1.0f, false);
  volumeSlider_->setMinimumSize(50, 16);
  useVolumeButton_ = new MICheckBox;
  useVolumeButton_->setToolTip(QStringLiteral("Preview at this volume (else at full volume)"));
  loopModeControl_ = new MISegmentedControl(
      {QStringLiteral("Once"), QStringLiteral("Loop"), QStringLiteral("B&&F")});
  loopModeControl_->setToolTip(QStringLiteral("Once, loop, or back and forth"));
  inpointText_ = new QLineEdit;
  outpointText_ = new QLineEdit;
  measuresText_ = new QLineEdit;
  for (QLineEdit* field : {inpointText_, outpointText_, measuresText_}) {
    field->setReadOnly(true);
    field->setMinimumWidth(52);
  }

  const std::weak_ptr<const void> target = alive_;
  const std::weak_ptr<int> alive = alive_;
  auto button = [&](const char* title, void (QKMIRangeSelectorController::*action)(),
                    bool toggle = false) {
    auto* b = new QKButton;
    b->setTitle(QString::fromLatin1(title));
    if (toggle) b->setButtonType(1);
    b->setTriggerOnMain(true);
    b->setTarget(target);
    b->setAction([this, alive, action](QKButtonCell&) {
      MainThread::run([this, alive, action] {
        if (alive.lock()) (this->*action)();
      });
    });
    b->setFixedHeight(16);
    b->setMinimumWidth(30);
    return b;
  };
  playPauseButton_ = button("Play", &QKMIRangeSelectorController::playPauseButtonUsed, true);
  playPauseButton_->setTitle2(QStringLiteral("Pause"));
  posterButton_ = button("Poster", &QKMIRangeSelectorController::setPosterFrameButtonUsed);
  prevFrameButton_ = button("<", &QKMIRangeSelectorController::gotoPrevFrameButtonUsed);
  nextFrameButton_ = button(">", &QKMIRangeSelectorController::gotoNextFrameButtonUsed);
  prevMarkerButton_ = button("|<", &QKMIRangeSelectorController::gotoPrevMarkerButtonUsed);
  nextMarkerButton_ = button(">|", &QKMIRangeSelectorController::gotoNextMarkerButtonUsed);
  setInButton_ = button("Set", &QKMIRangeSelectorController::setInpoint);
  setOutButton_ = button("Set", &QKMIRangeSelectorController::setOutpoint);
  resetInButton_ = button("Reset", &QKMIRangeSelectorController::resetInpoint);
  resetOutButton_ = button("Reset", &QKMIRangeSelectorController::resetOutpoint);
  muteButton_ = button("Mute", &QKMIRangeSelectorController::mutePreviewButtonUsed, true);
  muteButton_->setTitle2(QStringLiteral("Muted"));
  // The preview starts muted.
  muteButton_->setIntValue(1, false);

  timeSlider_->setTarget(std::static_pointer_cast<void>(alive_));
  timeSlider_->setAction([this, alive](QKSliderCell&) {
    if (alive.lock()) setTime();
  });
  volumeSlider_->setTarget(std::static_pointer_cast<void>(alive_));
  volumeSlider_->setAction([this, alive](QKSliderCell&) {
    if (alive.lock()) setVolume(volumeSlider_);
  });
  connect(useVolumeButton_, &QCheckBox::clicked, this, [this] { setVolume(volumeSlider_); });
  loopModeControl_->setAction([this] { loopModeControlUsed(loopModeControl_); });
  sliderDelegate_ = std::make_shared<TimeSliderDelegate>([this, alive](int notice) {
    auto handle = [this, alive, notice] {
      if (!alive.lock()) return;
      switch (notice) {
        case 0:
          return minEnvChanged();
        case 1:
          return maxEnvChanged();
        case 2:
          return interestingPointsChanged();
        default:
          return snappedToInterestingPoint();
      }
    };
    // The rebuild of the marks reports on its own thread while it holds
    // its flag: that report must be seen (and dropped) there.
    if (notice == 2 || MainThread::isMainThread())
      handle();
    else
      MainThread::post(handle);
  });
  timeSlider_->setDelegate(sliderDelegate_);
  timeSliderUpdateTimer_.setInterval(33);
  connect(&timeSliderUpdateTimer_, &QTimer::timeout, this, [this] { updateTimeSliderCallback(); });

  // Laid out for the palette column (260 points wide).
  auto* column = new QVBoxLayout(view_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  column->addWidget(movieView_, 1);
  column->addWidget(timeSlider_);
  auto* transport = new QHBoxLayout;
  transport->setSpacing(2);
  for (QKButton* b : {prevMarkerButton_, prevFrameButton_, playPauseButton_, nextFrameButton_,
                      nextMarkerButton_, posterButton_})
    transport->addWidget(b);
  column->addLayout(transport);
  auto* range = new QGridLayout;
  range->setHorizontalSpacing(3);
  range->setVerticalSpacing(2);
  range->addWidget(new QLabel(QStringLiteral("In")), 0, 0);
  range->addWidget(inpointText_, 0, 1);
  range->addWidget(setInButton_, 0, 2);
  range->addWidget(resetInButton_, 0, 3);
  range->addWidget(new QLabel(QStringLiteral("Out")), 1, 0);
  range->addWidget(outpointText_, 1, 1);
  range->addWidget(setOutButton_, 1, 2);
  range->addWidget(resetOutButton_, 1, 3);
  range->addWidget(new QLabel(QStringLiteral("Measures")), 0, 4);
  range->addWidget(measuresText_, 1, 4);
  // The volume slider has a row of its own, so its name is never cut.
  auto* modes = new QHBoxLayout;
  modes->setSpacing(3);
  modes->addWidget(loopModeControl_);
  modes->addWidget(muteButton_);
  modes->addStretch(1);
  range->addLayout(modes, 2, 0, 1, 5);
  auto* sound = new QHBoxLayout;
  sound->setSpacing(3);
  sound->addWidget(useVolumeButton_);
  sound->addWidget(volumeSlider_, 1);
  range->addLayout(sound, 3, 0, 1, 5);
  range->setColumnStretch(1, 1);
  column->addLayout(range);
  clearPreview();
}

void QKMIRangeSelectorController::prepareToBeDeleted() {
  if (!alive_) return;
  invalidateTimer();
  closeMovie();
  timeSlider_->setDelegate(nullptr);
  for (QKButton* b : {playPauseButton_, posterButton_, setInButton_, setOutButton_, resetInButton_,
                      resetOutButton_, prevMarkerButton_, nextMarkerButton_, prevFrameButton_,
                      nextFrameButton_, muteButton_})
    b->prepareToBeDeleted();
  timeSlider_->prepareToBeDeleted();
  volumeSlider_->prepareToBeDeleted();
  alive_.reset();
}

std::shared_ptr<QKFile> QKMIRangeSelectorController::currentFile() const {
  return currentFile_.lock();
}

// --- Showing a file -----------------------------------------------------------------------------

void QKMIRangeSelectorController::readFile(const std::shared_ptr<QKFile>& file) {
  closeMovie();
  loading_ = true;
  const std::weak_ptr<int> alive = alive_;
  MainThread::post([this, alive, file] {
    if (alive.lock()) readFileMainThread(file);
  });
}

void QKMIRangeSelectorController::closeMovie() {
  movieView_->setMovie(nullptr);
  if (!currentMovie_) return;
  currentMovie_->movie().setDidEndHandler(nullptr);
  invalidateTimer();
  currentMovie_->movie().stop();
  currentMovie_->movie().release();
  currentMovie_.reset();
}

void QKMIRangeSelectorController::readFileMainThread(const std::shared_ptr<QKFile>& file) {
  currentFile_.reset();
  const auto qtFile = std::dynamic_pointer_cast<QKQTFile>(file);
  if (!qtFile || !qtFile->validFile()) return clearPreview();
  const QString path = QKFile::justResolveAliasFilePath(qtFile->fullPath());
  QString error;
  auto movie =
      path.isEmpty() ? nullptr : QKQTMovie::movieWithFile(path, &error, QKQTFile::movieOptions());
  if (!movie) {
    Log::line(QStringLiteral("err: inspector unable to load mov file from path %1")
                  .arg(qtFile->fullPath()));
    return clearPreview();
  }
  currentMovie_ = movie;
  Movie& m = movie->movie();
  timeSlider_->setEnabled(true);
  m.setPlaysSelectionOnly(true);

  const QVariantMap props = qtFile->movieProps();
  QKTime duration = P::time(props.value(P::kOriginalDuration));
  if (duration.scale <= 0 || duration.value <= 0) duration = m.duration();
  timeSlider_->setMinRange(0.0f);
  timeSlider_->setMaxRange(float(duration.seconds()));
  QKTimeRange range{QKTime{0, duration.scale, 0}, duration};
  if (P::isRange(props.value(P::kActive)))
    range = P::range(props.value(P::kActive));
  else
    Log::line(QStringLiteral("\t\terror: temp range was nil!"));
  const double measures = MIProps::number(props, P::kDurationInMeasures).value_or(0.0);
  const float whole = float(duration.value);
  timeSlider_->setMaxEnv(float(range.start.value + range.duration.value) / whole, false);
  timeSlider_->setMinEnv(float(range.start.value) / whole, false);
  m.setSelection(range);
  outpointText_->setText(printed(timeSlider_->cell()->rangedMaxEnv()));
  inpointText_->setText(printed(timeSlider_->cell()->rangedMinEnv()));
  measuresText_->setText(printed(measures * double(range.duration.value) / double(whole)));

  currentFile_ = qtFile;
  const std::weak_ptr<int> alive = alive_;
  m.setDidEndHandler([this, alive] {
    MainThread::post([this, alive] {
      if (alive.lock()) movieDidEnd();
    });
  });
  const double loopMode = MIProps::number(props, P::kLoopMode).value_or(0.0);
  loopModeControl_->setSelectedSegment(int(loopMode));
  loopModeControlUsed(loopModeControl_);
  updateSliderInterestingPoints();
  loopModeControlUsed(loopModeControl_);
  movieView_->setMovie(movie);
  setVolume(volumeSlider_);
  movieView_->update();
  startPlayback();
  loading_ = false;
}

void QKMIRangeSelectorController::clearPreview() {
  invalidateTimer();
  currentFile_.reset();
  timeSlider_->setEnabled(false);
  inpointText_->setText(QStringLiteral("xx"));
  outpointText_->setText(QStringLiteral("xx"));
  loading_ = false;
}

// --- Playback -----------------------------------------------------------------------------------

void QKMIRangeSelectorController::pausePreview() {
  if (currentMovie_) movieView_->pause();
}

void QKMIRangeSelectorController::playPauseButtonUsed() {
  const int value = playPauseButton_->intValue();
  if (value == 0) paused_ = true;
  if (value == 1) paused_ = false;
  startPlayback();
}

void QKMIRangeSelectorController::startPlayback() {
  if (!currentMovie_) return;
  if (!paused_) {
    if (timerRunning_) return;
    timeSliderUpdateTimer_.start();
    timerRunning_ = true;
    movieView_->play();
    return;
  }
  movieView_->pause();
  invalidateTimer();
}

void QKMIRangeSelectorController::invalidateTimer() {
  timeSliderUpdateTimer_.stop();
  timerRunning_ = false;
}

void QKMIRangeSelectorController::updateTimeSliderCallback() {
  movieTaskNow();
  updatePlayHeadPosition();
  if (!timerRunning_) timeSliderUpdateTimer_.stop();
}

void QKMIRangeSelectorController::updatePlayHeadPosition() {
  if (!currentFile_.lock() || !currentMovie_) return;
  const QKTime duration = originalDuration();
  if (duration.value <= 0) return;
  const QKTime now = currentMovie_->movie().currentTime();
  timeSlider_->setValue(float(valueIn(now, duration.scale)) / float(duration.value), false);
}

void QKMIRangeSelectorController::movieTaskNow() {
  if (!currentFile_.lock() || !currentMovie_ || loading_) return;
  if (!taskLock_.tryLock()) return;
  currentMovie_->idle();
  taskLock_.unlock();
}

void QKMIRangeSelectorController::movieDidEnd() {
  if (!currentMovie_) return;
  const Movie& m = currentMovie_->movie();
  if (m.loops() || m.loopsBackAndForth() || paused_) return;
  playPauseButton_->setIntValue(0, false);
  playPauseButtonUsed();
}

void QKMIRangeSelectorController::loopModeControlUsed(MISegmentedControl* control) {
  if (!currentMovie_ || !control) return;
  Movie& m = currentMovie_->movie();
  switch (control->selectedSegment()) {
    case 0:
      m.setLoops(false);
      m.setLoopsBackAndForth(false);
      break;
    case 1:
      m.setLoops(true);
      m.setLoopsBackAndForth(false);
      break;
    case 2:
      m.setLoops(false);
      m.setLoopsBackAndForth(true);
      break;
    default:
      break;
  }
}

// --- Scrubbing and volume -----------------------------------------------------------------------

void QKMIRangeSelectorController::setTime() {
  if (!scrubLock_.tryLock()) return;
  pendingSeekSeconds_ = double(timeSlider_->cell()->rangedValue());
  scrubLock_.unlock();
  if (!currentFile_.lock()) return;
  if (seekPending_.exchange(true)) return;  // the pending seek takes the latest value
  ++seeksPosted_;
  const std::weak_ptr<int> alive = alive_;
  MainThread::post([this, alive] {
    if (!alive.lock()) return;
    seekPending_ = false;
    setTimeMainThread(pendingSeekSeconds_.load());
  });
}

void QKMIRangeSelectorController::setTimeMainThread(double seconds) {
  if (!currentMovie_) return;
  if (!scrubLock_.tryLock()) return;
  const double in = timeSlider_->cell()->rangedMinEnv();
  const double out = timeSlider_->cell()->rangedMaxEnv();
  if (seconds < in)
    seconds = in;
  else if (seconds > out)
    seconds = out;
  const int32_t scale =
      originalDuration().scale > 0 ? originalDuration().scale : currentMovie_->movie().timeScale();
  // Rounded, not truncated: a time that went through the slider's single
  // precision would otherwise land a unit before its frame.
  currentMovie_->movie().setCurrentTime(QKTime{std::llround(seconds * double(scale)), scale, 0});
  movieTaskNow();
  scrubLock_.unlock();
}

void QKMIRangeSelectorController::setVolume(QKSliderControl* slider) {
  if (!volumeLock_.tryLock()) return;
  float volume = 1.0f;
  if (muteButton_->intValue() == 1)
    volume = 0.0f;
  else if (useVolumeButton_->state() != 0 && slider)
    volume = slider->cell()->rangedValue();
  pendingVolume_ = volume;
  volumeLock_.unlock();
  if (!currentFile_.lock()) return;
  if (volumePending_.exchange(true)) return;
  const std::weak_ptr<int> alive = alive_;
  MainThread::run([this, alive] {
    if (!alive.lock()) return;
    volumePending_ = false;
    setVolumeMainThread(pendingVolume_.load());
  });
}

void QKMIRangeSelectorController::setVolumeMainThread(float volume) {
  if (!currentMovie_) return;
  if (!volumeLock_.tryLock()) return;
  currentMovie_->movie().setVolume(volume);
  lastVolume_ = volume;
  volumeLock_.unlock();
}

void QKMIRangeSelectorController::mutePreviewButtonUsed() { setVolume(volumeSlider_); }

// --- Steps
// ----------------------------------------------------------------------------------------

QKTime QKMIRangeSelectorController::originalDuration() const {
  const auto file = currentFile_.lock();
  QKTime duration = file ? P::time(file->movieProp(P::kOriginalDuration)) : QKTime{};
  if ((duration.scale <= 0 || duration.value <= 0) && currentMovie_)
    duration = currentMovie_->movie().duration();
  return duration;
}

QKTime QKMIRangeSelectorController::movieDuration() const {
  return currentMovie_ ? currentMovie_->movie().duration() : QKTime{};
}

QKTimeRange QKMIRangeSelectorController::activeRange() const {
  const auto file = currentFile_.lock();
  if (file) {
    if (const QVariantMap* pending = inspector_ ? inspector_->pendingPropsFor(*file) : nullptr)
      if (P::isRange(pending->value(P::kActive))) return P::range(pending->value(P::kActive));
    if (P::isRange(file->movieProp(P::kActive))) return P::range(file->movieProp(P::kActive));
  }
  const QKTime duration = originalDuration();
  return {QKTime{0, duration.scale, 0}, duration};
}

double QKMIRangeSelectorController::framesPerSecond() const {
  const auto file = currentFile_.lock();
  const double rate =
      file ? MIProps::number(file->movieProps(), P::kOriginalFrameRate).value_or(0.0) : 0.0;
  return rate > 0.0 ? rate : 30.0;
}

void QKMIRangeSelectorController::goToSeconds(double seconds) {
  timeSlider_->setValueWithRangedValue(float(seconds), true);
}

void QKMIRangeSelectorController::gotoPrevFrameButtonUsed() {
  if (!currentFile_.lock() || !currentMovie_) return;
  const QKTime t = currentMovie_->movie().currentTime();
  if (t.scale <= 0) return;
  const QKTimeRange range = activeRange();
  const double frame = double(t.scale) / framesPerSecond();
  const int64_t target = int64_t(double(t.value) - frame);
  const int64_t start = valueIn(range.start, t.scale);
  const int64_t end = start + valueIn(range.duration, t.scale);
  goToSeconds(double(target > start ? target : end) / double(t.scale));
}

void QKMIRangeSelectorController::gotoNextFrameButtonUsed() {
  if (!currentFile_.lock() || !currentMovie_) return;
  const QKTime t = currentMovie_->movie().currentTime();
  if (t.scale <= 0) return;
  const QKTimeRange range = activeRange();
  const double frame = double(t.scale) / framesPerSecond();
  const int64_t target = int64_t(double(t.value) + frame);
  const int64_t start = valueIn(range.start, t.scale);
  const int64_t end = start + valueIn(range.duration, t.scale);
  goToSeconds(double(target < end ? target : start) / double(t.scale));
}

void QKMIRangeSelectorController::gotoPrevMarkerButtonUsed() {
  const auto file = currentFile_.lock();
  if (!file || !currentMovie_) return;
  const double now = pressClock_();
  bool skip = lastBackButtonTime_ && now - *lastBackButtonTime_ < kDoublePressSeconds && !paused_;
  lastBackButtonTime_ = now;
  const QKTime t = currentMovie_->movie().currentTime();
  const double fps = framesPerSecond();
  const auto& markers = file->warpMarkers();
  for (auto it = markers.rbegin(); it != markers.rend(); ++it) {
    const QKTime original = (*it)->originalTime();
    const double frame = double(original.scale) / fps;
    if (double(original.value) + frame < double(valueIn(t, original.scale))) {
      if (skip) {
        skip = false;
        continue;
      }
      return goToSeconds(original.seconds());
    }
  }
  goToSeconds(0.0);
}

void QKMIRangeSelectorController::gotoNextMarkerButtonUsed() {
  const auto file = currentFile_.lock();
  if (!file || !currentMovie_) return;
  const double now = pressClock_();
  bool skip =
      lastForwardButtonTime_ && now - *lastForwardButtonTime_ < kDoublePressSeconds && !paused_;
  lastForwardButtonTime_ = now;
  const QKTime t = currentMovie_->movie().currentTime();
  const double fps = framesPerSecond();
  std::shared_ptr<QKWarpMarker> found;
  for (const auto& marker : file->warpMarkers()) {
    const QKTime original = marker->originalTime();
    const double frame = double(original.scale) / fps;
    if (double(original.value) - frame > double(valueIn(t, original.scale))) {
      if (skip) {
        skip = false;
        continue;
      }
      found = marker;
      break;
    }
  }
  const QKTimeRange range = activeRange();
  const int32_t scale = range.start.scale > 0 ? range.start.scale : t.scale;
  const double frame = double(scale) / fps;
  const double end = double(range.start.value) + double(valueIn(range.duration, scale));
  if (double(valueIn(t, scale)) >= end - 5.0 * frame && loopModeControl_->selectedSegment() == 1)
    return goToSeconds(double(range.start.value) / double(scale));
  if (found) return goToSeconds(found->originalTime().seconds());
  goToSeconds((end - frame) / double(scale));
}

// --- In and out points
// ------------------------------------------------------------------------------

void QKMIRangeSelectorController::setInpoint() {
  if (!currentFile_.lock() || !currentMovie_) return;
  const QKTime d = movieDuration();
  if (d.value <= 0) return;
  timeSlider_->setMinEnv(float(valueIn(currentMovie_->movie().currentTime(), d.scale)) /
                         float(d.value));
}

void QKMIRangeSelectorController::setOutpoint() {
  if (!currentFile_.lock() || !currentMovie_) return;
  const QKTime d = movieDuration();
  if (d.value <= 0) return;
  timeSlider_->setMaxEnv(float(valueIn(currentMovie_->movie().currentTime(), d.scale)) /
                         float(d.value));
}

void QKMIRangeSelectorController::resetInpoint() {
  if (currentFile_.lock() && currentMovie_) timeSlider_->setMinEnv(0.0f);
}

void QKMIRangeSelectorController::resetOutpoint() {
  if (currentFile_.lock() && currentMovie_) timeSlider_->setMaxEnv(1.0f);
}

void QKMIRangeSelectorController::minEnvChanged() { envelopeChanged(true); }

void QKMIRangeSelectorController::maxEnvChanged() { envelopeChanged(false); }

void QKMIRangeSelectorController::envelopeChanged(bool lower) {
  const auto file = currentFile_.lock();
  if (!file) return;
  const QVariantMap props = file->movieProps();
  const QKTime duration = originalDuration();
  if (duration.value <= 0) return;
  const double measures = MIProps::number(props, P::kDurationInMeasures).value_or(0.0);
  const double in = timeSlider_->cell()->rangedMinEnv();
  const double out = timeSlider_->cell()->rangedMaxEnv();
  if (paused_)
    setTimeMainThread(lower ? in : out);
  else
    updatePlayHeadPosition();
  const int64_t start = std::llround(in * duration.scale);
  const int64_t end = std::llround(out * duration.scale);
  const QKTimeRange range{QKTime{start, duration.scale, 0}, QKTime{end - start, duration.scale, 0}};
  (lower ? inpointText_ : outpointText_)->setText(printed(lower ? in : out));
  measuresText_->setText(printed(measures * double(range.duration.value) / double(duration.value)));
  setRangeMainThread(range);
}

void QKMIRangeSelectorController::setRangeMainThread(const QKTimeRange& range) {
  const auto file = currentFile_.lock();
  if (!file) return;
  if (currentMovie_) currentMovie_->movie().setSelection(range);
  if (QVariantMap* pending = inspector_ ? inspector_->pendingPropsFor(*file) : nullptr) {
    pending->insert(P::kActive, P::fromRange(range));
    pending->insert(P::kOriginalActive, P::fromRange(range));
  }
  if (timeWarpView_) timeWarpView_->updateWarpMarkers();
}

// --- Poster
// ---------------------------------------------------------------------------------------

void QKMIRangeSelectorController::setPosterFrameButtonUsed() {
  const auto file = currentFile_.lock();
  if (!currentMovie_ || !file) return;
  Movie& m = currentMovie_->movie();
  const QKTime now = m.currentTime();
  const QImage frame = m.frameImage(now);
  if (!frame.isNull()) file->setPosterImage(frame);
  // Movie files are never rewritten: the poster lives in the project.
  if (!m.canUpdateMovieFile() && !posterLogged_.contains(file->uniqueFileId())) {
    posterLogged_.insert(file->uniqueFileId());
    Log::line(QStringLiteral("\t\tthe poster frame of \"%1\" is kept in the project; the movie "
                             "file itself is not changed")
                  .arg(file->name()));
  }
  file->setMovieProp(P::kInstancePosterTime, P::fromTime(now));
}

// --- Marks and warp markers
// ------------------------------------------------------------------------

void QKMIRangeSelectorController::updateSliderInterestingPoints() {
  if (!interestingPointsLock_.tryLock()) return;
  timeSlider_->removeAllInterestingPoints();
  const auto file = currentFile_.lock();
  const QKTime d = movieDuration();
  if (file && d.value > 0) {
    for (const auto& marker : file->warpMarkers())
      timeSlider_->addInterestingPoint(float(valueIn(marker->originalTime(), d.scale)) /
                                       float(d.value));
    localInterestingTimePoints_ = timeSlider_->interestingPoints();
    if (timeWarpView_) timeWarpView_->updateWarpMarkers();
  }
  interestingPointsLock_.unlock();
}

void QKMIRangeSelectorController::interestingPointsChanged() {
  if (!interestingPointsLock_.tryLock()) return;
  const auto file = currentFile_.lock();
  const QKTime d = movieDuration();
  if (file && currentMovie_ && d.value > 0) {
    const QList<float> points = timeSlider_->interestingPoints();
    const bool remove = localInterestingTimePoints_.size() > points.size();
    const bool add = localInterestingTimePoints_.size() < points.size();
    QList<float> difference;
    if (remove) {
      for (float p : localInterestingTimePoints_)
        if (!points.contains(p)) difference.push_back(p);
    } else if (add) {
      for (float p : points)
        if (!localInterestingTimePoints_.contains(p)) difference.push_back(p);
    }
    const double halfFrame = double(d.scale) / framesPerSecond() / 2.0;
    for (float p : difference) {
      const QKTime time{int64_t(double(p) * double(d.value)), d.scale, 0};
      if (add) {
        file->addWarpMarkerAtTime(time);
        continue;
      }
      // The mark's time went through single precision: the marker is the
      // one nearest to it, within half a frame.
      std::shared_ptr<QKWarpMarker> nearest;
      double best = halfFrame;
      for (const auto& marker : file->warpMarkers()) {
        const double distance =
            std::abs(double(valueIn(marker->originalTime(), d.scale)) - double(time.value));
        if (distance <= best) {
          best = distance;
          nearest = marker;
        }
      }
      if (nearest) file->deleteWarpMarker(nearest);
    }
    if (add || remove) localInterestingTimePoints_ = points;
  }
  interestingPointsLock_.unlock();
}

void QKMIRangeSelectorController::snappedToInterestingPoint() {
  const auto file = currentFile_.lock();
  const QKTime d = movieDuration();
  if (!file || d.value <= 0) return;
  const auto point =
      timeSlider_->findRelevantInterestingPointForValue(timeSlider_->cell()->value());
  if (!point) return;
  int index = 0;
  for (const auto& marker : file->warpMarkers()) {
    if (float(valueIn(marker->originalTime(), d.scale)) / float(d.value) == *point) {
      if (timeWarpView_) timeWarpView_->setSelectedMarker(index);
      return;
    }
    ++index;
  }
}
