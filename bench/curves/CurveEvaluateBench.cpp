// Evaluating a curve from a thread that is not the main one (every
// benchmark here runs on a worker thread, as the tick and the oscillator
// do), beside a bare function doing the same segment search and fifteen-step
// bisection over a plain array without any lock. Curves: the initial ramp
// (two straight segments) and sixteen bent segments. Allocations made while
// evaluating are counted (there must be none).
#include "bench/AllocationCount.h"
#include "bench/SideBySide.h"
#include "framework/curves/QKSingleSpline.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <thread>
#include <vector>

namespace {

using Point = QKQuadraticSpline::Point;

constexpr int kPhases = 1024;

// The bare baseline: a plain array of segments (start, absolute control
// point, end), no lock, no offsets beyond the same three numbers.
struct BareSegment {
  float x0, y0, qx, qy, x2, y2;
  bool bent;
};

struct BareCurve {
  std::vector<BareSegment> segments;
  float hOffset = 0, vOffset = 0, amplitude = 1;
  float lastX = 0, lastValue = 0;  // where and what it last evaluated
};

float bareEvaluate(BareCurve& curve, float phase) {
  double wrapped = double(phase) - curve.hOffset;
  if (wrapped > 1.0 || wrapped < 0.0) wrapped -= std::floor(wrapped);
  const float u = static_cast<float>(wrapped);
  float x = 0, y = 0;
  for (const BareSegment& s : curve.segments) {
    if (!(s.x0 <= u && u <= s.x2)) continue;
    if (!s.bent) {
      const float m = (s.y2 - s.y0) / (s.x2 - s.x0);
      x = u;
      y = m * u + s.y0 - s.x0 * m;
    } else {
      const float kx = 3 * (s.qx - s.x0), ky = 3 * (s.qy - s.y0);
      const float cx = s.x2 - s.x0, cy = s.y2 - s.y0;
      float t = 0.5f, step = 0.25f;
      for (int i = 0; i < 15; ++i) {
        const float t2 = t * t, t3 = t2 * t;
        x = s.x0 + cx * t3 - kx * t2 + kx * t;
        y = s.y0 + cy * t3 - ky * t2 + ky * t;
        if (x > u)
          t -= step;
        else if (x < u)
          t += step;
        step *= 0.5f;
      }
    }
    break;
  }
  float v = curve.vOffset + curve.amplitude * y;
  v = v > 1 ? 1 : (v < 0 ? 0 : v);
  curve.lastX = x;
  curve.lastValue = v;
  return v;
}

BareCurve bareOf(const QKSingleSpline& curve) {
  BareCurve bare{{}, curve.hOffset(), curve.vOffset(), curve.amplitude()};
  for (const QKQuadraticSpline& s : curve.splineArray()) {
    const Point q = s.absoluteControlPoint();
    bare.segments.push_back(
        {s.start().x, s.start().y, q.x, q.y, s.end().x, s.end().y, s.useControlPoint()});
  }
  return bare;
}

std::vector<QKQuadraticSpline> sixteenBentSegments() {
  std::vector<QKQuadraticSpline> segments;
  for (int i = 0; i < 16; ++i) {
    const float x0 = i / 16.0f, x2 = (i + 1) / 16.0f;
    const float y0 = 0.5f + 0.4f * std::sin(i * 0.7f), y2 = 0.5f + 0.4f * std::sin((i + 1) * 0.7f);
    QKQuadraticSpline segment(
        Point{x0, y0}, Point{0.3f + 0.02f * i, 0.5f + 0.3f * std::cos(i * 1.3f)}, Point{x2, y2});
    segment.setUseControlPoint(true);
    segments.push_back(segment);
  }
  return segments;
}

void evaluateSideBySide(benchmark::State& state, QKSingleSpline& curve) {
  curve.setHOffset(0.1f);
  curve.setVOffset(0.05f);
  curve.setAmplitude(0.9f);
  BareCurve bare = bareOf(curve);
  std::vector<float> phases(kPhases);
  for (int i = 0; i < kPhases; ++i) phases[i] = std::fmod(i * 0.618034f, 1.3f);
  for (int i = 0; i < kPhases; ++i)  // the same values, or the comparison is void
    if (std::fabs(curve.evaluateAt(phases[i]) - bareEvaluate(bare, phases[i])) > 1e-6f) {
      state.SkipWithError("ours and bare disagree");
      return;
    }
  float sink = 0;
  long allocations = 0;
  const bench::SideBySideSeconds seconds = bench::sideBySide(
      state,
      [&] {
        bench::startCountingAllocations();
        for (float phase : phases) sink += curve.evaluateAt(phase);
        allocations += bench::stopCountingAllocations();
      },
      [&] {
        for (float phase : phases) sink += bareEvaluate(bare, phase);
      });
  benchmark::DoNotOptimize(sink);
  const double evaluations = double(state.iterations()) * kPhases;
  state.counters["ours_ns"] = seconds.first / evaluations * 1e9;
  state.counters["bare_ns"] = seconds.second / evaluations * 1e9;
  state.counters["ratio"] = seconds.second > 0 ? seconds.first / seconds.second : 0;
  state.counters["allocs"] = double(allocations);
}

void BM_EvaluateInitialCurve(benchmark::State& state) {
  QKSingleSpline curve;
  evaluateSideBySide(state, curve);
}

void BM_EvaluateSixteenBentSegments(benchmark::State& state) {
  QKSingleSpline curve;
  if (!curve.setSplineArray(sixteenBentSegments())) {
    state.SkipWithError("the sixteen segments were refused");
    return;
  }
  evaluateSideBySide(state, curve);
}

}  // namespace

BENCHMARK(BM_EvaluateInitialCurve)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EvaluateSixteenBentSegments)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Every benchmark runs on a worker thread: evaluation is not the main
// thread's work.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::thread worker([] { benchmark::RunSpecifiedBenchmarks(); });
  worker.join();
  benchmark::Shutdown();
  return 0;
}
