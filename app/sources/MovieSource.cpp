#include "app/sources/MovieSource.h"

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/sources/SourceFileLookup.h"
#include "app/sources/MovieSourceScratchView.h"
#include "app/sources/MovieSourceSpeedSliderControl.h"
#include "app/sources/MovieSourceTimeSliderControl.h"
#include "app/sources/VidSourceObjectPanel.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderCellDelegate.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceType.h"
#include "framework/media/MovieProps.h"
#include "framework/media/QKMovieTextureContext.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKQTMovie.h"
#include "framework/media/QKWarpMarker.h"
#include "framework/datasource/MasterClockInterface.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/WorkerPool.h"
#include "platform/movie/Movie.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/QKTimeMath.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace P = MovieProps;

const QString MovieSource::kDidEndNotification = QStringLiteral("QKMovieSourceQTMovieDidEnd");
const QString MovieSource::kLoopingChangedNotification =
    QStringLiteral("UseQTMovieLoopingDidChangeNotification");
const QString MovieSource::kReloadAllNotification = QStringLiteral("QKMBReloadAllNotification");
const QString MovieSource::kPropsUpdatedNotification =
    QStringLiteral("QKFileMoviePropsUpdatedNotification");
const QString MovieSource::kWarpMarkersChangedNotification =
    QStringLiteral("QKFileWarpMarkersChanged");

namespace {

std::atomic<bool> useMovieLooping{true};

// The keys of the controls in a snapshot, in the order they are written.
const QStringList& controlKeys() {
  static const QStringList keys{"scratchSlider",
                                "speedSlider",
                                "reverseSpeedButton",
                                "timeSlider",
                                "volumeSlider",
                                "pauseToggleControl",
                                "nextMarkerButton",
                                "prevMarkerButton",
                                "prevFrameButton",
                                "nextFrameButton",
                                "playOnceButton",
                                "loopButton",
                                "rLoopButton",
                                "setInpointButton",
                                "setOutpointButton",
                                "resetInpointButton",
                                "resetOutpointButton",
                                "createWarpPointButton",
                                "clearAllWarpPointsButton",
                                "muteButton",
                                "relJumpSlider"};
  return keys;
}

bool isFiniteNumber(double v) { return std::isfinite(v); }

// A stored number, or nothing when it is missing or not a usable number.
std::optional<double> number(const QVariantMap& props, const QString& key) {
  const QVariant v = props.value(key);
  if (!v.isValid()) return std::nullopt;
  const int type = v.metaType().id();
  if (type != QMetaType::Double && type != QMetaType::Float && type != QMetaType::Int &&
      type != QMetaType::LongLong && type != QMetaType::UInt && type != QMetaType::ULongLong &&
      type != QMetaType::Long && type != QMetaType::Bool)
    return std::nullopt;
  const double d = v.toDouble();
  return isFiniteNumber(d) ? std::optional<double>(d) : std::nullopt;
}

int intProp(const QVariantMap& props, const QString& key, int fallback = 0) {
  const auto n = number(props, key);
  return n ? int(*n) : fallback;
}

// A usable stored range in a usable duration's scale, or nothing.
std::optional<QKTimeRange> usableRange(const QVariantMap& props) {
  if (!P::isRange(props.value(P::kActive))) return std::nullopt;
  const QKTimeRange range = P::range(props.value(P::kActive));
  if (range.start.scale <= 0 || range.duration.scale <= 0 || range.duration.value < 0 ||
      range.start.value < 0)
    return std::nullopt;
  return range;
}

}  // namespace

// Forwards a slider's notices to the source: the time slider's envelopes,
// marks and binding, the scratch slider's binding.
class MovieSourceSliderDelegate : public QKSliderCellDelegate {
 public:
  MovieSourceSliderDelegate(std::weak_ptr<VidSourceObject> source, bool timeSlider)
      : source_(std::move(source)), timeSlider_(timeSlider) {}
  void QKSliderMinEnvChanged(QKSliderCell&) override { envelopes(); }
  void QKSliderMaxEnvChanged(QKSliderCell&) override { envelopes(); }
  void QKSliderInterestingPointsChanged(QKSliderCell&) override {
    if (!timeSlider_) return;
    if (auto s = movie()) s->sliderInterestingPointsChanged();
  }
  void QKSliderSyncFlagChanged(QKSliderCell& cell) override {
    if (auto s = movie()) s->sliderSyncFlagChanged(cell);
  }

 private:
  std::shared_ptr<MovieSource> movie() const {
    return std::static_pointer_cast<MovieSource>(source_.lock());
  }
  void envelopes() {
    if (!timeSlider_) return;
    if (auto s = movie()) s->timeEnvelopesChanged();
  }
  std::weak_ptr<VidSourceObject> source_;
  bool timeSlider_;
};

// --- Class-wide setting -------------------------------------------------------------

void MovieSource::setUseQTMovieLooping(bool use) {
  Log::line(QStringLiteral("MovieSource:setUseQTMovieLooping:%1").arg(use ? 1 : 0));
  if (useMovieLooping.exchange(use) == use) return;
  NotificationCenter::defaultCenter().post(kLoopingChangedNotification);
}

bool MovieSource::useQTMovieLooping() { return useMovieLooping.load(); }

// The end of the play range, a tick before it: a looping movie reads its
// end as its start.
static void gotoLastInstant(Movie& movie) {
  movie.gotoEnd();
  const QKTime end = movie.currentTime();
  if (end.value > 0) movie.setCurrentTime(QKTime{end.value - 1, end.scale, 0});
}

// --- Making -------------------------------------------------------------------------

namespace {

// A call that reaches the source only while it lives.
template <typename F>
auto whileAlive(std::weak_ptr<VidSourceObject> weak, F f) {
  return [weak = std::move(weak), f = std::move(f)](auto&&...) {
    if (auto source = std::static_pointer_cast<MovieSource>(weak.lock())) f(*source);
  };
}

}  // namespace

MovieSource::MovieSource(QString name, Layer* layer) : VidSourceObject(std::move(name), layer) {
  buildPanel();
  auto& center = NotificationCenter::defaultCenter();
  (void)center;
  observers_.observe(QStringLiteral("AppAboutToQuitNotification"), nullptr,
                     [this](const Notification&) { prepareToBeDeleted(); });
  observers_.observe(QString::fromLatin1(MasterClockInterface::kMeasureDurationChangedNotification),
                     nullptr, [this](const Notification&) {
                       MainThread::run(whileAlive(weak_from_this(),
                                                  [](MovieSource& s) { s.masterClockChanged(); }));
                     });
  observers_.observe(kLoopingChangedNotification, nullptr, [this](const Notification&) {
    MainThread::run(whileAlive(weak_from_this(), [](MovieSource& s) {
      if (auto movie = s.movie()) s.currentTime_ = movie->currentTime().seconds();
      s.restartStopwatch();
      s.setLoopModeVar(s.loopModeVar());
    }));
  });
}

MovieSource::~MovieSource() {
  observers_.clear();
  fileObservers_.clear();
  if (!deleted()) prepareToBeDeleted();
  std::lock_guard<std::mutex> lock(playMutex_);
  file_.reset();
  hasFile_.store(false);
  qtMovie_.reset();
  movie_.reset();
}

void MovieSource::prepareToBeDeleted() {
  if (deleted()) return;
  VidSourceObject::prepareToBeDeleted();
  MainThread::cancel(this);
  eject();
  for (QKSliderControl* slider : {static_cast<QKSliderControl*>(speedSlider_.data()),
                                  timeSlider_.data(), volumeSlider_.data(), scratchSlider_.data(),
                                  static_cast<QKSliderControl*>(relJumpSlider_.data())})
    if (slider) slider->prepareToBeDeleted();
  for (QKButton* button :
       {pauseToggle_.data(), muteButton_.data(), reverseButton_.data(), onceButton_.data(),
        loopButton_.data(), rLoopButton_.data(), nextFrameButton_.data(), prevFrameButton_.data(),
        nextMarkerButton_.data(), prevMarkerButton_.data(), setInButton_.data(),
        setOutButton_.data(), resetInButton_.data(), resetOutButton_.data(),
        createWarpButton_.data(), clearWarpButton_.data(), ejectButton_.data()})
    if (button) button->prepareToBeDeleted();
}

