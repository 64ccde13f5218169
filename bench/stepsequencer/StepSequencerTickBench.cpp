// One data-source tick through 32 interpolating step sequencers of 128 steps
// (16 measures of 4 beats × 2 subdivisions, every third step disabled), each
// published value followed by one subscriber, beside a bare loop computing
// the same positions, enabled-step searches and interpolated row values over
// plain arrays with one call per value. The clock moves one tick at 120 BPM
// (0.0111 measures) before each tick, untimed. The allocations of our tick
// are counted. A second pair times the sequencers' engines alone (their
// ticks, each published value handed to one call) beside the same bare loop,
// to show what the data-source tree adds.
#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/stepsequencer/SequencerStep.h"
#include "app/plugins/stepsequencer/StepSequencer.h"
#include "app/plugins/stepsequencer/StepSequencerEngine.h"
#include "bench/AllocationCount.h"
#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/datasource/MasterClockInterface.h"
#include "framework/toolkit/LayoutRegistry.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int kSequencers = 32;
constexpr int kSteps = 128;
constexpr int kStepsPerMeasure = 8;
constexpr int kRows = 10;
constexpr double kTickMeasures = 0.0222 / 2.0;  // 120 BPM in 4/4: 2 s a measure

float stepValue(int sequencer, int step) {
  return float((sequencer * 37 + step * 11) % 100) / 100.0f;
}
bool stepEnabled(int step) { return step % 3 != 1; }

class Clock : public MasterClockInterface {
 public:
  void midiClockReceived(const QKMIDIMessage&) override {}
  float measurePosition() const override { return float(measures - std::floor(measures)); }
  long measuresElapsed() const override { return long(std::floor(measures)); }
  int beatsPerMeasure() const override { return 4; }
  int quantizedSubdivisions() const override { return 2; }
  double measures = 0.0;
};

struct Counter : DataSourceTarget {
  void updated(DataSource*) { ++count; }
  long count = 0;
};

// The program's side: the plug-ins in a data-source tree, one subscriber
// each.
class Sequencers : public AppControllerInterface {
 public:
  explicit Sequencers(Clock* clock) : clock_(clock) {
    LayoutRegistry::setShared(&layouts_);
    sliderManager_.setDataSourceController(&dsc_);
    buttonManager_.setDataSourceController(&dsc_);
    dsc_.setSliderManager(&sliderManager_);
    dsc_.setButtonManager(&buttonManager_);
    manager_ = std::make_unique<QKPluginManager>(
        this, [this] { return ++lastID_; }, BuiltInPluginTypes::entries());
    for (int s = 0; s < kSequencers; ++s) {
      auto* sequencer =
          static_cast<StepSequencer*>(manager_->instantiatePluginType(StepSequencer::kTypeName));
      sequencer->window();
      sequencer->measuresSliderUsed(kSteps / kStepsPerMeasure);
      sequencer->rowsSliderUsed(kRows);
      sequencer->interpolateButtonUsed(true);
      StepSequencerEngine& engine = sequencer->engine();
      engine.stepLock().readLock();
      for (int i = 0; i < kSteps; ++i) {
        engine.stepValues()[size_t(i)]->setVal(stepValue(s, i));
        engine.stepValues()[size_t(i)]->setEnabled(stepEnabled(i));
      }
      engine.stepLock().readUnlock();
      dsc_.subscribeObject(counter_, &Counter::updated,
                           {StepSequencer::kGroupName, sequencer->windowTitle()});
      sequencers_.push_back(sequencer);
    }
  }
  ~Sequencers() override {
    manager_.reset();
    dsc_.setSliderManager(nullptr);
    dsc_.setButtonManager(nullptr);
    LayoutRegistry::setShared(nullptr);
  }

  MIDIManagerInterface* midiManager() override { return nullptr; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return &dsc_; }
  MasterClockInterface* masterClock() override { return clock_; }

  void tick() { dsc_.threadProc(); }
  long delivered() const { return counter_->count; }
  long steps() const { return sequencers_.front()->engine().stepValuesCount(); }

 private:
  Clock* clock_;
  LayoutRegistry layouts_;
  DataSourceController dsc_{DataSourceController::TickThread::Manual};
  QKSliderManager sliderManager_;
  QKButtonManager buttonManager_;
  long lastID_ = 0;
  std::unique_ptr<QKPluginManager> manager_;
  std::vector<StepSequencer*> sequencers_;
  std::shared_ptr<Counter> counter_ = std::make_shared<Counter>();
};

// The bare work over plain arrays: advance, wrap, search, interpolate, call.
struct Bare {
  struct Sequence {
    std::array<float, kSteps> values{};
    std::array<bool, kSteps> enabled{};
    double time = 0.0;
    double last = 0.0;
  };
  std::array<Sequence, kSequencers> sequences;
  long delivered = 0;

