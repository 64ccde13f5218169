// How long a writer waits for RWTryLock while other threads read it back to
// back, re-entering their reads (as subscribers reading the tree they are
// called from do). The bare baseline is the same write with no reader.
#include "platform/threading/RWTryLock.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Readers that give up after this long: a writer starved for the whole run
// gets in when they stop, and its wait shows as this bound.
constexpr auto kReaderLifetime = std::chrono::seconds(3);

class Readers {
 public:
  Readers(RWTryLock& lock, int count) {
    const auto end = Clock::now() + kReaderLifetime;
    for (int i = 0; i < count; ++i)
      threads_.emplace_back([this, &lock, end] {
        for (int n = 0; !stop_.load(std::memory_order_relaxed); ++n) {
          lock.readLock();
          lock.readLock();  // re-entered, as a subscriber reading the tree
          for (int k = 0; k < 1000; ++k) benchmark::DoNotOptimize(k);
          lock.readUnlock();
          lock.readUnlock();
          if ((n & 1023) == 0 && Clock::now() > end) break;
        }
      });
  }
  ~Readers() {
    stop_ = true;
    for (std::thread& thread : threads_) thread.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

void measureWrites(benchmark::State& state, RWTryLock& lock) {
  double worst = 0.0;
  double total = 0.0;
  for (auto _ : state) {
    const auto asked = Clock::now();
    lock.writeLock();
    const double waited = std::chrono::duration<double, std::micro>(Clock::now() - asked).count();
    lock.writeUnlock();
    worst = std::max(worst, waited);
    total += waited;
    std::this_thread::sleep_for(std::chrono::microseconds(200));  // let the readers run again
  }
  state.counters["worst_wait_us"] = worst;
  state.counters["mean_wait_us"] = total / static_cast<double>(state.iterations());
}

void BM_WriteLockNoReaders(benchmark::State& state) {
  RWTryLock lock;
  measureWrites(state, lock);
}

void BM_WriteLockWithReentrantReaders(benchmark::State& state) {
  RWTryLock lock;
  Readers readers(lock, static_cast<int>(state.range(0)));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the readers are busy
  measureWrites(state, lock);
}

}  // namespace

BENCHMARK(BM_WriteLockNoReaders)->Iterations(200)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteLockWithReentrantReaders)
    ->Arg(4)
    ->Arg(8)
    ->Iterations(200)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
