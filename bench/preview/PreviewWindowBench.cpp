// The preview pass of two output frames with 4 preview windows at rate 2
// (so each draws once), each drawing one 1920x1080 source tap fitted into
// its 320x180 view and swapping, beside a bare GL loop that draws the same
// texture as the same quad into the same four windows with the same swaps.
// One glFinish per output frame on each side. Run under Xvfb.

#include "app/compositor/Compositor.h"
#include "app/plugins/manager/BuiltInPluginTypes.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/plugins/preview/PreviewView.h"
#include "app/plugins/preview/PreviewWindow.h"
#include "bench/SideBySide.h"
#include "framework/datasource/AppControllerInterface.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/render/TheApplication.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/LayoutRegistry.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
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

constexpr int kPreviews = 4;
constexpr int kRate = 2;
constexpr QSize kTapSize(1920, 1080);
constexpr QSize kViewSize(320, 180);

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
  std::vector<PreviewWindow*> previews;
  gl::TextureHandle texture;
};
Bench* bench_ = nullptr;

void finish() { gl::RenderThread::instance().mainContext()->functions().glFinish(); }

// Output frames of the preview pass: every preview draws once.
void ourPass() {
  for (int frame = 0; frame < kRate; ++frame) {
    bench_->compositor->lockForRender();
    bench_->compositor->drawPreviews();
    bench_->compositor->unlockRender();
    finish();
  }
}

// The same frames drawn by hand: on one of them each window gets the quad.
void barePass() {
  for (int frame = 0; frame < kRate; ++frame) {
    if (frame == kRate - 1)
      for (PreviewWindow* preview : bench_->previews) {
        gl::PresentingWindow* window = preview->previewView();
        gl::GLContext* context = window->beginFrame();
        if (!context) continue;
        context->functions().glClearColor(0, 0, 0, 1);
        context->functions().glClear(GL_COLOR_BUFFER_BIT);
        gl::GLContext::Blend blend;
        blend.enabled = false;
        context->setBlend(blend);
        gl::QuadShader::forCurrentContext()->drawUpright(
            bench_->texture, QRectF(QPointF(0, 0), QSizeF(window->pixelSize())));
        window->endFrame();
      }
    finish();
  }
}

void BM_PreviewWindowPass(benchmark::State& state) {
  const long before = bench_->previews.front()->flushCount();
  const bench::SideBySideSeconds own = bench::sideBySide(
      state, [] { gl::RenderThread::instance().invokeAndWait(barePass); },
      [] { gl::RenderThread::instance().invokeAndWait(ourPass); });
  const double n = double(state.iterations());
  state.counters["bare_ms"] = 1e3 * own.first / n;
  state.counters["ours_ms"] = 1e3 * own.second / n;
  state.counters["ours_vs_bare"] = own.second / own.first;
  state.counters["flushes_per_pass"] = double(bench_->previews.front()->flushCount() - before) / n;
}

}  // namespace

BENCHMARK(BM_PreviewWindowPass)->UseManualTime()->Unit(benchmark::kMillisecond);

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
    for (int i = 0; i < kPreviews; ++i) {
      auto* preview = static_cast<PreviewWindow*>(
          state.manager->instantiatePluginType(PreviewWindow::kTypeName));
      preview->tapMenuController()->setLastSelectedName(QStringLiteral("cam"));
      preview->tapMenuUsed();
      preview->rateMenuUsed(0);  // every 2nd frame
      QKWindow* window = preview->window();
      window->contentView()->moveWindowToHere(QRectF(
          20 + 340 * (i % 2), 20 + 240 * (i / 2), kViewSize.width() + 6, kViewSize.height() + 37));
      window->show();
      state.previews.push_back(preview);
    }
    const auto exposed = [&] {
      for (PreviewWindow* preview : state.previews)
        if (!preview->previewView()->exposedForDrawing() ||
            preview->previewView()->pixelSize() != kViewSize)
          return false;
      return true;
    };
    for (int i = 0; i < 300 && !exposed(); ++i) {
      QCoreApplication::processEvents();
      QThread::msleep(10);
    }
    if (!exposed())
      std::fprintf(stderr, "views not at 320x180: %dx%d\n",
                   state.previews.front()->previewView()->pixelSize().width(),
                   state.previews.front()->previewView()->pixelSize().height());
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
