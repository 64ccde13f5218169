// The composition source's frame beside the composition render context
// drawing the same composition straight into a buffer (the source's own
// overhead: its lock, the hand-off of its panel and the layer's buffer),
// and a frame of a layer showing another 1920 × 1080 layer's tap beside
// the producer plus a bare GL draw of its texture. Both sides are checked
// to make the same pixels first and end with one glFinish per frame. Also
// the image source's uploads over 100 frames (one per load). Run under
// Xvfb:
//
//   bash scripts/with-xvfb.sh build/bin/bench_sources
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/compositor/LayerSizeController.h"
#include "framework/controls/QKButton.h"
#include "app/sources/ImageSource.h"
#include "app/sources/QCSource.h"
#include "app/sources/SourceFactories.h"
#include "app/sources/TapSource.h"
#include "bench/RenderThreadBench.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/filters/QKFilterAlpha.h"
#include "framework/media/QKImageFile.h"
#include "framework/media/QKQCFile.h"
#include "framework/render/QKQCGLContext.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/QuadShader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"
#include "platform/image/ImageContext.h"
#include "tests/support/ShaderComposition.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr QSize kSize(1920, 1080);

// A composition of a few sine bands, so that the frame has work to do.
QString writeComposition(const QString& folder) {
  return writeShaderComposition(
      folder, QStringLiteral("Bands.qtz"),
      QStringLiteral("uniform float level;\n"
                     "vec4 shaderMain() {\n"
                     "  float v = 0.5 + 0.5 * sin(40.0 * texCoord.x + 20.0 * texCoord.y);\n"
                     "  return vec4(v * level, texCoord.x, texCoord.y, 1.0);\n"
                     "}\n"),
      QStringLiteral("level"), QStringLiteral("QCNumberPort"), 0.8);
}

struct Scene {
  QTemporaryDir folder;
  std::unique_ptr<Compositor> compositor;
  std::shared_ptr<QKFile> file;
  std::shared_ptr<QKFile> image;
  std::shared_ptr<Layer> producer, viewer, imageLayer;
  // Render thread:
  std::shared_ptr<QKQCGLContext> bare;
  gl::TextureHandle bareBuffer, canvas, bareCanvas;
  std::unique_ptr<gl::RenderTarget> target, bareTarget;
  std::unique_ptr<image::ImageContext> imageContext;
};
Scene* scene = nullptr;

QCSource& qcOf(Layer& layer) {
  return static_cast<QCSource&>(*layer.sourceOfKind(VidSourceObject::kQCSource));
}

void finish() { gl::GLContext::current()->functions().glFinish(); }

// --- The composition source beside the bare context -----------------------------

void sourceFrame() {
  scene->producer->render(gl::DisplayLink::Frame{});
  benchmark::DoNotOptimize(qcOf(*scene->producer).currentTexture());
  finish();
}

void bareContextFrame() {
  QKQCGLContext& context = *scene->bare;
  context.setPBufferRef(scene->bareBuffer);
  context.render();
  context.draw();
  context.setPBufferRef({});
  benchmark::DoNotOptimize(context.textureRef());
  finish();
}

// --- A tap beside the producer and a bare draw of its texture ----------------------

void tapFrame() {
  Compositor::FrameState state;
  auto locks = scene->compositor->tryLockForFrame(&state);
  if (!locks) return;
  scene->compositor->render(gl::DisplayLink::Frame{});
  scene->target->bind(scene->canvas);
  scene->target->clear(QVector4D(0, 0, 0, 1));
  scene->compositor->drawContent(state, *scene->target, *scene->imageContext);
  scene->target->detach();
  finish();
}

void producerAndBareDraw() {
  Compositor::FrameState state;
  auto locks = scene->compositor->tryLockForFrame(&state);
  if (!locks) return;
  scene->producer->render(gl::DisplayLink::Frame{});
  scene->producer->drawToBuffer();
  scene->bareTarget->bind(scene->bareCanvas);
  scene->bareTarget->clear(QVector4D(0, 0, 0, 1));
  gl::QuadShader::forCurrentContext()->drawUpright(scene->producer->postFXTextureRef(),
                                                   QRectF(QPointF(0, 0), QSizeF(kSize)));
  scene->bareTarget->detach();
  finish();
}

int agreementOf(void (*ours)(), void (*bare)(), const gl::TextureHandle* oursTexture,
                const gl::TextureHandle* bareTexture,
                const std::function<gl::TextureHandle()>& own) {
  int largest = 255;
  gl::RenderThread::instance().invokeAndWait([&] {
    tapFrame();  // the layers take their sizes
    for (int i = 0; i < 3; ++i) {
      ours();
      bare();
    }
    const QImage a = gl::TextureReader::read(own ? own() : *oursTexture);
    const QImage b = gl::TextureReader::read(*bareTexture);
    largest = bench::largestDifference(a, b);
    if (qEnvironmentVariableIsSet("ZAPH_BENCH_DEBUG"))
      std::fprintf(stderr, "%dx%d %dx%d %s %s\n", a.width(), a.height(), b.width(), b.height(),
                   qPrintable(a.pixelColor(100, 100).name(QColor::HexArgb)),
                   qPrintable(b.pixelColor(100, 100).name(QColor::HexArgb)));
  });
  return largest;
}

int sourceAgreement = 255, tapAgreement = 255;

void BM_CompositionSourceFrame(benchmark::State& state) {
  bench::besideBareOnRenderThread(state, "source", sourceFrame, bareContextFrame, sourceAgreement,
                                  1);
}

void BM_TapLayerFrame(benchmark::State& state) {
  bench::besideBareOnRenderThread(state, "tap", tapFrame, producerAndBareDraw, tapAgreement, 2);
}

