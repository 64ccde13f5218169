// One accelerometer report of a Wii remote, from the driver's events (the
// three axes and the synchronisation) through the translator and the
// plug-in (raw accelerations, angles, shaping, five-report smoothing) to its
// three orientation sources, each pushing to one subscriber; beside a bare
// function computing the same three values and making three calls. The
// values are checked to agree first. Allocations on our side are counted
// (there must be none).
//
//   build/bin/bench_wiimote
#include "app/plugins/wiimote/WiiMote.h"
#include "bench/AllocationCount.h"
#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "platform/wiiremote/WiiEventTranslator.h"

#include <benchmark/benchmark.h>
#include <linux/input-event-codes.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr int kReports = 256;

struct Subscriber : DataSourceTarget {
  void updated(DataSource* source) { sum += source->value(); }
  double sum = 0;
};

// The bare baseline: the same arithmetic written out, a plain ring of five
// per axis, and three direct calls.
struct BareRemote {
  std::array<std::array<float, 5>, 3> ring{};
  std::array<int, 3> next{}, size{};
  double sums[3] = {};

  static float angle(float n, float d, bool roll) {
    float q = n / d;
    if (std::isnan(q)) q = 0;
    float a = std::atan(q);
    if (std::isnan(a)) a = 0;
    a /= 0.01745316111111111f;
    if (roll) return d >= 0 ? 90 - a : 270 - a;
    if (n >= 0) return d < 0 ? -a : 180 - a;
    return d >= 0 ? 180 - a : 360 - a;
  }
  float smooth(int axis, float v) {
    ring[axis][next[axis]] = v;
    next[axis] = (next[axis] + 1) % 5;
    if (size[axis] < 5) ++size[axis];
    float sum = 0;
    for (int i = 0; i < size[axis]; ++i) sum += ring[axis][i];
    return sum / float(size[axis]);
  }
  void deliver(int axis, float value) { sums[axis] += value; }
  void report(int rx, int ry, int rz) {
    const float x = rx / 1000.0f + 0.5f, y = ry / 1000.0f + 0.5f, z = rz / 1000.0f + 0.5f;
    const float cx = 2 * (x - 0.5f), cy = 2 * (y - 0.5f), cz = 2 * (z - 0.5f);
    const auto shape = [](float a) {
      float v = a / 360.0f;
      if (v > 1) v -= 1;
      return v > 1 ? 1.0f : (v < 0 ? 0.0f : v);
    };
    deliver(0, smooth(0, shape(angle(cz, cy, false))));
    deliver(1, smooth(1, shape(angle(cz, cx, true))));
    deliver(2, smooth(2, shape(angle(cx, cy, false))));
  }
};

void BM_AccelerometerReport(benchmark::State& state) {
  DataSourceController tree(DataSourceController::TickThread::Manual);
  LayoutRegistry layouts;
  LayoutRegistry::setShared(&layouts);
  layouts.registerLayout(WiiMote::kTypeName, WiiMote::pluginClass().layout);
  WiiMote wii(WiiMote::kTypeName, QStringLiteral("Remote"), 1);
  wii.window();  // installs the base set
  std::array<std::shared_ptr<Subscriber>, 3> subscribers;
  const char* const axes[] = {"Pitch", "Roll", "Yaw"};
  for (int i = 0; i < 3; ++i) {
    subscribers[i] = std::make_shared<Subscriber>();
    if (!tree.subscribeObject(subscribers[i], &Subscriber::updated,
                              {"Remote", "WiiMote", "Orientation", axes[i]})) {
      state.SkipWithError("no orientation source to subscribe to");
      return;
    }
  }
  WiiEventTranslator translator;
  std::vector<WiiReport> reports;
  reports.reserve(8);
  std::vector<std::array<int, 3>> readings(kReports);
  for (int i = 0; i < kReports; ++i)
    readings[i] = {int(400 * std::sin(i * 0.1)), int(400 * std::cos(i * 0.07)),
                   int(300 * std::sin(i * 0.05 + 1))};
  const auto ours = [&](const std::array<int, 3>& r) {
    reports.clear();
    translator.translate({WiiInputEvent::Accel, EV_ABS, ABS_RX, r[0]}, reports);
    translator.translate({WiiInputEvent::Accel, EV_ABS, ABS_RY, r[1]}, reports);
    translator.translate({WiiInputEvent::Accel, EV_ABS, ABS_RZ, r[2]}, reports);
    translator.translate({WiiInputEvent::Accel, EV_SYN, SYN_REPORT, 0}, reports);
    for (const WiiReport& report : reports)
      wii.accelerationChanged(report.code, report.x, report.y, report.z, nullptr);
  };
  BareRemote bare;
  // The same values, or the comparison is void.
  for (int i = 0; i < 5; ++i) {
    for (auto& s : subscribers) s->sum = 0;
    bare.sums[0] = bare.sums[1] = bare.sums[2] = 0;
    ours(readings[i]);
    bare.report(readings[i][0], readings[i][1], readings[i][2]);
    for (int axis = 0; axis < 3; ++axis)
      if (std::fabs(subscribers[axis]->sum - bare.sums[axis]) > 1e-6) {
        state.SkipWithError("ours and bare disagree");
        return;
      }
  }
  long allocations = 0;
  const bench::SideBySideSeconds seconds = bench::sideBySide(
      state,
      [&] {
        bench::startCountingAllocations();
        for (const auto& r : readings) ours(r);
        allocations += bench::stopCountingAllocations();
      },
      [&] {
        for (const auto& r : readings) bare.report(r[0], r[1], r[2]);
      });
  benchmark::DoNotOptimize(bare.sums);
  const double count = double(state.iterations()) * kReports;
  state.counters["ours_ns"] = seconds.first / count * 1e9;
  state.counters["bare_ns"] = seconds.second / count * 1e9;
  state.counters["ratio"] = seconds.second > 0 ? seconds.first / seconds.second : 0;
  state.counters["allocs"] = double(allocations);
  wii.prepareToBeDeleted();
  LayoutRegistry::setShared(nullptr);
}

}  // namespace

BENCHMARK(BM_AccelerometerReport)->UseManualTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
