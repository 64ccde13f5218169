// A preview of a movie layer: a clip whose frames show their own numbers
// plays on a real layer, the preview draws the layer's tap, and the number
// is read back from the preview's pixels while the mouse jogs or scratches
// the movie. The movies run on a clock the test moves by hand.
#include "PreviewFixture.h"

#include "app/sources/MovieSource.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/datasource/DataSource.h"
#include "framework/filters/QKFilterAlpha.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKQTMovie.h"
#include "platform/movie/MovieClock.h"
#include "tests/support/TestClip.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdlib>

namespace {

constexpr int kFrames = 30;  // one second at 30 per second

class PreviewMovieTest : public PreviewFixture {
 protected:
  void SetUp() override {
    PreviewFixture::SetUp();
    if (IsSkipped()) return;
    QKFilterAlpha::registerFilter();
    previousOptions_ = QKQTFile::movieOptions();
    Movie::Options options = previousOptions_;
    options.clock = &clock();
    options.audio = false;
    QKQTFile::setMovieOptions(options);
    layer = world->layer();
    layer->useSourceNamed(Layer::kMovie);
    preview = makeShown();
    ASSERT_NE(preview, nullptr);
    choose(*preview, layer->layerName());
    view = viewSize(*preview);
  }
  void TearDown() override {
    if (world) {
      manager->deletePlugins({preview});
      layer->useSourceNamed(Layer::kNil);
      settle();
      for (auto& [id, file] : world->files) file->prepareToBeDeleted();
      layer.reset();
      QKQTFile::setMovieOptions(previousOptions_);
    }
    PreviewFixture::TearDown();
  }

  // Movies may outlive a test by a little: their clock lives on.
  static ManualMovieClock& clock() {
    static ManualMovieClock manual;
    return manual;
  }

  MovieSource& source() {
    return static_cast<MovieSource&>(*layer->sourceOfKind(VidSourceObject::kMovieSource));
  }

