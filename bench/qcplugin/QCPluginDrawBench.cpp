// One frame of a composition plug-in: its `draw` as the compositor calls it
// (the composition rendered at 320 x 240 into the plug-in's buffer, its
// number output stored for the data-source tick and its image output handed
// to its tap) beside the composition runtime alone rendering the same
// composition into a framebuffer of that size and reading the same two
// outputs. Both run on the render thread and end with glFinish; the
// composition is a shader filling the image and a number splitter. Run under
// Xvfb:
//
//   bash scripts/with-xvfb.sh build/bin/bench_qcplugin
#include "app/compositor/Compositor.h"
#include "app/plugins/composition/QKGenericQCPlugin.h"
#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "bench/SideBySide.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSource.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/render/TheApplication.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "platform/composition/CompositionDocument.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr QSize kSize(320, 240);
const QString kFile = QStringLiteral("Level.qtz");

struct Host : AppControllerInterface {
  MIDIManagerInterface* midiManager() override { return nullptr; }
  QKOSCManager* oscManager() override { return nullptr; }
  DataSourceController* dataSourceController() override { return &dsc; }
  DataSourceController dsc{DataSourceController::TickThread::Manual};
};

struct Bench {
  Host host;
  LayoutRegistry layouts;
  std::unique_ptr<Compositor> compositor;
  std::unique_ptr<QKPluginManager> manager;
  QKGenericQCPlugin* plugin = nullptr;
  // The bare side (render thread).
  std::shared_ptr<composition::QCRenderer> renderer;
  gl::RenderTarget target;
  gl::TextureHandle buffer;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};
Bench* bench_ = nullptr;

// A number output "level" and an image output "frame" filled by a shader.
QString writeComposition(const QString& folder) {
  const auto splitter = [](const QString& key, const QString& portClass, const QVariant& value) {
    QVariantMap state{{"portClass", portClass}};
    if (value.isValid()) state.insert("value", value);
    return QVariantMap{{"key", key}, {"class", "QCSplitter"}, {"state", state}};
  };
  const auto port = [](const QString& key) {
    return QVariantMap{{"key", key}, {"node", key}, {"port", "output"}};
  };
  const QVariantList nodes{
      splitter("level", "QCNumberPort", 0.7), splitter("frame", "QCGLImagePort", {}),
      QVariantMap{
          {"key", "wave"},
          {"class", "QCGLSLShader"},
          {"state",
           QVariantMap{{"fragmentSource",
                        "vec4 shaderMain() { return vec4(texCoord.x, texCoord.y, 0.5, 1.0); "
                        "}"}}}}};
  const QVariantList connections{QVariantMap{{"sourceNode", "wave"},
                                             {"sourcePort", "outputImage"},
                                             {"destinationNode", "frame"},
                                             {"destinationPort", "input"}}};
  const QVariantMap state{{"nodes", nodes},
                          {"connections", connections},
                          {"publishedInputPorts", QVariantList{}},
                          {"publishedOutputPorts", QVariantList{port("level"), port("frame")}}};
  QDir().mkpath(folder);
  const QString path = folder + QLatin1Char('/') + kFile;
  const QString error =
      PropertyList::write(QVariantMap{{"rootPatch", QVariantMap{{"state", state}}}}, path);
  if (!error.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(error));
  return path;
}

void finish() { gl::GLContext::current()->functions().glFinish(); }

void ourFrame() {
  bench_->compositor->lockForRender();
  bench_->compositor->drawPreviews();
  bench_->compositor->unlockRender();
  finish();
}

void bareFrame() {
  Bench& b = *bench_;
  b.target.bind(b.buffer);
  b.target.clear(QVector4D(0, 0, 0, 1));
  const double time =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - b.start).count();
  b.renderer->renderAtTime(time);
  benchmark::DoNotOptimize(b.renderer->valueForOutputKey(QStringLiteral("level")));
  gl::TextureHandle image = b.renderer->imageForOutputKey(QStringLiteral("frame"));
  benchmark::DoNotOptimize(image);
  b.target.detach();
  finish();
}

