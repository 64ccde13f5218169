// The media inspector's `draw`, called by the compositor after every frame
// on the render thread:
// - while it shows no composition (a movie is selected), beside an empty
//   call through the same interface;
// - while it shows a composition at 1920 x 1080 (the preview renders every
//   third frame, draws the picture into a target of the preview's size and
//   reads it back), beside the composition runtime alone rendering the same
//   composition into a framebuffer every third frame with the same small
//   draw and read-back. Both pictures are checked to be the same first.
// The composition case needs OpenGL: run under Xvfb,
//
//   QT_QPA_PLATFORM=xcb bash scripts/with-xvfb.sh build/bin/bench_inspector
//
// (on the offscreen platform only the first case runs).
#include "app/compositor/Compositor.h"
#include "app/compositor/FrameDrawer.h"
#include "app/inspector/MediaInspector.h"
#include "app/inspector/MediaInspectorHost.h"
#include "app/inspector/QKMIQuartzComposerController.h"
#include "app/inspector/QKQCView.h"
#include "app/sources/QKQCSrcGLAttrPubBuffContext.h"
#include "bench/RenderThreadBench.h"
#include "bench/SideBySide.h"
#include "framework/media/QKQCFile.h"
#include "framework/render/TheApplication.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/composition/CompositionDocument.h"
#include "platform/composition/QCRenderer.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"
#include "tests/support/ShaderComposition.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr int kCalls = 1000;  // per iteration, nothing shown
constexpr int kFrames = 30;   // per iteration, a composition shown
const QSize kCanvas(1920, 1080);

class Host : public MediaInspectorHost {
 public:
  QKPageController* pageController() override { return nullptr; }
  Compositor* compositor() override { return compositorObject; }
  Compositor* compositorObject = nullptr;
};

class EmptyDrawer : public FrameDrawer {
 public:
  void draw() override { benchmark::ClobberMemory(); }
};

void BM_InspectorDrawNothingShown(benchmark::State& state) {
  Host host;
  MediaInspector inspector(&host);
  EmptyDrawer empty;
  FrameDrawer* ours = &inspector;
  FrameDrawer* bare = &empty;
  benchmark::DoNotOptimize(ours);
  benchmark::DoNotOptimize(bare);
  const auto [inspectorSeconds, emptySeconds] = bench::sideBySide(
      state,
      [&] {
        for (int i = 0; i < kCalls; ++i) ours->draw();
      },
      [&] {
        for (int i = 0; i < kCalls; ++i) bare->draw();
      });
  const double calls = double(state.iterations()) * kCalls;
  state.counters["inspector_draw_ns"] = 1e9 * inspectorSeconds / calls;
  state.counters["empty_call_ns"] = 1e9 * emptySeconds / calls;
}

// --- A composition shown -----------------------------------------------------------------------

// Several waves per pixel: the picture costs the GPU something, as a
// performer's compositions do.
const char* kShader =
    "uniform float level;\n"
    "vec4 shaderMain() {\n"
    "  vec2 p = texCoord * 12.0;\n"
    "  float v = 0.0;\n"
    "  for (int i = 1; i < 6; ++i) v += sin(p.x * float(i) + cos(p.y * float(i)));\n"
    "  return vec4(level, 0.5 + 0.1 * v, texCoord.y, 1.0);\n"
    "}\n";

struct CompositionBench {
  QTemporaryDir folder;
  Host host;
  std::unique_ptr<Compositor> compositor;
  std::unique_ptr<MediaInspector> inspector;
  QKQCView* view = nullptr;
  // The bare side (render thread).
  std::shared_ptr<composition::QCRenderer> renderer;
  gl::RenderTarget frameTarget;
  gl::TextureHandle frame;
  gl::RenderTarget smallTarget;
  gl::TextureHandle small;
  QImage barePicture;
  int bareCount = 0;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};
CompositionBench* composition_ = nullptr;

void finish() { gl::GLContext::current()->functions().glFinish(); }

void ourFrames() {
  for (int i = 0; i < kFrames; ++i) {
    composition_->inspector->draw();
    finish();
  }
}

void bareSmallDrawAndReadBack(CompositionBench& b) {
  gl::GLContext* context = gl::GLContext::current();
  b.smallTarget.bind(b.small);
  b.smallTarget.clear(QVector4D(0, 0, 0, 1));
  gl::QuadShader::forCurrentContext()->drawUpright(b.frame,
                                                   QRectF(QPointF(0, 0), QSizeF(b.small.size())));
  QImage rows(b.small.size(), QImage::Format_RGBX8888);
  context->functions().glReadPixels(0, 0, rows.width(), rows.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                                    rows.bits());
  b.smallTarget.detach();
  b.barePicture = rows.mirrored(false, true);
}

void bareFrames() {
  CompositionBench& b = *composition_;
  for (int i = 0; i < kFrames; ++i) {
    if (b.bareCount > 1) {
      b.bareCount = -1;
      b.frameTarget.bind(b.frame);
      b.frameTarget.clear(QVector4D(0, 0, 0, 1));
      b.renderer->renderAtTime(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - b.start).count());
      b.frameTarget.detach();
      bareSmallDrawAndReadBack(b);
    }
    ++b.bareCount;
    finish();
  }
}