QKButton* MovieSource::makeButton(const QString& key, const QString& title, int type,
                                  QWidget* parent) {
  static const QMap<QString, QRectF> frames{{"ejectButton", {0, 0, 44, 20}},
                                            {"playOnceButton", {48, 0, 44, 20}},
                                            {"loopButton", {94, 0, 44, 20}},
                                            {"rLoopButton", {140, 0, 44, 20}},
                                            {"pauseToggleControl", {190, 0, 50, 20}},
                                            {"muteButton", {244, 0, 50, 20}},
                                            {"reverseSpeedButton", {298, 0, 60, 20}},
                                            {"prevFrameButton", {0, 136, 30, 20}},
                                            {"nextFrameButton", {32, 136, 30, 20}},
                                            {"prevMarkerButton", {64, 136, 30, 20}},
                                            {"nextMarkerButton", {96, 136, 30, 20}},
                                            {"setInpointButton", {0, 160, 42, 20}},
                                            {"setOutpointButton", {44, 160, 42, 20}},
                                            {"resetInpointButton", {88, 160, 50, 20}},
                                            {"resetOutpointButton", {140, 160, 50, 20}},
                                            {"createWarpPointButton", {196, 160, 78, 20}},
                                            {"clearAllWarpPointsButton", {276, 160, 82, 20}}};
  QKButton* button = QKButton::createWithFrame(frames.value(key), parent);
  button->setButtonType(type);
  button->setTitle(title);
  button->setTitle2(title);
  button->setObjectName(key);
  button->awakeFromNib();
  return button;
}

void MovieSource::buildPanel() {
  auto* panel = new VidSourceObjectPanel;
  panel->setObjectName(QStringLiteral("MovieSource"));
  panel->resize(360, 184);
  DataSourceController* dsc =
      layer() && layer()->compositor() ? layer()->compositor()->dataSourceController() : nullptr;
  auto slider = [&](auto* control, const QString& name, float min, float max, float value) {
    control->setSliderName(name);
    control->setMinRange(min);
    control->setMaxRange(max);
    control->setDataSourceController(dsc);
    control->setValueWithRangedValue(value, false);
    return control;
  };
  speedSlider_ =
      slider(MovieSourceSpeedSliderControl::createWithFrame(QRectF(0, 24, 360, 24), panel),
             QStringLiteral("Speed"), -10.0f, 10.0f, 1.0f);
  for (float mark : {-2.0f, -1.0f, 0.0f, 1.0f, 2.0f})
    speedSlider_->addInterestingPointWithRangedValue(mark);
  speedSlider_->setFillValue(0.5f);
  timeSlider_ = slider(MovieSourceTimeSliderControl::createWithFrame(QRectF(0, 52, 360, 24), panel),
                       QStringLiteral("Movie Time"), 0.0f, 1.0f, 0.0f);
  volumeSlider_ = slider(QKSliderControl::createWithFrame(QRectF(0, 80, 176, 24), panel),
                         QStringLiteral("Volume"), 0.0f, 1.0f, 1.0f);
  scratchSlider_ = slider(MovieSourceScratchView::createWithFrame(QRectF(182, 80, 176, 24), panel),
                          QStringLiteral("Scratch"), -4.0f, 4.0f, 0.0f);
  relJumpSlider_ = slider(QKLogSliderControl::createWithFrame(QRectF(130, 108, 150, 24), panel),
                          QStringLiteral("Frames"), 1.0f, 60.0f, 1.0f);
  ejectButton_ = makeButton("ejectButton", "eject", 0, panel);
  onceButton_ = makeButton("playOnceButton", "once", 1, panel);
  loopButton_ = makeButton("loopButton", "loop", 1, panel);
  rLoopButton_ = makeButton("rLoopButton", "r.loop", 1, panel);
  pauseToggle_ = makeButton("pauseToggleControl", "paused", 1, panel);
  pauseToggle_->setTitle2(QStringLiteral("playing"));
  muteButton_ = makeButton("muteButton", "mute", 1, panel);
  reverseButton_ = makeButton("reverseSpeedButton", "reverse", 1, panel);
  prevFrameButton_ = makeButton("prevFrameButton", "<", 0, panel);
  nextFrameButton_ = makeButton("nextFrameButton", ">", 0, panel);
  prevMarkerButton_ = makeButton("prevMarkerButton", "|<", 0, panel);
  nextMarkerButton_ = makeButton("nextMarkerButton", ">|", 0, panel);
  setInButton_ = makeButton("setInpointButton", "in", 0, panel);
  setOutButton_ = makeButton("setOutpointButton", "out", 0, panel);
  resetInButton_ = makeButton("resetInpointButton", "reset in", 0, panel);
  resetOutButton_ = makeButton("resetOutpointButton", "reset out", 0, panel);
  createWarpButton_ = makeButton("createWarpPointButton", "add marker", 0, panel);
  clearWarpButton_ = makeButton("clearAllWarpPointsButton", "clear markers", 0, panel);
  for (QKButton* onMain : {createWarpButton_.data(), clearWarpButton_.data(), pauseToggle_.data()})
    onMain->setTriggerOnMain(true);
  pauseToggle_->setIntValue(1, false);
  loopButton_->setIntValue(1, false);
  speedSlider_->setObjectName(QStringLiteral("speedSlider"));
  timeSlider_->setObjectName(QStringLiteral("timeSlider"));
  volumeSlider_->setObjectName(QStringLiteral("volumeSlider"));
  scratchSlider_->setObjectName(QStringLiteral("scratchSlider"));
  relJumpSlider_->setObjectName(QStringLiteral("relJumpSlider"));
  jumpUnits_ = new QComboBox(panel);
  jumpUnits_->setObjectName(QStringLiteral("relJumpUnitsPopUpButton"));
  jumpUnits_->addItems(
      {QStringLiteral("Frames"), QStringLiteral("Seconds"), QStringLiteral("Beats")});
  jumpUnits_->setGeometry(284, 108, 74, 24);
  setView(panel);
}

// The controls reach the source through a weak reference made once the
// source is shared.
void MovieSource::connectControls() {
  if (timeDelegate_) return;
  auto weak = weak_from_this();
  static_cast<VidSourceObjectPanel*>(view())->setMyObject(weak);
  // A control acts only while its target, the source, lives.
  const std::weak_ptr<void> target = std::static_pointer_cast<void>(shared_from_this());
  for (QKSliderControl* slider : view()->findChildren<QKSliderControl*>())
    slider->setTarget(target);
  for (QKButton* button : view()->findChildren<QKButton*>())
    button->setTarget(std::weak_ptr<const void>(target));
  speedSlider_->setAction(whileAlive(weak, [](MovieSource& s) {
    s.setSpeed(s.speedSlider_ ? s.speedSlider_->cell()->rangedValue() : 1.0f);
  }));
  timeSlider_->setAction(whileAlive(weak, [](MovieSource& s) {
    if (s.timeSlider_) s.setTime(s.timeSlider_->cell()->rangedValue());
  }));
  auto volume = whileAlive(weak, [](MovieSource& s) {
    if (!s.volumeSlider_) return;
    const float value = s.volumeSlider_->cell()->rangedValue();
    MainThread::run(
        whileAlive(s.weak_from_this(), [value](MovieSource& m) { m.setVolumeMainThread(value); }));
  });
  volumeSlider_->setAction(volume);
  muteButton_->setAction(volume);
  scratchSlider_->setAction(whileAlive(weak, [](MovieSource& s) {
    if (s.scratchSlider_) s.scratchTo(s.scratchSlider_->cell()->rangedValue());
  }));
  if (auto* strip = qobject_cast<MovieSourceScratchView*>(scratchSlider_.data()))
    if (MovieSourceScratchCell* cell = strip->scratchCell())
      cell->setScratchTarget(std::static_pointer_cast<MovieSource>(shared_from_this()));
  pauseToggle_->setAction(whileAlive(weak, [](MovieSource& s) {
    const bool pause = s.pauseToggle_ && s.pauseToggle_->intValue() != 1;
    MainThread::runAndWait(
        whileAlive(s.weak_from_this(), [pause](MovieSource& m) { m.setPausedMainThread(pause); }));
  }));
  reverseButton_->setAction(whileAlive(weak, [](MovieSource& s) {
    s.goingBackwards_.store(s.reverseButton_ && s.reverseButton_->intValue() != 0);
    s.setSpeed(s.speedSlider_->cell()->rangedValue());
  }));
  const std::pair<QKButton*, int> loops[] = {
      {onceButton_, kOnce}, {loopButton_, kLoop}, {rLoopButton_, kBackAndForth}};
  for (auto [button, mode] : loops)
    button->setAction(whileAlive(weak, [button = QPointer<QKButton>(button), mode](MovieSource& s) {
      if (button && button->intValue() == 1) s.loopModeButtonUsed(mode);
    }));
  auto onMain = [&](QKButton* button, void (MovieSource::*step)()) {
    button->setAction(whileAlive(weak, [step](MovieSource& s) {
      MainThread::run(whileAlive(s.weak_from_this(), [step](MovieSource& m) { (m.*step)(); }));
    }));
  };
  onMain(prevFrameButton_, &MovieSource::gotoPrevFrame);
  onMain(nextFrameButton_, &MovieSource::gotoNextFrame);
  onMain(prevMarkerButton_, &MovieSource::gotoPrevMarker);
  onMain(nextMarkerButton_, &MovieSource::gotoNextMarker);
  onMain(setInButton_, &MovieSource::setInpoint);
  onMain(setOutButton_, &MovieSource::setOutpoint);
  onMain(resetInButton_, &MovieSource::resetInpoint);
  onMain(resetOutButton_, &MovieSource::resetOutpoint);
  onMain(createWarpButton_, &MovieSource::addWarpMarkerAtCurrentTime);
  onMain(clearWarpButton_, &MovieSource::clearAllWarpMarkers);
  ejectButton_->setAction(whileAlive(weak, [](MovieSource& s) {
    MainThread::post(whileAlive(s.weak_from_this(), [](MovieSource& m) { m.eject(); }));
    NotificationCenter::defaultCenter().post(kReloadAllNotification);
    s.setBlackFrame(true);
  }));
  QObject::connect(
      jumpUnits_, qOverload<int>(&QComboBox::activated), jumpUnits_,
      whileAlive(weak, [](MovieSource& s) { s.setJumpUnit(s.jumpUnits_->currentIndex()); }));
  timeDelegate_ = std::make_shared<MovieSourceSliderDelegate>(weak, true);
  timeSlider_->setDelegate(timeDelegate_);
  scratchDelegate_ = std::make_shared<MovieSourceSliderDelegate>(weak, false);
  scratchSlider_->setDelegate(scratchDelegate_);
  setJumpUnit(kFrames);
}

