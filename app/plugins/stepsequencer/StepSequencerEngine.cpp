#include "app/plugins/stepsequencer/StepSequencerEngine.h"

#include "app/plugins/stepsequencer/SequencerStep.h"
#include "platform/foundation/Log.h"

#include <algorithm>
#include <cmath>

namespace {

// One seed per run; each engine takes the next number of it.
std::uint32_t nextSeed() {
  static std::atomic<std::uint32_t> seed{std::random_device{}()};
  return seed.fetch_add(0x9E3779B9u);
}

struct ReadLocked {
  explicit ReadLocked(RWTryLock& lock) : lock(lock) { lock.readLock(); }
  ~ReadLocked() { lock.readUnlock(); }
  RWTryLock& lock;
};

}  // namespace

StepSequencerEngine::StepSequencerEngine(SequencerStepOwner* owner)
    : owner_(owner), random_(nextSeed()) {}

StepSequencerEngine::~StepSequencerEngine() { removeAllSteps(); }

// --- Steps ------------------------------------------------------------------------------

bool StepSequencerEngine::setStepValuesCount(long count, bool createSteps) {
  if (count < 0 || count == stepValuesCount()) return false;
  if (createSteps) {
    stepLock_.writeLock();
    while (long(steps_.size()) < count)
      steps_.push_back(std::make_shared<SequencerStep>(0.0f, true, owner_, flagChanges_));
    stepLock_.writeUnlock();
  }
  count_.store(count, std::memory_order_relaxed);
  stepsChanged();
  return true;
}

long StepSequencerEngine::indexOfStep(const SequencerStep* step) const {
  ReadLocked locked(stepLock_);
  for (size_t i = 0; i < steps_.size(); ++i)
    if (steps_[i].get() == step) return long(i);
  return -1;
}

void StepSequencerEngine::randomize() {
  stepLock_.writeLock();
  for (const StepPtr& step : steps_) step->setVal(float(random_() >> 8) * 0x1p-24f);
  stepLock_.writeUnlock();
}

void StepSequencerEngine::seedRandom(std::uint32_t seed) {
  stepLock_.writeLock();
  random_.seed(seed);
  stepLock_.writeUnlock();
}

void StepSequencerEngine::removeAllSteps() {
  std::vector<StepPtr> gone;
  stepLock_.writeLock();
  gone.swap(steps_);
  count_.store(0, std::memory_order_relaxed);
  stepsChanged();
  stepLock_.writeUnlock();
  // Outside the lock: a cell stopping its learning waits for deliveries,
  // and a delivered shortcut looks its step up under the read lock.
  for (const StepPtr& step : gone) step->prepareToBeDeleted();
}

void StepSequencerEngine::setRows(int rows) {
  rows_.store(std::clamp(rows, kMinRows, kMaxRows), std::memory_order_relaxed);
}

// --- Clock layout -----------------------------------------------------------------------

void StepSequencerEngine::setClockLayout(int beatsPerMeasure, int quantizedSubdivisions) {
  beats_.store(std::max(1, beatsPerMeasure), std::memory_order_relaxed);
  subdivisions_.store(std::max(1, quantizedSubdivisions), std::memory_order_relaxed);
}

double StepSequencerEngine::loopLength() const {
  return double(stepValuesCount()) / double(stepsPerMeasure());
}

// --- Transport --------------------------------------------------------------------------

double StepSequencerEngine::wrapForward(double time, double length) {
  if (time <= length) return time;
  const double rest = std::fmod(time, length);
  return rest > 0.0 ? rest : length;  // in (0, L], as repeated subtraction leaves it
}

double StepSequencerEngine::wrapBackward(double time, double length) {
  if (time >= 0.0) return time;
  const double rest = std::fmod(time, length) + length;
  return rest < length ? rest : 0.0;  // in [0, L)
}

void StepSequencerEngine::setPaused(bool paused) {
  if (paused) {
    stopped_.store(true);
    return;
  }
  stopped_.store(false);
  const double length = loopLength();
  const double time = currentTime();
  if (time >= length)
    setCurrentTime(0.0);
  else if (!playingForward() && time <= 0.0 && loopMode() == Stop)
    setCurrentTime(length);
}

void StepSequencerEngine::syncWithClock(double clock) {
  const double length = loopLength();
  if (length > 0.0) {
    const double time = clock * double(speed());
    setCurrentTime(playingForward() ? wrapForward(time, length) : wrapBackward(time, length));
  }
  setLastClockTime(clock);
}

void StepSequencerEngine::jump(double delta) {
  const double length = loopLength();
  if (!(length > 0.0)) return;
  setCurrentTime(wrapForward(wrapBackward(currentTime() + delta, length), length));
}

