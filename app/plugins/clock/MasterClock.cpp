#include "app/plugins/clock/MasterClock.h"

#include "app/plugins/clock/MasterClockView.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/MasterClockClient.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/midi/QKMIDIMessage.h"
#include "platform/threading/QKThreadLoop.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <thread>

namespace {

const QString kRoot = QStringLiteral("ZAPH");
const QString kEveryBeat = QStringLiteral("Every Beat");
const QString kMeasurePosition = QStringLiteral("measurePosition");

double steadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

QString beatName(int number) { return QStringLiteral("Beat %1").arg(number); }

}  // namespace

MasterClock::MasterClock(TickThread tickThread, TimeSource now)
    : now_(now ? std::move(now) : TimeSource(steadySeconds)),
      tickThread_(tickThread),
      subscribers_(std::make_shared<const CallList>()),
      sourceTarget_(std::make_shared<DataSourceTarget>()) {
  if (tickThread_ == TickThread::Launch)
    loop_ = std::make_unique<QKThreadLoop>(
        kTickInterval, [this] { threadProc(); }, QStringLiteral("master clock"));
  lastDownbeat_.store(now_());
  NotificationCenter::defaultCenter().addObserver(
      this, QString::fromLatin1(kFinderNotification), nullptr, [this](const Notification& n) {
        if (n.object) static_cast<MasterClockClient*>(n.object)->setMasterClock(this);
      });
}

MasterClock::~MasterClock() {
  NotificationCenter::defaultCenter().removeObserver(this);
  stopTheThread();
}

void MasterClock::awakeFromNib(DataSourceController* controller) {
  controller_ = controller;
  if (controller_) {
    for (int n = 1; n <= beatsPerMeasure_.load(); ++n) installBeatSource(n);
    std::weak_ptr<DataSourceTarget> target = sourceTarget_;
    controller_->setDataSource(
        DSFloatFrequent::createWithName(
            kEveryBeat, target,
            [this](DataSourceTarget&, DataSource* s) { everyBeatBangCallback(s); }),
        {kRoot, kEveryBeat});
    controller_->setDataSource(
        DSFloatFrequent::createWithName(
            kMeasurePosition, target,
            [this](DataSourceTarget&, DataSource* s) { setMeasurePosAsDataSource(s); }),
        {kRoot, kMeasurePosition});
  }
  setLastDownbeat(now_());
  measuresElapsed_.store(0);
  startTheThread();
}

void MasterClock::installBeatSource(int number) {
  const QString name = beatName(number);
  auto source = DSFloatFrequent::createWithName(
      name, std::weak_ptr<DataSourceTarget>(sourceTarget_),
      [this](DataSourceTarget&, DataSource* s) { setSpecificBeatDSCallback(s); });
  if (controller_) controller_->setDataSource(source, {kRoot, name});
  beatSources_.push_back(source);
}

void MasterClock::removeBeatSource(int number) {
  if (controller_) controller_->setDataSource(nullptr, {kRoot, beatName(number)});
  beatSources_.pop_back();
}

// --- the thread ------------------------------------------------------------

void MasterClock::startTheThread() {
  std::lock_guard loop(loopMutex_);
  running_.store(true);
  if (loop_ && !loop_->running()) loop_->start();
}

void MasterClock::stopTheThread() {
  std::lock_guard loop(loopMutex_);
  running_.store(false);  // a tick that starts from now on does nothing
  if (loop_) loop_->stop();
}

bool MasterClock::threadRunning() const { return running_.load(); }

void MasterClock::lockThread() {
  while (!threadLock_.try_lock()) std::this_thread::yield();
}

double MasterClock::positionAt(double time) const {
  const double duration = measureDuration_.load();
  if (!(duration > 0.0)) return measurePosition_.load();
  double p = std::fmod(time - lastDownbeat_.load(), duration) / duration;
  if (p < 0.0) p += 1.0;
  return p >= 1.0 ? 0.0 : p;
}

MasterClock::Position MasterClock::quantize(double position) const {
  const int subdivisions = quantizedSubdivisions_.load();
  const int ticks = beatsPerMeasure_.load() * subdivisions;
  const int tick = std::clamp(int(std::floor(position * ticks)), 0, ticks - 1);
  return {tick, tick / subdivisions};
}

