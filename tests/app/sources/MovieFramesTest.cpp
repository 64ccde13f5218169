// Movies played end to end: a clip whose frames show their own numbers is
// triggered onto a real layer, the compositor draws its frame, and the
// number is read back from the canvas pixels. The movies run on a clock the
// test moves by hand.
#include "SourceFixture.h"

#include "app/sources/MovieSource.h"
#include "framework/media/MovieProps.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKQTMovie.h"
#include "platform/movie/MovieClock.h"
#include "framework/taps/QKTapManager.h"
#include "platform/foundation/NotificationObservers.h"
#include "tests/app/compositor/CanvasFrame.h"
#include "tests/app/compositor/RunningFrames.h"
#include "tests/support/GLTest.h"
#include "tests/support/HangWatchdog.h"
#include "tests/support/TestClip.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

namespace {

constexpr QSize kCanvas(640, 480);
constexpr int kFrames = 30;  // one second at 30 per second

class MovieFramesTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    QKFilterAlpha::registerFilter();
    previousOptions_ = QKQTFile::movieOptions();
    Movie::Options options = previousOptions_;
    options.clock = &clock();
    options.audio = false;
    QKQTFile::setMovieOptions(options);
    world_ = std::make_unique<SourceWorld>();
    layer_ = world_->layer();
  }
  void TearDown() override {
    if (world_) {
      layer_->useSourceNamed(Layer::kNil);
      MainThread::processUntil([] { return false; }, 0.05);
      for (auto& [id, file] : world_->files) file->prepareToBeDeleted();
      layer_.reset();
      world_.reset();
      QKQTFile::setMovieOptions(previousOptions_);
      MovieSource::setUseQTMovieLooping(true);
    }
    GLTest::TearDown();
  }

  // Movies may outlive a test by a little (a release queued to the main
  // thread): their clock lives on.
  static ManualMovieClock& clock() {
    static ManualMovieClock manual;
    return manual;
  }

  std::shared_ptr<QKQTFile> clip(const QVariantMap& props = {},
                                 const QString& name = QStringLiteral("numbers.mov")) {
    TestClipSpec spec;
    spec.width = 64;
    spec.height = 48;
    spec.frames = kFrames;
    QString error;
    const QString path = TestClip::create(spec, name, &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    auto movie = QKQTMovie::movieWithFile(path, &error, QKQTFile::movieOptions());
    EXPECT_TRUE(movie) << error.toStdString();
    auto file = QKQTFile::createQTWithPath(path, QFileInfo(path).fileName(), movie,
                                           world_->compositor.get());
    for (auto it = props.begin(); it != props.end(); ++it) file->setMovieProp(it.key(), it.value());
    return world_->keep(file);
  }

  MovieSource& source() {
    return static_cast<MovieSource&>(*layer_->sourceOfKind(VidSourceObject::kMovieSource));
  }

  // Triggered as the media bin does, loaded and standing at its start.
  void play(const std::shared_ptr<QKQTFile>& file) {
    layer_->unlockedTriggerFile(file);
    ASSERT_EQ(layer_->currentSourceAsString(), Layer::kMovie);
    ASSERT_TRUE(MainThread::processUntil(
        [&] { return source().currentFile() == file && source().movie() && !source().loading(); },
        10.0));
    idle();
  }

  // The main thread's idle passes: queued calls and the idle step.
  void idle() {
    for (int pass = 0; pass < 2; ++pass) {
      QCoreApplication::processEvents();
      source().movieTaskNow();
      QCoreApplication::processEvents();
    }
  }

  // The frame number on the canvas once it is within `tolerance` of
  // `expected` (the decoder works ahead on its own thread), or the last one
  // read. Frame 0 shows no white cell: it cannot be told from a black canvas.
  int shownFrame(int expected, int tolerance = 0) {
    int shown = -2;
    MainThread::processUntil(
        [&] {
          QImage pixels;
          onRenderThread([&] { pixels = drawCanvasFrame(*world_->compositor, kCanvas); });
          shown = TestClip::frameNumberIn(pixels);
          return shown >= 0 && std::abs(shown - expected) <= tolerance;
        },
        3.0);
    return shown;
  }

  // Moves the clock by whole frames, each drawn (end detection reads every
  // frame), with the main thread's idle step between them.
  void run(int frames) {
    for (int i = 0; i < frames; ++i) {
      clock().advance(1.0 / kFrames);
      onRenderThread([&] { drawCanvasFrame(*world_->compositor, kCanvas); });
      idle();
    }
  }

  // Frames 10 … 19 as the in/out selection.
  static QVariant middleThird() {
    return QVariant::fromValue(QKTimeRange{QKTime{10 * 20, 600, 0}, QKTime{10 * 20, 600, 0}});
  }

  std::unique_ptr<SourceWorld> world_;
  std::shared_ptr<Layer> layer_;

 private:
  Movie::Options previousOptions_;
};

