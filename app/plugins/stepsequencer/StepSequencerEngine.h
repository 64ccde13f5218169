#pragma once

#include "platform/threading/RWTryLock.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

class SequencerStep;
class SequencerStepOwner;

// The play position and the steps of a step sequencer, without its window.
// Positions are in measures; one step lasts one subdivision of a beat, so a
// measure holds S = beats × subdivisions steps and N steps in use loop over
// L = N / S measures.
//
// Threads: `tick` runs on the data-source tick thread; the controls, the
// display and the snapshots run on the main thread (a learnt shortcut on an
// input thread). The transport fields are atomics both sides use without a
// lock; a jump on the main thread may land between a tick's reads and
// writes. The step array is guarded by `stepLock`: readers (the tick, the
// display, editors of a step's value or flag, which are atomics) take it for
// reading; only appending, randomising and emptying take it for writing.
class StepSequencerEngine {
 public:
  using StepPtr = std::shared_ptr<SequencerStep>;
  enum LoopMode { Stop = 0, Loop = 1, ReverseLoop = 2 };
  static constexpr int kMinRows = 2, kMaxRows = 32, kDefaultRows = 10;
  static constexpr int kMinMeasures = 1, kMaxMeasures = 16, kDefaultMeasures = 2;

  // What one tick did.
  struct Tick {
    bool publish = false;
    float value = 0.0f;
    bool columnChanged = false;
    bool recorded = false;
    bool pausedAtEnd = false;  // mode 0 reached its end (recording ended too)
    bool recordingEnded = false;
  };

  explicit StepSequencerEngine(SequencerStepOwner* owner = nullptr);
  ~StepSequencerEngine();
  StepSequencerEngine(const StepSequencerEngine&) = delete;
  StepSequencerEngine& operator=(const StepSequencerEngine&) = delete;

  // --- The tick (data-source thread) ---
  // `clock` is the clock reading in measures; `recordValue` the value
  // written into the step under the play position while recording.
  Tick tick(double clock, float recordValue);

  // --- Steps ---
  RWTryLock& stepLock() const { return stepLock_; }
  // The array; read it under the read lock.
  const std::vector<StepPtr>& stepValues() const { return steps_; }
  long stepValuesCount() const { return count_.load(std::memory_order_relaxed); }
  // Steps are never removed: a smaller count hides the steps beyond it, a
  // larger one brings them back or appends new ones (value 0, enabled) when
  // `createSteps`. A negative count is ignored; false when nothing changed.
  bool setStepValuesCount(long count, bool createSteps = true);
  long indexOfStep(const SequencerStep* step) const;
  // Every step, the hidden ones included, gets a value drawn from the
  // generator in [0, 1).
  void randomize();
  void seedRandom(std::uint32_t seed);
  // Under the write lock; every step prepared for deletion.
  void removeAllSteps();
  // A step's value as published: itself in bars mode, else snapped to the
  // rows (r = min(floor(v × n), n − 1), r / (n − 1)).
  float outputValue(float value) const { return drawAsBars() ? value : rowValue(value, rows()); }
  static float rowValue(float value, int rows) {
    return float(rowOf(value, rows)) / float(rows - 1);
  }
  // floor(v × n) limited to 0 … n − 1 (a value that is not a number: 0).
  static int rowOf(float value, int rows) {
    const float scaled = value * float(rows);
    if (!(scaled >= 1.0f)) return 0;
    if (scaled >= float(rows - 1)) return rows - 1;
    return int(scaled);
  }

  // --- Clock layout ---
  void setClockLayout(int beatsPerMeasure, int quantizedSubdivisions);
  int beatsPerMeasure() const { return beats_.load(std::memory_order_relaxed); }
  int quantizedSubdivisions() const { return subdivisions_.load(std::memory_order_relaxed); }
  int stepsPerMeasure() const { return beatsPerMeasure() * quantizedSubdivisions(); }
  // L in measures; 0 with no steps in use.
  double loopLength() const;

