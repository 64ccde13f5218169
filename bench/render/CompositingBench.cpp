// Compositing N full-HD layers (straight alpha, source-over) into one
// framebuffer, three ways, each producing the same straight-alpha pixels:
//
//  - filters: through the filter engine (the source-over filter, layer by
//    layer, then drawn into the target as the filter-image context does);
//  - bare: N blended quads, the plain GL way: each reads its layer's texel
//    (texelFetch, the pixel-aligned read the engine makes) and blends it
//    premultiplied (GL_ONE, GL_ONE_MINUS_SRC_ALPHA) into a cleared target;
//  - fused: the floor, one pass reading all N texels and compositing them
//    in the shader (in two forms, the faster counting: see texelOf).
//
// The bare loop leaves premultiplied colour in the target, the others
// straight colour. Before timing, each count of layers checks that the
// filters make the fused pass's pixels, and the bare loop those of the
// fused pass left premultiplied, within one step of eight bits; otherwise
// the figures of that count are not reported. All run on the render thread
// and end with glFinish, so the GPU's work is in the figures; run under
// Xvfb:
//
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bin/bench_render
//
// Each iteration runs the loops in rotating order; the counters give each
// one's mean time and the ratios between them.
#include "platform/gl/GLContext.h"
#include "platform/gl/PixelUploader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/ShaderProgram.h"
#include "platform/gl/TexturePool.h"
#include "platform/gl/TextureReader.h"
#include "platform/image/FilterRegistry.h"
#include "platform/image/ImageContext.h"

#include <QGuiApplication>
#include <QImage>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kMaxLayers = 8;
constexpr int kLayerCounts[] = {1, 2, 4, 8};

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

// The layers are uploaded top row first, and the image plane's y runs
// upward: target row y shows layer row height - 1 - y, in all three loops.
// llvmpipe's speed depends on how the texel's position is written, and
// which form is faster depends on the count of layers, so the fused pass
// comes in two forms and the floor is the faster: one position shared by
// all layers (the height written into the source), or a position per
// layer from an offset of its own (a uniform, as the filters' joined pass
// has it).
enum Form { SharedPosition, PositionPerLayer, kForms };

QByteArray texelOf(int i, Form form) {
  const QByteArray n = QByteArray::number(i);
  if (form == SharedPosition) return "p";
  return "ivec2(gl_FragCoord.x + offset" + n + ".x, offset" + n + ".y - gl_FragCoord.y)";
}

QByteArray header(int layers) {
  QByteArray source = "#version 330 core\nout vec4 colour;\n";
  for (int i = 0; i < layers; ++i) {
    const QByteArray n = QByteArray::number(i);
    source += "uniform sampler2D layer" + n + ";\nuniform vec2 offset" + n + ";\n";
  }
  return source + "void main() {\n  ivec2 p = ivec2(gl_FragCoord.x, " +
         QByteArray::number(kHeight) + ".0 - gl_FragCoord.y);\n  vec4 c;\n";
}

QByteArray bareFragment() {
  return header(1) + "  c = texelFetch(layer0, p, 0);\n  colour = vec4(c.rgb * c.a, c.a);\n}\n";
}

// The floor; `straight` unpremultiplies at the end as the filters do, else
// the colour stays premultiplied as the bare loop leaves it (for checking).
QByteArray fusedFragment(int layers, Form form, bool straight) {
  QByteArray source = header(layers) + "  vec4 sum = vec4(0.0);\n";
  for (int i = 0; i < layers; ++i)
    source += "  c = texelFetch(layer" + QByteArray::number(i) + ", " + texelOf(i, form) +
              ", 0);\n  sum = vec4(c.rgb * c.a, c.a) + sum * (1.0 - c.a);\n";
  source += straight ? "  colour = sum.a > 0.0 ? vec4(sum.rgb / sum.a, sum.a) : vec4(0.0);\n}\n"
                     : "  colour = sum;\n}\n";
  return source;
}

// The textures, targets and programs the loops share (render thread).
struct Scene {
  std::vector<gl::TextureHandle> layers;
  gl::TextureHandle target;
  gl::RenderTarget blendingTarget;  // the bare loop's: premultiplied source-over
  gl::RenderTarget copyingTarget;   // the others': no blending
  std::shared_ptr<image::Filter> over;
  gl::ShaderProgram bare;
  std::map<int, gl::ShaderProgram> fused[kForms];
  std::map<int, gl::ShaderProgram> fusedPremultiplied;
};
Scene* scene = nullptr;

