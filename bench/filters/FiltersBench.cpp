// Three built-in filters at 1920 × 1080 beside bare GL passes doing the
// same maths, on pre-uploaded textures, one glFinish per frame each side
// and no read-back:
//
// - Trails: one RGB_Trails step (kernel, store into the half-float
//   accumulator, read of its image) beside one pass reading the input and
//   the previous texture into a ping-pong pair of RGBA16F textures.
// - Zoom: QKZoom at level 2 drawn into a target beside one pass sampling
//   the scaled input (bilinear on premultiplied colour, as the filter).
// - ChromaDuotone: ChromaMask then TwoColorDuotone (joined into one pass)
//   beside one pass doing both formulas.
// - LayerMask: a 960 × 540 mask fitted onto the input and keyed by its luma,
//   drawn into a target, beside one pass sampling the input and the scaled
//   mask (bilinear, as the filter) and writing the same keyed alpha.
//
// Before timing, each pair is checked to make the same pixels (within two
// steps of eight bits); otherwise it is skipped. Run under Xvfb:
//
//   bash scripts/with-xvfb.sh build/bin/bench_filters
#include "bench/RenderThreadBench.h"
#include "framework/filters/CustomFilters.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/PixelUploader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/ShaderProgram.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"
#include "platform/image/FilterKeys.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/ImageContext.h"

#include <QColor>
#include <QImage>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
const QRectF kExtent(0, 0, kWidth, kHeight);

QImage picture(int seed) {
  QImage image(kWidth, kHeight, QImage::Format_RGBA8888);
  for (int y = 0; y < kHeight; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      row[4 * x + 0] = uchar((x + 37 * seed) & 255);
      row[4 * x + 1] = uchar((y + 11 * seed) & 255);
      row[4 * x + 2] = uchar((x ^ y) + seed);
      row[4 * x + 3] = 255;
    }
  }
  return image;
}

const char* kTrailsFragment = R"(#version 330 core
uniform sampler2D inputImage;
uniform sampler2D previous;
uniform vec4 weights;
out vec4 colour;
void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  vec4 a = texelFetch(inputImage, p, 0);
  vec4 b = texelFetch(previous, p, 0);
  colour = mix(vec4(a.rgb * a.a, a.a), b, weights);
}
)";

// Bilinear on premultiplied colour around the scaled point, transparent
// beyond the picture.
const char* kZoomFragment = R"(#version 330 core
uniform sampler2D inputImage;
uniform float level;
out vec4 colour;
vec4 at(ivec2 t) {
  if (any(lessThan(t, ivec2(0))) || any(greaterThanEqual(t, textureSize(inputImage, 0))))
    return vec4(0.0);
  vec4 c = texelFetch(inputImage, t, 0);
  return vec4(c.rgb * c.a, c.a);
}
void main() {
  vec2 size = vec2(textureSize(inputImage, 0));
  vec2 q = size * 0.5 + (gl_FragCoord.xy - size * 0.5) / level - 0.5;
  vec2 base = floor(q);
  vec2 f = q - base;
  ivec2 t = ivec2(base);
  vec4 c = mix(mix(at(t), at(t + ivec2(1, 0)), f.x), mix(at(t + ivec2(0, 1)), at(t + ivec2(1)), f.x), f.y);
  colour = c.a > 0.0 ? vec4(c.rgb / c.a, c.a) : vec4(0.0);
}
)";

// The mask's luma keys the input's alpha, shaped about mid-grey by contrast
// and raised by offset.
const char* kLayerMaskFragment = R"(#version 330 core
uniform sampler2D inputImage;
uniform sampler2D maskImage;
uniform vec2 inputSize;
uniform float contrast;
uniform float offset;
out vec4 colour;
void main() {
  vec4 c = texelFetch(inputImage, ivec2(gl_FragCoord.xy), 0);
  vec4 m = texture(maskImage, gl_FragCoord.xy / inputSize);
  float luma = dot(m.rgb, vec3(0.299, 0.587, 0.114)) * m.a;
  float key = clamp((luma - 0.5) * contrast + 0.5 + offset, 0.0, 1.0);
  colour = vec4(c.rgb, c.a * key);
}
)";

const char* kChromaDuotoneFragment = R"(#version 330 core
uniform sampler2D inputImage;
uniform vec3 keyColor;
uniform float keyRange;
uniform float range;
uniform vec3 lowColor;
uniform vec3 highColor;
out vec4 colour;
void main() {
  vec4 c = texelFetch(inputImage, ivec2(gl_FragCoord.xy), 0);
  if (distance(c.rgb, keyColor) < keyRange) c.a = 0.0;
  float luma = dot(c.rgb, vec3(0.2125, 0.7154, 0.0721));
  colour = vec4(luma > range ? highColor : lowColor, c.a);
}
)";

