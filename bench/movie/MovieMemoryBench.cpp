// What movies cost in memory and threads once they stand or are let go, at
// 1080p long-GOP (the counters are the figures; the time is only the setup).
//   bench_movie --benchmark_filter=Memory
//   Parked:   ten movies played a second and stopped, after they settled
//   Released: ten movies played a second and released while another holder
//             (the render thread's last frame) still keeps each one
//   bench_movie --benchmark_filter=RamLoad
//   Keeping a whole clip in memory beside one plain read of its bytes, and
//   extending a kept first half to the whole: "read_per_byte" is how often
//   each byte kept was read from the file
#include "platform/movie/Movie.h"
#include "platform/movie/MovieClock.h"
#include "tests/support/TestClip.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

namespace {
constexpr int kMovies = 10;

// A 1080p clip of two seconds with coded colour in every block.
QString makeClip(TestClipSpec::Gop gop, const QString& name) {
  TestClipSpec spec;
  spec.width = 1920;
  spec.height = 1080;
  spec.frames = 60;
  spec.gop = gop;
  spec.gopSize = 30;
  spec.chromaNoise = 3;
  spec.quality = 22;
  QString error;
  const QString made = TestClip::create(spec, name, &error);
  if (!error.isEmpty()) std::fprintf(stderr, "clip: %s\n", qPrintable(error));
  return made;
}

const QString& clip1080() {
  static const QString path = makeClip(TestClipSpec::Gop::Long, QStringLiteral("memory.mov"));
  return path;
}

const QString& clipAllIntra() {
  static const QString path = makeClip(TestClipSpec::Gop::AllIntra, QStringLiteral("ram.mov"));
  return path;
}

// As the application runs: large blocks (decoded pictures) in their own
// mappings, so that what is freed leaves the resident figure. Set the
// environment's MALLOC_MMAP_THRESHOLD_ to see the allocator's own policy.
void likeTheApplication() {
  if (!qEnvironmentVariableIsSet("MALLOC_MMAP_THRESHOLD_")) mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

// Resident bytes after handing freed heap back to the system.
double residentMegabytes() {
  malloc_trim(0);
  long pages = 0;
  long resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

int threadCount() {
  return int(
      QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// A second of playback at 30 frames a second, each frame decoded.
void playOneSecond(Movie& movie, ManualMovieClock& clock) {
  movie.play();
  for (int frame = 0; frame < 30; ++frame) {
    movie.preroll(10.0);
    clock.advance(1.0 / 30.0);
  }
  movie.stop();
  movie.preroll(10.0);
}

std::vector<std::shared_ptr<Movie>> playedMovies(ManualMovieClock& clock) {
  Movie::Options options;
  options.clock = &clock;
  options.audio = false;
  std::vector<std::shared_ptr<Movie>> movies;
  QString error;
  for (int i = 0; i < kMovies; ++i) {
    movies.push_back(Movie::openFile(clip1080(), &error, options));
    movies.back()->posterImage();  // as a movie file makes its thumbnail
    playOneSecond(*movies.back(), clock);
  }
  return movies;
}

void report(benchmark::State& state, double megabytes, int threads) {
  state.counters["MB_per_movie"] = megabytes / kMovies;
  state.counters["threads_per_movie"] = double(threads) / kMovies;
}

// Ten movies played, then left by `leave` until they settle; the counters
// are what they still cost.
void movieMemory(benchmark::State& state,
                 const std::function<void(ManualMovieClock&,
                                          const std::vector<std::shared_ptr<Movie>>&)>& leave) {
  clip1080();
  likeTheApplication();
  for (auto _ : state) {
    ManualMovieClock clock;
    const double before = residentMegabytes();
    const int threadsBefore = threadCount();
    std::vector<std::shared_ptr<Movie>> movies = playedMovies(clock);
    leave(clock, movies);
    report(state, residentMegabytes() - before, threadCount() - threadsBefore);
  }
}

void BM_MemoryParkedMovies(benchmark::State& state) {
  movieMemory(state, [](ManualMovieClock& clock, const std::vector<std::shared_ptr<Movie>>&) {
    // Long enough on the movies' clock for them to settle, and for their
    // workers to notice.
    clock.advance(5.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
  });
}

void BM_MemoryReleasedMovies(benchmark::State& state) {
  movieMemory(state, [](ManualMovieClock&, const std::vector<std::shared_ptr<Movie>>& movies) {
    for (const auto& movie : movies) movie->release();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  });
}

QKTimeRange frames(const Movie& movie, int64_t first, int64_t count) {
  const int64_t unit = movie.frameDuration().value;
  return QKTimeRange{QKTime{first * unit, movie.timeScale(), 0},
                     QKTime{count * unit, movie.timeScale(), 0}};
}

// The baseline: the file's bytes read once into memory.
void BM_RamLoadBareRead(benchmark::State& state) {
  QFile file(clipAllIntra());
  for (auto _ : state) {
    file.open(QIODevice::ReadOnly);
    benchmark::DoNotOptimize(file.readAll());
    file.close();
  }
  state.SetBytesProcessed(state.iterations() * QFile(clipAllIntra()).size());
}

// `firstHalf`: half is kept already, the load extends it to the whole.
void ramLoad(benchmark::State& state, bool firstHalf) {
  Movie::Options options;
  options.audio = false;
  QString error;
  double readPerByte = 0.0;
  int64_t kept = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::shared_ptr<Movie> movie = Movie::openFile(clipAllIntra(), &error, options);
    const int64_t count = movie->frameCount();
    if (firstHalf) movie->loadIntoRam(frames(*movie, 0, count / 2));
    const int64_t readBefore = movie->fileBytesRead();
    const int64_t keptBefore = movie->ramBytes();
    state.ResumeTiming();
    movie->loadIntoRam(frames(*movie, 0, count));
    state.PauseTiming();
    kept = movie->ramBytes() - keptBefore;
    readPerByte = double(movie->fileBytesRead() - readBefore) / double(std::max<int64_t>(kept, 1));
    movie.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * kept);
  state.counters["read_per_byte"] = readPerByte;
  state.counters["kept_MB"] = double(kept) / (1024.0 * 1024.0);
}
void BM_RamLoadWholeClip(benchmark::State& state) { ramLoad(state, false); }
void BM_RamLoadExtendHalfToWhole(benchmark::State& state) { ramLoad(state, true); }
}  // namespace

BENCHMARK(BM_RamLoadBareRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RamLoadWholeClip)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RamLoadExtendHalfToWhole)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemoryParkedMovies)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemoryReleasedMovies)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