bool MasterClock::storeBeat(int beat) {
  if (lastQuantizedBeat_.exchange(beat) == beat) return false;
  beatToBang_.store(beat + 1);
  everyBeatBang_.store(true);
  return true;
}

void MasterClock::threadProc() {
  if (!running_.load() || slave_.load()) return;
  bool bump = false;
  lockThread();
  try {
    const double p = positionAt(now_());
    if (!slave_.load()) {
      const double old = measurePosition_.exchange(p);
      const Position q = quantize(p);
      storeBeat(q.beat);
      if (p < old) measuresElapsed_.fetch_add(1);
      bump = lastQuantizedTick_.exchange(q.tick) != q.tick;
    }
  } catch (const std::exception& e) {
    Log::line(QStringLiteral("\t\terr: master clock thread bailed on exception %1").arg(e.what()));
  }
  threadLock_.unlock();
  if (bump) bumpSubscribers();
  showPosition(true);
}

void MasterClock::bumpSubscribers() {
  std::shared_ptr<const CallList> calls;
  {
    std::lock_guard lock(subscribersMutex_);
    calls = subscribers_;
  }
  for (const QKMCQuantizeCall& call : *calls) call.bang();
}

void MasterClock::showPosition(bool whenVisible) {
  MasterClockView* view = view_.load();
  if (!view || (whenVisible && !view->clockWindowVisible())) return;
  const int tick = lastQuantizedTick_.load();
  view->setCurrentPosition(measurePosition_.load(), measuresElapsed_.load() + 1,
                           lastQuantizedBeat_.load() + 1, tick % quantizedSubdivisions_.load() + 1);
}

// --- subscribers -----------------------------------------------------------

void MasterClock::subscribe(const QKMCQuantizeCall& call) {
  std::lock_guard lock(subscribersMutex_);
  auto calls = std::make_shared<CallList>();
  for (const QKMCQuantizeCall& c : *subscribers_)
    if (c.targetIsAlive()) calls->push_back(c);
  calls->push_back(call);
  subscribers_ = std::move(calls);
}

void MasterClock::unsubscribe(const QKMCQuantizeCall& call) {
  std::lock_guard lock(subscribersMutex_);
  auto calls = std::make_shared<CallList>();
  for (const QKMCQuantizeCall& c : *subscribers_)
    if (c.targetIsAlive() && !(c == call)) calls->push_back(c);
  subscribers_ = std::move(calls);
}

// --- tempo and measure -----------------------------------------------------

void MasterClock::setMeasureDuration(double seconds) {
  if (!std::isfinite(seconds)) return;
  const double old = measureDuration_.load();
  if (slave_.load()) {
    if (seconds != 0.0) measureDuration_.store(std::fabs(seconds));
  } else {
    lockThread();
    const double time = now_();
    const double p = positionAt(time);
    const double duration = seconds > 0.0 ? seconds : -1.0;
    measureDuration_.store(duration);
    if (duration > 0.0) lastDownbeat_.store(time - p * duration);
    threadLock_.unlock();
  }
  if (measureDuration_.load() != old)
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(kMeasureDurationChangedNotification),
        static_cast<MasterClockInterface*>(this));
}

void MasterClock::setBPM(double bpm) {
  if (!std::isfinite(bpm) || bpm <= 0.0) return;
  if (MainThread::isMainThread())
    setBPMOnMain(bpm);
  else
    MainThread::post([this, bpm] { setBPMOnMain(bpm); });
}

void MasterClock::setBPMOnMain(double bpm) {
  if (!std::isfinite(bpm) || bpm <= 0.0) return;
  if (MasterClockView* view = view_.load()) {
    view->enterBPM(bpm);
    return;
  }
  if (!slave_.load()) setMeasureDuration(60.0 / bpm * beatsPerMeasure_.load());
}

