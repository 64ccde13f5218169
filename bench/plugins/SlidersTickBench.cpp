// One data-source tick through 256 published sliders (8 Sliders plug-ins of
// 32), each source followed by one subscriber, beside a bare loop that reads
// 256 floats, compares each with the last one passed on and calls one
// function per change. Both run with nothing changed, then with every value
// changed before each tick (the change itself untimed).
#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/sliders/Sliders.h"
#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceTarget.h"
#include "framework/toolkit/LayoutRegistry.h"

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <vector>

namespace {

constexpr int kBanks = 8;
constexpr int kSlidersPerBank = 32;
constexpr int kSliders = kBanks * kSlidersPerBank;

struct Counter : DataSourceTarget {
  void updated(DataSource*) { ++count; }
  long count = 0;
};

// The program's side: the plug-ins, their sliders and one subscriber each.
class Banks : public AppControllerInterface {
 public:
  Banks() {
    LayoutRegistry::setShared(&layouts_);
    sliderManager_.setDataSourceController(&dsc_);
    dsc_.setSliderManager(&sliderManager_);
    manager_ = std::make_unique<QKPluginManager>(
        this, [this] { return ++lastID_; }, BuiltInPluginTypes::entries());
    for (int b = 0; b < kBanks; ++b) {
      auto* bank = static_cast<Sliders*>(manager_->instantiatePluginType(Sliders::kTypeName));
      while (bank->sliderArray().size() < kSlidersPerBank) bank->createSlider();
      for (QKSliderControl* slider : bank->sliderArray()) {
        sliders_.push_back(slider);
        dsc_.subscribeObject(counter_, &Counter::updated,
                             {bank->windowTitle(), slider->sliderName()});
      }
    }
  }
  ~Banks() override {
    manager_.reset();
    dsc_.setSliderManager(nullptr);
    LayoutRegistry::setShared(nullptr);
  }

  MIDIManagerInterface* midiManager() override { return nullptr; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return &dsc_; }

  void tick() { dsc_.threadProc(); }
  void change(float value) {
    for (QKSliderControl* slider : sliders_) slider->setValue(value, false);
  }
  long delivered() const { return counter_->count; }

 private:
  LayoutRegistry layouts_;
  DataSourceController dsc_{DataSourceController::TickThread::Manual};
  QKSliderManager sliderManager_;
  long lastID_ = 0;
  std::unique_ptr<QKPluginManager> manager_;
  std::vector<QKSliderControl*> sliders_;
  std::shared_ptr<Counter> counter_ = std::make_shared<Counter>();
};

// The bare work: read, compare, one call per change.
struct Bare {
  std::array<float, kSliders> values{};
  std::array<float, kSliders> last{};
  long delivered = 0;

  __attribute__((noinline)) void deliver(int index, float value) {
    benchmark::DoNotOptimize(value);
    benchmark::DoNotOptimize(index);
    ++delivered;
  }
  void tick() {
    for (int i = 0; i < kSliders; ++i) {
      const float v = values[i];
      if (v != last[i]) {
        last[i] = v;
        deliver(i, v);
      }
    }
  }
  void change(float value) { values.fill(value); }
};

void SlidersTick(benchmark::State& state) {
  const bool changing = state.range(0) != 0;
  Banks banks;
  Bare bare;
  float value = 0.0f;
  const long before = banks.delivered();
  const bench::SideBySideSeconds total = bench::sideBySide(
      state, [&] { bare.tick(); }, [&] { banks.tick(); },
      [&] {
        if (!changing) return;
        value = value == 0.25f ? 0.75f : 0.25f;
        bare.change(value);
        banks.change(value);
      });
  const double n = double(state.iterations());
  state.counters["bare_us"] = total.first / n * 1e6;
  state.counters["ours_us"] = total.second / n * 1e6;
  state.counters["ours_vs_bare"] = total.second / total.first;
  state.counters["deliveries_per_tick"] = double(banks.delivered() - before) / n;
}

BENCHMARK(SlidersTick)
    ->ArgName("changed")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