void BM_ImageSourceUploads(benchmark::State& state) {
  // Made here, after the frame benchmarks, whose pixels it would cover.
  if (!scene->imageLayer) {
    scene->imageLayer = scene->compositor->createNewLayer();
    scene->imageLayer->unlockedTriggerFile(scene->image);
    MainThread::processUntil([] { return false; }, 0.2);
  }
  auto& source =
      static_cast<ImageSource&>(*scene->imageLayer->sourceOfKind(VidSourceObject::kImageSource));
  for (auto _ : state) {
    state.PauseTiming();
    source.loadThisFile(scene->image);
    MainThread::processUntil([&] { return !source.decoding(); }, 5);
    const int before = source.uploadCount();
    state.ResumeTiming();
    gl::RenderThread::instance().invokeAndWait([&] {
      for (int i = 0; i < 100; ++i) scene->imageLayer->render(gl::DisplayLink::Frame{});
      finish();
    });
    state.counters["uploads_per_100_frames"] = source.uploadCount() - before;
  }
}

void makeScene() {
  QKFilterAlpha::registerFilter();
  Compositor::Environment environment;
  environment.gpuVendors = {"NVIDIA"};
  environment.compositeFilterNames = {"CISourceOverCompositing"};
  environment.localizedFilterName = [](const QString& name) { return name; };
  scene->compositor = std::make_unique<Compositor>(std::make_unique<QKTapManager>(), environment);
  Compositor& compositor = *scene->compositor;
  SourceFactories::install(compositor);
  compositor.layerSizeChangedFrom(QSizeF(), QSizeF(kSize));
  compositor.canvasSizeChanged(QSizeF(kSize));
  compositor.setDisplaySize(QSizeF(kSize));
  compositor.setCanvasPresentationMode(2);
  const QString path = writeComposition(scene->folder.path());
  scene->file = QKQCFile::createWithPath(path, "Bands.qtz", &compositor);
  scene->file->setMovieProp("useCustomResForQtz", 0);  // the canvas size
  scene->producer = compositor.createNewLayer();
  scene->producer->unlockedTriggerFile(scene->file);
  scene->viewer = compositor.createNewLayer();
  compositor.spinRenderLock();
  scene->viewer->useSourceNamed(Layer::kVideoTap);
  compositor.unlockRenderLock();
  scene->viewer->useTapNamed(scene->producer->layerName());
  LayerSizeController* size = scene->viewer->layerSizeController();
  size->sizeButton(LayerSizeController::Stretch)->setIntValue(1, true);
  size->posButton(LayerSizeController::Onscreen)->setIntValue(1, true);
  QImage picture(kSize, QImage::Format_ARGB32);
  picture.fill(Qt::darkCyan);
  picture.save(scene->folder.path() + "/picture.png");
  scene->image =
      QKImageFile::createWithFilePath(scene->folder.path() + "/picture.png", &compositor);
  MainThread::processUntil([] { return false; }, 0.2);
  gl::RenderThread::instance().invokeAndWait([path] {
    scene->bare = QKQCGLContext::create(path, gl::RenderThread::instance().mainContext(),
                                        &gl::TexturePool::shared(), QSizeF(kSize));
    scene->bareBuffer = gl::TexturePool::shared().acquire(kSize);
    scene->canvas = gl::TexturePool::shared().acquire(kSize);
    scene->bareCanvas = gl::TexturePool::shared().acquire(kSize);
    scene->target = std::make_unique<gl::RenderTarget>();
    scene->target->setProjection(gl::RenderTarget::topDownOrtho(QSizeF(kSize)));
    scene->bareTarget = std::make_unique<gl::RenderTarget>();
    scene->bareTarget->setProjection(gl::RenderTarget::topDownOrtho(QSizeF(kSize)));
    scene->imageContext = std::make_unique<image::ImageContext>();
  });
}

}  // namespace

int main(int argc, char** argv) {
  return bench::runOnRenderThread(
      argc, argv,
      [] {
        scene = new Scene;
        return true;
      },
      [] {
        makeScene();
        // The producer shows only through the tap; the viewer covers the canvas.
        scene->producer->alphaSlider()->setValueWithRangedValue(0.0f, true);
        sourceAgreement = agreementOf(sourceFrame, bareContextFrame, nullptr, &scene->bareBuffer,
                                      [] { return qcOf(*scene->producer).currentTexture(); });
        tapAgreement =
            agreementOf(tapFrame, producerAndBareDraw, &scene->canvas, &scene->bareCanvas, {});
        if (qEnvironmentVariableIsSet("ZAPH_BENCH_DEBUG"))
          std::fprintf(stderr, "layer %gx%g render %gx%g\n", scene->producer->layerSize().width(),
                       scene->producer->layerSize().height(),
                       qcOf(*scene->producer).renderSize().width(),
                       qcOf(*scene->producer).renderSize().height());
        std::fprintf(stderr, "largest differences: source %d, tap %d\n", sourceAgreement,
                     tapAgreement);
        benchmark::RegisterBenchmark("CompositionSourceFrame", BM_CompositionSourceFrame)
            ->UseManualTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("TapLayerFrame", BM_TapLayerFrame)
            ->UseManualTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("ImageSourceUploads", BM_ImageSourceUploads)
            ->Iterations(5)
            ->Unit(benchmark::kMillisecond);
      },
      [] {
        if (!scene) return;
        scene->bare.reset();
        scene->bareBuffer.reset();
        scene->canvas.reset();
        scene->bareCanvas.reset();
        scene->target.reset();
        scene->bareTarget.reset();
        scene->imageContext.reset();
      });
}
