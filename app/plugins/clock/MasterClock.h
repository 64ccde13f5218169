#pragma once

#include "app/plugins/clock/QKMCQuantizeCall.h"
#include "framework/datasource/MasterClockInterface.h"

#include <QString>
#include <QVariantMap>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class DataSource;
class DataSourceController;
class DataSourceTarget;
class DSFloatFrequent;
class MasterClockView;
class QKThreadLoop;

// The one tempo clock. From the moment of the last downbeat and the measure
// duration it derives, once per tick (every 0.03 s on its own thread), the
// position in the measure, the measures elapsed, the beat and the quantized
// tick; it raises the beat pulses of the sources "ZAPH"/"Beat n" and
// "ZAPH"/"Every Beat" (taken by the data-source tick) and bumps its
// subscribers at every quantized tick. It follows tap tempo and, as a slave,
// an external MIDI clock.
//
// Time comes from an injectable monotonic source (seconds); tests give a
// fake one and call threadProc themselves (TickThread::Manual).
//
// Threads: values read elsewhere are atomics. threadLock_ (recursive, taken
// by spinning on try-lock) keeps the downbeat and the duration consistent
// between the tick and the main-thread setters. loopMutex_ orders starting
// and stopping the thread; nothing holds threadLock_ while joining. The
// subscribers are a copy-on-write list: bumps walk a copy outside every
// lock, so a subscriber may unsubscribe or hop to the main thread from its
// bump. In slave mode the MIDI thread drives the position; it never waits
// (the thread keeps running but its ticks do nothing).
class MasterClock : public MasterClockInterface {
 public:
  using TimeSource = std::function<double()>;
  enum class TickThread { Launch, Manual };

  static constexpr double kTickInterval = 0.03;
  static constexpr int kMaxBeats = 64;
  static constexpr int kMaxSubdivisions = 64;
  static constexpr int kMIDIClocksPerMeasure = 96;
  static constexpr char kUpdateParticularsNotification[] = "QKMCUpdateParticularsNotification";

  explicit MasterClock(TickThread tickThread = TickThread::Launch, TimeSource now = {});
  ~MasterClock() override;
  MasterClock(const MasterClock&) = delete;
  MasterClock& operator=(const MasterClock&) = delete;

  // Publishes the beat and position sources, sets the downbeat to now and
  // starts the thread.
  void awakeFromNib(DataSourceController* controller);
  void setView(MasterClockView* view) { view_.store(view); }

  void startTheThread();
  // Stops the thread and waits for it to end (never from a subscriber).
  void stopTheThread();
  bool threadRunning() const;
  // One clock tick.
  void threadProc();

  // MasterClockInterface
  void midiClockReceived(const QKMIDIMessage& message) override;
  float measurePosition() const override { return float(measurePosition_.load()); }
  int beatsPerMeasure() const override { return beatsPerMeasure_.load(); }
  float measureDuration() const override { return float(measureDuration_.load()); }
  void setBPM(double bpm) override;

  double measurePositionExact() const { return measurePosition_.load(); }
  double measureDurationExact() const { return measureDuration_.load(); }
  void setMeasureDuration(double seconds);
  void setBeatsPerMeasure(long beats);
  int quantizedSubdivisions() const override { return quantizedSubdivisions_.load(); }
  void setQuantizedSubdivisions(long subdivisions);
  long measuresElapsed() const override { return measuresElapsed_.load(); }
  void setMeasuresElapsed(long measures);
  void setMeasurePosition(double position);
  double lastDownbeat() const { return lastDownbeat_.load(); }
  void setLastDownbeat(double when);
  int lastQuantizedTick() const { return lastQuantizedTick_.load(); }
  int lastQuantizedBeat() const { return lastQuantizedBeat_.load(); }
  // The restart button: position and measures to 0, the downbeat now.
  void restart();
  double now() const { return now_(); }

  // Applies a tempo on the main thread: through the palette's field as if
  // typed, or straight to the duration without a palette.
  void setBPMOnMain(double bpm);