void BM_InspectorDrawCompositionShown(benchmark::State& state) {
  const long before = composition_->view->drawCount();
  const int agreement = bench::largestDifference(
      composition_->view->picture().convertToFormat(QImage::Format_RGBA8888),
      composition_->barePicture.convertToFormat(QImage::Format_RGBA8888));
  if (agreement > 3) {
    state.SkipWithError("the preview and the bare loop do not make the same pixels");
    return;
  }
  const bench::SideBySideSeconds own =
      bench::sideBySideOnRenderThread(state, ourFrames, bareFrames);
  const double frames = double(state.iterations()) * kFrames;
  state.counters["inspector_frame_us"] = 1e6 * own.first / frames;
  state.counters["bare_frame_us"] = 1e6 * own.second / frames;
  state.counters["inspector_vs_bare"] = own.first / own.second;
  state.counters["renders_per_frame"] = double(composition_->view->drawCount() - before) / frames;
  state.counters["lsb"] = agreement;
}

bool setUpComposition(CompositionBench& b) {
  const QString path =
      writeShaderComposition(b.folder.path(), "Waves.qtz", kShader, "level", "QCNumberPort", 0.75);
  Compositor::Environment environment;
  environment.gpuVendors = {"NVIDIA"};
  environment.compositeFilterNames = {"CISourceOverCompositing"};
  environment.localizedFilterName = [](const QString& name) { return name; };
  environment.applicationFolder = b.folder.path() + "/";
  b.compositor = std::make_unique<Compositor>(std::make_unique<QKTapManager>(), environment);
  b.compositor->layerSizeChangedFrom(QSizeF(), QSizeF(kCanvas));
  b.compositor->canvasSizeChanged(QSizeF(kCanvas));
  b.host.compositorObject = b.compositor.get();
  b.inspector = std::make_unique<MediaInspector>(&b.host);
  b.inspector->awakeFromNib();
  b.inspector->window()->contentView()->expand();
  auto file = QKQCFile::createWithPath(path, "Waves.qtz", b.compositor.get());
  file->setMovieProps({{"allowLiveUpdating", 1}});
  b.inspector->selectTheseFiles({MIEntry{file, {}}});
  QKMIQuartzComposerController* pane = b.inspector->quartzComposerController();
  b.view = pane->quartzComposerView();
  MainThread::processUntil([&] { return b.view->showing(); }, 2.0);
  if (!b.view->showing() || !pane->contextHolder() ||
      pane->contextHolder()->size() != QSizeF(kCanvas)) {
    std::fprintf(stderr, "the composition pane does not show the composition\n");
    return false;
  }
  const auto document = composition::CompositionDocument::load(path);
  bool made = false;
  gl::RenderThread::instance().invokeAndWait([&] {
    b.renderer = document ? composition::QCRenderer::create(document) : nullptr;
    if (b.renderer)
      b.renderer->setValue(QStringLiteral("level"), composition::PortValue::number(0.75));
    b.frame = gl::TexturePool::shared().acquire(kCanvas);
    b.small = gl::TexturePool::shared().acquire(b.view->size());
    b.smallTarget.setViewport(QRect(QPoint(0, 0), b.view->size()));
    b.smallTarget.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(b.view->size())));
    b.smallTarget.setBlend({true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});
    made = b.renderer != nullptr;
  });
  if (!made) {
    std::fprintf(stderr, "the runtime did not take the composition\n");
    return false;
  }
  // Warm both sides up; each has drawn its picture.
  for (int i = 0; i < 3; ++i) {
    bench::onRenderThread(ourFrames);
    bench::onRenderThread(bareFrames);
  }
  return b.view->drawCount() > 0 && !b.barePicture.isNull();
}

}  // namespace

BENCHMARK(BM_InspectorDrawNothingShown)
    ->UseManualTime()
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
  TheApplication app(argc, argv);
  gl::RenderThread::Options options;
  options.paced = false;
  const bool gl = gl::RenderThread::instance().start(options);
  std::unique_ptr<CompositionBench> shown;
  if (gl) {
    shown = std::make_unique<CompositionBench>();
    composition_ = shown.get();
    if (setUpComposition(*shown)) {
      benchmark::AddCustomContext("GL_RENDERER",
                                  gl::RenderThread::instance().rendererName().toStdString());
      benchmark::RegisterBenchmark("BM_InspectorDrawCompositionShown",
                                   BM_InspectorDrawCompositionShown)
          ->UseManualTime()
          ->MinTime(3.0)
          ->Unit(benchmark::kMillisecond);
    }
  } else {
    std::fprintf(stderr, "no OpenGL 3.3 core context: the composition case needs Xvfb\n");
  }
  benchmark::RunSpecifiedBenchmarks();
  if (shown) {
    shown->inspector.reset();
    gl::RenderThread::instance().invokeAndWait([&] {
      shown->renderer.reset();
      shown->frame.reset();
      shown->small.reset();
      shown->frameTarget.detach();
      shown->smallTarget.detach();
    });
    shown->compositor.reset();
    shown.reset();
  }
  if (gl) gl::RenderThread::instance().stop();
  benchmark::Shutdown();
  return 0;
}
