// A frame of 16 layers in 4 groups of 4 (pre-uploaded 960x540 textures as
// their sources), in GL mode and in filter mode, through the real layers
// and groups, beside a bare GL loop that makes the same draws with the same
// blends (the members into a group framebuffer, the groups onto the
// canvas). One glFinish per frame on each side; nothing is uploaded or read
// back. Also the render lock's hold in createNewLayer beside its whole
// cost. Run under Xvfb.

#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerSizeController.h"
#include "app/sources/VidSourceObject.h"
#include "bench/SideBySide.h"
#include "framework/controls/QKButton.h"
#include "framework/filters/QKFilterAlpha.h"
#include "framework/taps/QKTapManager.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/ImageContext.h"
#include "tests/support/GLTest.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr QSize kLayerSize(960, 540);
constexpr int kGroups = 4;
constexpr int kMembers = 4;

class TextureSource : public VidSourceObject {
 public:
  TextureSource(const QString& name, Layer* layer) : VidSourceObject(name, layer) {
    setBlackFrame(false);
  }
  gl::TextureHandle currentTexture() override { return texture; }
  gl::TextureHandle texture;
};

struct LayerBench {
  std::unique_ptr<Compositor> compositor;
  std::vector<std::shared_ptr<Layer>> groups;
  std::vector<gl::TextureHandle> textures;
  gl::TextureHandle canvas;
  std::vector<gl::TextureHandle> groupBuffers;
  std::unique_ptr<gl::RenderTarget> target;
  std::unique_ptr<gl::RenderTarget> bareTarget;
  std::unique_ptr<image::ImageContext> imageContext;
};
LayerBench* lb_ = nullptr;

void makeLayers() {
  Compositor::Environment environment;
  environment.gpuVendors = {"NVIDIA"};
  lb_->compositor = std::make_unique<Compositor>(std::make_unique<QKTapManager>(), environment);
  Compositor& compositor = *lb_->compositor;
  compositor.registerSourceFactory(VidSourceObject::kTapSource,
                                   [](const QString& name, Layer& layer) {
                                     return std::make_shared<TextureSource>(name, &layer);
                                   });
  compositor.layerSizeChangedFrom(QSizeF(), QSizeF(kLayerSize));
  compositor.canvasSizeChanged(QSizeF(kLayerSize));
  compositor.setDisplaySize(QSizeF(kLayerSize));
  compositor.setCanvasPresentationMode(2);
  for (int g = 0; g < kGroups; ++g) {
    std::vector<Layer*> members;
    for (int m = 0; m < kMembers; ++m) {
      auto layer = compositor.createNewLayer();
      layer->useSourceNamed(Layer::kVideoTap);
      static_cast<TextureSource*>(layer->sourceOfKind(VidSourceObject::kTapSource))->texture =
          lb_->textures[g * kMembers + m];
      layer->setLayerSize(QSizeF(kLayerSize));
      layer->layerSizeController()->sizeButton(LayerSizeController::Stretch)->setIntValue(1, true);
      layer->setDFactor(Layer::kOverFactor);
      layer->useCompModeNamed("CISourceOverCompositing");
      members.push_back(layer.get());
    }
    auto group = compositor.groupLayers(members);
    group->setDFactor(Layer::kOverFactor);
    group->useCompModeNamed("CISourceOverCompositing");
    lb_->groups.push_back(group);
  }
}

void setMode(int mode) {
  lb_->compositor->setContentsRenderingMode(mode);
  for (const auto& group : lb_->groups) group->setContentsRenderingMode(mode);
}

void finish() { gl::GLContext::current()->functions().glFinish(); }

void ourFrame() {
  Compositor& compositor = *lb_->compositor;
  Compositor::FrameState state;
  auto locks = compositor.tryLockForFrame(&state);
  if (!locks) return;
  compositor.render(gl::DisplayLink::Frame{});
  lb_->target->setProjection(gl::RenderTarget::topDownOrtho(QSizeF(kLayerSize)));
  lb_->target->bind(lb_->canvas);
  lb_->target->clear(QVector4D(0, 0, 0, 1));
  compositor.drawContent(state, *lb_->target, *lb_->imageContext);
  locks.reset();
  finish();
}

