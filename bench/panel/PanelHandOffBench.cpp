// A composition panel's work in one frame, on the render thread with the
// runtime's renderer: 64 moved sliders delivered (their values set on the
// renderer) and 32 number outputs stored for the data-source tick. Side by
// side: a bare loop making the same 64 setValue calls and 32 output reads
// into a preallocated array.
//
// Also a slider's hand-off from a thread other than the main thread
// (uiElementUsed, uncontended, each slider queued once into an emptied
// hand-off), beside a bare store of the same value under a mutex.
#include "bench/RenderThreadBench.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QCElementHandOff.h"
#include "framework/params/QCAttributePublisher.h"
#include "framework/params/QCSliderElement.h"
#include "framework/render/QKQCComposition.h"
#include "framework/taps/QKTapManager.h"
#include "platform/composition/CompositionDocument.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/PropertyList.h"
#include "platform/threading/RWTryLock.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kInputs = 64;
constexpr int kOutputs = 32;

QString inputKey(int i) { return QStringLiteral("in%1").arg(i); }
QString outputKey(int i) { return QStringLiteral("out%1").arg(i); }

// 64 number inputs and 32 number outputs, each through a splitter; nothing
// is drawn.
QString writeComposition() {
  QVariantList nodes, inputs, outputs;
  const auto splitter = [&nodes](const QString& key, double value) {
    nodes << QVariantMap{{"key", key},
                         {"class", "QCSplitter"},
                         {"state", QVariantMap{{"portClass", "QCNumberPort"},
                                               {"inputMin", 0.0},
                                               {"inputMax", 1.0},
                                               {"value", value}}}};
  };
  for (int i = 0; i < kInputs; ++i) {
    splitter(inputKey(i), 0.5);
    inputs << QVariantMap{{"key", inputKey(i)}, {"node", inputKey(i)}, {"port", "input"}};
  }
  for (int i = 0; i < kOutputs; ++i) {
    splitter(outputKey(i), i / double(kOutputs));
    outputs << QVariantMap{{"key", outputKey(i)}, {"node", outputKey(i)}, {"port", "output"}};
  }
  const QVariantMap state{
      {"nodes", nodes}, {"publishedInputPorts", inputs}, {"publishedOutputPorts", outputs}};
  const QString dir = TestEnvironment::makeTempDir(QStringLiteral("bench"));
  const QString path = dir + QStringLiteral("/Panel.qtz");
  PropertyList::write(QVariantMap{{"rootPatch", QVariantMap{{"state", state}}}}, path);
  return path;
}

struct Owner : QCAttributePublisher::Delegate {
  RWTryLock& renderLock() override { return lock; }
  QSizeF renderSize() const override { return {64, 64}; }
  RWTryLock lock;
};

struct Scene {
  std::unique_ptr<QKTapManager> taps = std::make_unique<QKTapManager>();
  std::unique_ptr<DataSourceController> controller =
      std::make_unique<DataSourceController>(DataSourceController::TickThread::Manual);
  std::shared_ptr<const QKQCComposition> composition;
  std::shared_ptr<const composition::CompositionDocument> document;
  std::shared_ptr<composition::QCRenderer> renderer;  // render thread
  std::unique_ptr<QCAttributeLoader> loader;
  std::vector<std::shared_ptr<QCSliderElement>> sliders;
  Owner owner;
  std::shared_ptr<QCAttributePublisher> publisher = QCAttributePublisher::create();
  std::vector<QString> inputKeys, outputKeys;
  std::vector<QVariant> stored;
  float nextValue = 0.0f;
};
Scene* scene = nullptr;

// Before the application: the file, read as the runtime plays it.
bool readComposition() {
  scene = new Scene;
  const QString path = writeComposition();
  scene->composition = QKQCComposition::compositionWithFile(path);
  QString error;
  scene->document = composition::CompositionDocument::load(path, &error);
  if (!scene->composition || !scene->document) {
    std::fprintf(stderr, "composition not read: %s\n", qPrintable(error));
    return false;
  }
  return true;
}

