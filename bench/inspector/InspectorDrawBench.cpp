// The media inspector's `draw`, called by the compositor after every frame
// on the render thread, while it shows no composition (a movie is
// selected): beside an empty call through the same interface. Run on the
// offscreen platform (or under Xvfb).
#include "app/compositor/FrameDrawer.h"
#include "app/inspector/MediaInspector.h"
#include "app/inspector/MediaInspectorHost.h"
#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kCalls = 1000;  // per iteration

class NoHost : public MediaInspectorHost {
 public:
  QKPageController* pageController() override { return nullptr; }
};

class EmptyDrawer : public FrameDrawer {
 public:
  void draw() override { benchmark::ClobberMemory(); }
};

void BM_InspectorDrawNothingShown(benchmark::State& state) {
  NoHost host;
  MediaInspector inspector(&host);
  EmptyDrawer empty;
  FrameDrawer* ours = &inspector;
  FrameDrawer* bare = &empty;
  benchmark::DoNotOptimize(ours);
  benchmark::DoNotOptimize(bare);
  const auto [inspectorSeconds, emptySeconds] = bench::sideBySide(
      state,
      [&] {
        for (int i = 0; i < kCalls; ++i) ours->draw();
      },
      [&] {
        for (int i = 0; i < kCalls; ++i) bare->draw();
      });
  const double calls = double(state.iterations()) * kCalls;
  state.counters["inspector_draw_ns"] = 1e9 * inspectorSeconds / calls;
  state.counters["empty_call_ns"] = 1e9 * emptySeconds / calls;
}

}  // namespace

BENCHMARK(BM_InspectorDrawNothingShown)
    ->UseManualTime()
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
