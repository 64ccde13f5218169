// One whole output frame (restore gate, locks, tap pass, composite into the
// canvas, present into the output window and swap) of N pre-uploaded
// 1920x1080 layer textures, in GL mode and in filter mode, beside a bare GL
// loop that draws the same N textures with the same blend straight into the
// presenting window and swaps. In GL mode ours draws straight into the window
// too (counter "straight_into_window"), as nothing reads the canvas. One
// glFinish per frame on each side; nothing is uploaded or read back. Run
// under Xvfb (its screen is 1920x1080).

#include "app/compositor/Compositor.h"
#include "app/compositor/CompositorGLView.h"
#include "app/compositor/CompositorLayer.h"
#include "bench/SideBySide.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/QuadShader.h"
#include "framework/render/TheApplication.h"
#include "platform/gl/RenderThread.h"
#include "platform/image/Filter.h"
#include "platform/image/FilterRegistry.h"
#include "tests/support/GLTest.h"

#include <QCoreApplication>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr QSize kSize(1920, 1080);
constexpr int kMaxLayers = 8;

// A layer showing one texture over the canvas, half opaque, composited with
// GL_SRC_ALPHA / GL_ONE_MINUS_SRC_ALPHA (GL mode) or "CISourceOverCompositing"
// (filter mode; the filter catalogue has no "QKFilterAlpha" yet, so the
// image goes unfaded there).
class BenchLayer : public CompositorLayer {
 public:
  explicit BenchLayer(gl::TextureHandle texture)
      : texture_(std::move(texture)),
        comp_(image::FilterRegistry::shared().filterWithName("CISourceOverCompositing")) {}
  QString layerName() const override { return {}; }
  QSizeF layerSize() const override { return QSizeF(kSize); }
  int depth() const override { return 0; }
  int orderedLayerIndex() const override { return 0; }
  void lockForRender() override { mutex_.lock(); }
  bool tryLockForRender() override { return mutex_.try_lock(); }
  void unlockRender() override { mutex_.unlock(); }
  void render(const gl::DisplayLink::Frame&) override {}
  void drawToBuffer() override {}
  image::Image drawAndGetCIContentForCanvas() override {
    return image::Image::fromTexture(texture_);
  }
  int compRenderingMode() const override { return kFilterComp; }
  float renderAlphaVal() const override { return 1.0f; }
  image::Filter* alphaFilter() override { return nullptr; }
  image::Filter* ciCompFilter() override { return comp_.get(); }
  CompModeContext* qcCompContext() override { return nullptr; }
  void drawGLContent() override {
    gl::GLContext* context = gl::GLContext::current();
    context->setBlend(gl::GLContext::Blend{true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});
    gl::QuadShader::forCurrentContext()->drawUpright(
        texture_, QRectF(QPointF(0, 0), QSizeF(context->viewport().size())));
  }

 private:
  gl::TextureHandle texture_;
  std::shared_ptr<image::Filter> comp_;
  std::mutex mutex_;
};

struct Bench {
  std::unique_ptr<Compositor> compositor;
  std::unique_ptr<CompositorGLView> view;
  std::vector<gl::TextureHandle> textures;
};
Bench* bench_ = nullptr;

void finish() { gl::RenderThread::instance().mainContext()->functions().glFinish(); }

void bareFrame(int layers) {
  gl::PresentingWindow* window = bench_->view->window();
  gl::GLContext* context = window->beginFrame();
  if (!context) return;
  context->functions().glClearColor(0, 0, 0, 1);
  context->functions().glClear(GL_COLOR_BUFFER_BIT);
  context->setBlend(gl::GLContext::Blend{true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});
  gl::QuadShader* quad = gl::QuadShader::forCurrentContext();
  for (int i = layers - 1; i >= 0; --i)
    quad->drawUpright(bench_->textures[i], QRectF(QPointF(0, 0), QSizeF(window->pixelSize())));
  context->functions().glFinish();
  window->endFrame();
}

void ourFrame() {
  bench_->view->displayLinkOutputCallback(gl::DisplayLink::Frame{});
  finish();
}

void BM_OutputFrame(benchmark::State& state) {
  const int layers = int(state.range(0));
  const int mode = int(state.range(1));
  std::vector<Compositor::LayerPtr> stack;
  for (int i = 0; i < layers; ++i)
    stack.push_back(std::make_shared<BenchLayer>(bench_->textures[i]));
  bench_->compositor->setLayerArray(stack);
  bench_->compositor->setContentsRenderingMode(mode);
  const auto timed = [](const std::function<void()>& work) {
    double seconds = 0;
    gl::RenderThread::instance().invokeAndWait([&] { seconds = bench::secondsOf(work); });
    return seconds;
  };
  double ours = 0, bare = 0;
  timed(ourFrame);  // a first frame learns the window's format after a mode change
  bench::sideBySide(
      state, [&] { bare += timed([&] { bareFrame(layers); }); }, [&] { ours += timed(ourFrame); });
  const double n = double(state.iterations());
  state.counters["bare_ms"] = 1e3 * bare / n;
  state.counters["ours_ms"] = 1e3 * ours / n;
  state.counters["ours_vs_bare"] = ours / bare;
  state.counters["straight_into_window"] = bench_->view->drewStraightIntoWindow() ? 1 : 0;
  state.SetLabel(mode == 1 ? "GL mode" : "filter mode");
  bench_->compositor->setLayerArray({});
}

bool setUp() {
  for (int i = 0; i < kMaxLayers; ++i) {
    QColor colour = QColor::fromHsv(i * 40, 255, 255, 128);
    bench_->textures.push_back(GLTest::solidTexture(kSize, colour));
  }
  return true;
}

}  // namespace

// LayerFrameBench.cpp
void setUpLayerBench();
void tearDownLayerBench();

BENCHMARK(BM_OutputFrame)
    ->ArgsProduct({{1, 2, 4, 8}, {1, 0}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The program of bench::runOnRenderThread, with the windows made and
// destroyed on the main thread while the application lives.
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
  Bench state;
  bench_ = &state;
  state.compositor =
      std::make_unique<Compositor>(nullptr, Compositor::Environment{.gpuVendors = {QStringLiteral("NVIDIA")}});
  state.compositor->awake();
  state.view = std::make_unique<CompositorGLView>(state.compositor.get());
  state.view->awake(-1);
  state.view->setConstrainOutputWindow(false);
  state.view->window()->setFullscreenStyle(true);
  state.view->window()->setGeometry(QRect(QPoint(0, 0), kSize));
  state.view->window()->show();
  state.view->setCanvasSize(QSizeF(kSize));
  for (int i = 0; i < 200 && !state.view->window()->exposedForDrawing(); ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(10);
  }
  state.view->reshape();
  state.view->startDisplayLink();
  gl::RenderThread::instance().invokeAndWait([] { setUp(); });
  benchmark::AddCustomContext("GL_RENDERER",
                              gl::RenderThread::instance().rendererName().toStdString());
  setUpLayerBench();
  benchmark::RunSpecifiedBenchmarks();
  tearDownLayerBench();
  gl::RenderThread::instance().invokeAndWait([] { bench_->textures.clear(); });
  state.view.reset();
  state.compositor.reset();
  gl::RenderThread::instance().stop();
  benchmark::Shutdown();
  return 0;
}