constexpr int kMaskWidth = kWidth / 2;
constexpr int kMaskHeight = kHeight / 2;

// Soft bands of grey with a little colour: every key from 0 to 1.
QImage maskPicture() {
  QImage image(kMaskWidth, kMaskHeight, QImage::Format_RGBA8888);
  for (int y = 0; y < kMaskHeight; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < kMaskWidth; ++x) {
      const int grey = (x + 2 * y) & 255;
      row[4 * x + 0] = uchar(grey);
      row[4 * x + 1] = uchar(grey);
      row[4 * x + 2] = uchar(255 - grey);
      row[4 * x + 3] = 255;
    }
  }
  return image;
}

struct Scene {
  gl::TextureHandle inputs[2];
  image::Image images[2];  // the same textures, rows as the bare passes read them
  int frame = 0;

  std::shared_ptr<image::Filter> trails;
  gl::TextureHandle pingPong[2];
  int written = 0;
  gl::ShaderProgram trailsPass;

  std::shared_ptr<image::Filter> zoom;
  std::shared_ptr<image::Filter> chroma;
  std::shared_ptr<image::Filter> duotone;
  gl::TextureHandle oursTarget;
  gl::TextureHandle bareTarget;
  gl::RenderTarget target;
  gl::ShaderProgram zoomPass;
  gl::ShaderProgram chromaDuotonePass;

  std::shared_ptr<image::Filter> layerMask;
  gl::TextureHandle mask;
  image::Image maskImage;
  gl::ShaderProgram layerMaskPass;
};
Scene* scene = nullptr;

bool build(gl::ShaderProgram& program, const char* fragment) {
  QString error;
  if (program.build(*gl::GLContext::current(), gl::ShaderProgram::fullTargetVertexSource(),
                    fragment, &error))
    return true;
  std::fprintf(stderr, "bare pass: %s\n", qPrintable(error));
  return false;
}

bool setUpScene() {
  CustomFilters::initialize();
  scene = new Scene;
  gl::PixelUploader uploader;
  for (int i = 0; i < 2; ++i) {
    scene->inputs[i] = uploader.upload(picture(i + 1));
    // Texture row y is image row y, as texelFetch at gl_FragCoord reads it.
    scene->images[i] = image::Image::withTexture(scene->inputs[i], kExtent.size(), true);
  }
  auto& registry = image::FilterRegistry::shared();
  scene->trails = registry.filterWithName("RGB_Trails");
  for (const char* key : {"rWeight", "gWeight", "bWeight", "aWeight"})
    scene->trails->setValue(0.5, QLatin1String(key));
  scene->zoom = registry.filterWithName("QKZoom");
  scene->zoom->setValue(2.0, "level");
  scene->chroma = registry.filterWithName("ChromaMask");
  scene->chroma->setValue(QColor::fromRgbF(0.2f, 0.5f, 0.4f), "keyColor");
  scene->chroma->setValue(0.3, "range");
  scene->duotone = registry.filterWithName("TwoColorDuotone");
  scene->duotone->setValue(0.4, "range");
  for (auto& texture : scene->pingPong)
    texture = gl::TexturePool::shared().acquire(
        QSize(kWidth, kHeight), gl::TextureTarget::Texture2D, gl::TextureFormat::RGBA16F);
  scene->layerMask = registry.filterWithName("LayerMask");
  scene->mask = uploader.upload(maskPicture());
  scene->maskImage = image::Image::withTexture(scene->mask, QSizeF(kMaskWidth, kMaskHeight), true);
  scene->oursTarget = gl::TexturePool::shared().acquire(QSize(kWidth, kHeight));
  scene->bareTarget = gl::TexturePool::shared().acquire(QSize(kWidth, kHeight));
  scene->target.setBlend(gl::GLContext::Blend{});
  return scene->trails && scene->zoom && scene->chroma && scene->duotone && scene->layerMask &&
         build(scene->trailsPass, kTrailsFragment) && build(scene->zoomPass, kZoomFragment) &&
         build(scene->chromaDuotonePass, kChromaDuotoneFragment) &&
         build(scene->layerMaskPass, kLayerMaskFragment);
}

void tearDownScene() {
  delete scene;
  scene = nullptr;
}

void finish() { gl::GLContext::current()->functions().glFinish(); }

