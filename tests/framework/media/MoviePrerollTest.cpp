// Pre-roll into texture contexts and RAM ranges of movie files: the
// pre-rolled count, contexts swapped only under the render lock, closing on
// eject, RAM ranges refused for lack of memory, and a pre-rolled movie's
// first frame on screen at the first frame after its trigger.
#include "framework/media/MovieProps.h"
#include "framework/render/DeferredReleaseArrays.h"
#include "framework/media/QKFileSource.h"
#include "framework/media/QKMovieTextureContext.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKQTMovie.h"
#include "framework/toolkit/QKStatChecker.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/foundation/WorkerPool.h"
#include "platform/gl/TextureReader.h"
#include "platform/movie/MovieClock.h"
#include "tests/framework/media/MediaTestSupport.h"
#include "tests/support/GLTest.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/ThreadCensus.h"
#include "tests/support/Eventually.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace {
namespace P = MovieProps;

// A layer source: it plays the file's movie and can be paused.
class FakeSource : public QKFileSource, public QKQTMovieSubscriber {
 public:
  QString name() const override { return QStringLiteral("MovieSource"); }
  bool paused() const override { return paused_; }
  void setPausedMainThread(bool paused) override {
    paused_ = paused;
    ++pauseCalls;
  }
  std::atomic<bool> paused_{false};
  int pauseCalls = 0;
};

void writeMemInfo(const QString& path, long kilobytes) {
  writeFile(
      path,
      QStringLiteral("MemTotal: 16000000 kB\nMemAvailable: %1 kB\n").arg(kilobytes).toLatin1());
}

class MoviePrerollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UserDefaults::standard().resetForTesting();
    QKStatChecker::reset();
    QKStatChecker::setPresenter(
        [](const QString&, const QString&, const QStringList&, int) { return 0; });
    memInfo = TestEnvironment::makeTempDir() + "/meminfo";
    writeMemInfo(memInfo, 8000000);
    QKStatChecker::setMemInfoPath(memInfo);
  }
  void TearDown() override {
    for (auto& file : files) file->prepareToBeDeleted();
    files.clear();
    QKStatChecker::reset();
    UserDefaults::standard().resetForTesting();
  }

  std::shared_ptr<QKQTFile> open(const TestClipSpec& spec) {
    QString error;
    const QString path = TestClip::create(spec, QStringLiteral("clip.mov"), &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    auto movie = QKQTMovie::movieWithFile(path, &error, QKQTFile::movieOptions());
    EXPECT_TRUE(movie) << error.toStdString();
    auto file = QKQTFile::createQTWithPath(path, QFileInfo(path).fileName(), movie, &compositor);
    files.push_back(file);
    return file;
  }

  static void setPreroll(const std::shared_ptr<QKQTFile>& file, int on) {
    file->setMovieProp(P::kDoMoviePreroll, on);
    file->threadedVisualContextInit();
  }

  unsigned filesWithAContext() const {
    unsigned n = 0;
    for (const auto& file : files) n += file->visualContext() ? 1 : 0;
    return n;
  }

  void memoryShort(bool isShort) {
    writeMemInfo(memInfo, isShort ? 1000 : 8000000);
    if (isShort) return;
    // The warning panel closes and the watchdog sees memory again.
    ASSERT_TRUE(MainThread::processUntil(
        [] {
          QKStatChecker::updateBelowMemoryThreshold();
          return !QKStatChecker::checkMemoryThreshold();
        },
        5.0));
  }

  // Keeps every worker of the shared pool (three) busy until the gates open.
  static std::vector<std::shared_ptr<std::promise<void>>> holdWorkers() {
    std::vector<std::shared_ptr<std::promise<void>>> gates;
    for (int i = 0; i < 3; ++i) {
      auto gate = std::make_shared<std::promise<void>>();
      WorkerPool::shared().post([opened = gate->get_future().share()] { opened.wait(); });
      gates.push_back(gate);
    }
    return gates;
  }
  // Runs the main thread until the file's RAM read (on a worker) is recorded.
  static void settle(const std::shared_ptr<QKQTFile>& file) {
    ASSERT_TRUE(MainThread::processUntil([&] { return !file->ramloadUnderWay(); }, 20.0));
  }
  static void setRam(const std::shared_ptr<QKQTFile>& file, const QKTimeRange& range) {
    file->setRamloadRange(range);
    settle(file);
  }

  FakeCompositor compositor;
  std::vector<std::shared_ptr<QKQTFile>> files;
  QString memInfo;
};

