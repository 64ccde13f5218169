// Two pieces of work timed in the same benchmark iterations.

#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>

namespace bench {

struct SideBySideSeconds {
  double first = 0;   // all iterations of the first work
  double second = 0;  // and of the second
};

inline double secondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs both works once per iteration after the untimed `prepare`, each going
// first in turn (the first work at the start), so that neither always meets a
// warmer or busier machine. The iteration time is their sum (the benchmark
// uses manual time).
inline SideBySideSeconds sideBySide(benchmark::State& state, const std::function<void()>& first,
                                    const std::function<void()>& second,
                                    const std::function<void()>& prepare = {}) {
  SideBySideSeconds total;
  bool firstLeads = true;
  for (auto _ : state) {
    if (prepare) prepare();
    double a = 0;
    double b = 0;
    if (firstLeads) {
      a = secondsOf(first);
      b = secondsOf(second);
    } else {
      b = secondsOf(second);
      a = secondsOf(first);
    }
    firstLeads = !firstLeads;
    total.first += a;
    total.second += b;
    state.SetIterationTime(a + b);
  }
  return total;
}

}  // namespace bench
