// A layer's effect chain of four built-in filters (Bright, Contrast,
// ChannelSlide, QKFilterFullAlpha) over a pre-uploaded 1920 × 1080 texture,
// at wet/dry 1.0 and at 0.5, beside a bare GL loop that runs the same four
// kernel files as full-frame passes (and at 0.5 the same two-quad mix after
// each), ping-ponging between its own textures. Also the filter engine
// called directly with the four filters (one graph, drawn once): the
// chain's own cost is what it adds to that. A chain of four bypassed
// effects is counted with a GL_PRIMITIVES_GENERATED query: it must draw
// nothing.
//
// Each loop ends with glFinish; nothing is uploaded or read back in the
// timed loops. Run under Xvfb:
//
//   bash scripts/with-xvfb.sh build/bin/bench_effects
#include "app/effects/CIFXLoader.h"
#include "app/effects/FilterFXContext.h"
#include "app/effects/LayerChainManager.h"
#include "app/effects/LayerFXChain.h"
#include "app/effects/LayerFXHost.h"
#include "bench/RenderThreadBench.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/filters/CustomFilters.h"
#include "framework/params/CIAttributeLoader.h"
#include "framework/params/QCPanelElement.h"
#include "framework/render/MutableTextureObject.h"
#include "framework/render/QKGL2LayerContext.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/PixelUploader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/ShaderProgram.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"
#include "platform/image/Filter.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/ImageContext.h"
#include "platform/image/Kernel.h"

#include <QFile>
#include <QImage>
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <memory>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr QSize kSize(kWidth, kHeight);
constexpr float kBright = 0.1f;
constexpr float kContrast = 1.2f;

struct Stage {
  const char* filter;
  const char* kernel;
  const char* parameter;  // nullptr: none set
  float value;
};
constexpr std::array<Stage, 4> kStages{{{"Bright", "Bright", "bright", kBright},
                                        {"Contrast", "Contrast", "contrast", kContrast},
                                        {"ChannelSlide", "ChannelSlide", nullptr, 0},
                                        {"QKFilterFullAlpha", "QKFilterFullAlpha", nullptr, 0}}};

QImage picture() {
  QImage image(kWidth, kHeight, QImage::Format_RGBA8888);
  for (int y = 0; y < kHeight; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      row[4 * x + 0] = uchar(x & 255);
      row[4 * x + 1] = uchar(y & 255);
      row[4 * x + 2] = uchar((x ^ y) & 255);
      row[4 * x + 3] = 255;
    }
  }
  return image;
}

// The layer behind the chain: its size and its own buffer.
class BenchHost : public LayerFXHost {
 public:
  QSizeF layerSize() const override { return QSizeF(kSize); }
  gl::TextureHandle pBufferBRef() const override { return bufferB; }
  QString currentSourcePath() const override { return {}; }
  void lockCompositorForRender() override {}
  void unlockCompositorRender() override {}
  gl::TextureHandle bufferB;
};

