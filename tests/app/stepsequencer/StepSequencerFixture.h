#pragma once

#include "app/plugins/stepsequencer/SequencerStep.h"
#include "app/plugins/stepsequencer/StepSequencer.h"
#include "app/plugins/stepsequencer/StepSequencerEngine.h"
#include "framework/datasource/MasterClockInterface.h"
#include "tests/support/PluginHost.h"

#include <atomic>
#include <cmath>
#include <vector>

// A clock read in measures, moved by hand.
class SequencerFakeClock : public MasterClockInterface {
 public:
  void midiClockReceived(const QKMIDIMessage&) override {}
  float measurePosition() const override { return position.load(); }
  long measuresElapsed() const override { return elapsed.load(); }
  int beatsPerMeasure() const override { return beats.load(); }
  int quantizedSubdivisions() const override { return subdivisions.load(); }
  void set(double measures) {
    elapsed = long(std::floor(measures));
    position = float(measures - std::floor(measures));
  }
  std::atomic<float> position{0.0f};
  std::atomic<long> elapsed{0};
  std::atomic<int> beats{4};
  std::atomic<int> subdivisions{2};
};

// Steps of an engine set by index.
inline void setSteps(StepSequencerEngine& engine, const std::vector<float>& values) {
  engine.stepLock().readLock();
  for (size_t i = 0; i < values.size() && i < engine.stepValues().size(); ++i)
    engine.stepValues()[i]->setVal(values[i]);
  engine.stepLock().readUnlock();
}

inline SequencerStep& stepOf(StepSequencerEngine& engine, long index) {
  return *engine.stepValues()[size_t(index)];
}

// The plug-in in a host with a fake clock; values published at
// ["Step Sequencers", name] are recorded.
class StepSequencerTest : public PluginHost {
 protected:
  MasterClockInterface* masterClock() override { return &clock; }
  StepSequencer* make() {
    StepSequencer* sequencer = PluginHost::make<StepSequencer>();
    if (sequencer) sequencer->window();
    return sequencer;
  }
  std::shared_ptr<ValueRecorder> record(const StepSequencer* sequencer) {
    auto recorder = std::make_shared<ValueRecorder>();
    EXPECT_TRUE(dsc.subscribeObject(recorder, &ValueRecorder::updated,
                                    {StepSequencer::kGroupName, sequencer->windowTitle()}));
    recorder->values.clear();
    return recorder;
  }
  // Moves the clock and ticks.
  void tickAt(double measures) {
    clock.set(measures);
    dsc.threadProc();
  }
  SequencerFakeClock clock;
};
