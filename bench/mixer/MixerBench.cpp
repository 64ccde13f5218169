// The wet/dry mixer's blend mode at 1920 × 1080 beside a bare two-quad
// blend that draws the same pixels: a target cleared to transparent black,
// the dry texture blended with (GL_SRC_ALPHA, GL_ONE) at its opacity, the
// wet one with (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA) at its opacity, each
// a full-target quad of a minimal textured shader. The mixer goes through
// everything it does per frame (setters, render, draw, the output texture).
//
// Before timing, the two are checked to make the same pixels (within one
// step of eight bits); otherwise nothing is reported. Both run on the
// render thread and end with glFinish; run under Xvfb:
//
//   bash scripts/with-xvfb.sh build/bin/bench_mixer
//
// Each iteration runs both in turn (alternating which goes first); the
// counters give each one's mean time and their ratio.
#include "bench/RenderThreadBench.h"
#include "framework/render/QKBufferHolder.h"
#include "framework/render/QKGL2LayerContext.h"
#include "framework/render/TheApplication.h"
#include "framework/render/WetDryContext.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/PixelUploader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/ShaderProgram.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr float kWetDry = 0.7f;  // both images show: the dry one at 0.6

QImage picture(int seed) {
  QImage image(kWidth, kHeight, QImage::Format_RGBA8888);
  for (int y = 0; y < kHeight; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      row[4 * x + 0] = uchar((x + 37 * seed) & 255);
      row[4 * x + 1] = uchar((y + 11 * seed) & 255);
      row[4 * x + 2] = uchar((x ^ y) + seed);
      row[4 * x + 3] = uchar(128 + ((x / 16 + y / 16 + seed) % 2) * 127);
    }
  }
  return image;
}

const char* kFragment =
    "#version 330 core\nuniform sampler2D tex;\nuniform float opacity;\nout vec4 colour;\n"
    "void main() {\n  vec4 c = texelFetch(tex, ivec2(gl_FragCoord.xy), 0);\n"
    "  colour = vec4(c.rgb, c.a * opacity);\n}\n";

// Render thread state.
struct Scene {
  gl::TextureHandle dry;
  gl::TextureHandle wet;
  QKBufferHolderPtr mixerBuffer;
  gl::TextureHandle bareBuffer;
  std::shared_ptr<WetDryContext> mixer;
  gl::RenderTarget bareTarget;
  gl::ShaderProgram bare;
  float dryOpacity = 0;
  float wetOpacity = 0;
};
Scene* scene = nullptr;

bool setUpScene() {
  scene = new Scene;
  gl::PixelUploader uploader;
  // Uploaded top row first; both loops read them the same way (the bare one
  // row for row, the mixer upright), so their pixels agree when the bare
  // target is read row for row and the mixer's upright.
  scene->dry = uploader.upload(picture(1));
  scene->wet = uploader.upload(picture(2));
  scene->mixerBuffer = QKBufferHolder::create(QSizeF(kWidth, kHeight));
  scene->bareBuffer = gl::TexturePool::shared().acquire(QSize(kWidth, kHeight));
  scene->mixer = WetDryContext::create(gl::RenderThread::instance().mainContext(),
                                       &gl::TexturePool::shared(), QSizeF(kWidth, kHeight));
  const QKGL2LayerContext::Opacities o = QKGL2LayerContext::opacitiesFor(kWetDry);
  scene->dryOpacity = o.dry;
  scene->wetOpacity = o.wet;
  QString error;
  if (!scene->mixer ||
      !scene->bare.build(*gl::GLContext::current(), gl::ShaderProgram::fullTargetVertexSource(),
                         kFragment, &error)) {
    std::fprintf(stderr, "set-up failed %s\n", qPrintable(error));
    return false;
  }
  return true;
}

void tearDownScene() {
  delete scene;
  scene = nullptr;
}

void mixerLoop() {
  WetDryContext& mixer = *scene->mixer;
  mixer.setWetDryValue(kWetDry);
  mixer.setFrontTextureRef(scene->wet);
  mixer.setBackTextureRef(scene->dry);
  mixer.setPBufferRef(scene->mixerBuffer->bufferRef());
  mixer.render();
  mixer.draw();
  benchmark::DoNotOptimize(mixer.textureRef());
  gl::GLContext::current()->functions().glFinish();
}

void bareQuad(gl::GLFunctions& f, const gl::TextureHandle& texture, float opacity,
              GLenum destination) {
  f.glBlendFunc(GL_SRC_ALPHA, destination);
  f.glBindTexture(GL_TEXTURE_2D, texture.name());
  f.glUniform1f(scene->bare.uniform("opacity"), opacity);
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void bareLoop() {
  gl::GLContext& context = *gl::GLContext::current();
  gl::GLFunctions& f = context.functions();
  scene->bareTarget.setBlend({true, GL_SRC_ALPHA, GL_ONE});
  scene->bareTarget.bind(scene->bareBuffer);
  scene->bareTarget.clear(QVector4D(0, 0, 0, 0));
  f.glUseProgram(scene->bare.name());
  f.glUniform1i(scene->bare.uniform("tex"), 0);
  f.glActiveTexture(GL_TEXTURE0);
  f.glBindVertexArray(context.emptyVertexArray());
  bareQuad(f, scene->dry, scene->dryOpacity, GL_ONE);
  bareQuad(f, scene->wet, scene->wetOpacity, GL_ONE_MINUS_SRC_ALPHA);
  f.glBindVertexArray(0);
  f.glBindTexture(GL_TEXTURE_2D, 0);
  f.glUseProgram(0);
  context.invalidateStateCache();  // the blend function was set by hand
  f.glFinish();
}

// Largest channel difference between the two loops' pixels.
int largestDifference() {
  int largest = 255;
  gl::RenderThread::instance().invokeAndWait([&] {
    mixerLoop();
    bareLoop();
    const QImage mixed = gl::TextureReader::read(scene->mixer->textureRef());
    const QImage bare = gl::TextureReader::readRows(scene->bareBuffer);
    largest = bench::largestDifference(mixed, bare);
  });
  return largest;
}

int agreement = 255;

void BM_MixerBlendBesideBareBlend(benchmark::State& state) {
  bench::besideBareOnRenderThread(state, "mixer", mixerLoop, bareLoop, agreement, 1);
}

}  // namespace

int main(int argc, char** argv) {
  return bench::runOnRenderThread(
      argc, argv, setUpScene,
      [] {
        agreement = largestDifference();
        std::fprintf(stderr, "largest difference between the mixer and the bare blend: %d\n",
                     agreement);
        benchmark::RegisterBenchmark("MixerBlendMode", BM_MixerBlendBesideBareBlend)
            ->UseManualTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
      },
      tearDownScene);
}