TestClipSpec smallClip(int frames = 10) {
  TestClipSpec spec;
  spec.frames = frames;
  return spec;
}

QKTimeRange range(const std::shared_ptr<QKQTFile>& file, int64_t startFrame, int64_t frames) {
  const Movie& movie = file->movieFile()->movie();
  const int64_t unit = movie.frameDuration().value;
  return QKTimeRange{QKTime{startFrame * unit, movie.timeScale(), 0},
                     QKTime{frames * unit, movie.timeScale(), 0}};
}

}  // namespace

TEST_F(MoviePrerollTest, ThePrerolledCountAlwaysEqualsTheFilesHoldingAContext) {
  for (int i = 0; i < 3; ++i) open(smallClip());
  ASSERT_EQ(QKStatChecker::cachedMovieCount(), 0u);
  for (int cycle = 0; cycle < 4; ++cycle) {
    for (const auto& file : files) {
      setPreroll(file, 1);
      EXPECT_EQ(QKStatChecker::cachedMovieCount(), filesWithAContext()) << "on, cycle " << cycle;
    }
    setPreroll(files[0], 1);  // made again: the old context goes
    EXPECT_EQ(QKStatChecker::cachedMovieCount(), 3u);
    for (const auto& file : files) {
      setPreroll(file, 0);
      setPreroll(file, 0);
      EXPECT_EQ(QKStatChecker::cachedMovieCount(), filesWithAContext()) << "off, cycle " << cycle;
    }
    files[1]->unPreRollOnMainThread();
    EXPECT_EQ(QKStatChecker::cachedMovieCount(), 0u) << "nothing to release lowers nothing";
  }
  // The media inspector switches pre-roll on from a worker thread; a closed
  // movie is opened, and its context made, on the main thread.
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (const auto& file : files) setPreroll(file, 1);
    done = true;
  });
  ASSERT_TRUE(MainThread::processUntil(
      [&] { return done.load() && QKStatChecker::cachedMovieCount() == 3u; }, 10.0));
  worker.join();
  EXPECT_EQ(filesWithAContext(), 3u);
  files[2]->prepareToBeDeleted();
  EXPECT_EQ(QKStatChecker::cachedMovieCount(), 2u);
  EXPECT_EQ(QKStatChecker::cachedMovieCount(), filesWithAContext());
}

TEST_F(MoviePrerollTest, AFrameNeverSeesAContextHalfMadeOrHalfGone) {
  auto file = open(smallClip());
  std::atomic<bool> stop{false};
  std::atomic<int> seen{0};
  std::atomic<int> detachedSeen{0};
  // Draws the way the compositor does: under the render lock, never waiting.
  std::thread frames([&] {
    while (!stop) {
      std::this_thread::yield();
      if (!compositor.tryLockForFrame()) continue;
      if (auto context = file->visualContext()) {
        ++seen;
        if (!context->movie()) ++detachedSeen;
      }
      compositor.unlockFrame();
    }
  });
  for (int i = 0; i < 200; ++i) {
    setPreroll(file, 1);
    setPreroll(file, 1);
    if (i % 2)
      setPreroll(file, 0);
    else
      file->unPreRollOnMainThread();
    MainThread::processUntil([] { return false; }, 0.0);
  }
  // On a loaded machine the frame thread may not have run while a context
  // was there: leave one in place until a frame has drawn with it.
  setPreroll(file, 1);
  EXPECT_TRUE(MainThread::processUntil([&] { return seen.load() > 0; }, 10.0));
  stop = true;
  frames.join();
  EXPECT_EQ(detachedSeen.load(), 0);
  EXPECT_GT(compositor.locks.load(), 0) << "contexts are swapped under the render lock";
}