  template <class T>
  void subscribeObject(const std::shared_ptr<T>& target, void (T::*action)()) {
    subscribe(QKMCQuantizeCall::createWithTarget(target, action));
  }
  template <class T>
  void unsubscribeObject(const std::shared_ptr<T>& target, void (T::*action)()) {
    unsubscribe(QKMCQuantizeCall::createWithTarget(target, action));
  }
  void subscribe(const QKMCQuantizeCall& call);
  void unsubscribe(const QKMCQuantizeCall& call);

  // Tap tempo and MIDI listening (main thread).
  void tapBeat(double when);
  void tapMeasure(double when) { (void)when; }
  void setListenForMIDIClock(bool listen);
  bool listenForMIDIClock() const { return listenForMIDIClock_.load(); }
  bool midiClockSlaveRunning() const { return slave_.load(); }
  float calculatedBPM() const { return calculatedBPM_.load(); }

  // The palette-shortcut snapshot ("masterClock" of a preset).
  void putPaletteSnapInDict(QVariantMap& dict) const;
  void matchThisPaletteShortcutSnapshot(const QVariantMap& dict);

  // Set calls of the published sources (data-source tick thread).
  void setSpecificBeatDSCallback(DataSource* source);
  void everyBeatBangCallback(DataSource* source);
  void setMeasurePosAsDataSource(DataSource* source);

 private:
  struct Position {
    int tick;
    int beat;
  };
  using CallList = std::vector<QKMCQuantizeCall>;

  void lockThread();
  double positionAt(double time) const;
  Position quantize(double position) const;
  // Stores beat b; raises the pulses when it changed. Answers whether it did.
  bool storeBeat(int beat);
  void bumpSubscribers();
  void showPosition(bool whenVisible);
  void installBeatSource(int number);
  void removeBeatSource(int number);

  bool midiClockCounts(unsigned type);
  void enterSlaveMode(bool fromStart);
  void threadedMidiClockReceived();
  void estimateTempo();
  // Drops taps older than the first interval that breaks the series;
  // answers the running average, or 0 when fewer than two taps remain.
  double tapSeriesAverage();

  TimeSource now_;
  TickThread tickThread_;
  std::unique_ptr<QKThreadLoop> loop_;
  std::mutex loopMutex_;
  std::atomic<bool> running_{false};
  std::recursive_mutex threadLock_;

  std::atomic<double> measureDuration_{4.0};
  std::atomic<int> beatsPerMeasure_{4};
  std::atomic<int> quantizedSubdivisions_{2};
  std::atomic<double> measurePosition_{0.0};
  std::atomic<long> measuresElapsed_{0};
  std::atomic<int> lastQuantizedTick_{0};
  std::atomic<int> lastQuantizedBeat_{0};
  std::atomic<double> lastDownbeat_{0.0};
  std::atomic<int> beatToBang_{0};
  std::atomic<bool> everyBeatBang_{false};

  std::mutex subscribersMutex_;  // guards replacing subscribers_
  std::shared_ptr<const CallList> subscribers_;

  DataSourceController* controller_ = nullptr;
  std::shared_ptr<DataSourceTarget> sourceTarget_;
  std::vector<std::shared_ptr<DSFloatFrequent>> beatSources_;  // main thread
  std::atomic<MasterClockView*> view_{nullptr};

  std::deque<double> beatTaps_;  // main thread

  std::atomic<bool> listenForMIDIClock_{false};
  std::atomic<bool> slave_{false};
  std::atomic<int> tickCounter_{0};
  std::atomic<int> ticksSinceLastGuess_{0};
  std::atomic<float> calculatedBPM_{0.0f};
  // Time of the last estimate; negative when forgotten. MIDI thread.
  std::atomic<double> lastMIDIClock_{-1.0};
  // Whether this slave period has made an estimate.
  std::atomic<bool> estimatedThisPeriod_{false};
  std::mutex midiClockLock_;
};
