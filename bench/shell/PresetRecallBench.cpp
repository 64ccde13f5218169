// Recalling "Everything" presets on stage: 8 layers of two effects each and
// two Sliders plug-ins of 16 sliders, with the plug-in manager's palette
// position. Ours recalls two presets taken by the preset manager, one after
// the other (each a real change: the layers' opacities and the slider values
// differ); the bare side hands the same snapshots straight to the same
// restorers (window positions, the compositor's and the plug-in manager's
// loadSnapshot) in the same order. Both sides run in every iteration, in
// alternating order:
//
//   build/bin/bench_shell --benchmark_filter=Recall
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/sliders/Sliders.h"
#include "app/shell/PresetManager.h"
#include "app/shell/PresetRecords.h"
#include "bench/SideBySide.h"
#include "bench/shell/ProjectFixture.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/filters/CustomFilters.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "platform/foundation/Log.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using namespace PresetRecords;

constexpr int kLayers = 8;
constexpr int kSliderBanks = 2;
constexpr int kSlidersPerBank = 16;

// The restorers a recall reaches: a compositor with effect chains and a
// plug-in manager with its palette.
class RecallHost : public project_fixture::BenchHost, public AppControllerInterface {
 public:
  RecallHost() {
    CustomFilters::initialize();
    Compositor::Environment environment;
    environment.gpuVendors = {"NVIDIA"};
    compositor_ = std::make_unique<Compositor>(std::make_unique<QKTapManager>(), environment);
    auto chains = std::make_shared<LayerChainManager>();
    compositor_->setChainManager(chains);
    compositor_->setLayerChainFactory(LayerFXChainAdapter::factory(chains));
    for (int i = 0; i < kLayers; ++i) {
      const std::shared_ptr<Layer> layer = compositor_->createNewLayer();
      layer->addCIFXNamed(QStringLiteral("Bright"));
      layer->addCIFXNamed(QStringLiteral("Contrast"));
      layers_.push_back(layer);
    }
    LayoutRegistry::setShared(&layouts_);
    sliderManager_.setDataSourceController(&dsc_);
    dsc_.setSliderManager(&sliderManager_);
    plugins_ = std::make_unique<QKPluginManager>(
        this, [this] { return ++lastID_; }, BuiltInPluginTypes::entries());
    for (int b = 0; b < kSliderBanks; ++b) {
      auto* bank = static_cast<Sliders*>(plugins_->instantiatePluginType(Sliders::kTypeName));
      while (bank->sliderArray().size() < kSlidersPerBank) bank->createSlider();
      banks_.push_back(bank);
    }
  }
  ~RecallHost() override {
    compositor_->deleteAllLayers();
    layers_.clear();
    plugins_.reset();
    dsc_.setSliderManager(nullptr);
    LayoutRegistry::setShared(nullptr);
  }

  // A different scene for the second preset.
  void change(float sliderValue, float layerOpacity) {
    for (Sliders* bank : banks_)
      for (QKSliderControl* slider : bank->sliderArray()) slider->setValue(sliderValue, false);
    for (const auto& layer : layers_)
      if (QKSliderControl* opacity = layer->alphaSlider()) opacity->setValue(layerOpacity, false);
  }

  Compositor& compositor() { return *compositor_; }
  QKPluginManager& plugins() { return *plugins_; }

  QVariantMap compositorSnapshot() override { return compositor_->createSnapshot(); }
  QVariantList pluginManagerSnapshot() override { return plugins_->createSnapshot(); }
  void loadCompositorSnapshot(const QVariantMap& snapshot) override {
    compositor_->loadSnapshot(snapshot);
  }
  void loadPluginManagerSnapshot(const QVariantList& snapshot) override {
    plugins_->loadSnapshot(snapshot);
  }
  QKWindowContentView* paletteContentView(const QString& key) override {
    if (key == QLatin1String("pluginManager") && plugins_->window())
      return plugins_->window()->contentView();
    return nullptr;
  }

  MIDIManagerInterface* midiManager() override { return nullptr; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return &dsc_; }

 private:
  std::unique_ptr<Compositor> compositor_;
  std::vector<std::shared_ptr<Layer>> layers_;
  LayoutRegistry layouts_;
  DataSourceController dsc_{DataSourceController::TickThread::Manual};
  QKSliderManager sliderManager_;
  long lastID_ = 0;
  std::unique_ptr<QKPluginManager> plugins_;
  std::vector<Sliders*> banks_;
};

void BM_RecallEverythingBesideDirectLoads(benchmark::State& state) {
  const Log::Sink sink = Log::setSink([](const QString&) {});
  RecallHost host;
  PresetManager manager(&host);
  host.change(0.25f, 0.5f);
  manager.takeSnapshot(kEverything);
  host.change(0.75f, 1.0f);
  manager.takeSnapshot(kEverything);
  const QVariantList presets = manager.presetArray();
  if (presets.size() != 2) {
    state.SkipWithError("the presets were not taken");
    Log::setSink(sink);
    return;
  }
  const auto directly = [&](const QVariantMap& preset) {
    manager.matchThisWindPosSnapshot(preset.value(kWindowPositionSnapshotKey));
    host.compositor().loadSnapshot(preset.value(kCompositorSnapshotKey).toMap());
    host.plugins().loadSnapshot(preset.value(kPluginManagerSnapshotKey).toList());
  };
  const QVariantMap first = presets[0].toMap();
  const QVariantMap second = presets[1].toMap();
  if (first.value(kCompositorSnapshotKey) == second.value(kCompositorSnapshotKey) ||
      first.value(kPluginManagerSnapshotKey) == second.value(kPluginManagerSnapshotKey)) {
    state.SkipWithError("the two presets hold the same scene");
    Log::setSink(sink);
    return;
  }
  const auto [o, b] = bench::sideBySide(
      state,
      [&] {
        manager.triggerPreset(first);
        manager.triggerPreset(second);
      },
      [&] {
        directly(first);
        directly(second);
      },
      project_fixture::handlePostedEvents);
  Log::setSink(sink);
  if (manager.busy()) state.SkipWithError("a recall left the manager busy");
  const double recalls = 2.0 * double(state.iterations());
  state.counters["ours_us"] = 1e6 * o / recalls;
  state.counters["bare_us"] = 1e6 * b / recalls;
  state.counters["ours_vs_bare"] = o / b;
}

BENCHMARK(BM_RecallEverythingBesideDirectLoads)
    ->UseManualTime()
    ->Iterations(400)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