double onRenderThread(void (*work)()) {
  double seconds = 0;
  gl::RenderThread::instance().invokeAndWait([&] { seconds = bench::secondsOf(work); });
  return seconds;
}

void BM_CompositionPluginFrame(benchmark::State& state) {
  const long before = bench_->plugin->drawCount();
  bench::SideBySideSeconds own;
  bench::sideBySide(
      state, [&] { own.first += onRenderThread(ourFrame); },
      [&] { own.second += onRenderThread(bareFrame); });
  const double n = double(state.iterations());
  state.counters["plugin_ms"] = 1e3 * own.first / n;
  state.counters["bare_ms"] = 1e3 * own.second / n;
  state.counters["plugin_vs_bare"] = own.first / own.second;
  state.counters["draws_per_frame"] = double(bench_->plugin->drawCount() - before) / n;
}

bool setUp(Bench& state, const QString& path) {
  LayoutRegistry::setShared(&state.layouts);
  state.compositor = std::make_unique<Compositor>(std::make_unique<QKTapManager>(),
                                                  Compositor::Environment{{"NVIDIA"}});
  state.compositor->awake();
  long ids = 0;
  state.manager = std::make_unique<QKPluginManager>(
      &state.host, [ids]() mutable { return ++ids; }, BuiltInPluginTypes::entries());
  state.plugin = qobject_cast<QKGenericQCPlugin*>(state.manager->instantiatePluginType(kFile));
  if (!state.plugin || !state.plugin->contextHolder()) {
    std::fprintf(stderr, "no composition plug-in\n");
    return false;
  }
  const auto document = composition::CompositionDocument::load(path);
  gl::RenderThread::instance().invokeAndWait([&] {
    state.renderer = document ? composition::QCRenderer::create(document) : nullptr;
    state.buffer = gl::TexturePool::shared().acquire(kSize);
  });
  if (!state.renderer) {
    std::fprintf(stderr, "the runtime did not take the composition\n");
    return false;
  }
  // Both sides warmed up; the plug-in's outputs are where they should be.
  for (int i = 0; i < 3; ++i) {
    onRenderThread(ourFrame);
    onRenderThread(bareFrame);
  }
  state.host.dsc.threadProc();
  auto level = state.host.dsc.dataSourceForKeyArray({"Level.qtz 1", "level"});
  std::fprintf(stderr, "published level %.3f, runtime level %.3f\n",
               level ? double(level->value()) : -1.0,
               state.renderer->valueForOutputKey(QStringLiteral("level")).toDouble());
  return true;
}

}  // namespace

BENCHMARK(BM_CompositionPluginFrame)->UseManualTime()->MinTime(2.0)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  // The composition goes into a "plugins" folder of a home of our own.
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
  TheApplication app(argc, argv);
  gl::RenderThread::Options options;
  options.paced = false;
  if (!gl::RenderThread::instance().start(options)) {
    std::fprintf(stderr, "no OpenGL 3.3 core context: run under Xvfb\n");
    return 1;
  }
  const QString path = writeComposition(Paths::userDataDir() + QStringLiteral("/plugins"));
  int result = 1;
  {
    Bench state;
    bench_ = &state;
    if (setUp(state, path)) {
      benchmark::AddCustomContext("GL_RENDERER",
                                  gl::RenderThread::instance().rendererName().toStdString());
      benchmark::RunSpecifiedBenchmarks();
      result = 0;
    }
    state.manager.reset();
    gl::RenderThread::instance().invokeAndWait([&] {
      state.renderer.reset();
      state.buffer.reset();
    });
    state.compositor.reset();
    LayoutRegistry::setShared(nullptr);
    bench_ = nullptr;
  }
  gl::RenderThread::instance().stop();
  benchmark::Shutdown();
  return result;
}