const image::Image& nextInput() { return scene->images[scene->frame++ % 2]; }

// Draws a full-target pass of `program` into `texture`, its samplers bound
// in order to units 0, 1 ….
void bareDraw(gl::ShaderProgram& program, const gl::TextureHandle& texture,
              std::initializer_list<std::pair<const char*, GLuint>> samplers,
              const std::function<void(gl::GLFunctions&)>& uniforms) {
  gl::GLContext& context = *gl::GLContext::current();
  gl::GLFunctions& f = context.functions();
  scene->target.bind(texture);
  f.glUseProgram(program.name());
  int unit = 0;
  for (const auto& [name, textureName] : samplers) {
    f.glActiveTexture(GL_TEXTURE0 + unit);
    f.glBindTexture(GL_TEXTURE_2D, textureName);
    f.glUniform1i(program.uniform(name), unit++);
  }
  uniforms(f);
  f.glBindVertexArray(context.emptyVertexArray());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  f.glBindVertexArray(0);
  for (int i = unit - 1; i >= 0; --i) {
    f.glActiveTexture(GL_TEXTURE0 + i);
    f.glBindTexture(GL_TEXTURE_2D, 0);
  }
  f.glUseProgram(0);
  scene->target.detach();
  context.invalidateStateCache();
}

void oursDraw(const image::Image& image) {
  scene->target.bind(scene->oursTarget);
  image::ImageContext().drawImage(image, QPointF(0, 0), kExtent);
  scene->target.detach();
}

// --- Trails ------------------------------------------------------------------

void trailsOurs() {
  scene->trails->setValue(QVariant::fromValue(nextInput()), FilterKeys::kInputImage);
  const image::Image out = scene->trails->outputImage();
  benchmark::DoNotOptimize(out.texture().name());
  finish();
}

void trailsBareStep(const gl::TextureHandle& input) {
  const gl::TextureHandle& previous = scene->pingPong[scene->written];
  scene->written = 1 - scene->written;
  bareDraw(scene->trailsPass, scene->pingPong[scene->written],
           {{"inputImage", input.name()}, {"previous", previous.name()}}, [](gl::GLFunctions& f) {
             f.glUniform4f(scene->trailsPass.uniform("weights"), 0.5f, 0.5f, 0.5f, 0.5f);
           });
}

void trailsBare() {
  trailsBareStep(scene->inputs[scene->frame++ % 2]);
  finish();
}

int trailsAgreement() {
  // Both start from the first picture (the filter restarts on it) and take
  // the same steps.
  scene->frame = 0;
  bareDraw(
      scene->trailsPass, scene->pingPong[scene->written],
      {{"inputImage", scene->inputs[0].name()}, {"previous", scene->inputs[0].name()}},
      [](gl::GLFunctions& f) { f.glUniform4f(scene->trailsPass.uniform("weights"), 0, 0, 0, 0); });
  image::Image ours;
  for (int step = 0; step < 5; ++step) {
    scene->trails->setValue(QVariant::fromValue(scene->images[step % 2]), FilterKeys::kInputImage);
    ours = scene->trails->outputImage();
    trailsBareStep(scene->inputs[step % 2]);
  }
  return bench::largestDifference(gl::TextureReader::readRows(ours.texture()),
                                  gl::TextureReader::readRows(scene->pingPong[scene->written]));
}

// --- Zoom --------------------------------------------------------------------

void zoomOurs() {
  scene->zoom->setValue(QVariant::fromValue(nextInput()), FilterKeys::kInputImage);
  oursDraw(scene->zoom->outputImage());
  finish();
}

void zoomBareDraw(const gl::TextureHandle& input) {
  bareDraw(scene->zoomPass, scene->bareTarget, {{"inputImage", input.name()}},
           [](gl::GLFunctions& f) { f.glUniform1f(scene->zoomPass.uniform("level"), 2.0f); });
}

void zoomBare() {
  zoomBareDraw(scene->inputs[scene->frame++ % 2]);
  finish();
}

// --- Chroma mask and duotone --------------------------------------------------

void chromaDuotoneOurs() {
  scene->chroma->setValue(QVariant::fromValue(nextInput()), FilterKeys::kInputImage);
  scene->duotone->setValue(QVariant::fromValue(scene->chroma->outputImage()),
                           FilterKeys::kInputImage);
  oursDraw(scene->duotone->outputImage());
  finish();
}