// The same draws: each group's members bottom to top into its framebuffer,
// then the groups bottom to top onto the canvas, all with the Over blend.
void bareFrame() {
  gl::GLContext* context = gl::GLContext::current();
  gl::QuadShader* quad = gl::QuadShader::forCurrentContext();
  gl::RenderTarget& target = *lb_->bareTarget;
  const gl::GLContext::Blend over{true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
  const QRectF all(QPointF(0, 0), QSizeF(kLayerSize));
  const gl::QuadShader::TexCoords tex{0, 0, float(kLayerSize.width()), float(kLayerSize.height())};
  target.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(kLayerSize)));
  for (int g = 0; g < kGroups; ++g) {
    target.bind(lb_->groupBuffers[g]);
    target.clear(QVector4D(0, 0, 0, 0));
    context->setBlend(over);
    for (int m = kMembers - 1; m >= 0; --m)
      quad->draw(lb_->textures[g * kMembers + m], all, tex, QVector4D(1, 1, 1, 1));
  }
  target.bind(lb_->canvas);
  target.clear(QVector4D(0, 0, 0, 1));
  context->setBlend(over);
  for (int g = kGroups - 1; g >= 0; --g)
    quad->draw(lb_->groupBuffers[g], all, tex, QVector4D(1, 1, 1, 1));
  finish();
}

void BM_GroupedLayerFrame(benchmark::State& state) {
  const int mode = int(state.range(0));
  setMode(mode);
  const auto timed = [](const std::function<void()>& work) {
    double seconds = 0;
    gl::RenderThread::instance().invokeAndWait([&] { seconds = bench::secondsOf(work); });
    return seconds;
  };
  timed(ourFrame);  // buffers and group targets are made at the first frame
  double ours = 0, bare = 0;
  bench::sideBySide(
      state, [&] { bare += timed(bareFrame); }, [&] { ours += timed(ourFrame); });
  const double n = double(state.iterations());
  state.counters["bare_ms"] = 1e3 * bare / n;
  state.counters["ours_ms"] = 1e3 * ours / n;
  state.counters["ours_vs_bare"] = ours / bare;
  state.SetLabel(mode == 1 ? "GL mode" : "filter mode");
}

// The render lock's hold in createNewLayer beside the call's whole cost,
// beside the frame benchmark's 16 layers and 4 groups. In that compositor:
// a second one alive would have its tap manager adopt the new layers' taps
// as well.
void BM_CreateNewLayer(benchmark::State& state) {
  Compositor& compositor = *lb_->compositor;
  using Clock = std::chrono::steady_clock;
  Clock::time_point locked;
  double held = 0, whole = 0;
  compositor.setRenderLockObserver([&](bool nowLocked) {
    if (nowLocked)
      locked = Clock::now();
    else
      held += std::chrono::duration<double>(Clock::now() - locked).count();
  });
  for (auto _ : state) {
    const auto start = Clock::now();
    auto layer = compositor.createNewLayer();
    whole += std::chrono::duration<double>(Clock::now() - start).count();
    state.PauseTiming();
    compositor.deleteThisLayer(layer.get());
    layer.reset();
    state.ResumeTiming();
  }
  compositor.setRenderLockObserver({});
  const double n = double(state.iterations());
  state.counters["lock_hold_us"] = 1e6 * held / n;
  state.counters["whole_us"] = 1e6 * whole / n;
}

}  // namespace

BENCHMARK(BM_GroupedLayerFrame)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateNewLayer)->Unit(benchmark::kMicrosecond);

// Called by the program's main once the render thread runs.
void setUpLayerBench() {
  static LayerBench state;
  lb_ = &state;
  QKFilterAlpha::registerFilter();
  gl::RenderThread::instance().invokeAndWait([] {
    for (int i = 0; i < kGroups * kMembers; ++i)
      lb_->textures.push_back(
          GLTest::solidTexture(kLayerSize, QColor::fromHsv(i * 22, 255, 255, 160)));
    lb_->canvas = gl::TexturePool::shared().acquire(kLayerSize);
    for (int g = 0; g < kGroups; ++g)
      lb_->groupBuffers.push_back(gl::TexturePool::shared().acquire(kLayerSize));
    lb_->target = std::make_unique<gl::RenderTarget>();
    lb_->bareTarget = std::make_unique<gl::RenderTarget>();
    lb_->imageContext = std::make_unique<image::ImageContext>();
  });
  makeLayers();
}

void tearDownLayerBench() {
  if (!lb_) return;
  lb_->groups.clear();
  lb_->compositor->deleteAllLayers();
  lb_->compositor.reset();
  gl::RenderThread::instance().invokeAndWait([] {
    lb_->textures.clear();
    lb_->groupBuffers.clear();
    lb_->canvas.reset();
    lb_->target.reset();
    lb_->bareTarget.reset();
  });
}