TEST_F(MovieFramesTest, AClipPlaysForwardAtRateOneAndBackwardAtRateMinusOne) {
  struct Case {
    const char* name;
    double speed;
    int firstAfter;  // frames run before the first look
    int first;
    int tenLater;
  };
  const Case cases[] = {{"forward", 1.0, 3, 3, 13},
                        {"backward", -1.0, 0, kFrames - 1, kFrames - 11}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    play(clip({{"useMovieSpeed", 1}, {"speed", c.speed}}));
    run(c.firstAfter);
    EXPECT_EQ(shownFrame(c.first), c.first);
    EXPECT_FALSE(source().blackFrame());
    run(10);
    EXPECT_EQ(shownFrame(c.tenLater), c.tenLater);
  }
}

TEST_F(MovieFramesTest, PauseHoldsTheFrameAndResumeGoesOn) {
  play(clip());
  run(5);
  EXPECT_EQ(shownFrame(5), 5);
  source().pauseToggle()->setIntValue(0, true);
  idle();
  run(5);
  EXPECT_EQ(shownFrame(5), 5);
  source().pauseToggle()->setIntValue(1, true);
  idle();
  run(5);
  EXPECT_EQ(shownFrame(10), 10);
}

// The selection's ends in each loop mode, with the movie looping itself and
// with the source looping it from its idle step.
TEST_F(MovieFramesTest, TheSelectionsEndsInEachLoopMode) {
  struct Case {
    const char* name;
    int mode;
    int afterEnd;  // shown 4 frames after the out point; -1: nothing shown
  };
  const Case cases[] = {{"loop", MovieSource::kLoop, 14},
                        {"r.loop", MovieSource::kBackAndForth, 16},
                        {"once", MovieSource::kOnce, -1}};
  for (bool ownLooping : {false, true}) {
    MovieSource::setUseQTMovieLooping(!ownLooping);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (ownLooping ? ", own looping" : ", movie looping"));
      play(clip({{"active", middleThird()}}));
      source().loopButton(c.mode)->setIntValue(1, true);
      idle();
      EXPECT_EQ(shownFrame(10), 10) << "starts at the in point";
      run(9);
      EXPECT_EQ(shownFrame(19), 19) << "the out point's frame";
      run(5);
      if (c.afterEnd >= 0) {
        // Within a frame: where the movie turns at its end is its own.
        EXPECT_NEAR(shownFrame(c.afterEnd, 1), c.afterEnd, 1);
        EXPECT_FALSE(source().stopped());
      } else {
        // Stopped at the out point, and the layer shows nothing more.
        EXPECT_TRUE(MainThread::processUntil(
            [&] { return source().stopped() && source().blackFrame(); }, 2.0));
        QImage pixels;
        onRenderThread([&] { pixels = drawCanvasFrame(*world_->compositor, kCanvas); });
        EXPECT_TRUE(
            near(pixels.pixelColor(kCanvas.width() / 2, kCanvas.height() / 2), QColor(0, 0, 0), 2));
      }
    }
  }
}