TEST_F(MoviePrerollTest, EjectingClosesTheMovieUnlessItIsKeptInRam) {
  auto plain = open(smallClip());
  auto kept = open(smallClip());
  kept->setMovieProp(P::kRamload, 1);
  setPreroll(plain, 1);
  setPreroll(kept, 1);

  auto source = std::make_shared<FakeSource>();
  plain->setCurrentSource(source);
  plain->unPreRollOnMainThread();
  EXPECT_TRUE(plain->visualContext()) << "a playing file keeps its pre-roll";
  plain->setCurrentSource(nullptr);

  const std::weak_ptr<QKMovieTextureContext> context = plain->visualContext();
  plain->unPreRollOnMainThread();
  kept->unPreRollOnMainThread();
  EXPECT_FALSE(plain->visualContext());
  EXPECT_FALSE(context.expired()) << "handed to the deferred-release arrays, not freed here";
  EXPECT_FALSE(context.lock()->movie()) << "detached";
  DeferredReleaseArrays::shared().purgeRenderers();
  EXPECT_TRUE(context.expired());
  EXPECT_FALSE(plain->movieFile()) << "closed until it is played again";
  EXPECT_FALSE(kept->visualContext());
  EXPECT_TRUE(kept->movieFile());

  plain->prepareForTriggerOnMainThread();
  ASSERT_TRUE(plain->movieFile()) << "reopened for the next trigger";
  EXPECT_TRUE(plain->movieFile()->isLocked());
}

// A movie the file lets go of (ejected or deleted) gives back its frames,
// decoder and threads at once, though the render thread may still hold it
// for the texture it is letting go.
TEST_F(MoviePrerollTest, AMovieLetGoOfFreesItsFramesAndThreadsAtOnce) {
  const QString decodeThread = QStringLiteral("movie decode");
  for (const bool deleted : {false, true}) {
    SCOPED_TRACE(deleted ? "deleted" : "ejected");
    auto file = open(smallClip());
    setPreroll(file, 1);
    const std::shared_ptr<Movie> held = file->movieFile()->sharedMovie();
    ASSERT_TRUE(held->preroll(5.0));
    EXPECT_FALSE(ThreadCensus::named(decodeThread).empty());

    deleted ? file->prepareToBeDeleted() : file->unPreRollOnMainThread();
    EXPECT_FALSE(file->movieFile());
    EXPECT_TRUE(waitFor([&] { return ThreadCensus::named(decodeThread).empty(); }));
    EXPECT_EQ(held->frameStore().size(), 0u);
  }
}

// Pre-roll and RAM loading asked for on a worker for a closed movie, while
// the main thread waits for that worker: the worker hands the call to the
// main thread instead of waiting for it, and the work is done there.
TEST_F(MoviePrerollTest, AWorkerPreparingAClosedMovieDoesNotWaitForTheMainThread) {
  auto file = open(smallClip(30));
  const QKTimeRange firstTen = range(file, 0, 10);
  struct Case {
    const char* name;
    std::function<void()> onWorker;
    std::function<bool()> done;
  };
  const Case cases[] = {
      {"pre-roll", [&] { file->threadedVisualContextInit(); },
       [&] { return file->visualContext() != nullptr; }},
      {"RAM range", [&] { file->setRamloadRange(firstTen); },
       [&] { return P::range(file->movieProp(P::kRamloadRange)) == firstTen; }},
  };
  file->setMovieProp(P::kDoMoviePreroll, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    file->unPreRollOnMainThread();  // closed until played again
    ASSERT_FALSE(file->movieFile());
    auto worker = std::async(std::launch::async, c.onWorker);
    // This thread waits for the worker, as the main thread may.
    const bool withoutTheMainThread =
        worker.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    // Frees a worker that waits for the main thread after all.
    MainThread::processUntil(
        [&] {
          return worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready && c.done();
        },
        5.0);
    EXPECT_TRUE(withoutTheMainThread) << "the worker waited for the main thread";
    EXPECT_TRUE(c.done());
    EXPECT_TRUE(file->movieFile());
  }
}

