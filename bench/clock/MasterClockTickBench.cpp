// One master clock tick that bumps N subscribers, beside bare loops making
// the same N calls: through stored member-function pointers (what calling
// registered callbacks takes at least), through weakly held targets locked
// for each call (the least that also never calls a target destroyed on
// another thread, which the clock promises), and as direct calls the
// compiler may inline. Every timed tick crosses a quantized boundary (fake time moves by
// one tick length), so each one bumps everybody.
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

struct Callback {
  Counter* target;
  void (Counter::*action)();
};

struct WeakCallback {
  std::weak_ptr<Counter> target;
  void (Counter::*action)();
};

struct TickBench {
  explicit TickBench(size_t n) : clock(MasterClock::TickThread::Manual, [this] { return time; }) {
    clock.awakeFromNib(nullptr);
    for (size_t i = 0; i < n; ++i) {
      targets.push_back(std::make_shared<Counter>());
      clock.subscribeObject(targets.back(), &Counter::bump);
      callbacks.push_back({targets.back().get(), &Counter::bump});
      weakCallbacks.push_back({targets.back(), &Counter::bump});
    }
    benchmark::DoNotOptimize(callbacks.data());
    benchmark::DoNotOptimize(weakCallbacks.data());
  }
  void tick() { clock.threadProc(); }
  void advance() { time += 4.0 / 8.0; }  // one tick length at the defaults

  double time = 1000.0;
  MasterClock clock;
  std::vector<std::shared_ptr<Counter>> targets;
  std::vector<Callback> callbacks;
  std::vector<WeakCallback> weakCallbacks;
};

void report(benchmark::State& state, const bench::SideBySideSeconds& total) {
  state.counters["tick_ns"] = total.first / double(state.iterations()) * 1e9;
  state.counters["bare_ns"] = total.second / double(state.iterations()) * 1e9;
  state.counters["ratio"] = total.first / total.second;
}

void BM_TickBumpingSubscribers_VsStoredCallbacks(benchmark::State& state) {
  TickBench b(size_t(state.range(0)));
  report(state, bench::sideBySide(
                    state, [&] { b.tick(); },
                    [&] {
                      for (const Callback& c : b.callbacks) (c.target->*c.action)();
                    },
                    [&] { b.advance(); }));
}

void BM_TickBumpingSubscribers_VsWeakCallbacks(benchmark::State& state) {
  TickBench b(size_t(state.range(0)));
  report(state, bench::sideBySide(
                    state, [&] { b.tick(); },
                    [&] {
                      for (const WeakCallback& c : b.weakCallbacks)
                        if (std::shared_ptr<Counter> target = c.target.lock())
                          (target.get()->*c.action)();
                    },
                    [&] { b.advance(); }));
}

void BM_TickBumpingSubscribers_VsDirectCalls(benchmark::State& state) {
  TickBench b(size_t(state.range(0)));
  report(state, bench::sideBySide(
                    state, [&] { b.tick(); },
                    [&] {
                      for (const std::shared_ptr<Counter>& target : b.targets) target->bump();
                    },
                    [&] { b.advance(); }));
}

BENCHMARK(BM_TickBumpingSubscribers_VsStoredCallbacks)->Arg(1)->Arg(16)->Arg(256)->UseManualTime();
BENCHMARK(BM_TickBumpingSubscribers_VsWeakCallbacks)->Arg(1)->Arg(16)->Arg(256)->UseManualTime();
BENCHMARK(BM_TickBumpingSubscribers_VsDirectCalls)->Arg(1)->Arg(16)->Arg(256)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
