#pragma once

#include "app/plugins/clock/MasterClock.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

// A master clock on fake time, published into a data-source controller
// whose tick the test calls: clock ticks every 0.03 s and data-source ticks
// every 0.0222 s, interleaved as the threads would run them.
class ClockFixture {
 public:
  ClockFixture()
      : controller(DataSourceController::TickThread::Manual),
        clock(MasterClock::TickThread::Manual, [this] { return time; }) {
    controller.awakeFromNib();
    clock.awakeFromNib(&controller);
  }
  ~ClockFixture() { controller.stopTheThread(); }

  // Runs both ticks until `seconds` have gone by; `onDataSourceTick` is
  // called after every data-source tick.
  template <class F>
  void run(double seconds, F onDataSourceTick) {
    const double end = time + seconds;
    while (true) {
      const double next = std::min(nextClockTick, nextSourceTick);
      if (next > end + 1e-9) break;
      time = next;
      if (nextClockTick <= nextSourceTick) {
        clock.threadProc();
        nextClockTick += MasterClock::kTickInterval;
      } else {
        controller.threadProc();
        onDataSourceTick();
        nextSourceTick += 0.0222;
      }
    }
    time = end;
  }
  void run(double seconds) {
    run(seconds, [] {});
  }

  std::shared_ptr<DataSource> source(const QString& name) const {
    return controller.dataSourceForKeyArray({QStringLiteral("ZAPH"), name});
  }

  double time = 1000.0;
  double nextClockTick = 1000.0;
  double nextSourceTick = 1000.0;
  DataSourceController controller;
  MasterClock clock;
};

// Records when it was bumped, and may run something inside the bump.
struct BumpRecorder {
  explicit BumpRecorder(std::vector<int>* log = nullptr, int id = 0) : log(log), id(id) {}
  void bump() {
    ++count;
    if (log) log->push_back(id);
    if (inside) inside();
  }
  std::vector<int>* log;
  int id;
  std::atomic<int> count{0};
  std::function<void()> inside;
};
