// One data-source tick pulling 64 multiplexers, each passing one input
// through its follower, beside a bare loop that reads 64 floats and sets
// each on its own float source. Both run with the inputs steady, then with
// every input changed before each tick (the change itself untimed). The
// tick of the same tree without multiplexers is reported beside them.
#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/multiplexer/QKMultiplexerPlugin.h"
#include "bench/SideBySide.h"
#include "bench/WidgetBenchMain.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DSFloatFrequent.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/toolkit/LayoutRegistry.h"

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <vector>

namespace {

constexpr int kMultiplexers = 64;

// The program's side: 64 multiplexers, input 0 of each bound to a source of
// its own.
class Multiplexers : public AppControllerInterface {
 public:
  explicit Multiplexers(int count = kMultiplexers) {
    LayoutRegistry::setShared(&layouts_);
    sliderManager_.setDataSourceController(&dsc_);
    buttonManager_.setDataSourceController(&dsc_);
    dsc_.setSliderManager(&sliderManager_);
    dsc_.setButtonManager(&buttonManager_);
    manager_ = std::make_unique<QKPluginManager>(
        this, [this] { return ++lastID_; }, BuiltInPluginTypes::entries());
    dsc_.setDataSource(DataSourceHolder::createWithName(QStringLiteral("In")),
                       {QStringLiteral("In")});
    for (int i = 0; i < count; ++i) {
      const QString name = QString::number(i);
      auto input = DSFloatInfrequent::createWithName(name);
      dsc_.setDataSource(input, {QStringLiteral("In"), name});
      inputs_.push_back(input);
      auto* m = static_cast<QKMultiplexerPlugin*>(
          manager_->instantiatePluginType(QKMultiplexerPlugin::kTypeName));
      m->addInputWithSliderSyncArray(KeyPath{QStringLiteral("In"), name});
      m->deleteInputsAtIndicies({0, 1});
    }
  }
  ~Multiplexers() override {
    manager_.reset();
    dsc_.setSliderManager(nullptr);
    dsc_.setButtonManager(nullptr);
    LayoutRegistry::setShared(nullptr);
  }

  MIDIManagerInterface* midiManager() override { return nullptr; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return &dsc_; }

  void tick() { dsc_.threadProc(); }
  void change(float value) {
    for (const auto& input : inputs_) input->setValue(value);
  }

 private:
  LayoutRegistry layouts_;
  DataSourceController dsc_{DataSourceController::TickThread::Manual};
  QKSliderManager sliderManager_;
  QKButtonManager buttonManager_;
  long lastID_ = 0;
  std::unique_ptr<QKPluginManager> manager_;
  std::vector<std::shared_ptr<DSFloatInfrequent>> inputs_;
};

// The bare work: 64 floats read and set on 64 float sources.
struct Bare {
  Bare() {
    for (int i = 0; i < kMultiplexers; ++i)
      outputs.push_back(DSFloatFrequent::createWithName(QString::number(i)));
  }
  void tick() {
    for (int i = 0; i < kMultiplexers; ++i) outputs[size_t(i)]->setValue(values[size_t(i)]);
  }
  void change(float value) { values.fill(value); }

  std::array<float, kMultiplexers> values{};
  std::vector<std::shared_ptr<DSFloatFrequent>> outputs;
};

void MultiplexerTick(benchmark::State& state) {
  const bool changing = state.range(0) != 0;
  Multiplexers ours;
  Bare bare;
  float value = 0.0f;
  const bench::SideBySideSeconds total = bench::sideBySide(
      state, [&] { bare.tick(); }, [&] { ours.tick(); },
      [&] {
        if (!changing) return;
        value = value == 0.25f ? 0.75f : 0.25f;
        bare.change(value);
        ours.change(value);
      });
  const double n = double(state.iterations());
  // The tick's own cost, with the same managers and no multiplexer.
  Multiplexers none(0);
  constexpr int kEmptyTicks = 20000;
  const double empty = bench::secondsOf([&] {
    for (int i = 0; i < kEmptyTicks; ++i) none.tick();
  });
  state.counters["empty_tick_us"] = empty / kEmptyTicks * 1e6;
  state.counters["bare_us"] = total.first / n * 1e6;
  state.counters["ours_us"] = total.second / n * 1e6;
  state.counters["ours_vs_bare"] = total.second / total.first;
}

BENCHMARK(MultiplexerTick)
    ->ArgName("changing")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) { return bench::runWithWidgets(argc, argv); }