QKButton* MovieSource::loopButton(int mode) const {
  return mode == kOnce ? onceButton_ : mode == kBackAndForth ? rLoopButton_ : loopButton_;
}

std::shared_ptr<MovieSource> MovieSource::create(const QString& name, Layer* layer) {
  auto source = std::make_shared<MovieSource>(name, layer);
  source->connectControls();
  return source;
}

// --- State --------------------------------------------------------------------------

std::shared_ptr<QKFile> MovieSource::currentFile() const { return qtFile(); }

std::shared_ptr<QKQTFile> MovieSource::qtFile() const {
  std::lock_guard<std::mutex> lock(playMutex_);
  return file_;
}

std::shared_ptr<Movie> MovieSource::movie() const {
  std::lock_guard<std::mutex> lock(playMutex_);
  return movie_;
}

QString MovieSource::currentPath() const {
  const auto file = qtFile();
  return file ? file->fullPath() : QString();
}

void MovieSource::releaseOnMainThread(std::shared_ptr<void> object) {
  if (!object) return;
  if (MainThread::isMainThread()) return;
  MainThread::post([object = std::move(object)]() mutable { object.reset(); });
}

double MovieSource::frameRate() const { return frameRateOf(qtFile().get()); }

double MovieSource::frameRateOf(const QKQTFile* file) {
  const auto fps = file ? number(file->movieProps(), P::kOriginalFrameRate) : std::nullopt;
  return fps && *fps > 0.0 ? *fps : 30.0;
}

double MovieSource::stopwatchSeconds() const {
  const auto m = movie();
  if (!m) return 0.0;
  return double(m->clock().nowNanos() - stopwatchStart_) / 1e9;
}

void MovieSource::restartStopwatch() {
  if (const auto m = movie()) stopwatchStart_ = m->clock().nowNanos();
}

// --- The load road ------------------------------------------------------------------

void MovieSource::loadThisFile(const std::shared_ptr<QKFile>& file) {
  if (deleted()) {
    Log::line("\t\terr: layer was deleted before loadThisFile");
    return;
  }
  setStopped(false);
  auto qt = std::dynamic_pointer_cast<QKQTFile>(file);
  if (!qt || !qt->validFile()) {
    eject();
    return;
  }
  const uint64_t generation = ++generation_;
  // A load under way is overtaken: its worker sees the newer generation.
  setLoading(false);
  if (qtFile()) {
    const bool black = blackFrame();
    eject();
    setBlackFrame(black);
  }
  checkSizeFlip_.store(true);
  setLoading(true);
  {
    std::lock_guard<std::mutex> lock(playMutex_);
    file_ = qt;
    hasFile_.store(file_ != nullptr);
  }
  qt->setCurrentSource(shared_from_this());
  std::weak_ptr<VidSourceObject> weak = weak_from_this();
  const bool queued = WorkerPool::shared().post([weak, qt, generation]() mutable {
    if (auto source = std::static_pointer_cast<MovieSource>(weak.lock()))
      source->threadedLoad(qt, generation);
    // An eject while the load finished may have left this the last reference.
    releaseOnMainThread(std::move(qt));
  });
  if (!queued) {
    Log::line("\t\terr: no worker took the movie load");
    setLoading(false);
    eject();
  }
}

void MovieSource::threadedLoad(const std::shared_ptr<QKQTFile>& file, uint64_t generation) {
  std::lock_guard<std::mutex> lock(threadLock_);
  if (generation != generation_.load()) {
    Log::line("\t\tskipped final load on main thread");
    return;
  }
  setLoading(false);
  if (deleted()) {
    Log::line("\t\terr: layer was deleted before threadedLoadFileMethod");
    return;
  }
  if (!file->movieFile()) MainThread::runAndWait([file] { file->prepareForTriggerOnMainThread(); });
  const std::shared_ptr<QKQTMovie> qtMovie = file->movieFile();
  if (qtMovie) {
    qtMovie->setSubscriber(std::static_pointer_cast<MovieSource>(shared_from_this()));
    qtMovie->unlock();
  }
  bool finished = false;
  if (generation == generation_.load() && !deleted())
    MainThread::runAndWait(whileAlive(weak_from_this(), [&](MovieSource& s) {
      if (generation != s.generation_.load() || s.deleted()) return;
      s.finishLoad(file, generation);
      finished = true;
    }));
  if (!finished) {
    // A newer load overtook this one: the movie goes back to rest.
    // An eject may have parked it already.
    if (qtMovie) {
      if (!qtMovie->isLocked()) qtMovie->tryLock();
      releaseOnMainThread(qtMovie);
    }
    Log::line("\t\tskipped final load on main thread");
  }
}

void MovieSource::finishLoad(const std::shared_ptr<QKQTFile>& file, uint64_t generation) {
  (void)generation;
  if (deleted()) {
    Log::line("\t\terr: layer deleted before threadedLoadReturningCurrentFile");
    return;
  }
  const std::shared_ptr<QKQTMovie> qtMovie = file->movieFile();
  std::shared_ptr<Movie> movie = qtMovie ? qtMovie->sharedMovie() : nullptr;
  {
    std::lock_guard<std::mutex> lock(playMutex_);
    qtMovie_ = qtMovie;
    movie_ = movie;
  }
  observeFile(file);
  goingBackwards_.store(false);
  hasVideo_.store(movie && movie->hasVideo());
  checkSizeFlip_.store(true);
  if (!movie) {
    Log::line(QStringLiteral("\t\terr: movie of %1 could not be opened").arg(file->name()));
    eject();
    return;
  }
  movie->setDidEndHandler(whileAlive(weak_from_this(), [](MovieSource& s) {
    if (useQTMovieLooping()) s.handleMovieDidEnd();
  }));
  const QVariantMap props = file->movieProps();
  applyTimeSliderProps(props, true);
  applyRangeProps(props, "\t\terr: rangeAsValue was nil A");
  applySpeedProps(props, true);
  const float speed = speedSlider_->cell()->rangedValue();
  if (timeSyncOnStop_ || speed == 0.0f) {
    movie->setRate(1.0);
    movie->setRate(0.0);
  }
  if (speed >= 0.0f) {
    movie->gotoBeginning();
    currentTime_ = timeSlider_->cell()->rangedMinEnv();
  } else {
    gotoLastInstant(*movie);
    currentTime_ = timeSlider_->cell()->rangedMaxEnv();
  }
  applyVolumeProps(props);
  if (pauseToggle_->intValue() == 0 && !timeSyncOnStop_) {
    paused_.store(true);
    movie->setRate(1.0);
    movie->setRate(0.0);
  }
  applyLoopModeProps(props);
  restartStopwatch();
  updateSliderInterestingPoints();
  if (layer()) {
    std::weak_ptr<VidSourceObject> weak = weak_from_this();
    MainThread::post([weak] {
      auto source = weak.lock();
      if (source && source->layer() && !source->deleted() && source->currentFile())
        source->layer()->displayGeneralSource();
    });
  }
}

void MovieSource::observeFile(const std::shared_ptr<QKQTFile>& file) {
  fileObservers_.clear();
  if (!file) return;
  std::weak_ptr<VidSourceObject> weak = weak_from_this();
  fileObservers_.observe(kWarpMarkersChangedNotification, file.get(), [weak](const Notification&) {
    MainThread::run(whileAlive(weak, [](MovieSource& s) { s.updateSliderInterestingPoints(); }));
  });
  fileObservers_.observe(kPropsUpdatedNotification, file.get(), [weak](const Notification&) {
    MainThread::run(whileAlive(weak, [](MovieSource& s) { s.movieParamsUpdated(); }));
  });
}

// --- The eject road -----------------------------------------------------------------

