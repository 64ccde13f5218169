// The cost of giving a level meter a value from another thread while its
// repaint is already pending, against the bare relaxed store of a float.
#include "framework/toolkit/SimpleLevelView.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

namespace {

SimpleLevelView* meter = nullptr;

void BM_BareRelaxedFloatStore(benchmark::State& state) {
  std::atomic<float> value{0.0f};
  float v = 0.0f;
  for (auto _ : state) {
    value.store(v, std::memory_order_relaxed);
    v += 1e-6f;
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(value.load());
}
BENCHMARK(BM_BareRelaxedFloatStore);

// The main thread processes no events while the benchmarks run: after the
// first value the meter's repaint stays pending.
void BM_LevelViewSetValWhilePending(benchmark::State& state) {
  meter->setVal(0.5f);
  if (!meter->repaintPending()) state.SkipWithError("no repaint pending");
  float v = 0.0f;
  for (auto _ : state) {
    meter->setVal(v);
    v += 1e-6f;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_LevelViewSetValWhilePending);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  SimpleLevelView view;
  meter = &view;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Off the main thread, as the clock thread calls it.
  std::thread runner([] { benchmark::RunSpecifiedBenchmarks(); });
  runner.join();
  benchmark::Shutdown();
  return 0;
}
