// The shipped "Crossfade.qtz" played through the composition render context
// at 1920 × 1080 beside a bare GL loop that draws the same fragment shader
// with the same two textures and opacity: bind a target, clear it, set the
// uniforms, bind both textures, one full-target strip. The context goes
// through everything it does per frame (render, the three inputs set on its
// renderer, draw into the owner's buffer, the output texture), the graph
// evaluated as it is every frame.
//
// Before timing, the two are checked to make the same pixels; otherwise
// nothing is reported. Both run on the render thread and end with glFinish;
// run under Xvfb:
//
//   bash scripts/with-xvfb.sh build/bin/bench_composition
//
// Each iteration runs both in turn (alternating which goes first); the
// counters give each one's mean time and their ratio.
#include "bench/RenderThreadBench.h"
#include "framework/render/QCUtils.h"
#include "framework/render/QKBufferHolder.h"
#include "framework/render/QKQCGLContext.h"
#include "framework/render/TheApplication.h"
#include "platform/composition/CompositionDocument.h"
#include "platform/composition/CompositionGraph.h"
#include "platform/composition/QCRenderer.h"
#include "platform/composition/ShaderSource.h"
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
constexpr float kOpacity = 0.4f;

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

// Render thread state.
struct Scene {
  gl::TextureHandle foreground;
  gl::TextureHandle background;
  QKBufferHolderPtr contextBuffer;
  gl::TextureHandle bareBuffer;
  std::shared_ptr<QKQCGLContext> context;
  gl::RenderTarget bareTarget;
  gl::ShaderProgram bare;
};
Scene* scene = nullptr;

// The crossfade's own fragment shader, as the runtime compiles it.
QByteArray crossfadeProgram(const QString& path) {
  const auto document = composition::CompositionDocument::load(path);
  if (!document) return {};
  for (const auto& node : document->graph().nodes) {
    if (node.fragmentSource.isEmpty()) continue;
    composition::ShaderSource source;
    if (source.parse(node.fragmentSource, nullptr)) return source.programText();
  }
  return {};
}

bool setUpScene(const QString& path) {
  scene = new Scene;
  gl::PixelUploader uploader;
  scene->foreground = uploader.upload(picture(1));
  scene->background = uploader.upload(picture(2));
  scene->contextBuffer = QKBufferHolder::create(QSizeF(kWidth, kHeight));
  scene->bareBuffer = gl::TexturePool::shared().acquire(QSize(kWidth, kHeight));
  scene->context = QKQCGLContext::create(path, gl::RenderThread::instance().mainContext(),
                                         &gl::TexturePool::shared(), QSizeF(kWidth, kHeight));
  QString error;
  if (!scene->context ||
      !scene->bare.build(*gl::GLContext::current(), composition::ShaderSource::vertexSource(),
                         crossfadeProgram(path), &error)) {
    std::fprintf(stderr, "set-up failed %s\n", qPrintable(error));
    return false;
  }
  return true;
}

void tearDownScene() {
  delete scene;
  scene = nullptr;
}

void contextLoop() {
  QKQCGLContext& context = *scene->context;
  context.setPBufferRef(scene->contextBuffer->bufferRef());
  context.render();
  if (const auto& renderer = context.renderer()) {
    renderer->setImage(QStringLiteral("foreground"), scene->foreground);
    renderer->setImage(QStringLiteral("background"), scene->background);
    renderer->setNumber(QStringLiteral("opacity"), kOpacity);
  }
  context.drawToTransparentBG();
  benchmark::DoNotOptimize(context.textureRef());
  gl::GLContext::current()->functions().glFinish();
}

void bindImage(gl::GLFunctions& f, const char* name, int unit, const gl::TextureHandle& texture) {
  f.glActiveTexture(GLenum(GL_TEXTURE0 + unit));
  f.glBindTexture(GL_TEXTURE_2D, texture.name());
  f.glUniform1i(scene->bare.uniform(name), unit);
  // Uploaded top row first: p.y = 1 reads the first row.
  f.glUniform3f(scene->bare.uniform(composition::ShaderSource::rowsUniform(name).constData()), 1,
                -1, 1);
}

void bareLoop() {
  gl::GLContext& context = *gl::GLContext::current();
  gl::GLFunctions& f = context.functions();
  scene->bareTarget.bind(scene->bareBuffer);
  scene->bareTarget.clear(QVector4D(0, 0, 0, 0));
  f.glUseProgram(scene->bare.name());
  f.glUniform1f(scene->bare.uniform("opacity"), kOpacity);
  bindImage(f, "foreground", 0, scene->foreground);
  bindImage(f, "background", 1, scene->background);
  f.glBindVertexArray(context.emptyVertexArray());
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  f.glActiveTexture(GL_TEXTURE0);
  scene->bareTarget.detach();
  f.glFinish();
}

// Largest channel difference between the two loops' pixels.
int largestDifference() {
  int largest = 255;
  gl::RenderThread::instance().invokeAndWait([&] {
    contextLoop();
    bareLoop();
    const QImage played = gl::TextureReader::read(scene->context->textureRef());
    const QImage bare = gl::TextureReader::read(scene->bareBuffer);
    largest = bench::largestDifference(played, bare);
  });
  return largest;
}

int agreement = 255;

void BM_CrossfadeBesideBareLoop(benchmark::State& state) {
  bench::besideBareOnRenderThread(state, "context", contextLoop, bareLoop, agreement, 0);
}

}  // namespace

int main(int argc, char** argv) {
  return bench::runOnRenderThread(
      argc, argv,
      [&] { return setUpScene(QCUtils::pathForQCCompModeNamed(QStringLiteral("Crossfade.qtz"))); },
      [] {
        agreement = largestDifference();
        std::fprintf(stderr, "largest difference between the context and the bare loop: %d\n",
                     agreement);
        benchmark::RegisterBenchmark("CrossfadeThroughContext", BM_CrossfadeBesideBareLoop)
            ->UseManualTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
      },
      tearDownScene);
}