void MovieSource::eject() {
  if (loading()) Log::line("\t\terr: loading was YES on eject");
  std::shared_ptr<QKQTFile> file = qtFile();
  if (!file) return;
  setBlackFrame(true);
  file->setCurrentSource(nullptr);
  const QVariantMap props = file->movieProps();
  const int preroll = intProp(props, P::kDoMoviePreroll, 1);
  const bool live = props.value(P::kAllowLiveUpdating).toBool();
  fileObservers_.clear();
  const std::shared_ptr<Movie> movie = this->movie();
  const std::shared_ptr<QKQTMovie> qtMovie = file->movieFile();
  if (movie) {
    movie->stop();
    movie->setDidEndHandler(nullptr);
  }
  auto rewind = [&] {
    if (!movie) return;
    if (speedSlider_->cell()->rangedValue() < 0.0f)
      gotoLastInstant(*movie);
    else
      movie->gotoBeginning();
  };
  if (!live) {
    if (preroll) rewind();
  } else {
    writeBackProps(*file);
    if (intProp(props, P::kUseMovieTime) != 1 && preroll) rewind();
  }
  timeSyncOnStop_ = timeSlider_->cell()->syncFlag();
  speedSyncOnStop_ = speedSlider_->cell()->syncFlag();
  if (qtMovie && qtMovie->subscriber().get() == static_cast<QKQTMovieSubscriber*>(this)) {
    qtMovie->clearSubscriber();
    if (!qtMovie->isLocked()) qtMovie->tryLock();
    if (!preroll) {
      // Queued: an eject may come with the render lock held, which the
      // file takes to let its movie go.
      std::weak_ptr<QKQTFile> weakFile = file;
      MainThread::post([weakFile] {
        if (auto f = weakFile.lock()) f->unPreRollOnMainThread();
      });
    }
  }
  {
    std::lock_guard<std::mutex> lock(playMutex_);
    file_.reset();
    hasFile_.store(false);
    qtMovie_.reset();
    movie_.reset();
  }
  if (layer() && MainThread::isMainThread() && !layer()->deleted()) layer()->displayGeneralSource();
  timeSlider_->cell()->setMinEnv(0.0f, false);
  timeSlider_->cell()->setMaxEnv(1.0f, false);
  // The last reference may be this one: a file goes on the main thread.
  releaseOnMainThread(std::move(file));
}

void MovieSource::stop() {
  const auto movie = this->movie();
  if (!qtFile()) return;
  setStopped(true);
  timeSyncOnStop_ = timeSlider_->cell()->syncFlag();
  speedSyncOnStop_ = speedSlider_->cell()->syncFlag();
  if (movie) movie->stop();
}

// --- The frame road (render thread) -------------------------------------------------

void MovieSource::render(const gl::DisplayLink::Frame& frame) { frameStep(frame, true); }

void MovieSource::skippedRenderTask(const gl::DisplayLink::Frame& frame) {
  frameStep(frame, false);
}

gl::TextureHandle MovieSource::currentTexture() {
  if (!hasVideo_.load() || blackFrame()) return {};
  return texture_;
}

void MovieSource::frameStep(const gl::DisplayLink::Frame& frame, bool drawn) {
  (void)frame;
  StepOutcome outcome;
  {
    std::unique_lock<std::mutex> load(threadLock_, std::try_to_lock);
    if (!load.owns_lock()) return;
    std::unique_lock<std::mutex> play(playMutex_, std::try_to_lock);
    if (!play.owns_lock()) return;
    outcome = advanceLocked(drawn);
  }
  // Both reach beyond the source (the layer's size the tap manager's lock,
  // the slider its outputs): with none of the source's locks held, so no
  // path takes them in the opposite order to the compositor's tap pass.
  if (outcome.position) updateTimeSlider(*outcome.position);
  if (!outcome.newLayerSize.isEmpty() && layer())
    layer()->setLayerSize(QSizeF(outcome.newLayerSize));
}

// Under threadLock_ and playMutex_.
MovieSource::StepOutcome MovieSource::advanceLocked(bool drawn) {
  StepOutcome outcome;
  Movie* movie = movie_.get();
  QKMovieTextureContext* context = nullptr;
  if (file_) {
    if (const auto fileContext = file_->visualContext())
      if (fileContext->movie().get() == movie) context = fileContext.get();
  }
  if (!movie) {
    if (output_.movie()) {
      // The render thread never lets go of the last reference to a movie.
      auto old = output_.movie();
      output_.setMovie(nullptr);
      releaseOnMainThread(std::move(old));
    }
    return outcome;
  }
  if (drawn && movie->hasVideo()) {
    bool fresh = false;
    gl::TextureHandle picture;
    if (context) {
      fresh = context->hasPicture() && context->frameIndex() != lastContextFrame_;
      lastContextFrame_ = context->frameIndex();
      picture = context->texture();
    } else {
      if (output_.movie().get() != movie) {
        auto old = output_.movie();
        output_.setMovie(movie_);
        releaseOnMainThread(std::move(old));
      }
      fresh = output_.update(movie->clock().nowNanos());
      picture = output_.texture();
    }
    if (fresh && picture) {
      texture_ = picture;
      setBlackFrame(false);
      if (checkSizeFlip_.exchange(false)) outcome.newLayerSize = texture_.size();
    }
  }
  const QKTime now = movie->currentTime();
  const QKTime duration = movie->duration();
  float position = 0.0f;
  if (duration.value > 0) position = float(double(now.value) / double(duration.value));
  position_.store(position);
  outcome.position = position;
  if (!drawn) {
    lastMovieValue_ = now.value;
    return outcome;
  }
  const double speed = effectiveSpeed();
  const QKTimeRange range = movie->selection();
  const int64_t start = range.start.value;
  const int64_t end = start + range.duration.value;
  if (useQTMovieLooping() && range.duration.value > 0) {
    const int64_t tolerance = int64_t(std::ceil(std::abs(speed)) * double(duration.scale) / 10.0);
    const bool forwardEnd =
        speed > 0 && now.value > lastMovieValue_ && now.value >= end - tolerance;
    const bool backwardEnd =
        speed < 0 && now.value < lastMovieValue_ && now.value <= start + tolerance;
    if ((forwardEnd || backwardEnd) && !movieDidLoop_.exchange(true))
      MainThread::post(whileAlive(weak_from_this(), [](MovieSource& s) { s.handleMovieDidEnd(); }));
  }
  if (loopMode_.load() == kOnce) {
    // playMutex_ is held: the file is read directly.
    const int64_t oneFrame = int64_t(double(duration.scale) / frameRateOf(file_.get()));
    if ((speed > 0 && now.value >= end) || (speed < 0 && now.value < start + oneFrame))
      setBlackFrame(true);
  }
  lastMovieValue_ = now.value;
  return outcome;
}

void MovieSource::updateTimeSlider(float position) {
  if (!timeSlider_) return;
  QKSliderCell* cell = timeSlider_->cell();
  if (cell->syncFlag()) return;
  if (cell->behaviorFlag()) {
    cell->setValueAndOutputIfDifferent(position);
    return;
  }
  if (position == cell->value()) return;
  if (++redrawCount_ <= 3) return;
  redrawCount_ = 0;
  QPointer<QKSliderControl> slider = timeSlider_;
  MainThread::coalesce(&redrawCount_, [slider, position] {
    if (slider && !slider->deleted()) slider->setValue(position, false);
  });
}

double MovieSource::effectiveSpeed() const {
  const double speed = speedSlider_ ? speedSlider_->cell()->rangedValue() : 1.0;
  if (timeSlider_ && timeSlider_->cell()->syncFlag()) return speed;
  return goingBackwards_.load() ? -speed : speed;
}

void MovieSource::setDataSource(DataSource* source) {
  if (source) source->setValue(position_.load());
}

// --- The idle step (main thread) ----------------------------------------------------

void MovieSource::movieTaskNow() {
  const auto movie = this->movie();
  if (!movie || !qtFile()) return;
  if (deleted()) {
    Log::line("\t\terr: idle failed on deleted movie source");
    return;
  }
  if (loading()) return;
  bool speedPending = false;
  float speed = 0.0f;
  {
    std::lock_guard<std::mutex> lock(speedMutex_);
    speedPending = std::exchange(jumpToSpeed_, false);
    speed = jumpToSpeedVal_;
  }
  bool timePending = false;
  float time = 0.0f;
  if (!speedPending) {
    std::lock_guard<std::mutex> lock(timeMutex_);
    timePending = std::exchange(jumpToTime_, false);
    time = jumpToTimeVal_;
  }
  if (speedPending) {
    if (!useQTMovieLooping()) loopCheckPing();
    setSpeedMainThread(speed);
  } else if (timePending) {
    setTimeMainThread(time);
    currentTime_ = time;
  } else if (!useQTMovieLooping()) {
    loopCheckPing();
  }
  std::shared_ptr<QKQTMovie> qtMovie;
  {
    std::lock_guard<std::mutex> lock(playMutex_);
    qtMovie = qtMovie_;
  }
  if (qtMovie) qtMovie->idle();
}