// Main thread, with the application: the panel and the publisher.
bool buildPanel() {
  scene->loader = std::make_unique<QCAttributeLoader>();
  scene->loader->resize(300, 10);
  scene->loader->loadAttributesForComposition(scene->composition);
  for (const auto& element : scene->loader->elementArray())
    if (auto slider = std::dynamic_pointer_cast<QCSliderElement>(element))
      scene->sliders.push_back(slider);
  scene->publisher->setDelegate(&scene->owner);
  scene->publisher->setDataSourceController(scene->controller.get());
  scene->publisher->setPublisherCatName(QStringLiteral("Bench"));
  scene->publisher->publishAttributesForComposition(scene->composition);
  for (int i = 0; i < kInputs; ++i) scene->inputKeys.push_back(inputKey(i));
  for (int i = 0; i < kOutputs; ++i) scene->outputKeys.push_back(outputKey(i));
  scene->stored.resize(kOutputs);
  return int(scene->sliders.size()) == kInputs;
}

// Render thread.
bool makeRenderer() {
  scene->renderer = composition::QCRenderer::create(scene->document);
  if (!scene->renderer) return false;
  scene->renderer->renderAtTime(0);  // the outputs have values from now on
  return true;
}

// Moves every slider (a data source's push does the same), queueing all 64.
void moveSliders() {
  scene->nextValue = scene->nextValue > 0.5f ? 0.25f : 0.75f;
  for (const auto& slider : scene->sliders)
    slider->slider()->setValueWithRangedValue(scene->nextValue, true);
}

void bareFrame() {
  composition::QCRenderer& renderer = *scene->renderer;
  const composition::PortValue value = composition::PortValue::number(scene->nextValue);
  for (const QString& key : scene->inputKeys) renderer.setValue(key, value);
  for (int i = 0; i < kOutputs; ++i)
    scene->stored[i] = renderer.valueForOutputKey(scene->outputKeys[i]);
  benchmark::DoNotOptimize(scene->stored.data());
}

void ourFrame() {
  scene->loader->dumpToRenderer(scene->renderer);
  scene->publisher->publishValsForRenderer(scene->renderer);
}

void BM_PanelFrame(benchmark::State& state) {
  const bench::SideBySideSeconds own =
      bench::sideBySideOnRenderThread(state, bareFrame, ourFrame, moveSliders);
  const double bare = own.first;
  const double ours = own.second;
  const double n = double(state.iterations());
  state.counters["bare_us"] = 1e6 * bare / n;
  state.counters["ours_us"] = 1e6 * ours / n;
  state.counters["ours_vs_bare"] = ours / bare;
}

void BM_ElementUsedOffTheMainThread(benchmark::State& state) {
  // Each slider once per iteration, the hand-off emptied (untimed) before:
  // every call queues (a control already waiting is only marked again).
  const std::vector<std::shared_ptr<QCSliderElement>>& sliders = scene->sliders;
  const int calls = int(sliders.size());
  QCAttributeLoader& loader = *scene->loader;
  std::mutex mutex;
  float stored = 0;
  const float value = 0.5f;
  const auto bare = [&] {
    for (int i = 0; i < calls; ++i) {
      std::lock_guard lock(mutex);
      stored = value;
      benchmark::DoNotOptimize(stored);
    }
  };
  const auto ours = [&] {
    for (const auto& slider : sliders) loader.uiElementUsed(slider);
  };
  bench::SideBySideSeconds seconds;
  std::thread sender(
      [&] { seconds = bench::sideBySide(state, bare, ours, [&] { loader.handOff().clear(); }); });
  sender.join();
  loader.handOff().clear();
  const double total = double(state.iterations()) * calls;
  state.counters["bare_ns"] = 1e9 * seconds.first / total;
  state.counters["ours_ns"] = 1e9 * seconds.second / total;
}

}  // namespace

int main(int argc, char** argv) {
  TestEnvironment::prepareProcess();
  if (!readComposition()) return 1;
  return bench::runOnRenderThread(
      argc, argv, makeRenderer,
      [] {
        if (!buildPanel()) {
          std::fprintf(stderr, "the panel has not its 64 sliders\n");
          return;
        }
        benchmark::RegisterBenchmark("BM_PanelFrame", BM_PanelFrame)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("BM_ElementUsedOffTheMainThread",
                                     BM_ElementUsedOffTheMainThread)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
      },
      [] { scene->renderer.reset(); });
}