// Only the difference is added or removed, so "Beat 1" and its subscribers
// live through a change of the count.
void MasterClock::setBeatsPerMeasure(long beats) {
  if (beats < 1) return;
  const int count = int(std::min<long>(beats, kMaxBeats));
  if (count == beatsPerMeasure_.load()) return;
  while (int(beatSources_.size()) < count) installBeatSource(int(beatSources_.size()) + 1);
  while (int(beatSources_.size()) > count) removeBeatSource(int(beatSources_.size()));
  beatsPerMeasure_.store(count);
}

void MasterClock::setQuantizedSubdivisions(long subdivisions) {
  quantizedSubdivisions_.store(int(std::clamp<long>(subdivisions, 1, kMaxSubdivisions)));
}

void MasterClock::setMeasuresElapsed(long measures) {
  lockThread();
  measuresElapsed_.store(measures);
  threadLock_.unlock();
  showPosition(false);
}

void MasterClock::setMeasurePosition(double position) { measurePosition_.store(position); }

void MasterClock::setLastDownbeat(double when) {
  lockThread();
  lastDownbeat_.store(when);
  if (slave_.load()) {
    measurePosition_.store(0.0);
    tickCounter_.store(0);
  }
  threadLock_.unlock();
}

void MasterClock::restart() {
  setMeasurePosition(0.0);
  setMeasuresElapsed(0);
  setLastDownbeat(now_());
}

// --- data sources ----------------------------------------------------------

void MasterClock::setSpecificBeatDSCallback(DataSource* source) {
  auto* s = static_cast<DSFloatFrequent*>(source);
  int expected = beatToBang_.load();
  if (expected == 0) {
    s->setValue(0.0f);
    return;
  }
  bool ok = false;
  const int number = s->sourceName().mid(5).toInt(&ok);
  const bool mine = ok && number == expected && beatToBang_.compare_exchange_strong(expected, 0);
  s->setValue(mine ? 1.0f : 0.0f);
}

void MasterClock::everyBeatBangCallback(DataSource* source) {
  static_cast<DSFloatFrequent*>(source)->setValueWithBOOL(everyBeatBang_.exchange(false));
}

void MasterClock::setMeasurePosAsDataSource(DataSource* source) {
  static_cast<DSFloatFrequent*>(source)->setValue(float(measurePosition_.load()));
}

// --- palette shortcut ------------------------------------------------------

void MasterClock::putPaletteSnapInDict(QVariantMap& dict) const {
  if (MasterClockView* view = view_.load()) view->putButtonSnapsInDict(dict);
  dict.insert(QStringLiteral("listenForMIDIClock"), listenForMIDIClock_.load());
}

void MasterClock::matchThisPaletteShortcutSnapshot(const QVariantMap& dict) {
  MasterClockView* view = view_.load();
  if (view) view->loadButtonSnaps(dict);
  const auto listen = dict.find(QStringLiteral("listenForMIDIClock"));
  if (listen == dict.end()) return;
  setListenForMIDIClock(listen->toBool());
  if (view) view->setListenForMIDIClockButton(listen->toBool());
}

// --- tap tempo -------------------------------------------------------------

void MasterClock::tapBeat(double when) {
  try {
    beatTaps_.push_back(when);
    while (beatTaps_.size() > 2u * size_t(beatsPerMeasure_.load())) beatTaps_.pop_front();
    const double average = tapSeriesAverage();
    if (!(average > 0.0)) return;
    const double old = measureDuration_.load();
    lockThread();
    lastDownbeat_.store(beatTaps_.front());
    measureDuration_.store(beatsPerMeasure_.load() * average);
    threadLock_.unlock();
    if (measureDuration_.load() != old)
      NotificationCenter::defaultCenter().post(
          QString::fromLatin1(kMeasureDurationChangedNotification),
          static_cast<MasterClockInterface*>(this));
  } catch (const std::exception& e) {
    Log::line(QStringLiteral("\t\terr: master clock tap bailed on exception %1").arg(e.what()));
  }
}

double MasterClock::tapSeriesAverage() {
  for (;;) {
    if (beatTaps_.size() < 2) return 0.0;
    double average = beatTaps_[1] - beatTaps_[0];
    size_t broken = 0;
    for (size_t i = 2; i < beatTaps_.size() && !broken; ++i) {
      const double interval = beatTaps_[i] - beatTaps_[i - 1];
      if (interval <= average * 0.5 || interval >= average * 2.0)
        broken = i;
      else
        average = (interval + average) * 0.5;
    }
    if (!broken) return average;
    beatTaps_.erase(beatTaps_.begin(), beatTaps_.begin() + long(broken));
  }
}