// --- Transport ----------------------------------------------------------------------

void MovieSource::setSpeed(float speed) {
  std::lock_guard<std::mutex> lock(speedMutex_);
  jumpToSpeedVal_ = speed;
  jumpToSpeed_ = true;
}

void MovieSource::setTime(float seconds) {
  std::lock_guard<std::mutex> lock(timeMutex_);
  jumpToTimeVal_ = seconds;
  jumpToTime_ = true;
}

void MovieSource::setSpeedMainThread(float speed) {
  const auto movie = this->movie();
  if (stopped() || paused() || !movie || !isFiniteNumber(speed)) return;
  const double rate = goingBackwards_.load() ? -speed : speed;
  movie->setRate(rate);
}

float MovieSource::lastRangedTime() const {
  const auto movie = this->movie();
  if (!movie) return -1.0f;
  const double duration = movie->duration().seconds();
  if (!(duration > 0.0)) return -1.0f;
  return float(std::clamp(movie->currentTime().seconds() / duration, 0.0, 1.0));
}

int MovieSource::pauseToggleValue() const { return pauseToggle_ ? pauseToggle_->intValue() : 0; }

void MovieSource::setPauseToggleValue(int value) {
  if (pauseToggle_) pauseToggle_->setIntValue(value);
}

float MovieSource::lastMovieTime() const {
  const auto movie = this->movie();
  return movie ? float(movie->currentTime().seconds()) : -1.0f;
}

float MovieSource::speedSliderValue() const {
  return speedSlider_ ? speedSlider_->cell()->rangedValue() : 1.0f;
}

void MovieSource::setRangedTimeMainThread(float fraction) {
  const auto movie = this->movie();
  if (!movie || !isFiniteNumber(fraction)) return;
  const double duration = movie->duration().seconds();
  if (duration > 0.0) setTimeMainThread(float(std::clamp(double(fraction), 0.0, 1.0) * duration));
}

void MovieSource::setTimeMainThread(float seconds) {
  if (blackFrame()) setSpeed(speedSlider_->cell()->rangedValue());
  const auto movie = this->movie();
  if (!movie || !isFiniteNumber(seconds)) return;
  const float in = timeSlider_->cell()->rangedMinEnv();
  const float out = timeSlider_->cell()->rangedMaxEnv();
  const double t =
      std::clamp(double(seconds), double(std::min(in, out)), double(std::max(in, out)));
  const int32_t scale =
      movie->currentTime().scale > 0 ? movie->currentTime().scale : movie->timeScale();
  movie->setCurrentTime(QKTime{int64_t(t * scale), scale, 0});
  lastMovieValue_ = int64_t(t * scale);
  setStopped(false);
}

void MovieSource::setGoingBackwards(bool backwards) {
  if (goingBackwards_.exchange(backwards) == backwards) return;
  setSpeed(speedSlider_->cell()->rangedValue());
}

void MovieSource::setPausedMainThread(bool pause) {
  paused_.store(pause);
  const auto movie = this->movie();
  if (!qtFile() || !movie) return;
  if (pause) {
    movie->setRate(1.0);
    movie->setRate(0.0);
    return;
  }
  for (QKSliderControl* slider : {timeSlider_.data(), scratchSlider_.data()}) {
    QKSliderCell* cell = slider ? slider->cell() : nullptr;
    if (cell && cell->syncFlag() && (cell->dataSourceType() == 1 || cell->dataSourceType() == 2))
      cell->setSyncFlag(false);
  }
  setSpeed(speedSlider_->cell()->rangedValue());
}