bool build(gl::ShaderProgram& program, const QByteArray& fragment) {
  QString error;
  if (program.build(*gl::GLContext::current(), gl::ShaderProgram::fullTargetVertexSource(),
                    fragment, &error))
    return true;
  std::fprintf(stderr, "%s\n", qPrintable(error));
  return false;
}

bool setUpScene() {
  scene = new Scene;
  gl::PixelUploader uploader;
  for (int i = 0; i < kMaxLayers; ++i) scene->layers.push_back(uploader.upload(layerPicture(i)));
  scene->target = gl::TexturePool::shared().acquire(QSize(kWidth, kHeight));
  scene->blendingTarget.setBlend({true, GL_ONE, GL_ONE_MINUS_SRC_ALPHA});
  scene->over = image::FilterRegistry::shared().filterWithName("CISourceOverCompositing");
  bool built = build(scene->bare, bareFragment());
  for (int layers : kLayerCounts) {
    for (Form form : {SharedPosition, PositionPerLayer})
      built = build(scene->fused[form][layers], fusedFragment(layers, form, true)) && built;
    built =
        build(scene->fusedPremultiplied[layers], fusedFragment(layers, SharedPosition, false)) &&
        built;
  }
  gl::GLContext::current()->functions().glFinish();
  return built;
}

void tearDownScene() {
  delete scene;
  scene = nullptr;
}

// Binds the first `layers` layers to units 0 … layers - 1.
void bindLayers(gl::GLFunctions& f, gl::ShaderProgram& program, int layers) {
  f.glUseProgram(program.name());
  for (int i = 0; i < layers; ++i) {
    f.glActiveTexture(GLenum(GL_TEXTURE0 + i));
    f.glBindTexture(GL_TEXTURE_2D, scene->layers[std::size_t(i)].name());
    f.glUniform1i(program.uniform(("layer" + QByteArray::number(i)).constData()), i);
    f.glUniform2f(program.uniform(("offset" + QByteArray::number(i)).constData()), 0, kHeight);
  }
  f.glActiveTexture(GL_TEXTURE0);
  f.glBindVertexArray(gl::GLContext::current()->emptyVertexArray());
}

void unbind(gl::GLFunctions& f) {
  f.glBindVertexArray(0);
  f.glUseProgram(0);
}

void bareLoop(int layers) {
  gl::GLFunctions& f = gl::GLContext::current()->functions();
  scene->blendingTarget.bind(scene->target);
  scene->blendingTarget.clear(QVector4D(0, 0, 0, 0));
  bindLayers(f, scene->bare, 1);
  for (int i = 0; i < layers; ++i) {
    f.glBindTexture(GL_TEXTURE_2D, scene->layers[std::size_t(i)].name());
    f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  }
  unbind(f);
  f.glFinish();
}

// One pass over the whole target: no clear needed.
void fusedPass(gl::ShaderProgram& program, int layers) {
  gl::GLFunctions& f = gl::GLContext::current()->functions();
  scene->copyingTarget.bind(scene->target);
  bindLayers(f, program, layers);
  f.glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  unbind(f);
  f.glFinish();
}

void fusedSharedLoop(int layers) { fusedPass(scene->fused[SharedPosition][layers], layers); }
void fusedPerLayerLoop(int layers) { fusedPass(scene->fused[PositionPerLayer][layers], layers); }
void fusedPremultipliedLoop(int layers) { fusedPass(scene->fusedPremultiplied[layers], layers); }

// The last kernel draws over the whole target: no clear needed.
void filterLoop(int layers) {
  image::Image accumulated = image::Image::fromTexture(scene->layers[0]);
  for (int i = 1; i < layers; ++i) {
    scene->over->setValue(
        QVariant::fromValue(image::Image::fromTexture(scene->layers[std::size_t(i)])),
        "inputImage");
    scene->over->setValue(QVariant::fromValue(accumulated), "inputBackgroundImage");
    accumulated = scene->over->outputImage();
  }
  scene->copyingTarget.bind(scene->target);
  image::ImageContext context;
  context.drawImage(accumulated, QPointF(0, 0), QRectF(0, 0, kWidth, kHeight));
  scene->over->setValue(QVariant(), "inputImage");
  scene->over->setValue(QVariant(), "inputBackgroundImage");
  gl::GLContext::current()->functions().glFinish();
}

using Loop = void (*)(int);