// A kernel file run as a plain full-target fragment shader: its image read
// with texelFetch at the fragment's own pixel.
QByteArray bareFragmentFor(const char* kernel) {
  QFile file(image::Kernel::kernelDirectory() + QLatin1Char('/') + QLatin1String(kernel) +
             QStringLiteral(".frag"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QByteArrayLiteral(
             "#version 330 core\nout vec4 colour;\n"
             "vec2 destCoord() { return gl_FragCoord.xy; }\n"
             "#define inputImage_sample(p) texelFetch(inputImage, ivec2(p), 0)\n") +
         file.readAll() + QByteArrayLiteral("\nvoid main() { colour = kernelMain(); }\n");
}

const char* kMixFragment =
    "#version 330 core\nuniform sampler2D tex;\nuniform float opacity;\nout vec4 colour;\n"
    "void main() {\n  vec4 c = texelFetch(tex, ivec2(gl_FragCoord.xy), 0);\n"
    "  colour = vec4(c.rgb, c.a * opacity);\n}\n";

struct Scene {
  // Render thread.
  gl::TextureHandle input;
  std::array<gl::TextureHandle, 3> buffers;  // the layers' shared A, B, C
  std::array<gl::TextureHandle, 3> bare;     // the bare loop's own
  std::array<gl::ShaderProgram, 4> kernels;
  gl::ShaderProgram mix;
  gl::RenderTarget bareTarget;
  gl::TextureHandle bareResult;
  gl::RenderTarget engineTarget;
  gl::TextureHandle engineBuffer;
  image::ImageContext engineContext;
  std::array<std::shared_ptr<image::Filter>, 4> engineFilters;
  gl::TextureHandle chainResult;
  float wetDry = 1.0f;
  // Main thread.
  BenchHost host;
  std::unique_ptr<LayerChainManager> manager;
  std::unique_ptr<LayerFXChain> chain;
};
Scene* scene = nullptr;

bool setUpScene() {
  scene = new Scene;
  CustomFilters::initialize();
  gl::PixelUploader uploader;
  scene->input = uploader.upload(picture());
  auto& pool = gl::TexturePool::shared();
  for (auto& buffer : scene->buffers) buffer = pool.acquire(kSize);
  for (auto& buffer : scene->bare) buffer = pool.acquire(kSize);
  scene->host.bufferB = pool.acquire(kSize);
  scene->engineBuffer = pool.acquire(kSize);
  gl::GLContext& context = *gl::GLContext::current();
  QString error;
  for (size_t i = 0; i < kStages.size(); ++i) {
    const QByteArray source = bareFragmentFor(kStages[i].kernel);
    if (source.isEmpty() ||
        !scene->kernels[i].build(context, gl::ShaderProgram::fullTargetVertexSource(), source,
                                 &error)) {
      std::fprintf(stderr, "bare kernel %s: %s\n", kStages[i].kernel, qPrintable(error));
      return false;
    }
    scene->engineFilters[i] = image::FilterRegistry::shared().filterWithName(kStages[i].filter);
    if (!scene->engineFilters[i]) return false;
    scene->engineFilters[i]->setDefaults();
    if (kStages[i].parameter)
      scene->engineFilters[i]->setValue(kStages[i].value, QLatin1String(kStages[i].parameter));
  }
  return scene->mix.build(context, gl::ShaderProgram::fullTargetVertexSource(), kMixFragment,
                          &error);
}

// Main thread: the chain of four filter effects, each parameter set on its
// panel's slider as a performer would.
bool setUpChain() {
  scene->manager = std::make_unique<LayerChainManager>();
  scene->chain = std::make_unique<LayerFXChain>(scene->manager.get());
  scene->chain->setHost(&scene->host);
  for (const Stage& stage : kStages) {
    if (!scene->chain->addCIFXNamed(QLatin1String(stage.filter))) return false;
    if (!stage.parameter) continue;
    auto* effect = static_cast<CIFXLoader*>(scene->chain->fxArray().back().get());
    auto* context = dynamic_cast<FilterFXContext*>(effect->renderContext());
    const auto element =
        context ? context->attributeLoader()->findElementWithKey(QLatin1String(stage.parameter))
                : nullptr;
    auto* slider = element ? dynamic_cast<QKSliderControl*>(element->view()) : nullptr;
    if (!slider) return false;
    slider->setValueWithRangedValue(stage.value, true);
  }
  return true;
}

void setWetDry(float wetDry) {
  scene->wetDry = wetDry;
  for (const auto& element : scene->chain->fxArray())
    static_cast<LayerFXObject*>(element.get())->wetDrySlider()->setValue(wetDry);
}

void setBypassed(bool bypassed) {
  for (const auto& element : scene->chain->fxArray()) {
    element->bypassButton()->setIntValue(bypassed ? 0 : 1, false);
    element->bypassToggleUsed();
  }
}

void chainLoop() {
  MutableTextureObject passed;
  passed.setTextureRef(scene->input);
  passed.setBufferARef(scene->buffers[0]);
  passed.setBufferBRef(scene->buffers[1]);
  passed.setBufferCRef(scene->buffers[2]);
  scene->chain->passPtrThruChain(&passed);
  scene->chainResult = passed.textureRef();
  gl::GLContext::current()->functions().glFinish();
}

void bareDraw(gl::GLFunctions& f, gl::ShaderProgram& program, const gl::TextureHandle& texture) {
  f.glUseProgram(program.name());
  f.glUniform1i(program.uniform("inputImage"), 0);
  f.glUniform1i(program.uniform("tex"), 0);
  f.glBindTexture(GL_TEXTURE_2D, texture.name());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

// The mix of the mixer's blend mode: the dry image added at its opacity,
// the wet one over it at its own.
void bareMix(gl::GLFunctions& f, const gl::TextureHandle& dry, const gl::TextureHandle& wet,
             const gl::TextureHandle& into) {
  const QKGL2LayerContext::Opacities o = QKGL2LayerContext::opacitiesFor(scene->wetDry);
  scene->bareTarget.bind(into);
  scene->bareTarget.clear(QVector4D(0, 0, 0, 0));
  f.glEnable(GL_BLEND);
  f.glUseProgram(scene->mix.name());
  f.glUniform1i(scene->mix.uniform("tex"), 0);
  f.glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  f.glUniform1f(scene->mix.uniform("opacity"), o.dry);
  f.glBindTexture(GL_TEXTURE_2D, dry.name());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  f.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  f.glUniform1f(scene->mix.uniform("opacity"), o.wet);
  f.glBindTexture(GL_TEXTURE_2D, wet.name());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  f.glDisable(GL_BLEND);
}

void bareLoop() {
  gl::GLContext& context = *gl::GLContext::current();
  gl::GLFunctions& f = context.functions();
  scene->bareTarget.setBlend({false, GL_ONE, GL_ZERO});
  f.glActiveTexture(GL_TEXTURE0);
  f.glBindVertexArray(context.emptyVertexArray());
  gl::TextureHandle current = scene->input;
  size_t next = 0;
  for (size_t i = 0; i < kStages.size(); ++i) {
    gl::ShaderProgram& program = scene->kernels[i];
    const gl::TextureHandle effect = scene->bare[next];
    next = (next + 1) % scene->bare.size();
    scene->bareTarget.bind(effect);
    f.glUseProgram(program.name());
    if (kStages[i].parameter)
      f.glUniform1f(program.uniform(kStages[i].parameter), kStages[i].value);
    bareDraw(f, program, current);
    if (scene->wetDry < 1.0f) {
      const gl::TextureHandle mixed = scene->bare[next];
      next = (next + 1) % scene->bare.size();
      bareMix(f, current, effect, mixed);
      current = mixed;
    } else {
      current = effect;
    }
  }
  scene->bareResult = current;
  f.glBindVertexArray(0);
  f.glBindTexture(GL_TEXTURE_2D, 0);
  f.glUseProgram(0);
  context.invalidateStateCache();  // state was set by hand
  f.glFinish();
}

// The four filters as one graph of the engine, drawn once.
void engineLoop() {
  image::Image image = image::Image::fromTexture(scene->input);
  for (const auto& filter : scene->engineFilters) {
    filter->setValue(QVariant::fromValue(image), FilterKeys::kInputImage);
    image = filter->outputImage();
  }
  scene->engineTarget.bind(scene->engineBuffer);
  scene->engineTarget.clear(QVector4D(0, 0, 0, 0));
  scene->engineContext.drawImage(image, QPointF(0, 0), QRectF(0, 0, kWidth, kHeight));
  scene->engineTarget.detach();
  gl::GLContext::current()->functions().glFinish();
}

int agreementAt(float wetDry) {
  setWetDry(wetDry);
  int largest = 255;
  gl::RenderThread::instance().invokeAndWait([&] {
    chainLoop();
    bareLoop();
    largest = bench::largestDifference(gl::TextureReader::read(scene->chainResult),
                                       gl::TextureReader::readRows(scene->bareResult));
  });
  return largest;
}

void BM_ChainBesideBare(benchmark::State& state) {
  const float wetDry = state.range(0) == 100 ? 1.0f : 0.5f;
  const int agreement = agreementAt(wetDry);
  bench::besideBareOnRenderThread(state, "chain", chainLoop, bareLoop, agreement, 2);
  state.SetLabel(wetDry == 1.0f ? "wet/dry 1.0" : "wet/dry 0.5");
}

void BM_ChainBesideEngine(benchmark::State& state) {
  setWetDry(1.0f);
  const bench::SideBySideSeconds own =
      bench::sideBySideOnRenderThread(state, chainLoop, engineLoop);
  const double n = double(state.iterations());
  state.counters["chain_ms"] = 1000 * own.first / n;
  state.counters["engine_ms"] = 1000 * own.second / n;
  state.counters["chain_vs_engine"] = own.first / own.second;
}

// Four bypassed effects: the primitives the pass draws, and its time.
void BM_BypassedChain(benchmark::State& state) {
  setWetDry(1.0f);
  setBypassed(true);
  GLuint primitives = 0;
  gl::RenderThread::instance().invokeAndWait([&] {
    gl::GLFunctions& f = gl::GLContext::current()->functions();
    GLuint query = 0;
    f.glGenQueries(1, &query);
    f.glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    chainLoop();
    f.glEndQuery(GL_PRIMITIVES_GENERATED);
    f.glGetQueryObjectuiv(query, GL_QUERY_RESULT, &primitives);
    f.glDeleteQueries(1, &query);
  });
  double seconds = 0;
  for (auto _ : state) {
    const double once = bench::onRenderThread(chainLoop);
    seconds += once;
    state.SetIterationTime(once);
  }
  state.counters["primitives"] = primitives;
  state.counters["pass_us"] = 1e6 * seconds / double(state.iterations());
  setBypassed(false);
}

}  // namespace

int main(int argc, char** argv) {
  return bench::runOnRenderThread(
      argc, argv, setUpScene,
      [] {
        if (!setUpChain()) {
          std::fprintf(stderr, "the effect chain could not be set up\n");
          return;
        }
        benchmark::RegisterBenchmark("EffectChainFourFilters", BM_ChainBesideBare)
            ->Arg(100)
            ->Arg(50)
            ->UseManualTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("EffectChainBesideEngine", BM_ChainBesideEngine)
            ->UseManualTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("EffectChainBypassed", BM_BypassedChain)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
      },
      [] {
        // On the render thread: its GL objects go; the chain, whose panels
        // are widgets, stays for the process's end.
        if (!scene) return;
        scene->engineFilters = {};
        scene->chain.release();
        scene->manager.release();
        delete scene;
        scene = nullptr;
      });
}
