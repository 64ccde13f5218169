// Recalling a "Layer FX" preset onto 16 layers whose chains already hold
// the same four filter effects, through the compositor (under its restore
// gate, each chain's differential restore), beside loading the same effect
// snapshots straight into those effects (the least that does the same
// work). The recall must make and destroy no effect: the effects are
// counted by identity after every recall. The time the gate holds frames
// off is reported per recall.

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChainAdapter.h"
#include "bench/SideBySide.h"
#include "framework/filters/CustomFilters.h"
#include "framework/fx/FXObject.h"
#include "framework/render/TheApplication.h"
#include "framework/taps/QKTapManager.h"
#include "platform/foundation/Log.h"
#include "tests/support/TestEnvironment.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kLayers = 16;
const QStringList kEffects{"Bright", "Contrast", "Bright", "Contrast"};

struct Scene {
  std::unique_ptr<Compositor> compositor;
  std::vector<std::shared_ptr<Layer>> layers;
  QVariantMap layerFX;
  std::vector<FXChain::Element> effects;  // every layer's, in order
};
Scene* scene = nullptr;

std::vector<FXChain::Element> effectsNow() {
  std::vector<FXChain::Element> all;
  for (const auto& layer : scene->layers) {
    auto* adapter = static_cast<LayerFXChainAdapter*>(layer->fxChain());
    for (const auto& effect : adapter->chain().fxArray()) all.push_back(effect);
  }
  return all;
}

void setUp() {
  scene = new Scene;
  Compositor::Environment environment;
  environment.gpuVendors = {"NVIDIA"};
  scene->compositor = std::make_unique<Compositor>(std::make_unique<QKTapManager>(), environment);
  auto manager = std::make_shared<LayerChainManager>();
  scene->compositor->setChainManager(manager);
  scene->compositor->setLayerChainFactory(LayerFXChainAdapter::factory(manager));
  for (int i = 0; i < kLayers; ++i) {
    auto layer = scene->compositor->createNewLayer();
    for (const QString& effect : kEffects) layer->addCIFXNamed(effect);
    scene->layers.push_back(layer);
  }
  scene->layerFX = scene->compositor->createLayerFXSnapshot();
  scene->effects = effectsNow();
}

void BM_LayerFXRecallBesideDirectLoads(benchmark::State& state) {
  // The bare side: each entry straight into its effect, in chain order.
  std::vector<std::pair<FXObject*, QVariantMap>> direct;
  for (const auto& layer : scene->layers) {
    auto* adapter = static_cast<LayerFXChainAdapter*>(layer->fxChain());
    const QVariantList entries = scene->layerFX.value(layer->layerName()).toList();
    const auto effects = adapter->chain().fxArray();
    for (std::size_t i = 0; i < effects.size(); ++i)
      direct.emplace_back(effects[i].get(), entries[int(i)].toMap());
  }
  long changed = 0;
  const bench::SideBySideSeconds seconds = bench::sideBySide(
      state, [&] { scene->compositor->matchThisLayerFXSnapshot(scene->layerFX); },
      [&] {
        for (const auto& [effect, entry] : direct) effect->loadSnapshot(entry);
      },
      // Untimed: the last recall's effects are the ones made at the start.
      [&] {
        if (effectsNow() != scene->effects) ++changed;
      });
  const double n = double(state.iterations());
  state.counters["ours_us"] = seconds.first / n * 1e6;
  state.counters["bare_us"] = seconds.second / n * 1e6;
  state.counters["ratio"] = seconds.first / seconds.second;
  // The gate is held for the whole recall: frames are held off this long.
  state.counters["frames_held_off_us"] = seconds.first / n * 1e6;
  state.counters["effects_made_or_destroyed"] = double(changed);
}
BENCHMARK(BM_LayerFXRecallBesideDirectLoads)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  TestEnvironment::prepareProcess();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TheApplication app(argc, argv);
  Log::setSink([](const QString&) {});
  CustomFilters::initialize();
  setUp();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  scene->compositor->deleteAllLayers();
  scene->layers.clear();
  delete scene;
  TestEnvironment::cleanUpProcess();
  return 0;
}