TEST_F(MovieFramesTest, StepsAndJumpsShowTheFrameTheyLandOn) {
  play(clip({{"active", middleThird()}}));
  source().pauseToggle()->setIntValue(0, true);
  idle();
  EXPECT_EQ(shownFrame(10), 10);
  source().gotoNextFrame();
  idle();
  EXPECT_EQ(shownFrame(11), 11);
  source().setTime(15.0f / kFrames);
  idle();
  EXPECT_EQ(shownFrame(15), 15);
  source().setTime(0.0f);  // before the in point: lands on it
  idle();
  EXPECT_EQ(shownFrame(10), 10);
  source().gotoPrevFrame();  // wraps to the out point: the selection's last frame shows
  idle();
  EXPECT_EQ(shownFrame(19), 19);
}

// A movie layer that another layer shows through a tap: its first
// picture's size reaches the tap manager, whose lock the compositor's tap
// pass holds while it asks the layers' sources about their files. The size
// must be announced with the source's play lock let go: a thread taking
// the two in the tap pass's order (tap manager, then source) then never
// waits for the frame that announces it.
TEST_F(MovieFramesTest, AClipsSizeIsAnnouncedWithTheSourceUnlocked) {
  auto receiver = world_->layer();
  receiver->useSourceNamed(Layer::kVideoTap);
  ASSERT_TRUE(SourceWorld::tap(*receiver).useTapNamed(layer_->layerName()));
  play(clip());
  QKTapManager& taps = *world_->compositor->tapManager();
  std::atomic<int> announced{0}, waitedOut{0};
  std::vector<std::thread> askers;
  NotificationObservers observers;
  observers.observe(Layer::kBoundsChangedNotification, layer_.get(), [&](const Notification&) {
    ++announced;
    auto answered = std::make_shared<std::promise<void>>();
    std::future<void> answer = answered->get_future();
    askers.emplace_back([&taps, &source = source(), answered] {
      std::lock_guard<QKTapManager> lock(taps);
      (void)source.currentFile();
      answered->set_value();
    });
    if (answer.wait_for(std::chrono::seconds(2)) == std::future_status::timeout) ++waitedOut;
  });
  // The decoder works ahead on its own thread: frames run until the first
  // picture is there.
  EXPECT_TRUE(MainThread::processUntil(
      [&] {
        run(1);
        return announced.load() > 0;
      },
      5.0));
  for (std::thread& asker : askers) asker.join();
  EXPECT_EQ(waitedOut.load(), 0);
  EXPECT_EQ(layer_->layerSize(), QSizeF(64, 48));
}

// Clips loaded one after the other into a layer that feeds a tap, each
// announcing its size, while frames with their tap pass run on the render
// thread. Run under ThreadSanitizer to see a lock-order inversion; here it
// shows that nothing deadlocks and frames keep coming.
TEST_F(MovieFramesTest, ClipsLoadIntoATappedLayerBesideFrames) {
  auto receiver = world_->layer();
  receiver->useSourceNamed(Layer::kVideoTap);
  ASSERT_TRUE(SourceWorld::tap(*receiver).useTapNamed(layer_->layerName()));
  const std::shared_ptr<QKQTFile> clips[] = {clip({}, QStringLiteral("a.mov")),
                                             clip({}, QStringLiteral("b.mov"))};
  HangWatchdog watchdog("clips loading beside frames", 120.0);
  RunningFrames frames(*world_->compositor);
  for (int round = 0; round < 12; ++round) {
    const std::shared_ptr<QKQTFile>& file = clips[round % 2];
    layer_->unlockedTriggerFile(file);
    ASSERT_TRUE(MainThread::processUntil(
        [&] { return source().currentFile() == file && source().movie() && !source().loading(); },
        10.0));
    const int before = frames.count();
    ASSERT_TRUE(MainThread::processUntil([&] { return frames.count() > before + 2; }, 5.0));
  }
  frames.stop();
  EXPECT_FALSE(source().blackFrame());
}

}  // namespace
