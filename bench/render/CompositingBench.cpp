// Compositing N full-HD layers into one framebuffer: through the filter
// engine (the source-over filter, layer by layer, then drawn into the
// target as the filter-image context does) against a bare GL loop that
// draws the same N textured quads with the same blending
// (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA). Both run on the render thread and
// end with glFinish, so the GPU's work is in the figures; run under Xvfb:
//
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bin/bench_render
//
// Each iteration runs both loops, in alternating order; the counters give
// each one's mean time and "filters_vs_bare", the ratio of the two.
#include "platform/gl/GLContext.h"
#include "platform/gl/PixelUploader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/ShaderProgram.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/ImageContext.h"

#include <QGuiApplication>
#include <QImage>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kMaxLayers = 8;

// Layers of straight RGBA with a soft alpha ramp, each tinted differently.
QImage layerPicture(int index) {
  QImage picture(kWidth, kHeight, QImage::Format_RGBA8888);
  for (int y = 0; y < kHeight; ++y) {
    uchar* row = picture.scanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      row[4 * x + 0] = uchar((x + 31 * index) & 255);
      row[4 * x + 1] = uchar((y + 57 * index) & 255);
      row[4 * x + 2] = uchar((x + y) * (index + 1) & 255);
      row[4 * x + 3] = uchar(96 + ((x / 8 + y / 8 + index) % 4) * 40);
    }
  }
  return picture;
}

// The textures and targets both loops share (render thread).
struct Scene {
  std::vector<gl::TextureHandle> layers;
  gl::TextureHandle target;
  gl::RenderTarget blendingTarget;  // the bare loop's
  gl::RenderTarget copyingTarget;   // the filter-image context's: no blending
  std::shared_ptr<image::Filter> over;
  GLuint bareProgram = 0;
  GLuint bareVertexArray = 0;
};
Scene* scene = nullptr;

const char* kBareVertex = R"(#version 330 core
out vec2 uv;
void main() {
  vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
  uv = corner;
  gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";
const char* kBareFragment = R"(#version 330 core
uniform sampler2D layer;
in vec2 uv;
out vec4 colour;
void main() { colour = texture(layer, uv); }
)";

GLuint compile(gl::GLFunctions& f, GLenum type, const char* source) {
  const GLuint shader = f.glCreateShader(type);
  f.glShaderSource(shader, 1, &source, nullptr);
  f.glCompileShader(shader);
  return shader;
}

void setUpScene() {
  scene = new Scene;
  gl::PixelUploader uploader;
  for (int i = 0; i < kMaxLayers; ++i) scene->layers.push_back(uploader.upload(layerPicture(i)));
  scene->target = gl::TexturePool::shared().acquire(QSize(kWidth, kHeight));
  scene->blendingTarget.setBlend({true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});
  scene->over = image::FilterRegistry::shared().filterWithName("CISourceOverCompositing");
  gl::GLFunctions& f = gl::GLContext::current()->functions();
  const GLuint vertex = compile(f, GL_VERTEX_SHADER, kBareVertex);
  const GLuint fragment = compile(f, GL_FRAGMENT_SHADER, kBareFragment);
  scene->bareProgram = f.glCreateProgram();
  f.glAttachShader(scene->bareProgram, vertex);
  f.glAttachShader(scene->bareProgram, fragment);
  f.glLinkProgram(scene->bareProgram);
  f.glGenVertexArrays(1, &scene->bareVertexArray);
  f.glFinish();
}

void tearDownScene() {
  gl::GLFunctions& f = gl::GLContext::current()->functions();
  f.glDeleteProgram(scene->bareProgram);
  f.glDeleteVertexArrays(1, &scene->bareVertexArray);
  delete scene;
  scene = nullptr;
}

void bareLoop(int layers) {
  gl::GLFunctions& f = gl::GLContext::current()->functions();
  scene->blendingTarget.bind(scene->target);
  scene->blendingTarget.clear(QVector4D(0, 0, 0, 0));
  f.glUseProgram(scene->bareProgram);
  f.glBindVertexArray(scene->bareVertexArray);
  f.glActiveTexture(GL_TEXTURE0);
  for (int i = 0; i < layers; ++i) {
    f.glBindTexture(GL_TEXTURE_2D, scene->layers[i].name());
    f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  }
  f.glBindVertexArray(0);
  f.glUseProgram(0);
  f.glFinish();
}

void filterLoop(int layers) {
  image::Image accumulated = image::Image::fromTexture(scene->layers[0]);
  for (int i = 1; i < layers; ++i) {
    scene->over->setValue(QVariant::fromValue(image::Image::fromTexture(scene->layers[i])),
                          "inputImage");
    scene->over->setValue(QVariant::fromValue(accumulated), "inputBackgroundImage");
    accumulated = scene->over->outputImage();
  }
  scene->copyingTarget.bind(scene->target);
  scene->copyingTarget.clear(QVector4D(0, 0, 0, 0));
  image::ImageContext context;
  context.drawImage(accumulated, QPointF(0, 0), QRectF(0, 0, kWidth, kHeight));
  scene->over->setValue(QVariant(), "inputImage");
  scene->over->setValue(QVariant(), "inputBackgroundImage");
  gl::GLContext::current()->functions().glFinish();
}

double timed(void (*loop)(int), int layers) {
  double seconds = 0;
  gl::RenderThread::instance().invokeAndWait([&] {
    const auto start = std::chrono::steady_clock::now();
    loop(layers);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  });
  return seconds;
}

// Both loops in every iteration, in alternating order, so that both meet
// the same load of the machine; the iteration time is their sum.
void BM_SideBySide(benchmark::State& state) {
  const int layers = int(state.range(0));
  double bare = 0, filters = 0;
  bool bareFirst = true;
  for (auto _ : state) {
    double b = 0, f = 0;
    if (bareFirst) {
      b = timed(bareLoop, layers);
      f = timed(filterLoop, layers);
    } else {
      f = timed(filterLoop, layers);
      b = timed(bareLoop, layers);
    }
    bareFirst = !bareFirst;
    bare += b;
    filters += f;
    state.SetIterationTime(b + f);
  }
  const double n = double(state.iterations());
  state.counters["bare_ms"] = 1000 * bare / n;
  state.counters["filters_ms"] = 1000 * filters / n;
  state.counters["filters_vs_bare"] = filters / bare;
  state.counters["layers"] = layers;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  QGuiApplication app(argc, argv);
  gl::RenderThread::Options options;
  options.paced = false;
  if (!gl::RenderThread::instance().start(options)) {
    std::fprintf(stderr, "no OpenGL 3.3 core context: run under Xvfb\n");
    return 1;
  }
  gl::RenderThread::instance().invokeAndWait(setUpScene);
  benchmark::AddCustomContext("GL_RENDERER",
                              gl::RenderThread::instance().rendererName().toStdString());
  for (int layers : {1, 2, 4, 8})
    benchmark::RegisterBenchmark("CompositingLayers", BM_SideBySide)
        ->Arg(layers)
        ->UseManualTime()
        ->MinTime(2.0)
        ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  gl::RenderThread::instance().invokeAndWait(tearDownScene);
  gl::RenderThread::instance().stop();
  benchmark::Shutdown();
  return 0;
}
