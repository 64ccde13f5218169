// One data-source tick of continuous behaviours over 1,000 sliders whose
// chain is Smooth → Multiply → OffsetWrap → MinMax, beside (a) the same
// sliders with an empty chain and (b) a bare loop doing the same four
// formulas and the envelope clamp over plain records. The three run in
// turn, each first in its turn; allocations during our tick are counted.
#include "bench/AllocationCount.h"
#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"
#include "framework/behaviors/BehaviorChainManager.h"
#include "framework/behaviors/BehaviorFXChain.h"
#include "framework/behaviors/BehaviorPanels.h"
#include "framework/behaviors/QKMinMaxBehavior.h"
#include "framework/behaviors/QKOffsetBehavior.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/toolkit/LayoutRegistry.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kSliders = 1000;
constexpr float kSmooth = 0.5f;
constexpr float kFactor = 5.0f;
constexpr float kOffset = 0.25f;
constexpr float kMin = 0.1f;
constexpr float kMax = 0.9f;

// The bare side: a slider reduced to what the four formulas and the clamp need.
struct PlainSlider {
  float input;
  float value;
  float last;
  float minEnv = 0.0f;
  float maxEnv = 1.0f;
};

void bareTick(std::vector<PlainSlider>& sliders) {
  for (PlainSlider& s : sliders) {
    float v = s.input;
    v = static_cast<float>((1.0 - kSmooth) * v + kSmooth * static_cast<double>(s.last));
    s.last = v;
    v *= kFactor;
    v += kOffset;
    if (v < 0.0f)
      v += std::ceil(std::fabs(v));
    else if (v > 1.0f)
      v -= std::floor(v);
    if (kMin > v)
      v = kMin;
    else if (v > kMax)
      v = kMax;
    if (std::isnan(v) || v < s.minEnv) v = s.minEnv;
    if (v > s.maxEnv) v = s.maxEnv;
    s.value = v;
  }
  benchmark::DoNotOptimize(sliders.data());
}

void BM_ContinuousBehaviorTick(benchmark::State& state) {
  LayoutRegistry registry;
  BehaviorPanels::registerLayouts(registry);
  LayoutRegistry::setShared(&registry);
  {
    QKSliderManager manager;
    auto& chains = dynamic_cast<BehaviorChainManager&>(manager.behaviorChainManager());
    // The chains sit in two chain windows, as a performer may keep them.
    chains.openANewWindow();
    chains.openANewWindow();
    auto full = chains.createNewChain(0);
    for (const char* name : {"Smooth", "Multiply", "OffsetWrap", "MinMax"})
      full->loadEffectNamed(QString::fromLatin1(name));
    std::dynamic_pointer_cast<QKOffsetBehavior>(full->findEffectNamed("OffsetWrap"))
        ->sliderUsed(kOffset);
    auto minMax = std::dynamic_pointer_cast<QKMinMaxBehavior>(full->findEffectNamed("MinMax"));
    minMax->setMinValue(kMin);
    minMax->setMaxValue(kMax);
    auto empty = chains.createNewChain(1);

    std::vector<QKSliderCell::Ptr> sliders;
    std::vector<PlainSlider> plain;
    for (int i = 0; i < kSliders; ++i) {
      const float input = static_cast<float>(i) / kSliders;
      sliders.push_back(QKSliderCell::create());
      sliders.back()->setValue(input, false);
      sliders.back()->setBehaviorFlag(true);
      plain.push_back({input, input, input});
    }
    const auto use = [&sliders](const BehaviorChainManager::ChainPtr& chain) {
      for (const auto& s : sliders) {
        s->useThisBehavior(chain);
        s->setBehaviorFlag(true);
      }
    };
    use(full);
    manager.evaluateContinuousBehaviors();  // every slider's first pass

    double ours = 0, withEmpty = 0, bare = 0;
    long allocations = 0;
    long ticks = 0;
    int turn = 0;
    for (auto _ : state) {
      double iteration = 0;
      for (int k = 0; k < 3; ++k) {
        switch ((turn + k) % 3) {
          case 0: {
            use(full);
            bench::startCountingAllocations();
            const double t = bench::secondsOf([&] { manager.evaluateContinuousBehaviors(); });
            allocations += bench::stopCountingAllocations();
            ours += t;
            iteration += t;
            break;
          }
          case 1: {
            use(empty);
            const double t = bench::secondsOf([&] { manager.evaluateContinuousBehaviors(); });
            withEmpty += t;
            iteration += t;
            break;
          }
          default: {
            const double t = bench::secondsOf([&] { bareTick(plain); });
            bare += t;
            iteration += t;
          }
        }
      }
      ++turn;
      ++ticks;
      state.SetIterationTime(iteration);
      state.PauseTiming();
      QCoreApplication::sendPostedEvents();
      state.ResumeTiming();
    }
    const double n = static_cast<double>(ticks);
    state.counters["ours_ms"] = ours / n * 1e3;
    state.counters["emptyChain_ms"] = withEmpty / n * 1e3;
    state.counters["bare_ms"] = bare / n * 1e3;
    state.counters["ratio"] = ours / (withEmpty + bare);
    state.counters["allocs_per_tick"] = static_cast<double>(allocations) / n;
    for (const auto& s : sliders) s->prepareToBeDeleted();
  }
  LayoutRegistry::setShared(nullptr);
}
BENCHMARK(BM_ContinuousBehaviorTick)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
