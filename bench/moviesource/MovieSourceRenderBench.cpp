// The movie source's frame (`render`: the picture's pickup and upload, the
// time slider's update, the end detection) for a 1920 × 1080 movie beside a
// bare loop doing only MovieTextureOutput's pickup and upload of the same
// clip. Both movies run on one clock moved by hand a frame per iteration;
// before each iteration (untimed) both have the frame due decoded, so both
// sides only pick it up and upload it, ending with one glFinish. The two
// textures are compared first. Run under Xvfb:
//
//   bash scripts/with-xvfb.sh build/bin/bench_moviesource
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/sources/MovieSource.h"
#include "app/sources/SourceFactories.h"
#include "bench/RenderThreadBench.h"
#include "framework/datasource/DataSourceController.h"
#include "framework/filters/QKFilterAlpha.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKQTMovie.h"
#include "framework/taps/QKTapManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/gl/GLContext.h"
#include "platform/gl/TextureReader.h"
#include "platform/movie/Movie.h"
#include "platform/movie/MovieClock.h"
#include "platform/movie/MovieTextureOutput.h"
#include "tests/support/TestClip.h"

#include <QFileInfo>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kFrames = 120;
constexpr double kFps = 30.0;

struct Scene {
  ManualMovieClock clock;
  DataSourceController dsc{DataSourceController::TickThread::Manual};
  std::unique_ptr<Compositor> compositor;
  std::shared_ptr<Layer> layer;
  std::shared_ptr<QKQTFile> file;
  std::shared_ptr<Movie> bareMovie;
  std::unique_ptr<MovieTextureOutput> bare;  // render thread
};
Scene* scene = nullptr;

MovieSource& source() {
  return static_cast<MovieSource&>(*scene->layer->sourceOfKind(VidSourceObject::kMovieSource));
}

void finish() { gl::GLContext::current()->functions().glFinish(); }

void sourceFrame() {
  source().render(gl::DisplayLink::Frame{});
  benchmark::DoNotOptimize(source().currentTexture());
  finish();
}

void bareFrame() {
  scene->bare->update(scene->clock.nowNanos());
  benchmark::DoNotOptimize(scene->bare->texture());
  finish();
}

bool decoded(Movie& movie) {
  return movie.frameStore().contains(movie.frameIndexAt(scene->clock.nowNanos()));
}

// Untimed: the clock moves a frame on and both movies decode the frame due
// (the main thread runs meanwhile: the source's queued slider redraws).
void nextFrameDecoded() {
  scene->clock.advance(1.0 / kFps);
  const auto movie = source().movie();
  MainThread::processUntil([&] { return movie && decoded(*movie) && decoded(*scene->bareMovie); },
                           5.0);
  source().movieTaskNow();
}

void BM_MovieSourceRender(benchmark::State& state) {
  if (!source().movie()) {
    state.SkipWithError("the movie did not load");
    return;
  }
  const bench::SideBySideSeconds own =
      bench::sideBySideOnRenderThread(state, sourceFrame, bareFrame, nextFrameDecoded);
  const double n = double(state.iterations());
  state.counters["source_ms"] = 1000 * own.first / n;
  state.counters["bare_ms"] = 1000 * own.second / n;
  state.counters["source_vs_bare"] = own.first / own.second;
}

QString writeClip() {
  TestClipSpec spec;
  spec.width = kWidth;
  spec.height = kHeight;
  spec.frames = kFrames;
  spec.gop = TestClipSpec::Gop::Long;
  spec.gopSize = 30;
  spec.chromaNoise = 3;
  spec.quality = 22;
  QString error;
  const QString path = TestClip::create(spec, QStringLiteral("bench.mov"), &error);
  if (!error.isEmpty()) std::fprintf(stderr, "clip: %s\n", qPrintable(error));
  return path;
}

bool makeScene() {
  QKFilterAlpha::registerFilter();
  Movie::Options options;
  options.clock = &scene->clock;
  options.audio = false;
  QKQTFile::setMovieOptions(options);
  Compositor::Environment environment;
  environment.gpuVendors = {"NVIDIA"};
  environment.compositeFilterNames = {"CISourceOverCompositing"};
  environment.localizedFilterName = [](const QString& name) { return name; };
  scene->compositor = std::make_unique<Compositor>(std::make_unique<QKTapManager>(), environment);
  Compositor& compositor = *scene->compositor;
  compositor.setDataSourceController(&scene->dsc);
  SourceFactories::install(compositor);
  compositor.layerSizeChangedFrom(QSizeF(), QSizeF(kWidth, kHeight));
  compositor.canvasSizeChanged(QSizeF(kWidth, kHeight));
  compositor.setDisplaySize(QSizeF(kWidth, kHeight));
  const QString path = writeClip();
  if (path.isEmpty()) return false;
  QString error;
  auto movie = QKQTMovie::movieWithFile(path, &error, options);
  scene->bareMovie = Movie::openFile(path, &error, options);
  if (!movie || !scene->bareMovie) {
    std::fprintf(stderr, "movie: %s\n", qPrintable(error));
    return false;
  }
  scene->file = QKQTFile::createQTWithPath(path, QFileInfo(path).fileName(), movie, &compositor);
  scene->layer = compositor.createNewLayer();
  scene->layer->unlockedTriggerFile(scene->file);
  if (!MainThread::processUntil([] { return source().movie() && !source().loading(); }, 20.0))
    return false;
  source().movieTaskNow();
  MainThread::processUntil([] { return false; }, 0.1);
  // The bare movie starts where the source's does and plays the same way.
  scene->bareMovie->setLoops(true);
  scene->bareMovie->setCurrentTime(source().movie()->currentTime());
  scene->bareMovie->setRate(source().movie()->rate());
  gl::RenderThread::instance().invokeAndWait(
      [] { scene->bare = std::make_unique<MovieTextureOutput>(scene->bareMovie); });
  return true;
}

// Both sides' pictures of the same frame, compared.
int agreement() {
  nextFrameDecoded();
  int largest = 255;
  gl::RenderThread::instance().invokeAndWait([&] {
    sourceFrame();
    bareFrame();
    const QImage a = gl::TextureReader::read(source().currentTexture());
    const QImage b = gl::TextureReader::read(scene->bare->texture());
    largest = bench::largestDifference(a, b);
    std::fprintf(stderr, "frames shown: source %d, bare %d\n", TestClip::frameNumberIn(a),
                 TestClip::frameNumberIn(b));
  });
  return largest;
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
        if (!makeScene()) {
          std::fprintf(stderr, "the scene could not be made\n");
          return;
        }
        const int largest = agreement();
        std::fprintf(stderr, "largest difference: %d\n", largest);
        if (largest > 0) {
          std::fprintf(stderr, "the two loops do not show the same picture\n");
          return;
        }
        benchmark::RegisterBenchmark("MovieSourceRender", BM_MovieSourceRender)
            ->UseManualTime()
            ->MinTime(3.0)
            ->Unit(benchmark::kMillisecond);
      },
      [] {
        if (!scene) return;
        scene->bare.reset();
      });
}