  // --- Transport (main thread or a shortcut's input thread) ---
  // Pausing, and un-pausing at the end (forwards at or past L, backwards at
  // or below 0 in stop mode) starts again from the other end.
  void setPaused(bool paused);
  bool stopped() const { return stopped_.load(std::memory_order_relaxed); }
  void flipDirection() { playingFwd_.store(!playingFwd_.load()); }
  bool playingForward() const { return playingFwd_.load(std::memory_order_relaxed); }
  void setPlayingForward(bool forward) { playingFwd_.store(forward); }
  // The position had the sequence run at its speed since the clock started.
  void syncWithClock(double clock);
  // Adds `delta` measures and wraps into 0 … L (nothing with no steps).
  void jump(double delta);
  // Ignored without steps or for an index outside the steps in use.
  bool jumpToStep(long index, double clock);
  void setLoopMode(int mode);
  int loopMode() const { return loopMode_.load(std::memory_order_relaxed); }
  void setSpeed(float speed) { speed_.store(speed, std::memory_order_relaxed); }
  float speed() const { return speed_.load(std::memory_order_relaxed); }
  double currentTime() const { return currentTime_.load(std::memory_order_relaxed); }
  void setCurrentTime(double time) { currentTime_.store(time, std::memory_order_relaxed); }
  double lastClockTime() const { return lastClockTime_.load(std::memory_order_relaxed); }
  void setLastClockTime(double time) { lastClockTime_.store(time, std::memory_order_relaxed); }
  long lastRetrievedIndex() const { return lastRetrievedIndex_.load(std::memory_order_relaxed); }
  long lastRenderedColumn() const { return lastRenderedColumn_.load(std::memory_order_relaxed); }

  // --- Output and record settings ---
  void setInterpolating(bool on) { interpolating_.store(on, std::memory_order_relaxed); }
  bool interpolating() const { return interpolating_.load(std::memory_order_relaxed); }
  // Starting plays the sequence from its beginning; false when unchanged.
  bool setRecording(bool on);
  bool recording() const { return recording_.load(std::memory_order_relaxed); }
  void setPresetLoading(bool loading) { presetLoading_.store(loading); }
  bool presetLoading() const { return presetLoading_.load(); }
  // Limited to kMinRows … kMaxRows.
  void setRows(int rows);
  int rows() const { return rows_.load(std::memory_order_relaxed); }
  void setDrawAsBars(bool bars) { drawAsBars_.store(bars, std::memory_order_relaxed); }
  bool drawAsBars() const { return drawAsBars_.load(std::memory_order_relaxed); }

 private:
  // Wraps `time` into the loop; false when there is no loop (L <= 0).
  static double wrapForward(double time, double length);
  static double wrapBackward(double time, double length);
  // Where the steps in use are enabled changes only on an edit, so the
  // search is kept for the play position's column until the column, the
  // count or the steps' flags change. Tick thread only, under the read lock.
  struct StepSearch {
    static constexpr long kNotSearched = -2;
    long column = -1;
    long count = -1;
    std::uint32_t flagChanges = 0;
    long at = -1;              // the step played
    long next = kNotSearched;  // the step interpolated towards
  };
  const StepSearch& searchSteps(long column, long count, bool withNext);
  void stepsChanged() { flagChanges_->fetch_add(1, std::memory_order_release); }
  // The first enabled step at or below `from` among the steps in use, or -1.
  long enabledStepAtOrBefore(long from, long count) const;
  // The first enabled step from `from` up to `count` inclusive (count
  // standing for step 0), or -1.
  long enabledStepFrom(long from, long count) const;

  SequencerStepOwner* owner_;
  mutable RWTryLock stepLock_;
  std::vector<StepPtr> steps_;
  std::atomic<long> count_{0};
  std::atomic<int> beats_{4};
  std::atomic<int> subdivisions_{2};
  std::atomic<int> loopMode_{Loop};
  std::atomic<bool> stopped_{false};
  std::atomic<bool> playingFwd_{true};
  std::atomic<bool> interpolating_{false};
  std::atomic<bool> presetLoading_{false};
  std::atomic<bool> recording_{false};
  std::atomic<bool> drawAsBars_{false};
  std::atomic<int> rows_{kDefaultRows};
  std::atomic<float> speed_{1.0f};
  std::atomic<double> currentTime_{0.0};
  std::atomic<double> lastClockTime_{0.0};
  std::atomic<long> lastRetrievedIndex_{0};
  std::atomic<long> lastRenderedColumn_{0};
  std::mt19937 random_;
  std::shared_ptr<std::atomic<std::uint32_t>> flagChanges_ =
      std::make_shared<std::atomic<std::uint32_t>>(0);
  StepSearch search_;
};
