// A filter panel's render context (QKCIGLAttrContext) drawing a blur over a
// background at 1920 × 1080, both images coming from tap choosers, beside
// the bare filter engine applying the same filters to the same textures
// and drawing the result into a target of its own. The context goes through
// everything it does per frame (the panel's hand-off, the taps' frames read
// through their receivers, the inputs set, the result read once and drawn,
// the output texture).
//
// Before timing, the two are checked to make the same pixels; otherwise
// nothing is reported. Both run on the render thread and end with glFinish;
// run under Xvfb:
//
//   bash scripts/with-xvfb.sh build/bin/bench_params
#include "bench/RenderThreadBench.h"
#include "framework/params/CIAttributeLoader.h"
#include "framework/params/CITapElement.h"
#include "framework/params/QKCIGLAttrContext.h"
#include "framework/render/QKBufferHolder.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKRTapStub.h"
#include "framework/taps/QKSTap.h"
#include "framework/taps/QKTapManager.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/PixelUploader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/ImageContext.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

using namespace FilterKeys;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr double kRadius = 6;
const QString kFilterName = QStringLiteral("ZAPHBenchBlurOver");
const QString kBlur = QStringLiteral("CIGaussianBlur");
const QString kOver = QStringLiteral("CISourceOverCompositing");

// The blurred image over the background: two filters of the engine.
image::Image blurOver(image::Filter& blur, image::Filter& over, const image::Image& front,
                      const image::Image& back, double radius) {
  blur.setValue(QVariant::fromValue(front), kInputImage);
  blur.setValue(radius, QStringLiteral("inputRadius"));
  over.setValue(QVariant::fromValue(blur.outputImage()), kInputImage);
  over.setValue(QVariant::fromValue(back), kInputBackgroundImage);
  return over.outputImage();
}

class BlurOverFilter : public image::Filter {
 public:
  explicit BlurOverFilter(const QString& name)
      : image::Filter(name, {kInputImage, kInputBackgroundImage, QStringLiteral("inputRadius")}),
        blur_(image::FilterRegistry::shared().filterWithName(kBlur)),
        over_(image::FilterRegistry::shared().filterWithName(kOver)) {}
  image::Image outputImage() override {
    return blurOver(*blur_, *over_, imageInput(kInputImage), imageInput(kInputBackgroundImage),
                    number(QStringLiteral("inputRadius"), kRadius));
  }

 private:
  std::shared_ptr<image::Filter> blur_;
  std::shared_ptr<image::Filter> over_;
};

void registerFilter() {
  const QVariantMap image{{kClass, kClassImage}, {kType, kTypeImage}};
  image::FilterRegistry::shared().registerFilterName(
      kFilterName, [](const QString& name) { return std::make_shared<BlurOverFilter>(name); },
      {{kInputImage, image},
       {kInputBackgroundImage, image},
       {QStringLiteral("inputRadius"), QVariantMap{{kClass, kClassNumber},
                                                   {kType, kTypeDistance},
                                                   {kMin, 0},
                                                   {kMax, 100},
                                                   {kDefault, kRadius},
                                                   {kUIParameterSet, kUISetBasic}}}});
}

QImage picture(int seed) {
  QImage image(kWidth, kHeight, QImage::Format_RGBA8888);
  for (int y = 0; y < kHeight; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      row[4 * x + 0] = uchar((x + 37 * seed) & 255);
      row[4 * x + 1] = uchar((y + 11 * seed) & 255);
      row[4 * x + 2] = uchar((x ^ y) + seed);
      row[4 * x + 3] = uchar(seed == 1 ? 128 + ((x / 16 + y / 16) % 2) * 127 : 255);
    }
  }
  return image;
}

// A source tap of a live input.
class BenchTap : public QKSTap {
 public:
  explicit BenchTap(const QString& name) : QKSTap(nullptr, name) {}
  QSizeF imageSize() const override { return QSizeF(kWidth, kHeight); }
  void start() { announce(); }
};

struct Scene {
  // Render thread.
  gl::TextureHandle front;
  gl::TextureHandle back;
  gl::TextureHandle input;
  QKBufferHolderPtr buffer;
  gl::TextureHandle bareBuffer;
  gl::RenderTarget bareTarget;
  std::shared_ptr<image::Filter> bareBlur;
  std::shared_ptr<image::Filter> bareOver;
  image::ImageContext bareContext;
  // Main thread.
  std::unique_ptr<QKTapManager> tapManager;
  std::vector<std::shared_ptr<BenchTap>> sources;
  std::shared_ptr<QKCIGLAttrContext> context;
};
Scene* scene = nullptr;