// --- MIDI clock ------------------------------------------------------------

void MasterClock::midiClockReceived(const QKMIDIMessage& message) {
  if (!listenForMIDIClock_.load() || !midiClockCounts(message.type())) return;
  if (tickCounter_.load() >= kMIDIClocksPerMeasure) tickCounter_.store(0);
  std::unique_lock lock(midiClockLock_, std::try_to_lock);
  if (lock.owns_lock()) threadedMidiClockReceived();
}

// Advances the counters; answers whether the handler should run.
bool MasterClock::midiClockCounts(unsigned type) {
  switch (type) {
    case 0xFA:
      enterSlaveMode(true);
      return true;
    case 0xF8:
      if (slave_.load()) {
        tickCounter_.fetch_add(1);
        ticksSinceLastGuess_.fetch_add(1);
      } else {
        enterSlaveMode(false);
      }
      return true;
    case 0xFC:
      slave_.store(false);  // the free-running ticks take over from the downbeat
      return false;
    default:
      return false;
  }
}

// The tempo estimate of an earlier period would span the pause: it is
// forgotten.
void MasterClock::enterSlaveMode(bool fromStart) {
  const bool was = slave_.exchange(true);
  if (!was) estimatedThisPeriod_.store(false);
  lastMIDIClock_.store(-1.0);
  ticksSinceLastGuess_.store(0);
  if (fromStart) {
    measuresElapsed_.store(0);
    tickCounter_.store(0);
    measurePosition_.store(0.0);
  } else {
    tickCounter_.store(int(std::lround(measurePosition_.load() * kMIDIClocksPerMeasure)));
  }
}

void MasterClock::threadedMidiClockReceived() {
  if (!listenForMIDIClock_.load()) return;
  const double p = double(tickCounter_.load()) / kMIDIClocksPerMeasure;
  if (measurePosition_.exchange(p) > p) measuresElapsed_.fetch_add(1);
  const Position q = quantize(p);
  lastQuantizedTick_.store(q.tick);
  if (storeBeat(q.beat)) bumpSubscribers();
  estimateTempo();
  showPosition(true);
  if (p == 0.0) lastDownbeat_.store(now_());
}

void MasterClock::estimateTempo() {
  const double time = now_();
  const double last = lastMIDIClock_.load();
  if (last < 0.0) {
    lastMIDIClock_.store(time);
    return;
  }
  const int ticks = ticksSinceLastGuess_.load();
  if (ticks < kMIDIClocksPerMeasure / 4) return;
  ticksSinceLastGuess_.store(0);
  lastMIDIClock_.store(time);
  const int beats = beatsPerMeasure_.load();
  const double measure = (time - last) * kMIDIClocksPerMeasure / ticks;
  const double bpm = std::round(beats * 60.0 / measure);
  if (!std::isfinite(bpm) || bpm < 1.0) return;  // a burst or a stray clock
  estimatedThisPeriod_.store(true);
  if (float(bpm) == calculatedBPM_.load()) return;
  calculatedBPM_.store(float(bpm));
  if (MasterClockView* view = view_.load()) view->setDisplayBPM(float(bpm));
  setMeasureDuration(60.0 / bpm * beats);
}

// Leaving slave mode keeps the estimated tempo, or the current duration
// when this period made no estimate.
void MasterClock::setListenForMIDIClock(bool listen) {
  if (listenForMIDIClock_.exchange(listen) == listen) return;
  lastMIDIClock_.store(-1.0);
  if (listen || !slave_.load()) return;
  std::lock_guard handler(midiClockLock_);  // a handler under way ends first
  if (estimatedThisPeriod_.load())
    setMeasureDuration(60.0 / calculatedBPM_.load() * beatsPerMeasure_.load());
  slave_.store(false);
  calculatedBPM_.store(1.0f);
  startTheThread();
}