void chromaDuotoneBareDraw(const gl::TextureHandle& input) {
  bareDraw(scene->chromaDuotonePass, scene->bareTarget, {{"inputImage", input.name()}},
           [](gl::GLFunctions& f) {
             gl::ShaderProgram& p = scene->chromaDuotonePass;
             f.glUniform3f(p.uniform("keyColor"), 0.2f, 0.5f, 0.4f);
             f.glUniform1f(p.uniform("keyRange"), 0.3f);
             f.glUniform1f(p.uniform("range"), 0.4f);
             f.glUniform3f(p.uniform("lowColor"), 1, 0, 0);
             f.glUniform3f(p.uniform("highColor"), 0, 1, 0);
           });
}

void chromaDuotoneBare() {
  chromaDuotoneBareDraw(scene->inputs[scene->frame++ % 2]);
  finish();
}

// --- Layer mask ----------------------------------------------------------------

void layerMaskOurs() {
  scene->layerMask->setValue(QVariant::fromValue(nextInput()), FilterKeys::kInputImage);
  scene->layerMask->setValue(QVariant::fromValue(scene->maskImage), "maskImage");
  oursDraw(scene->layerMask->outputImage());
  finish();
}

// The mask texture samples bilinearly and clamps (our textures' defaults),
// as the filter reads a scaled image.
void layerMaskBareDraw(const gl::TextureHandle& input) {
  bareDraw(scene->layerMaskPass, scene->bareTarget,
           {{"inputImage", input.name()}, {"maskImage", scene->mask.name()}},
           [](gl::GLFunctions& g) {
             gl::ShaderProgram& p = scene->layerMaskPass;
             g.glUniform2f(p.uniform("inputSize"), float(kWidth), float(kHeight));
             g.glUniform1f(p.uniform("contrast"), 1.0f);
             g.glUniform1f(p.uniform("offset"), 0.0f);
           });
}

void layerMaskBare() {
  layerMaskBareDraw(scene->inputs[scene->frame++ % 2]);
  finish();
}

// The two targets after one frame of each from the same picture.
int targetsAgreement(void (*ours)(), void (*bareDraw)(const gl::TextureHandle&)) {
  scene->frame = 0;
  ours();
  bareDraw(scene->inputs[0]);
  return bench::largestDifference(gl::TextureReader::readRows(scene->oursTarget),
                                  gl::TextureReader::readRows(scene->bareTarget));
}

int trailsMatch = 255, zoomMatch = 255, chromaMatch = 255, layerMaskMatch = 255;

void BM_Trails(benchmark::State& state) {
  bench::besideBareOnRenderThread(state, "trails", trailsOurs, trailsBare, trailsMatch, 2);
}
void BM_Zoom(benchmark::State& state) {
  bench::besideBareOnRenderThread(state, "zoom", zoomOurs, zoomBare, zoomMatch, 2);
}
void BM_ChromaDuotone(benchmark::State& state) {
  bench::besideBareOnRenderThread(state, "chroma_duotone", chromaDuotoneOurs, chromaDuotoneBare,
                                  chromaMatch, 2);
}
void BM_LayerMask(benchmark::State& state) {
  bench::besideBareOnRenderThread(state, "layer_mask", layerMaskOurs, layerMaskBare, layerMaskMatch,
                                  2);
}

}  // namespace

int main(int argc, char** argv) {
  return bench::runOnRenderThread(
      argc, argv, setUpScene,
      [] {
        gl::RenderThread::instance().invokeAndWait([] {
          trailsMatch = trailsAgreement();
          zoomMatch = targetsAgreement(zoomOurs, zoomBareDraw);
          chromaMatch = targetsAgreement(chromaDuotoneOurs, chromaDuotoneBareDraw);
          layerMaskMatch = targetsAgreement(layerMaskOurs, layerMaskBareDraw);
        });
        std::fprintf(stderr,
                     "largest differences from the bare passes: trails %d, zoom %d, "
                     "chroma and duotone %d, layer mask %d\n",
                     trailsMatch, zoomMatch, chromaMatch, layerMaskMatch);
        using Function = void (*)(benchmark::State&);
        const std::pair<const char*, Function> all[] = {
            {"RGBTrailsStep", BM_Trails},
            {"QKZoomLevel2", BM_Zoom},
            {"ChromaMaskThenTwoColorDuotone", BM_ChromaDuotone},
            {"LayerMask960x540On1920x1080", BM_LayerMask}};
        for (const auto& [name, function] : all)
          benchmark::RegisterBenchmark(name, function)
              ->UseManualTime()
              ->MinTime(2.0)
              ->Unit(benchmark::kMillisecond);
      },
      tearDownScene);
}
