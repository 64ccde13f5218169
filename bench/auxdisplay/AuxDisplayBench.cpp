// The preview pass of one output frame with 4 aux displays at rate 1, each
// drawing one 1920x1080 source tap stretched into its 640x360 view and
// swapping, beside a bare GL loop that draws the same texture as the same
// quad into the same four windows with the same swaps. One glFinish per frame
// on each side. Run under Xvfb.

#include "app/compositor/Compositor.h"
#include "app/plugins/auxdisplay/AuxDisplay.h"
#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "bench/SideBySide.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/render/TheApplication.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/RenderThread.h"
#include "tests/framework/taps/TapFixtures.h"
#include "tests/support/GLTest.h"

#include <QCoreApplication>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int kDisplays = 4;
constexpr QSize kTapSize(1920, 1080);
constexpr QSize kViewSize(640, 360);

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
  std::shared_ptr<InputTap> source;
  std::vector<AuxDisplay*> displays;
  gl::TextureHandle texture;
};
Bench* bench_ = nullptr;

void finish() { gl::RenderThread::instance().mainContext()->functions().glFinish(); }

void ourPass() {
  bench_->compositor->lockForRender();
  bench_->compositor->drawPreviews();
  bench_->compositor->unlockRender();
  finish();
}

void barePass() {
  for (AuxDisplay* display : bench_->displays) {
    gl::PresentingWindow* window = display->previewView();
    gl::GLContext* context = window->beginFrame();
    if (!context) continue;
    context->functions().glClearColor(0, 0, 0, 1);
    context->functions().glClear(GL_COLOR_BUFFER_BIT);
    context->setBlend(gl::GLContext::Blend{true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});
    gl::QuadShader::forCurrentContext()->drawUpright(
        bench_->texture, QRectF(QPointF(0, 0), QSizeF(window->pixelSize())));
    window->endFrame();
  }
  finish();
}

void BM_AuxDisplayPreviewPass(benchmark::State& state) {
  const long before = bench_->displays.front()->flushCount();
  const bench::SideBySideSeconds own = bench::sideBySide(
      state, [] { gl::RenderThread::instance().invokeAndWait(barePass); },
      [] { gl::RenderThread::instance().invokeAndWait(ourPass); });
  const double n = double(state.iterations());
  state.counters["bare_ms"] = 1e3 * own.first / n;
  state.counters["ours_ms"] = 1e3 * own.second / n;
  state.counters["ours_vs_bare"] = own.second / own.first;
  state.counters["flushes_per_pass"] = double(bench_->displays.front()->flushCount() - before) / n;
}

}  // namespace

BENCHMARK(BM_AuxDisplayPreviewPass)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  TheApplication app(argc, argv);
  gl::RenderThread::Options options;
  options.paced = false;
  if (!gl::RenderThread::instance().start(options)) {
    std::fprintf(stderr, "no OpenGL 3.3 core context: run under Xvfb\n");
    return 1;
  }
  {
    Bench state;
    bench_ = &state;
    LayoutRegistry::setShared(&state.layouts);
    state.compositor = std::make_unique<Compositor>(std::make_unique<QKTapManager>(),
                                                    Compositor::Environment{{"NVIDIA"}});
    state.compositor->awake();
    long ids = 0;
    state.manager = std::make_unique<QKPluginManager>(
        &state.host, [&ids] { return ++ids; }, BuiltInPluginTypes::entries());
    state.source = InputTap::create(QStringLiteral("cam"));
    for (int i = 0; i < kDisplays; ++i) {
      auto* display =
          static_cast<AuxDisplay*>(state.manager->instantiatePluginType(AuxDisplay::kTypeName));
      display->tapMenuController()->setLastSelectedName(QStringLiteral("cam"));
      display->tapMenuUsed();
      display->rateMenuUsed(0);
      display->window()->setFrame(QRectF(20 + 660 * (i % 2), 20 + 400 * (i / 2), 646, 380));
      state.displays.push_back(display);
    }
    const auto exposed = [&] {
      for (AuxDisplay* display : state.displays)
        if (!display->previewView()->exposedForDrawing() ||
            display->previewView()->pixelSize() != kViewSize)
          return false;
      return true;
    };
    for (int i = 0; i < 300 && !exposed(); ++i) {
      QCoreApplication::processEvents();
      QThread::msleep(10);
    }
    if (!exposed())
      std::fprintf(stderr, "views not at 640x360: %dx%d\n",
                   state.displays.front()->previewView()->pixelSize().width(),
                   state.displays.front()->previewView()->pixelSize().height());
    gl::RenderThread::instance().invokeAndWait([&] {
      state.texture = GLTest::solidTexture(kTapSize, QColor(40, 160, 220));
      state.source->stub()->setTextureRef(state.texture);
    });
    benchmark::AddCustomContext("GL_RENDERER",
                                gl::RenderThread::instance().rendererName().toStdString());
    benchmark::RunSpecifiedBenchmarks();
    state.manager->deleteAllPlugins();
    gl::RenderThread::instance().invokeAndWait([&] { state.texture.reset(); });
    state.source->prepareToBeDeleted();
    state.manager.reset();
    state.compositor.reset();
    LayoutRegistry::setShared(nullptr);
  }
  gl::RenderThread::instance().stop();
  benchmark::Shutdown();
  return 0;
}