  Bare() {
    for (int s = 0; s < kSequencers; ++s)
      for (int i = 0; i < kSteps; ++i) {
        sequences[size_t(s)].values[size_t(i)] = stepValue(s, i);
        sequences[size_t(s)].enabled[size_t(i)] = stepEnabled(i);
      }
  }
  static float row(float value) {
    return float(std::clamp(int(std::floor(value * kRows)), 0, kRows - 1)) / float(kRows - 1);
  }
  __attribute__((noinline)) void deliver(int index, float value) {
    benchmark::DoNotOptimize(value);
    benchmark::DoNotOptimize(index);
    ++delivered;
  }
  void tick(double clock) {
    const double length = double(kSteps) / kStepsPerMeasure;
    for (int s = 0; s < kSequencers; ++s) {
      Sequence& q = sequences[size_t(s)];
      double time = clock < q.last ? 0.0 : q.time + (clock - q.last);
      q.last = clock;
      if (time > length) {
        const double rest = std::fmod(time, length);
        time = rest > 0.0 ? rest : length;
      }
      q.time = time;
      const long column = long(std::floor(kStepsPerMeasure * time));
      long p = std::min<long>(column, kSteps - 1);
      while (p >= 0 && !q.enabled[size_t(p)]) --p;
      if (p < 0) continue;
      long next = column + 1;
      while (next <= kSteps && !q.enabled[size_t(next == kSteps ? 0 : next)]) ++next;
      if (next > kSteps) continue;
      const float here = row(q.values[size_t(p)]);
      const float there = row(q.values[size_t(next == kSteps ? 0 : next)]);
      const double from = double(p) / kStepsPerMeasure, to = double(next) / kStepsPerMeasure;
      deliver(s, here + float((time - from) / (to - from)) * (there - here));
    }
  }
};

void StepSequencerTick(benchmark::State& state) {
  Clock clock;
  Sequencers sequencers(&clock);
  Bare bare;
  sequencers.tick();  // the first reading
  bare.tick(clock.measures);
  const long before = sequencers.delivered();
  const long bareBefore = bare.delivered;
  long allocations = 0;
  const bench::SideBySideSeconds total = bench::sideBySide(
      state, [&] { bare.tick(clock.measures); },
      [&] {
        bench::startCountingAllocations();
        sequencers.tick();
        allocations += bench::stopCountingAllocations();
      },
      [&] { clock.measures += kTickMeasures; });
  const double n = double(state.iterations());
  state.counters["bare_us"] = total.first / n * 1e6;
  state.counters["ours_us"] = total.second / n * 1e6;
  state.counters["ours_vs_bare"] = total.second / total.first;
  state.counters["values_per_tick"] = double(sequencers.delivered() - before) / n;
  state.counters["bare_values_per_tick"] = double(bare.delivered - bareBefore) / n;
  state.counters["allocations_per_tick"] = double(allocations) / n;
  state.counters["steps"] = double(sequencers.steps());
}

// The engines alone, without the plug-ins and the data-source tree.
struct Engines {
  std::vector<std::unique_ptr<StepSequencerEngine>> engines;
  long delivered = 0;

  Engines() {
    for (int s = 0; s < kSequencers; ++s) {
      auto engine = std::make_unique<StepSequencerEngine>();
      engine->setClockLayout(4, 2);
      engine->setStepValuesCount(kSteps);
      engine->setRows(kRows);
      engine->setInterpolating(true);
      engine->stepLock().readLock();
      for (int i = 0; i < kSteps; ++i) {
        engine->stepValues()[size_t(i)]->setVal(stepValue(s, i));
        engine->stepValues()[size_t(i)]->setEnabled(stepEnabled(i));
      }
      engine->stepLock().readUnlock();
      engines.push_back(std::move(engine));
    }
  }
  __attribute__((noinline)) void deliver(int index, float value) {
    benchmark::DoNotOptimize(value);
    benchmark::DoNotOptimize(index);
    ++delivered;
  }
  void tick(double clock) {
    for (int s = 0; s < kSequencers; ++s) {
      const StepSequencerEngine::Tick tick = engines[size_t(s)]->tick(clock, 0.0f);
      if (tick.publish) deliver(s, tick.value);
    }
  }
};

void StepSequencerEngineTick(benchmark::State& state) {
  double clock = 0.0;
  Engines engines;
  Bare bare;
  engines.tick(clock);
  bare.tick(clock);
  const long before = engines.delivered;
  long allocations = 0;
  const bench::SideBySideSeconds total = bench::sideBySide(
      state, [&] { bare.tick(clock); },
      [&] {
        bench::startCountingAllocations();
        engines.tick(clock);
        allocations += bench::stopCountingAllocations();
      },
      [&] { clock += kTickMeasures; });
  const double n = double(state.iterations());
  state.counters["bare_us"] = total.first / n * 1e6;
  state.counters["ours_us"] = total.second / n * 1e6;
  state.counters["ours_vs_bare"] = total.second / total.first;
  state.counters["values_per_tick"] = double(engines.delivered - before) / n;
  state.counters["allocations_per_tick"] = double(allocations) / n;
}

BENCHMARK(StepSequencerTick)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(StepSequencerEngineTick)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
