// Helpers of benchmarks that time GL work on the render thread beside a
// bare loop: the program around them, the timing on the render thread and
// the check that both make the same pixels.

#pragma once

#include "bench/SideBySide.h"
#include "framework/render/TheApplication.h"
#include "platform/gl/RenderThread.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace bench {

// The seconds `loop` takes, timed on the render thread (without the
// hand-over to it).
inline double onRenderThread(void (*loop)()) {
  double seconds = 0;
  gl::RenderThread::instance().invokeAndWait([&] { seconds = secondsOf(loop); });
  return seconds;
}

// Both loops side by side (see sideBySide), each timed on the render
// thread after the untimed `prepare`; answers each one's total seconds.
inline SideBySideSeconds sideBySideOnRenderThread(benchmark::State& state, void (*first)(),
                                                  void (*second)(),
                                                  const std::function<void()>& prepare = {}) {
  SideBySideSeconds own;
  sideBySide(
      state, [&] { own.first += onRenderThread(first); },
      [&] { own.second += onRenderThread(second); }, prepare);
  return own;
}

// `ours` timed beside `bare` on the render thread, once their pixels were
// compared: `agreement` is their largest channel difference, and above
// `tolerance` the benchmark is skipped with an error. Reports each loop's
// milliseconds per iteration ("<name>_ms", "bare_ms"), their ratio
// ("<name>_vs_bare") and the agreement ("lsb").
inline void besideBareOnRenderThread(benchmark::State& state, const std::string& name,
                                     void (*ours)(), void (*bare)(), int agreement, int tolerance) {
  if (agreement > tolerance) {
    state.SkipWithError("the two loops do not make the same pixels");
    return;
  }
  const SideBySideSeconds own = sideBySideOnRenderThread(state, ours, bare);
  const double n = double(state.iterations());
  state.counters[name + "_ms"] = 1000 * own.first / n;
  state.counters["bare_ms"] = 1000 * own.second / n;
  state.counters[name + "_vs_bare"] = own.first / own.second;
  state.counters["lsb"] = agreement;
}

// The largest channel difference of two RGBA8888 images (255 when they
// cannot be compared).
inline int largestDifference(const QImage& a, const QImage& b) {
  if (a.isNull() || a.size() != b.size()) return 255;
  int largest = 0;
  for (int y = 0; y < a.height(); ++y) {
    const uchar* p = a.constScanLine(y);
    const uchar* q = b.constScanLine(y);
    for (int i = 0; i < 4 * a.width(); ++i) largest = std::max(largest, std::abs(p[i] - q[i]));
  }
  return largest;
}

// The main() of such a benchmark: the application object, an unpaced
// render thread (the caller runs under Xvfb), `setUp` on the render thread,
// then `registerAll` (on the main thread) and the run, then `tearDown` on
// the render thread. Answers the exit status.
inline int runOnRenderThread(int argc, char** argv, const std::function<bool()>& setUp,
                             const std::function<void()>& registerAll,
                             const std::function<void()>& tearDown) {
  benchmark::Initialize(&argc, argv);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  TheApplication app(argc, argv);
  gl::RenderThread::Options options;
  options.paced = false;
  if (!gl::RenderThread::instance().start(options)) {
    std::fprintf(stderr, "no OpenGL 3.3 core context: run under Xvfb\n");
    return 1;
  }
  bool built = false;
  gl::RenderThread::instance().invokeAndWait([&] { built = setUp(); });
  if (built) {
    benchmark::AddCustomContext("GL_RENDERER",
                                gl::RenderThread::instance().rendererName().toStdString());
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
  }
  gl::RenderThread::instance().invokeAndWait(tearDown);
  gl::RenderThread::instance().stop();
  benchmark::Shutdown();
  return built ? 0 : 1;
}

}  // namespace bench