bool setUpTextures() {
  scene = new Scene;
  gl::PixelUploader uploader;
  scene->front = uploader.upload(picture(1));
  scene->back = uploader.upload(picture(2));
  scene->input = uploader.upload(picture(3));
  scene->buffer = QKBufferHolder::create(QSizeF(kWidth, kHeight));
  scene->bareBuffer = gl::TexturePool::shared().acquire(QSize(kWidth, kHeight));
  scene->bareBlur = image::FilterRegistry::shared().filterWithName(kBlur);
  scene->bareOver = image::FilterRegistry::shared().filterWithName(kOver);
  return scene->bareBlur && scene->bareOver;
}

image::Image upright(const gl::TextureHandle& texture) {
  return image::Image::withTexture(texture, QSizeF(kWidth, kHeight), !texture.isFlipped());
}

// Main thread: the context, its two tap choosers bound to the sources.
bool setUpPanel() {
  registerFilter();
  scene->tapManager = std::make_unique<QKTapManager>();
  gl::GLContext* shared = nullptr;
  gl::RenderThread::instance().invokeAndWait(
      [&] { shared = gl::RenderThread::instance().mainContext(); });
  scene->context = QKCIGLAttrContext::create(shared, &gl::TexturePool::shared(),
                                             QSizeF(kWidth, kHeight), kFilterName);
  if (!scene->context || scene->context->attributeLoader()->tapArray().size() != 2) return false;
  const QStringList names{QStringLiteral("Front"), QStringLiteral("Back")};
  const auto& taps = scene->context->attributeLoader()->tapArray();
  for (int i = 0; i < 2; ++i) {
    auto source = std::make_shared<BenchTap>(names[i]);
    source->start();
    scene->sources.push_back(source);
    auto chooser = std::dynamic_pointer_cast<CITapElement>(taps[i]);
    chooser->menuController()->setLastSelectedName(names[i]);
    chooser->tapSourceChanged();
  }
  bool fed = true;
  gl::RenderThread::instance().invokeAndWait([&] {
    for (int i = 0; i < 2; ++i) {
      auto stub = scene->sources[i]->stub();
      fed = fed && stub;
      if (stub) stub->setTextureRef(i == 0 ? scene->front : scene->back);
    }
  });
  return fed;
}

void panelLoop() {
  QKCIGLAttrContext& context = *scene->context;
  context.setPBufferRef(scene->buffer->bufferRef());
  context.render();
  context.drawImage(upright(scene->input));
  benchmark::DoNotOptimize(context.textureRef());
  gl::GLContext::current()->functions().glFinish();
}

void bareLoop() {
  const image::Image result = blurOver(*scene->bareBlur, *scene->bareOver, upright(scene->front),
                                       upright(scene->back), kRadius);
  scene->bareTarget.bind(scene->bareBuffer);
  scene->bareTarget.clear(QVector4D(0, 0, 0, 0));
  scene->bareContext.drawImage(result, QPointF(0, 0), QRectF(0, 0, kWidth, kHeight));
  scene->bareTarget.detach();
  gl::GLContext::current()->functions().glFinish();
}

int largestDifference() {
  int largest = 255;
  gl::RenderThread::instance().invokeAndWait([&] {
    panelLoop();
    bareLoop();
    largest =
        bench::largestDifference(gl::TextureReader::read(scene->context->textureRef()),
                                 gl::TextureReader::read(scene->bareBuffer.withFlipped(false)));
  });
  return largest;
}

int agreement = 255;

void BM_FilterPanelBesideBareFilter(benchmark::State& state) {
  bench::besideBareOnRenderThread(state, "panel", panelLoop, bareLoop, agreement, 1);
}

void tearDown() {
  if (!scene) return;
  scene->bareBlur.reset();
  scene->bareOver.reset();
  delete scene;
  scene = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  return bench::runOnRenderThread(
      argc, argv, setUpTextures,
      [] {
        if (!setUpPanel()) {
          std::fprintf(stderr, "the filter panel could not be set up\n");
          return;
        }
        agreement = largestDifference();
        std::fprintf(stderr, "largest difference between the panel and the bare filters: %d\n",
                     agreement);
        benchmark::RegisterBenchmark("FilterPanelBlurOverTwoTaps", BM_FilterPanelBesideBareFilter)
            ->UseManualTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
      },
      [] {
        if (!scene) return;
        for (auto& source : scene->sources) source->prepareToBeDeleted();
        scene->context.reset();
        tearDown();
      });
}