void MovieSource::setVolumeMainThread(float volume) {
  std::unique_lock<std::mutex> lock(volumeMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  const auto movie = this->movie();
  if (!movie) return;
  const bool muted = muteButton_ && muteButton_->intValue() != 0;
  movie->setVolume(muted || !isFiniteNumber(volume) ? 0.0f : std::clamp(volume, 0.0f, 1.0f));
}

void MovieSource::loopModeButtonUsed(int mode) {
  for (int other : {kOnce, kLoop, kBackAndForth})
    if (other != mode && loopButton(other)) loopButton(other)->setIntValue(0, false);
  setLoopModeVar(mode);
}

void MovieSource::setLoopModeVar(int mode) {
  if (loopMode_.exchange(mode) != mode) goingBackwards_.store(false);
  if (qtFile())
    MainThread::run(
        whileAlive(weak_from_this(), [](MovieSource& s) { s.setLoopModeOnMainThread(); }));
}

void MovieSource::setLoopModeOnMainThread() {
  const auto movie = this->movie();
  if (!movie || !qtFile()) return;
  const int mode = loopMode_.load();
  movie->setLoops(mode == kLoop && useQTMovieLooping());
  movie->setLoopsBackAndForth(mode == kBackAndForth && useQTMovieLooping());
  const float speed = speedSlider_->cell()->rangedValue();
  MainThread::post(
      whileAlive(weak_from_this(), [speed](MovieSource& s) { s.setSpeedMainThread(speed); }));
}

void MovieSource::handleMovieDidEnd() {
  const auto movie = this->movie();
  if (qtFile() && movie) {
    const float sp = speedSlider_->cell()->rangedValue();
    const double in = timeSlider_->cell()->rangedMinEnv();
    const double out = timeSlider_->cell()->rangedMaxEnv();
    double cur = currentTime_;
    const int mode = loopMode_.load();
    const double s = goingBackwards_.load() ? -sp : sp;
    if (mode == kLoop && !useQTMovieLooping()) {
      if (s > 0) {
        if (cur <= out) {
          movie->gotoBeginning();
          cur = in;
        } else {
          cur = in + (cur - out);
          setTimeMainThread(float(cur));
        }
      } else {
        if (cur >= in) {
          gotoLastInstant(*movie);
          cur = out;
        } else {
          cur = out - (in - cur);
          setTimeMainThread(float(cur));
        }
      }
      currentTime_ = cur;
      movie->setRate(s);
    } else if (mode == kBackAndForth && !useQTMovieLooping()) {
      if (s > 0) {
        if (cur <= out) {
          gotoLastInstant(*movie);
          cur = out;
        } else {
          cur = out - (cur - out);
          setTimeMainThread(float(cur));
        }
      } else {
        if (cur >= in) {
          movie->gotoBeginning();
          cur = in;
        } else {
          cur = in + (in - cur);
          setTimeMainThread(float(cur));
        }
      }
      currentTime_ = cur;
      goingBackwards_.store(!goingBackwards_.load());
      movie->setRate(goingBackwards_.load() ? -sp : sp);
    } else if (mode == kOnce) {
      setStopped(true);
    }
  }
  NotificationCenter::defaultCenter().post(kDidEndNotification, this);
  movieDidLoop_.store(false);
}

void MovieSource::loopCheckPing() {
  if (!qtFile()) return;
  double s = speedSlider_->cell()->rangedValue();
  if (goingBackwards_.load()) s = -s;
  if (paused() || stopped()) s = 0.0;
  currentTime_ += s * stopwatchSeconds();
  restartStopwatch();
  const bool forwardEnd = s > 0 && currentTime_ >= timeSlider_->cell()->rangedMaxEnv();
  const bool backwardEnd = s < 0 && currentTime_ <= timeSlider_->cell()->rangedMinEnv();
  if (!forwardEnd && !backwardEnd) return;
  if (useQTMovieLooping() || movieDidLoop_.load() || stopped()) return;
  movieDidLoop_.store(true);
  handleMovieDidEnd();
}

// --- In and out points ----------------------------------------------------------------

void MovieSource::setInpoint() {
  const auto movie = this->movie();
  if (!qtFile() || !movie || movie->duration().value <= 0) return;
  timeSlider_->cell()->setMinEnv(
      float(double(movie->currentTime().value) / movie->duration().value), false);
  timeEnvelopesChanged();
}

void MovieSource::setOutpoint() {
  const auto movie = this->movie();
  if (!qtFile() || !movie || movie->duration().value <= 0) return;
  timeSlider_->cell()->setMaxEnv(
      float(double(movie->currentTime().value) / movie->duration().value), false);
  timeEnvelopesChanged();
}

void MovieSource::resetInpoint() {
  if (!qtFile()) return;
  timeSlider_->cell()->setMinEnv(0.0f, false);
  timeEnvelopesChanged();
}

void MovieSource::resetOutpoint() {
  if (!qtFile()) return;
  timeSlider_->cell()->setMaxEnv(1.0f, false);
  timeEnvelopesChanged();
}

void MovieSource::timeEnvelopesChanged() {
  const auto file = qtFile();
  if (loading() || !file) return;
  QKTime duration = P::time(file->movieProp(P::kDuration));
  if (duration.scale <= 0 || duration.value <= 0)
    if (const auto movie = this->movie()) duration = movie->duration();
  if (duration.scale <= 0) return;
  const double lower = timeSlider_->cell()->rangedMinEnv();
  const double upper = timeSlider_->cell()->rangedMaxEnv();
  if (!isFiniteNumber(lower) || !isFiniteNumber(upper)) return;
  const QKTimeRange range{
      QKTime{int64_t(lower * duration.scale), duration.scale, 0},
      QKTime{int64_t(duration.scale * std::max(0.0, upper - lower)), duration.scale, 0}};
  MainThread::run(
      whileAlive(weak_from_this(), [range](MovieSource& s) { s.setRangeMainThread(range); }));
}

void MovieSource::setRangeMainThread(const QKTimeRange& range) {
  if (loading()) return;
  std::unique_lock<std::mutex> lock(rangeMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  const auto file = qtFile();
  const auto movie = this->movie();
  if (!file || !movie) return;
  movie->setSelection(range);
  movie->setPlaysSelectionOnly(true);
  const QVariant live = file->movieProp(P::kAllowLiveUpdating);
  if (!live.isValid() || live.toBool()) file->setMovieProp(P::kActive, P::fromRange(range));
}

// The stored selection; without one (or an unusable one) the whole movie.
QKTimeRange MovieSource::activeRange(const char* missing) const {
  const auto file = qtFile();
  if (file)
    if (const auto range = usableRange(file->movieProps())) return *range;
  if (missing) Log::line(QString::fromLatin1(missing));
  const auto movie = this->movie();
  if (!movie) return {};
  return QKTimeRange{QKTime{0, movie->timeScale(), 0}, movie->duration()};
}

// --- Stepping and scratching ------------------------------------------------------------

MovieSource::UnitRanges MovieSource::unitRanges(int unit, double fps, int beatsPerMeasure,
                                                double measureDuration) {
  if (!(fps > 0.0) || !isFiniteNumber(fps)) fps = 30.0;
  if (beatsPerMeasure < 1) beatsPerMeasure = 4;
  if (!(measureDuration > 0.0) || !isFiniteNumber(measureDuration)) measureDuration = 2.0;
  const float f = float(fps);
  const float b = float(beatsPerMeasure);
  switch (unit) {
    case kSeconds:
      return {fps, 0.0f, 16.0f, {0.5f, 1.0f, 2.0f, 4.0f, 8.0f}, -4.0f, 4.0f};
    case kBeats:
      return {fps * measureDuration / beatsPerMeasure,
              0.0f,
              2 * b,
              {0.25f, 0.5f, 1.0f, float(beatsPerMeasure / 2), b},
              -2 * b,
              2 * b};
    default:
      return {1.0, 1.0f, 2 * f, {2.0f, f / 4, f / 3, f / 2, f}, -2 * f, 2 * f};
  }
}

void MovieSource::setJumpUnit(int unit) {
  unit = std::clamp(unit, int(kFrames), int(kBeats));
  jumpUnit_.store(unit);
  MasterClockInterface* clock = masterClock();
  const UnitRanges ranges = unitRanges(unit, frameRate(), clock ? clock->beatsPerMeasure() : 4,
                                       clock ? clock->measureDuration() : 2.0);
  static const QStringList names{QStringLiteral("Frames"), QStringLiteral("Seconds"),
                                 QStringLiteral("Beats")};
  if (jumpUnits_ && jumpUnits_->currentIndex() != unit) jumpUnits_->setCurrentIndex(unit);
  relJumpSlider_->removeAllInterestingPoints();
  relJumpSlider_->setSliderName(names[unit]);
  relJumpSlider_->setMinRange(ranges.jumpMin);
  relJumpSlider_->setMaxRange(ranges.jumpMax);
  for (float mark : ranges.jumpMarks) relJumpSlider_->addInterestingPointWithRangedValue(mark);
  scratchSlider_->setMinRange(ranges.scratchMin);
  scratchSlider_->setMaxRange(ranges.scratchMax);
}

namespace {
double framesPerUnit(int unit, double fps, MasterClockInterface* clock) {
  return MovieSource::unitRanges(unit, fps, clock ? clock->beatsPerMeasure() : 4,
                                 clock ? clock->measureDuration() : 2.0)
      .framesPerUnit;
}
}  // namespace

void MovieSource::gotoPrevFrame() {
  const auto movie = this->movie();
  if (!qtFile() || !movie) return;
  const double fps = frameRate();
  const QKTimeRange range = activeRange(
      qtFile()->movieProps().contains(P::kActive) ? nullptr : "\t\terr: rangeAsValue was nil");
  const double n =
      relJumpSlider_->cell()->rangedValue() * framesPerUnit(jumpUnit_, fps, masterClock());
  const QKTime cur = movie->currentTime();
  const int32_t sc = cur.scale > 0 ? cur.scale : movie->timeScale();
  int64_t target = int64_t(double(cur.value) - n * sc / fps);
  const int64_t start = QKTimeMath::valueIn(range.start, sc);
  if (target <= start) target = start + QKTimeMath::valueIn(range.duration, sc);
  timeSlider_->setValueWithRangedValue(float(double(target) / sc), true);
}

void MovieSource::gotoNextFrame() {
  const auto movie = this->movie();
  if (!qtFile() || !movie) return;
  const double fps = frameRate();
  const QKTimeRange range = activeRange(
      qtFile()->movieProps().contains(P::kActive) ? nullptr : "\t\terr: rangeAsValue was nil D");
  const double n =
      relJumpSlider_->cell()->rangedValue() * framesPerUnit(jumpUnit_, fps, masterClock());
  const QKTime cur = movie->currentTime();
  const int32_t sc = cur.scale > 0 ? cur.scale : movie->timeScale();
  int64_t target = int64_t(double(cur.value) + n * sc / fps);
  const int64_t start = QKTimeMath::valueIn(range.start, sc);
  if (target >= start + QKTimeMath::valueIn(range.duration, sc)) target = start;
  timeSlider_->setValueWithRangedValue(float(double(target) / sc), true);
}

void MovieSource::gotoPrevMarker() {
  const auto file = qtFile();
  const auto movie = this->movie();
  if (!file || !movie) return;
  const auto now = std::chrono::steady_clock::now();
  const bool skipOne = now - lastBackPress_ < std::chrono::milliseconds(250) &&
                       speedSlider_->cell()->rangedValue() > 0 && !paused();
  const QKTime cur = movie->currentTime();
  const int32_t sc = cur.scale > 0 ? cur.scale : movie->timeScale();
  const double oneFrame = sc / frameRate();
  double target = 0.0;
  int toPass = skipOne ? 1 : 0;
  const auto& markers = file->warpMarkers();
  for (auto it = markers.rbegin(); it != markers.rend(); ++it) {
    const double warp = double(QKTimeMath::valueIn((*it)->warpTime(), sc));
    if (warp + oneFrame >= double(cur.value)) continue;
    if (toPass-- > 0) continue;
    target = warp / sc;
    break;
  }
  timeSlider_->setValueWithRangedValue(float(target), true);
  if (loopMode_.load() == kOnce) setSpeed(speedSlider_->cell()->rangedValue());
  lastBackPress_ = now;
}

void MovieSource::gotoNextMarker() {
  const auto file = qtFile();
  const auto movie = this->movie();
  if (!file || !movie) return;
  const QKTimeRange range = activeRange(
      file->movieProps().contains(P::kActive) ? nullptr : "\t\terr: rangeAsValue was nil E");
  const auto now = std::chrono::steady_clock::now();
  const bool skipOne = now - lastForwardPress_ < std::chrono::milliseconds(250) &&
                       speedSlider_->cell()->rangedValue() < 0 && !paused();
  const QKTime cur = movie->currentTime();
  const int32_t sc = cur.scale > 0 ? cur.scale : movie->timeScale();
  const double oneFrame = sc / frameRate();
  std::optional<double> target;
  int toPass = skipOne ? 1 : 0;
  for (const auto& marker : file->warpMarkers()) {
    const double warp = double(QKTimeMath::valueIn(marker->warpTime(), sc));
    if (warp - oneFrame <= double(cur.value)) continue;
    if (toPass-- > 0) continue;
    target = warp / sc;
    break;
  }
  const double start = double(QKTimeMath::valueIn(range.start, sc));
  const double end = start + double(QKTimeMath::valueIn(range.duration, sc));
  // The in point as it is, not cut to whole seconds.
  if (double(cur.value) >= end - 5 * oneFrame && loopMode_.load() == kLoop)
    target = start / sc;
  else if (!target)
    target = (end - oneFrame) / sc;
  timeSlider_->setValueWithRangedValue(float(*target), true);
  lastForwardPress_ = now;
}

// Binding notices come on the thread that changed the binding (a MIDI or
// OSC learn, the tick thread); the pause they cause is the main thread's.
void MovieSource::sliderSyncFlagChanged(QKSliderCell& cell) {
  if (deleted()) return;
  const bool synced = cell.syncFlag();
  const bool scratch = scratchSlider_ && &cell == scratchSlider_->cell();
  const bool time = timeSlider_ && &cell == timeSlider_->cell();
  if (!scratch && !time) return;
  const int type = cell.dataSourceType();
  MainThread::run(whileAlive(weak_from_this(), [scratch, synced, type](MovieSource& s) {
    if (s.deleted()) return;
    if (scratch)
      s.startScratching(synced);
    else
      s.timeSliderSyncChanged(synced, type);
  }));
}

void MovieSource::startScratching(bool start) {
  if (!scratchSlider_ || !pauseToggle_) return;
  if (start) {
    if (scratching_.load()) return;
    lastScratchValue_.store(scratchSlider_->cell()->rangedValue());
    pausedBeforeScrub_.store(paused());
    scratching_.store(true);
    if (const auto movie = this->movie()) movie->setScratching(true);
    if (!paused()) pauseToggle_->setIntValue(0, true);
    return;
  }
  if (!scratching_.exchange(false)) return;
  if (const auto movie = this->movie()) movie->setScratching(false);
  resumeUnlessPausedBefore();
}

// Only a frequently pushed source moves the play head on its own: the movie
// stands while it does. The pause state is taken at every binding, so a
// release never resumes a movie the performer had paused.
void MovieSource::timeSliderSyncChanged(bool synced, int dataSourceType) {
  if (!pauseToggle_) return;
  if (synced) {
    pausedBeforeScrub_.store(paused());
    const bool frequent =
        dataSourceType == DSType::FloatFrequent || dataSourceType == DSType::FloatFreqNonRepeat;
    if (frequent && !paused()) pauseToggle_->setIntValue(0, true);
    return;
  }
  resumeUnlessPausedBefore();
}

void MovieSource::resumeUnlessPausedBefore() {
  if (pausedBeforeScrub_.load() || pauseToggle_->intValue() == 1) return;
  pauseToggle_->setIntValue(1, true);
}

void MovieSource::scratchTo(float rangedValue) {
  const auto movie = this->movie();
  if (!movie || !scratching_.load() || !isFiniteNumber(rangedValue)) {
    lastScratchValue_.store(rangedValue);
    return;
  }
  const double fps = frameRate();
  const double d =
      (rangedValue - lastScratchValue_.load()) * framesPerUnit(jumpUnit_, fps, masterClock());
  const QKTime cur = movie->currentTime();
  const int32_t sc = cur.scale > 0 ? cur.scale : movie->timeScale();
  int64_t target = int64_t(double(cur.value) + d * sc / fps);
  const QKTimeRange range = activeRange(nullptr);
  const int64_t start = QKTimeMath::valueIn(range.start, sc);
  if (target <= start) target = start + QKTimeMath::valueIn(range.duration, sc);
  timeSlider_->setValueWithRangedValue(float(double(target) / sc), true);
  lastScratchValue_.store(rangedValue);
}

// --- The file's properties ------------------------------------------------------------

void MovieSource::applyTimeSliderProps(const QVariantMap& props, bool atLoad) {
  (void)atLoad;
  if (intProp(props, P::kUseMovieTime) == 1) {
    const QVariantMap stored = props.value(P::kTimeSlider).toMap();
    if (!stored.isEmpty()) {
      timeSlider_->loadSnapshot(stored);
      timeSyncOnStop_ = timeSlider_->cell()->syncFlag();
    } else if (const auto start = number(props, P::kStartTime)) {
      timeSlider_->setValueWithRangedValue(float(*start), true);
    }
  } else {
    timeSlider_->cell()->setSyncFlag(timeSyncOnStop_);
  }
  QKTime duration = P::time(props.value(P::kDuration));
  if (duration.scale <= 0 || duration.value <= 0)
    if (const auto movie = this->movie()) duration = movie->duration();
  if (duration.scale > 0 && duration.value > 0) timeSlider_->setMaxRange(float(duration.seconds()));
}

void MovieSource::applyRangeProps(const QVariantMap& props, const char* missing) {
  const auto movie = this->movie();
  QKTime duration = P::time(props.value(P::kDuration));
  if (duration.scale <= 0 || duration.value <= 0) duration = movie ? movie->duration() : QKTime{};
  std::optional<QKTimeRange> range = usableRange(props);
  if (!range) Log::line(QString::fromLatin1(missing));
  if (!range || duration.value <= 0) {
    if (movie) movie->setSelection({QKTime{0, movie->timeScale(), 0}, movie->duration()});
    if (movie) movie->setPlaysSelectionOnly(true);
    timeSlider_->cell()->setMinEnv(0.0f, false);
    timeSlider_->cell()->setMaxEnv(1.0f, false);
    return;
  }
  const double d = double(duration.value);
  const double start = double(QKTimeMath::valueIn(range->start, duration.scale));
  const double length = double(QKTimeMath::valueIn(range->duration, duration.scale));
  timeSlider_->cell()->setMinEnv(float(std::clamp(start / d, 0.0, 1.0)), false);
  timeSlider_->cell()->setMaxEnv(float(std::clamp((start + length) / d, 0.0, 1.0)), false);
  timeSlider_->update();
  if (movie) {
    movie->setSelection(*range);
    movie->setPlaysSelectionOnly(true);
  }
}

double MovieSource::tempoSpeed(int beatsPerMeasure, double measureDuration, double beatsPerMinute) {
  if (beatsPerMeasure < 1) beatsPerMeasure = 4;
  if (!(measureDuration > 0.0) || !(beatsPerMinute > 0.0) || !isFiniteNumber(measureDuration) ||
      !isFiniteNumber(beatsPerMinute))
    return 1.0;
  const double speed = beatsPerMeasure * (60.0 / measureDuration) / beatsPerMinute;
  return isFiniteNumber(speed) ? speed : 1.0;
}

void MovieSource::applySpeedProps(const QVariantMap& props, bool atLoad) {
  const int sync = intProp(props, P::kBpmSyncOnOff);
  if (sync == 0) {
    if (intProp(props, P::kUseMovieSpeed) == 1) {
      const QVariantMap stored = props.value(P::kSpeedSlider).toMap();
      if (!stored.isEmpty())
        speedSlider_->loadSnapshot(stored);
      else if (const auto speed = number(props, P::kSpeed))
        speedSlider_->setValueWithRangedValue(float(std::clamp(*speed, -10.0, 10.0)), true);
    } else if (atLoad) {
      speedSlider_->cell()->setSyncFlag(speedSyncOnStop_);
    }
    return;
  }
  speedSlider_->cell()->setSyncFlag(false);
  MasterClockInterface* clock = masterClock();
  const auto bpm = number(props, P::kBeatsPerMinute);
  const double speed = tempoSpeed(clock ? clock->beatsPerMeasure() : 4,
                                  clock ? clock->measureDuration() : 2.0, bpm ? *bpm : 0.0);
  speedSlider_->setValueWithRangedValue(float(std::clamp(speed, -10.0, 10.0)), !atLoad);
}

void MovieSource::applyVolumeProps(const QVariantMap& props) {
  if (intProp(props, P::kUseMovieVolume) == 1) {
    const QVariantMap stored = props.value(P::kVolumeSlider).toMap();
    if (!stored.isEmpty()) {
      volumeSlider_->loadSnapshot(stored);
      setVolumeMainThread(volumeSlider_->cell()->rangedValue());
      return;
    }
    if (const auto volume = number(props, P::kVolume)) {
      volumeSlider_->setValueWithRangedValue(float(std::clamp(*volume, 0.0, 1.0)), false);
    }
  }
  setVolumeMainThread(volumeSlider_->cell()->rangedValue());
}

void MovieSource::applyLoopModeProps(const QVariantMap& props) {
  int mode = loopMode_.load();
  if (intProp(props, P::kUseMovieLoopMode) == 1) {
    const int stored = intProp(props, P::kLoopMode, -1);
    if (stored >= kOnce && stored <= kBackAndForth) mode = stored;
  }
  QKButton* button = loopButton(mode);
  button->setIntValue(1, false);
  loopModeButtonUsed(mode);
}

void MovieSource::writeBackProps(QKQTFile& file) {
  const QVariantMap props = file.movieProps();
  if (intProp(props, P::kUseMovieTime) == 1)
    file.setMovieProp(P::kTimeSlider, timeSlider_->createSnapshot());
  if (intProp(props, P::kBpmSyncOnOff) == 0 && intProp(props, P::kUseMovieSpeed) == 1)
    file.setMovieProp(P::kSpeedSlider, speedSlider_->createSnapshot());
  if (intProp(props, P::kUseMovieVolume) == 1)
    file.setMovieProp(P::kVolumeSlider, volumeSlider_->createSnapshot());
  if (intProp(props, P::kUseMovieLoopMode) == 1) file.setMovieProp(P::kLoopMode, loopMode_.load());
}

void MovieSource::movieParamsUpdated() {
  const auto file = qtFile();
  if (!file || loading()) return;
  const QVariantMap props = file->movieProps();
  if (intProp(props, P::kUseMovieTime) == 1) {
    const QVariantMap stored = props.value(P::kTimeSlider).toMap();
    if (!stored.isEmpty())
      timeSlider_->loadSnapshot(stored);
    else if (const auto start = number(props, P::kStartTime))
      timeSlider_->setValueWithRangedValue(float(*start), true);
  }
  QKTime duration = P::time(props.value(P::kDuration));
  if (duration.scale > 0 && duration.value > 0) timeSlider_->setMaxRange(float(duration.seconds()));
  applyRangeProps(props, "\t\terr: rangeAsValue was nil F");
  applySpeedProps(props, false);
  applyVolumeProps(props);
  if (intProp(props, P::kUseMovieLoopMode) == 1) {
    const int stored = intProp(props, P::kLoopMode, -1);
    if (stored >= kOnce && stored <= kBackAndForth) loopButton(stored)->setIntValue(1, true);
  }
}

void MovieSource::masterClockChanged() {
  const auto file = qtFile();
  if (!file || intProp(file->movieProps(), P::kBpmSyncOnOff) != 1) return;
  MasterClockInterface* clock = masterClock();
  const auto bpm = number(file->movieProps(), P::kBeatsPerMinute);
  const double speed = tempoSpeed(clock ? clock->beatsPerMeasure() : 4,
                                  clock ? clock->measureDuration() : 2.0, bpm ? *bpm : 0.0);
  speedSlider_->setValueWithRangedValue(float(std::clamp(speed, -10.0, 10.0)), true);
}

// --- Marks and warp markers ------------------------------------------------------------

void MovieSource::updateSliderInterestingPoints() {
  std::unique_lock<std::mutex> lock(pointsMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  timeSlider_->removeAllInterestingPoints();
  const auto file = qtFile();
  const auto movie = this->movie();
  if (file && movie && movie->duration().value > 0) {
    const QKTime d = movie->duration();
    for (const auto& marker : file->warpMarkers())
      timeSlider_->addInterestingPoint(
          float(double(QKTimeMath::valueIn(marker->warpTime(), d.scale)) / double(d.value)));
  }
  localPoints_ = timeSlider_->cell()->interestingPoints();
}

// Marks are compared by value, a frame apart counting as the same mark, so
// that a moved mark reaches the file as one marker gone and one added.
void MovieSource::sliderInterestingPointsChanged() {
  std::unique_lock<std::mutex> lock(pointsMutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  const auto file = qtFile();
  const auto movie = this->movie();
  const QList<float> now = timeSlider_->cell()->interestingPoints();
  if (file && movie && movie->duration().value > 0) {
    const QKTime d = movie->duration();
    const double tolerance = (double(d.scale) / frameRate()) / double(d.value);
    auto contains = [tolerance](const QList<float>& marks, float mark) {
      return std::any_of(marks.begin(), marks.end(),
                         [&](float m) { return std::abs(double(m) - double(mark)) <= tolerance; });
    };
    auto timeOf = [&](float mark) {
      return QKTime{int64_t(double(mark) * double(d.value)), d.scale, 0};
    };
    for (float old : localPoints_)
      if (!contains(now, old)) file->deleteWarpMarkerWithOriginalTime(timeOf(old));
    for (float mark : now)
      if (!contains(localPoints_, mark)) file->addWarpMarkerAtTime(timeOf(mark));
  }
  localPoints_ = now;
}

void MovieSource::addWarpMarkerAtCurrentTime() {
  const auto file = qtFile();
  const auto movie = this->movie();
  if (!file || !movie) return;
  {
    std::lock_guard<std::mutex> lock(pointsMutex_);
    file->addWarpMarkerAtWarpedTime(movie->currentTime());
  }
  updateSliderInterestingPoints();
}

void MovieSource::clearAllWarpMarkers() {
  const auto file = qtFile();
  if (!file || !movie()) return;
  {
    std::lock_guard<std::mutex> lock(pointsMutex_);
    file->clearWarpMarkers();
    if (file->movieIsWarped()) file->createUnwarpedMovieFile();
  }
  updateSliderInterestingPoints();
}

// --- Snapshots --------------------------------------------------------------------------

QVariantMap MovieSource::createSnapshot() const {
  QVariantMap snapshot{{QStringLiteral("sourceType"), QStringLiteral("movieSource")}};
  if (const auto file = qtFile()) {
    snapshot.insert(QStringLiteral("sourceFileID"), qlonglong(file->uniqueFileId()));
    snapshot.insert(QStringLiteral("sourceFileName"), file->name());
    snapshot.insert(QStringLiteral("trigger"), 1);
  }
  snapshot.insert(QStringLiteral("relJumpUnitsPopUpButton"), jumpUnit_.load());
  for (const QString& key : controlKeys()) {
    QVariantMap control;
    if (view())
      if (auto* slider = view()->findChild<QKSliderControl*>(key))
        control = slider->createSnapshot();
    if (control.isEmpty() && view())
      if (auto* button = view()->findChild<QKButton*>(key)) control = button->createSnapshot();
    if (!control.isEmpty()) snapshot.insert(key, control);
  }
  return snapshot;
}

void MovieSource::loadSnapshot(const QVariantMap& snapshot, bool trigger) {
  std::shared_ptr<QKQTFile> file;
  if (trigger && snapshot.value(QStringLiteral("trigger")).toInt() == 1 &&
      snapshot.contains(QStringLiteral("sourceFileID")))
    file = std::dynamic_pointer_cast<QKQTFile>(SourceFileLookup::fileForUniqueId(
        long(snapshot.value(QStringLiteral("sourceFileID")).toLongLong())));
  if (file && !file->validFile()) file.reset();
  if (file && qtFile() && qtFile() != file) eject();
  auto load = [&](const QString& key) {
    const QVariantMap control = snapshot.value(key).toMap();
    if (control.isEmpty() || !view()) return;
    if (auto* slider = view()->findChild<QKSliderControl*>(key))
      slider->loadSnapshot(control);
    else if (auto* button = view()->findChild<QKButton*>(key))
      button->loadSnapshot(control, false);
  };
  for (const char* key :
       {"scratchSlider", "playOnceButton", "loopButton", "rLoopButton", "muteButton"})
    load(QString::fromLatin1(key));
  // The strip always shows its sync toggle, whatever an older snapshot says.
  if (scratchSlider_) scratchSlider_->setSyncToggleState(true);
  for (int mode : {kOnce, kLoop, kBackAndForth})
    if (loopButton(mode)->intValue() == 1) {
      loopModeButtonUsed(mode);
      break;
    }
  load(QStringLiteral("reverseSpeedButton"));
  goingBackwards_.store(reverseButton_->intValue() != 0);
  load(QStringLiteral("speedSlider"));
  speedSyncOnStop_ = snapshot.value(QStringLiteral("speedSlider"))
                         .toMap()
                         .value(QStringLiteral("syncFlag"))
                         .toBool();
  for (const char* key :
       {"volumeSlider", "pauseToggleControl", "nextMarkerButton", "prevMarkerButton",
        "nextFrameButton", "prevFrameButton", "setInpointButton", "setOutpointButton",
        "resetInpointButton", "resetOutpointButton", "createWarpPointButton",
        "clearAllWarpPointsButton", "relJumpSlider"})
    load(QString::fromLatin1(key));
  paused_.store(pauseToggle_->intValue() == 0);
  const int unit =
      snapshot.value(QStringLiteral("relJumpUnitsPopUpButton"), jumpUnit_.load()).toInt();
  if (unit >= kFrames && unit <= kBeats) {
    QSignalBlocker block(jumpUnits_);
    jumpUnits_->setCurrentIndex(unit);
    jumpUnit_.store(unit);
  }
  auto timeSnapshot = [&] {
    QVariantMap time = snapshot.value(QStringLiteral("timeSlider")).toMap();
    if (time.isEmpty()) return;
    for (const char* key : {"value", "minenv", "maxenv", "interestingPoints"})
      time.remove(QString::fromLatin1(key));
    timeSlider_->loadSnapshot(time);
    timeSyncOnStop_ = time.value(QStringLiteral("syncFlag")).toBool();
  };
  if (!file) {
    timeSnapshot();
    return;
  }
  std::unique_lock<std::mutex> points(pointsMutex_, std::try_to_lock);
  Layer* owner = layer();
  std::weak_ptr<QKFile> weakFile = file;
  MainThread::runAndWait([owner, weakFile, this] {
    auto f = weakFile.lock();
    if (!f) return;
    if (owner && !owner->deleted())
      owner->unlockedTriggerFile(f);
    else
      loadThisFile(f);
  });
  timeSnapshot();
  if (points.owns_lock()) {
    points.unlock();
    updateSliderInterestingPoints();
  }
}

MasterClockInterface* MovieSource::masterClock() const {
  if (MasterClockInterface* clock = clock_.load()) return clock;
  return layer() && layer()->compositor() ? layer()->compositor()->masterClock() : nullptr;
}