// The target's rows after `loop`, with the target first filled with a
// colour no loop makes, so that a pixel a loop leaves out shows.
QImage pixelsOf(Loop loop, int layers) {
  QImage rows;
  gl::RenderThread::instance().invokeAndWait([&] {
    scene->copyingTarget.bind(scene->target);
    scene->copyingTarget.clear(QVector4D(1, 0, 1, 0.5f));
    loop(layers);
    rows = gl::TextureReader::readRows(scene->target);
  });
  return rows;
}

// How far the channels of `b` lie from those of `a`.
struct Difference {
  int largest = 255;
  long beyondOne = 0;  // channel values more than one step apart
};

Difference difference(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.isNull()) return {};
  Difference d{0, 0};
  for (int y = 0; y < a.height(); ++y) {
    const uchar* p = a.constScanLine(y);
    const uchar* q = b.constScanLine(y);
    for (int x = 0; x < 4 * a.width(); x += 4)
      for (int c = 0; c < 4; ++c) {
        const int apart = std::abs(int(p[x + c]) - int(q[x + c]));
        d.largest = std::max(d.largest, apart);
        d.beyondOne += apart > 1;
      }
  }
  return d;
}

struct Agreement {
  Difference filters;
  Difference forms;  // the fused pass's two forms
  Difference bare;
  bool holds() const { return filters.largest <= 1 && forms.largest <= 1 && bare.largest <= 1; }
};
std::map<int, Agreement> agreement;

void checkAgreement() {
  for (int layers : kLayerCounts) {
    Agreement& a = agreement[layers];
    const QImage fused = pixelsOf(fusedSharedLoop, layers);
    a.filters = difference(fused, pixelsOf(filterLoop, layers));
    a.forms = difference(fused, pixelsOf(fusedPerLayerLoop, layers));
    a.bare = difference(pixelsOf(fusedPremultipliedLoop, layers), pixelsOf(bareLoop, layers));
    std::fprintf(stderr,
                 "%d layers, largest difference from the fused pass: filters %d, its other form "
                 "%d, bare %d (premultiplied)\n",
                 layers, a.filters.largest, a.forms.largest, a.bare.largest);
  }
}

double timed(Loop loop, int layers) {
  double seconds = 0;
  gl::RenderThread::instance().invokeAndWait([&] {
    const auto start = std::chrono::steady_clock::now();
    loop(layers);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  });
  return seconds;
}

// The loops in every iteration, in rotating order, so that all meet the
// same load of the machine; the iteration time is their sum.
void BM_SideBySide(benchmark::State& state) {
  const int layers = int(state.range(0));
  const Agreement& a = agreement[layers];
  if (!a.holds()) {
    state.SkipWithError("the loops do not make the same pixels");
    return;
  }
  constexpr int kLoops = 4;
  const Loop loops[kLoops] = {bareLoop, fusedSharedLoop, fusedPerLayerLoop, filterLoop};
  double total[kLoops] = {0, 0, 0, 0};
  int first = 0;
  for (auto _ : state) {
    double sum = 0;
    for (int k = 0; k < kLoops; ++k) {
      const int which = (first + k) % kLoops;
      const double t = timed(loops[which], layers);
      total[which] += t;
      sum += t;
    }
    first = (first + 1) % kLoops;
    state.SetIterationTime(sum);
  }
  const double n = double(state.iterations());
  const auto [bare, shared, perLayer, filters] = total;
  const double fused = std::min(shared, perLayer);
  state.counters["bare_ms"] = 1000 * bare / n;
  state.counters["fused_ms"] = 1000 * fused / n;
  state.counters["fused_shared_ms"] = 1000 * shared / n;
  state.counters["fused_per_layer_ms"] = 1000 * perLayer / n;
  state.counters["filters_ms"] = 1000 * filters / n;
  state.counters["filters_vs_bare"] = filters / bare;
  state.counters["filters_vs_fused"] = filters / fused;
  state.counters["bare_vs_fused"] = bare / fused;
  state.counters["lsb_filters"] = a.filters.largest;
  state.counters["lsb_bare"] = a.bare.largest;
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
  bool built = false;
  gl::RenderThread::instance().invokeAndWait([&] { built = setUpScene(); });
  if (!built) {
    gl::RenderThread::instance().invokeAndWait(tearDownScene);
    gl::RenderThread::instance().stop();
    return 1;
  }
  checkAgreement();
  benchmark::AddCustomContext("GL_RENDERER",
                              gl::RenderThread::instance().rendererName().toStdString());
  for (int layers : kLayerCounts)
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
