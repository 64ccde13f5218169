// Costs of the slider model on the data-source paths: one pushed value
// through a bound slider to its output, and one tick of continuous
// behaviours over many sliders.
#include "bench/WidgetBenchMain.h"
#include "framework/controls/BehaviorChainInterface.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/SliderControlView.h"
#include "framework/controls/SliderManagerInterface.h"
#include "framework/datasource/DSFloatInfreqRepeat.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

class CountingView : public SliderControlView {
 public:
  QRectF bounds() const override { return {0, 0, 200, 20}; }
  QRectF frame() const override { return bounds(); }
  QRectF absVisibleRect() const override { return bounds(); }
  void setNeedsDisplay() override { ++redraws; }
  long redraws = 0;
};

// A time-based chain of one light behaviour (a smoothing step).
class SmoothingChain : public BehaviorChainInterface {
 public:
  QString chainName() const override { return QStringLiteral("smooth"); }
  void passPtrThruChain(QKSliderCell& cell) override {
    cell.justSetValue(cell.value() * 0.9f + 0.05f);
  }
  bool evaluateConsistently() const override { return true; }
  bool needsEvaluation() const override { return false; }
};

// A slider with a view and a target, as a plug-in window makes them.
struct BenchSlider {
  BenchSlider() {
    cell->setControlView(&view);
    cell->setTarget(target);
    cell->setAction([this](QKSliderCell& sender) { sum += sender.value(); });
  }
  ~BenchSlider() {
    cell->prepareToBeDeleted();
    cell->setControlView(nullptr);
  }
  CountingView view;
  std::shared_ptr<int> target = std::make_shared<int>(0);
  double sum = 0;
  QKSliderCell::Ptr cell = QKSliderCell::create();
};

// The main thread's share of the work: the coalesced redraws.
void drainMainThread(benchmark::State& state) {
  state.PauseTiming();
  QCoreApplication::sendPostedEvents();
  state.ResumeTiming();
}

// Binds without a manager: the controller is given through a one-slider
// manager stand-in.
class ControllerOnly : public SliderManagerInterface {
 public:
  explicit ControllerOnly(DataSourceController* dsc) : dsc_(dsc) {}
  DataSourceController* dataSourceController() const override { return dsc_; }
  bool hardwareLearnMode() const override { return false; }
  QVariantMap sliderColorDict() const override { return {}; }
  std::shared_ptr<BehaviorChainInterface> findBehaviorChainNamed(const QString&) const override {
    return nullptr;
  }
  void deleteThisSlider(QKSliderCell*) override {}
  void updateValueRelatedOnly() override {}
  void updateWithLockedStatus(bool) override {}

 private:
  DataSourceController* dsc_;
};

void bind(QKSliderCell& cell, ControllerOnly& manager, const KeyPath& path) {
  cell.setSliderManager(&manager);
  cell.useThisSource(path);
  cell.setSyncFlag(true);
}

// One MIDI value: the source's setValue delivers at once on the calling
// thread, through dataSourceUpdated to the slider's action.
void BM_SourceValueToSliderOutput(benchmark::State& state) {
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  ControllerOnly manager(&dsc);
  const KeyPath path{QStringLiteral("MIDI"), QStringLiteral("ctrl [1] ch. 1")};
  auto source = DSFloatInfreqRepeat::createWithName(path.last());
  dsc.setDataSource(source, path);
  BenchSlider slider;
  bind(*slider.cell, manager, path);
  if (state.range(0)) slider.cell->setSelected(true);
  int i = 0;
  for (auto _ : state) {
    source->setValue(static_cast<float>(i & 127) / 127.0f);
    if ((++i & 1023) == 0) drainMainThread(state);
  }
  benchmark::DoNotOptimize(slider.sum);
  state.SetLabel(state.range(0) ? "selected slider" : "unselected slider");
}
BENCHMARK(BM_SourceValueToSliderOutput)->Arg(0)->Arg(1);

// One tick of the continuous behaviours of 1,000 sliders, each with a
// time-based chain; the main thread draws between ticks.
void BM_ContinuousBehaviorsOfThousandSliders(benchmark::State& state) {
  auto chain = std::make_shared<SmoothingChain>();
  std::vector<std::unique_ptr<BenchSlider>> sliders;
  for (int i = 0; i < 1000; ++i) {
    sliders.push_back(std::make_unique<BenchSlider>());
    sliders.back()->cell->useThisBehavior(chain);
    sliders.back()->cell->setBehaviorFlag(true);
  }
  for (auto _ : state) {
    for (const auto& s : sliders) s->cell->evaluateBehaviors();
    drainMainThread(state);
  }
  state.SetLabel("1000 sliders, unbound");
}
BENCHMARK(BM_ContinuousBehaviorsOfThousandSliders)->Unit(benchmark::kMicrosecond);

// The same with every slider bound to its own MIDI source (each tick looks
// the source up), and with bound sliders that have nothing to do.
void BM_ContinuousBehaviorsOfThousandBoundSliders(benchmark::State& state) {
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  ControllerOnly manager(&dsc);
  auto chain = std::make_shared<SmoothingChain>();
  std::vector<std::unique_ptr<BenchSlider>> sliders;
  for (int i = 0; i < 1000; ++i) {
    const KeyPath path{QStringLiteral("MIDI"),
                       QString::asprintf("ctrl [%d] ch. %d", i % 128, i / 128 + 1)};
    sliders.push_back(std::make_unique<BenchSlider>());
    bind(*sliders.back()->cell, manager, path);
    dsc.dataSourceForKeyArray(path)->setValue(0.5f);
    if (state.range(0)) {
      sliders.back()->cell->useThisBehavior(chain);
      sliders.back()->cell->setBehaviorFlag(true);
    }
  }
  for (auto _ : state) {
    for (const auto& s : sliders) s->cell->evaluateBehaviors();
    drainMainThread(state);
  }
  state.SetLabel(state.range(0) ? "1000 bound sliders with a chain" : "1000 bound sliders, idle");
}
BENCHMARK(BM_ContinuousBehaviorsOfThousandBoundSliders)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