TEST_F(MoviePrerollTest, ShortMemoryTurnsPreRollOff) {
  auto file = open(smallClip());
  memoryShort(true);
  setPreroll(file, 1);
  EXPECT_EQ(file->movieProp(P::kDoMoviePreroll).toInt(), 0);
  EXPECT_FALSE(file->visualContext());
  EXPECT_EQ(QKStatChecker::cachedMovieCount(), 0u);
}

TEST_F(MoviePrerollTest, RamRangesLoadFlushAndStayWhenUnchanged) {
  auto file = open(smallClip(30));
  Movie& movie = file->movieFile()->movie();
  setRam(file, range(file, 0, 10));
  EXPECT_GT(movie.ramBytes(), 0);
  EXPECT_EQ(P::range(file->movieProp(P::kRamloadRange)), range(file, 0, 10));
  const int64_t loaded = movie.ramBytes();
  const int64_t reads = movie.fileBytesRead();

  auto source = std::make_shared<FakeSource>();
  file->movieFile()->setSubscriber(source);
  file->setRamloadRange(range(file, 0, 10));
  EXPECT_FALSE(file->ramloadUnderWay());
  EXPECT_EQ(movie.ramBytes(), loaded);
  EXPECT_EQ(movie.fileBytesRead(), reads) << "the range already recorded does nothing at all";
  EXPECT_EQ(source->pauseCalls, 0);

  setRam(file, range(file, 5, 10));
  EXPECT_EQ(source->pauseCalls, 2) << "paused around the flush and the load";
  EXPECT_FALSE(source->paused());
  const int64_t moved = movie.ramBytes();
  setRam(file, range(file, 0, 0));
  EXPECT_LT(movie.ramBytes(), moved) << "flushed; the movie's header may stay";
  EXPECT_EQ(P::range(file->movieProp(P::kRamloadRange)).duration.value, 0);
}

TEST_F(MoviePrerollTest, ARangeRefusedForLackOfMemoryIsLoadedOnceMemoryAllows) {
  auto file = open(smallClip(30));
  Movie& movie = file->movieFile()->movie();
  setRam(file, range(file, 0, 10));
  memoryShort(true);
  setRam(file, range(file, 5, 20));
  EXPECT_EQ(P::range(file->movieProp(P::kRamloadRange)), range(file, 5, 5))
      << "only what stayed in memory is recorded";
  ASSERT_TRUE(file->pendingRamloadRange());
  const QVariantMap stored = file->createSnapshot().value("movieProps").toMap();
  EXPECT_EQ(P::range(stored.value(P::kRamloadRange)), range(file, 5, 20))
      << "the project keeps what the user asked for";

  file->retryPendingRamloadRange();
  settle(file);
  EXPECT_TRUE(file->pendingRamloadRange()) << "still short";
  memoryShort(false);
  file->retryPendingRamloadRange();
  settle(file);
  EXPECT_FALSE(file->pendingRamloadRange());
  EXPECT_EQ(P::range(file->movieProp(P::kRamloadRange)), range(file, 5, 20));
  EXPECT_GT(movie.ramBytes(), 0);
}

