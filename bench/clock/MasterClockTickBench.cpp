// One master clock tick that bumps N subscribers, beside a bare loop that
// calls the same N member functions on the same targets. Every timed tick
// crosses a quantized boundary (fake time moves by one tick length), so each
// one bumps everybody.
#include "app/plugins/clock/MasterClock.h"
#include "bench/SideBySide.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

struct Counter {
  void bump() { benchmark::DoNotOptimize(++count); }
  long count = 0;
};

void BM_TickBumpingSubscribers_VsBareLoop(benchmark::State& state) {
  const auto n = size_t(state.range(0));
  double time = 1000.0;
  MasterClock clock(MasterClock::TickThread::Manual, [&time] { return time; });
  clock.awakeFromNib(nullptr);
  std::vector<std::shared_ptr<Counter>> targets;
  for (size_t i = 0; i < n; ++i) {
    targets.push_back(std::make_shared<Counter>());
    clock.subscribeObject(targets.back(), &Counter::bump);
  }
  const double tickLength = 4.0 / 8.0;  // defaults: 4 s, 4 beats, 2 subdivisions
  const bench::SideBySideSeconds total = bench::sideBySide(
      state, [&] { clock.threadProc(); },
      [&] {
        for (const std::shared_ptr<Counter>& target : targets) target->bump();
      },
      [&] { time += tickLength; });
  state.counters["tick_ns"] = total.first / double(state.iterations()) * 1e9;
  state.counters["bare_ns"] = total.second / double(state.iterations()) * 1e9;
  state.counters["ratio"] = total.first / total.second;
}

BENCHMARK(BM_TickBumpingSubscribers_VsBareLoop)->Arg(1)->Arg(16)->Arg(256)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