  // A numbered clip triggered as the media bin does, loaded and shown.
  void play() {
    TestClipSpec spec;
    spec.width = 64;
    spec.height = 48;
    spec.frames = kFrames;
    QString error;
    const QString path = TestClip::create(spec, QStringLiteral("numbers.mov"), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    auto movie = QKQTMovie::movieWithFile(path, &error, QKQTFile::movieOptions());
    ASSERT_TRUE(movie) << error.toStdString();
    auto file = world->keep(QKQTFile::createQTWithPath(path, QFileInfo(path).fileName(), movie,
                                                       world->compositor.get()));
    layer->unlockedTriggerFile(file);
    ASSERT_TRUE(MainThread::processUntil(
        [&] { return source().currentFile() == file && source().movie() && !source().loading(); },
        10.0));
    idle();
  }
  // The main thread's idle passes: queued calls and the movie's idle step.
  void idle() {
    for (int pass = 0; pass < 2; ++pass) {
      QCoreApplication::processEvents();
      source().movieTaskNow();
      QCoreApplication::processEvents();
    }
  }
  // The frame number the preview shows once it is within `tolerance` of
  // `expected` (the decoder works ahead on its own thread), or the last one
  // read; -1 when no number shows (black).
  int previewed(int expected, int tolerance = 1) {
    int shown = -2;
    MainThread::processUntil(
        [&] {
          frames(2);
          shown = TestClip::frameNumberIn(grab(*preview));
          return shown >= 0 && std::abs(shown - expected) <= tolerance;
        },
        3.0);
    return shown;
  }
  void run(int frameCount) {
    for (int i = 0; i < frameCount; ++i) {
      clock().advance(1.0 / kFrames);
      frame();
      idle();
    }
  }
  float published(const char* key) {
    const std::shared_ptr<DataSource> source =
        world->dsc.dataSourceForKeyArray({preview->windowTitle(), QString::fromLatin1(key)});
    return source ? source->value() : -99.0f;
  }
  float speed() { return source().speedSlider()->rangedValue(); }
  QPointF upper(double dx = 0) const { return {view.width() / 2 + dx, view.height() / 4}; }
  QPointF lower(double dx = 0) const { return {view.width() / 2 + dx, view.height() * 3 / 4}; }

  std::shared_ptr<Layer> layer;
  PreviewWindow* preview = nullptr;
  QSizeF view;

 private:
  Movie::Options previousOptions_;
};

TEST_F(PreviewMovieTest, AJogInTheUpperHalfChangesTheSpeedOneUnitPerThirtyPoints) {
  play();
  const float before = speed();
  preview->viewMouseDown(upper(), view, false);
  EXPECT_TRUE(preview->trackingDrag());
  preview->viewMouseDragged(upper(30), view);
  EXPECT_NEAR(speed(), before + 1.0f, 1e-3);
  preview->viewMouseDragged(upper(15), view);
  EXPECT_NEAR(speed(), before + 0.5f, 1e-3);
  preview->viewMouseUp();
  EXPECT_NEAR(speed(), before + 0.5f, 1e-3) << "the jog's speed stays";
  EXPECT_FALSE(source().paused());

  // Jog and scratch off: only X and Y follow the mouse.
  preview->jogScratchButtonUsed(false);
  preview->viewMouseDown(upper(), view, false);
  EXPECT_FALSE(preview->trackingDrag());
  preview->viewMouseDragged(upper(30), view);
  EXPECT_NEAR(speed(), before + 0.5f, 1e-3);
  EXPECT_NEAR(published("X"), (view.width() / 2 + 30) / view.width(), 1e-4);
  EXPECT_NEAR(published("Y"), 0.75, 1e-4);
  preview->viewMouseUp();
}

// From the middle of the clip, 15 points right move the play head a quarter
// on; the pause state found at the mouse-down comes back at the release.
TEST_F(PreviewMovieTest, AScratchMovesThePlayHeadAndPutsBackThePauseState) {
  play();
  for (bool pausedBefore : {false, true}) {
    SCOPED_TRACE(pausedBefore ? "paused before" : "playing before");
    source().pauseToggle()->setIntValue(pausedBefore ? 0 : 1, true);
    source().setRangedTimeMainThread(0.5f);
    idle();
    ASSERT_EQ(source().paused(), pausedBefore);
    const float start = source().lastRangedTime();
    ASSERT_NEAR(start, 0.5f, 0.04f);
    EXPECT_NEAR(previewed(15), 15, 1);

    preview->viewMouseDown(lower(), view, false);
    ASSERT_TRUE(preview->trackingDrag());
    idle();
    EXPECT_TRUE(source().paused()) << "held while scratching";
    preview->viewMouseDragged(lower(15), view);
    idle();
    EXPECT_NEAR(source().lastRangedTime(), start + 0.25f, 0.04f);
    EXPECT_NEAR(previewed(22), 22, 1);
    run(5);
    EXPECT_NEAR(previewed(22), 22, 1) << "no play while the button is down";
    preview->viewMouseUp();
    idle();
    EXPECT_EQ(source().paused(), pausedBefore);
    run(5);
    const int after = previewed(pausedBefore ? 22 : 27);
    if (pausedBefore)
      EXPECT_NEAR(after, 22, 1);
    else
      EXPECT_GT(after, 23);
  }
  // Far beyond either end: the play head stays within the clip.
  preview->viewMouseDown(lower(), view, false);
  for (double dx : {-400.0, 400.0}) {
    preview->viewMouseDragged(lower(dx), view);
    idle();
    EXPECT_GE(source().lastRangedTime(), 0.0f);
    EXPECT_LE(source().lastRangedTime(), 1.0f);
  }
  preview->viewMouseUp();
}

TEST_F(PreviewMovieTest, NoScratchWithoutAPlayPosition) {
  ASSERT_LT(source().lastRangedTime(), 0.0f);  // nothing loaded
  preview->viewMouseDown(lower(), view, false);
  EXPECT_FALSE(preview->trackingDrag());
  EXPECT_FLOAT_EQ(published("Mouse"), 1.0f);
  preview->viewMouseUp();
}

TEST_F(PreviewMovieTest, ALayerDeletedMidDragEndsTheDrag) {
  play();
  preview->viewMouseDown(lower(), view, false);
  ASSERT_TRUE(preview->trackingDrag());
  idle();
  world->compositor->deleteThisLayer(layer.get());
  settle();
  preview->viewMouseDragged(lower(30), view);
  idle();
  EXPECT_FALSE(preview->trackingDrag());
  EXPECT_NEAR(published("X"), (view.width() / 2 + 30) / view.width(), 1e-4);
  preview->viewMouseUp();
  EXPECT_FLOAT_EQ(published("Mouse"), 0.0f);
  frames(2);  // the preview of a gone layer draws black
}

TEST_F(PreviewMovieTest, ALayerShowingNothingIsPreviewedBlack) {
  play();
  run(3);  // frame 0 shows no white cell
  ASSERT_NEAR(previewed(3), 3, 1);
  const struct {
    const char* name;
    std::function<void()> change;
    bool black;
  } cases[] = {
      {"black frames", [&] { source().setBlackFrame(true); }, true},
      {"shown again", [&] { source().setBlackFrame(false); }, false},
      {"no source", [&] { layer->useSourceNamed(Layer::kNil); }, true},
  };
  for (const auto& c : cases) {
    c.change();
    settle();
    frames(2);
    const QImage shown = grab(*preview);
    const int number = TestClip::frameNumberIn(shown);
    if (c.black) {
      EXPECT_TRUE(near(shown.pixelColor(shown.width() / 2, shown.height() / 2), Qt::black, 8))
          << c.name;
      EXPECT_TRUE(near(shown.pixelColor(5, 5), Qt::black, 8)) << c.name;
    } else {
      EXPECT_GE(number, 1) << c.name;
    }
  }
}

}  // namespace