// A large movie read into memory whole: the read runs on a worker while the
// main thread goes on (its posted calls run while the read has not ended),
// the playing source pauses meanwhile, and the range recorded at the end is
// the one read. Ranges asked for during the read follow it, the last first.
TEST_F(MoviePrerollTest, AWholeMovieIsReadIntoMemoryOffTheMainThread) {
  TestClipSpec spec;
  spec.width = 640;
  spec.height = 360;
  spec.frames = 90;
  spec.chromaNoise = 40;
  auto file = open(spec);
  Movie& movie = file->movieFile()->movie();
  auto source = std::make_shared<FakeSource>();
  file->movieFile()->setSubscriber(source);
  const QKTimeRange all{QKTime{0, movie.duration().scale, 0}, movie.duration()};
  const int64_t readBefore = movie.fileBytesRead();

  // Every worker of the pool held: the read waits for one of them.
  auto gates = holdWorkers();
  file->setRamloadRange(all);
  ASSERT_TRUE(file->ramloadUnderWay());
  EXPECT_TRUE(source->paused());
  int ranDuringTheRead = 0;
  for (int i = 0; i < 5; ++i)
    MainThread::post([&] { ranDuringTheRead += file->ramloadUnderWay() ? 1 : 0; });
  MainThread::processUntil([] { return false; }, 0.1);
  EXPECT_EQ(ranDuringTheRead, 5) << "the main thread was held by the read";
  EXPECT_EQ(movie.ramBytes(), 0) << "read on the main thread";
  EXPECT_EQ(movie.fileBytesRead(), readBefore);
  EXPECT_FALSE(file->movieProp(P::kRamloadRange).isValid() &&
               P::range(file->movieProp(P::kRamloadRange)) == all)
      << "recorded before it was read";
  // Asked for during the read: only the last is applied, after it.
  file->setRamloadRange(range(file, 0, 10));
  file->setRamloadRange(all);
  EXPECT_EQ(P::range(file->createSnapshot().value("movieProps").toMap().value(P::kRamloadRange)),
            all);

  for (auto& gate : gates) gate->set_value();
  settle(file);
  EXPECT_EQ(P::range(file->movieProp(P::kRamloadRange)), all);
  EXPECT_FALSE(file->pendingRamloadRange());
  EXPECT_GE(movie.ramBytes(), QFileInfo(file->fullPath()).size() / 2)
      << "the movie's frames are in memory";
  EXPECT_FALSE(source->paused());
  EXPECT_EQ(source->pauseCalls, 2);
}

TEST_F(MoviePrerollTest, AFileDeletedDuringItsReadRecordsNothing) {
  auto file = open(smallClip(30));
  auto gates = holdWorkers();
  file->setRamloadRange(range(file, 0, 10));
  file->prepareToBeDeleted();
  for (auto& gate : gates) gate->set_value();
  settle(file);
  EXPECT_FALSE(file->movieProp(P::kRamloadRange).isValid() &&
               P::range(file->movieProp(P::kRamloadRange)) == range(file, 0, 10));
}

TEST_F(MoviePrerollTest, ANewFileKeepsItsFirstFramesInRamWhenAsked) {
  UserDefaults::standard().setValue(QStringLiteral("ramloadDefault"), 1);
  UserDefaults::standard().setValue(QStringLiteral("ramloadRangeDefault"), 6);
  auto file = open(smallClip(30));
  settle(file);
  EXPECT_EQ(P::range(file->movieProp(P::kRamloadRange)), range(file, 0, 6));
  EXPECT_GT(file->movieFile()->movie().ramBytes(), 0);
}

class MoviePrerollRenderTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    UserDefaults::standard().resetForTesting();
    QKStatChecker::reset();
    UserDefaults::standard().setValue(QStringLiteral("doMoviePrerollDefault"), 1);
    Movie::Options options;
    options.clock = &clock;
    QKQTFile::setMovieOptions(options);
  }
  void TearDown() override {
    if (file) file->prepareToBeDeleted();
    file.reset();
    QKQTFile::setMovieOptions({});
    QKStatChecker::reset();
    UserDefaults::standard().resetForTesting();
    GLTest::TearDown();
  }

  void openClip(int width, int height, int frames) {
    TestClipSpec spec;
    spec.width = width;
    spec.height = height;
    spec.frames = frames;
    QString error;
    const QString path = TestClip::create(spec, QStringLiteral("clip.mov"), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    auto movie = QKQTMovie::movieWithFile(path, &error, QKQTFile::movieOptions());
    ASSERT_TRUE(movie) << error.toStdString();
    file = QKQTFile::createQTWithPath(path, QStringLiteral("clip.mov"), movie, &compositor);
  }

  bool renderUntilPrerolled() {
    return MainThread::processUntil(
        [&] {
          gl::RenderThread::instance().runFrameNow();
          auto context = file->visualContext();
          return context && context->hasPicture();
        },
        20.0);
  }

  // Movies may outlive a test by a little (a pre-roll still finishing, a
  // release queued to the main thread): their clock lives on.
  static inline ManualMovieClock clock;
  FakeCompositor compositor;
  std::shared_ptr<QKQTFile> file;
};

TEST_F(MoviePrerollRenderTest, APrerolledMovieShowsItsFirstFrameOnTheFirstFrameAfterItsTrigger) {
  openClip(64, 48, 20);
  const auto context = file->visualContext();
  ASSERT_TRUE(context) << "pre-rolled into a texture context when made";
  ASSERT_TRUE(renderUntilPrerolled());
  EXPECT_EQ(context->frameIndex(), 0);

  // The layer: on each frame, under the render lock, it draws what the
  // file's texture context holds.
  std::atomic<int> framesAfterTrigger{0};
  int firstShown = -2;
  std::atomic<bool> triggered{false};
  const int handler = gl::RenderThread::instance().addFrameHandler([&](const auto&) {
    if (!triggered || !compositor.tryLockForFrame()) return;
    if (++framesAfterTrigger == 1) {
      const auto shown = file->visualContext();
      firstShown = shown && shown->texture()
                       ? TestClip::frameNumberIn(gl::TextureReader::read(shown->texture()))
                       : -1;
    }
    compositor.unlockFrame();
  });

  auto source = std::make_shared<FakeSource>();
  const std::shared_ptr<QKQTMovie> movie = file->movieFile();
  file->setCurrentSource(source);
  movie->setSubscriber(source);
  movie->unlock();
  movie->movie().play();
  triggered = true;
  gl::RenderThread::instance().runFrameNow();
  gl::RenderThread::instance().removeFrameHandler(handler);
  EXPECT_EQ(framesAfterTrigger.load(), 1);
  EXPECT_EQ(firstShown, 0) << "the first frame is on screen at the first frame after the trigger";

  file->setCurrentSource(nullptr);
  movie->clearSubscriber();
  movie->lock();
}

TEST_F(MoviePrerollRenderTest, PrerollingAFullHdMovieNeverHoldsTheRenderLockForTheDecode) {
  std::atomic<int> drawn{0};
  std::atomic<int> skipped{0};
  const int handler = gl::RenderThread::instance().addFrameHandler([&](const auto&) {
    if (!compositor.tryLockForFrame()) {
      ++skipped;
      return;
    }
    ++drawn;
    compositor.unlockFrame();
  });
  std::atomic<bool> stop{false};
  std::thread display([&] {
    while (!stop) gl::RenderThread::instance().runFrameNow();
  });
  openClip(1920, 1080, 3);
  const bool prerolled = renderUntilPrerolled();
  stop = true;
  display.join();
  gl::RenderThread::instance().removeFrameHandler(handler);
  ASSERT_TRUE(prerolled);
  EXPECT_EQ(file->visualContext()->frameIndex(), 0);
  EXPECT_GT(compositor.locks.load(), 0);
  EXPECT_GT(drawn.load(), 0);
  // Swapping a context in is a few pointer moves; decoding or uploading a
  // 1080p frame under the lock would cost milliseconds of the holder's time.
  EXPECT_LT(compositor.longestHoldCpuMicros.load(), 1000)
      << "frames drawn " << drawn.load() << ", skipped " << skipped.load();
}