bool StepSequencerEngine::jumpToStep(long index, double clock) {
  const long count = stepValuesCount();
  if (count <= 0 || index < 0 || index >= count) return false;
  setLastClockTime(clock);
  setCurrentTime(double(index) / double(stepsPerMeasure()));
  return true;
}

void StepSequencerEngine::setLoopMode(int mode) {
  if (mode >= Stop && mode <= ReverseLoop) loopMode_.store(mode);
}

bool StepSequencerEngine::setRecording(bool on) {
  if (recording_.load() == on) return false;
  if (on) {
    lastRetrievedIndex_.store(0, std::memory_order_relaxed);
    setCurrentTime(0.0);
  }
  recording_.store(on);
  return true;
}

// --- Tick -------------------------------------------------------------------------------

long StepSequencerEngine::enabledStepAtOrBefore(long from, long count) const {
  from = std::min({from, count - 1, long(steps_.size()) - 1});
  for (long i = from; i >= 0; --i)
    if (steps_[size_t(i)]->enabled()) return i;
  return -1;
}

long StepSequencerEngine::enabledStepFrom(long from, long count) const {
  const long size = long(steps_.size());
  for (long i = from; i <= count; ++i) {
    const long index = i == count ? 0 : i;
    if (index < size && steps_[size_t(index)]->enabled()) return i;
  }
  return -1;
}

const StepSequencerEngine::StepSearch& StepSequencerEngine::searchSteps(long column, long count,
                                                                        bool withNext) {
  const std::uint32_t flagChanges = flagChanges_->load(std::memory_order_acquire);
  StepSearch& found = search_;
  if (found.column != column || found.count != count || found.flagChanges != flagChanges)
    found = {column, count, flagChanges, enabledStepAtOrBefore(column, count),
             StepSearch::kNotSearched};
  // At the loop's end (time = L) the line from the last step has arrived.
  if (withNext && found.at >= 0 && found.next == StepSearch::kNotSearched)
    found.next = enabledStepFrom(std::min(column, count - 1) + 1, count);
  return found;
}

StepSequencerEngine::Tick StepSequencerEngine::tick(double clock, float recordValue) {
  Tick tick;
  if (presetLoading()) return tick;
  if (stopped()) {
    setLastClockTime(clock);
    return tick;
  }
  const long count = stepValuesCount();
  const int perMeasure = stepsPerMeasure();
  const double length = double(count) / double(perMeasure);
  // No loop to play: the position stays and nothing goes out.
  if (!(length > 0.0)) {
    setLastClockTime(clock);
    return tick;
  }
  const bool forward = playingForward();
  double time = currentTime();
  const double last = lastClockTime();
  if (clock < last)
    time = 0.0;  // the clock restarted
  else
    time += (clock - last) * double(speed()) * (forward ? 1.0 : -1.0);
  setLastClockTime(clock);

  switch (loopMode()) {
    case Stop:
      if ((forward && time > length) || (!forward && time < 0.0)) {
        setCurrentTime(time);
        stopped_.store(true);
        tick.pausedAtEnd = true;
        tick.recordingEnded = setRecording(false);
        return tick;
      }
      break;
    case Loop:
      time = forward ? wrapForward(time, length) : wrapBackward(time, length);
      break;
    case ReverseLoop:
      if (forward && time > length) {
        time = length - wrapForward(time - length, length);
        playingFwd_.store(false);
      } else if (!forward && time < 0.0) {
        time = length - wrapBackward(time, length);
        playingFwd_.store(true);
      }
      break;
  }
  setCurrentTime(time);

  ReadLocked locked(stepLock_);
  const long column = long(std::floor(double(perMeasure) * time));
  if (column != lastRenderedColumn()) {
    lastRenderedColumn_.store(column, std::memory_order_relaxed);
    tick.columnChanged = true;
  }
  if (column < 0) return tick;
  const bool interpolate = interpolating();
  const StepSearch& found = searchSteps(column, count, interpolate);
  const long p = found.at;
  if (p < 0) return tick;
  const long q = found.next;
  if (interpolate) {
    if (q < 0) {
      Log::limited(QStringLiteral("stepsequencer-next"),
                   QStringLiteral("\t\terr: couldn't find next step"));
      return tick;
    }
  }
  SequencerStep& step = *steps_[size_t(p)];
  const bool isRecording = recording();
  if (isRecording) {
    step.setVal(recordValue);
    tick.recorded = true;
  }
  if (p == lastRetrievedIndex() && !interpolate && !isRecording) return tick;
  lastRetrievedIndex_.store(p, std::memory_order_relaxed);
  const float here = outputValue(step.val());
  if (!interpolate) {
    tick.value = here;
  } else {
    const float next = outputValue(steps_[size_t(q == count ? 0 : q)]->val());
    const double from = double(p) / perMeasure, to = double(q) / perMeasure;
    tick.value = here + float((time - from) / (to - from)) * (next - here);
  }
  tick.publish = true;
  return tick;
}
