// The media inspector edits what a media bin cell plays, in ZAPH's process:
// a performer selects a clip in the bin (its frames show their own numbers),
// sets its in and out points on the preview, pins warp markers at both ends
// and one in the middle, drags the middle one earlier, turns on a speed of 2
// and the back-and-forth loop, and applies. The cell triggered onto a layer
// then plays those settings: the number of every frame is read off the
// composited canvas while the movies' clock moves by hand.
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/inspector/MICheckBox.h"
#include "app/inspector/MISegmentedControl.h"
#include "app/inspector/MediaInspector.h"
#include "app/inspector/QKMIMoviePropertiesController.h"
#include "app/inspector/QKMIRangeSelectorController.h"
#include "app/inspector/QKMITimeWarpView.h"
#include "app/mediabin/MBFileGridView.h"
#include "app/mediabin/MBGridGeometry.h"
#include "app/mediabin/MBLayerController.h"
#include "app/mediabin/MediaBin.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/shell/AppController.h"
#include "app/sources/VidSourceObject.h"
#include "app/sources/MovieSource.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/media/MovieProps.h"
#include "framework/media/QKFileLoader.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "framework/media/QKQTFile.h"
#include "framework/media/QKQTMovie.h"
#include "framework/media/QKWarpMarker.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/gl/RenderThread.h"
#include "platform/movie/MovieClock.h"
#include "tests/app/compositor/CanvasFrame.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

namespace P = MovieProps;

constexpr int kRate = 30;
constexpr int kFrames = 60;
constexpr int kUnitsPerFrame = 512;  // the test clip's time scale: 512 units a frame
constexpr QSize kCanvas(320, 240);
// The performer's settings, in frames of the clip.
constexpr int kIn = 10;
constexpr int kOut = 40;  // the range ends here: frame 39 is its last
constexpr int kMiddle = 25;
constexpr double kMiddleDraggedTo = 20.0;
constexpr double kSpeed = 2.0;
// The warp's stretches are worked out in single precision: a map point may
// lie a few units of the clip's time scale off.
constexpr double kFrameSlack = 0.02;

ManualMovieClock& movieClock() {
  static ManualMovieClock clock;
  return clock;
}

// The frame a warp with pins at the in and out points and the middle marker
// at `middleWarp` (frames) shows at playing time `warped` (frames).
double warpedFrame(double warped, double middleWarp) {
  if (warped <= middleWarp) return kIn + (warped - kIn) * (kMiddle - kIn) / (middleWarp - kIn);
  return kMiddle + (warped - middleWarp) * (kOut - kMiddle) / (kOut - middleWarp);
}

// Where the play head stands (in frames of playing time) once it has run
// `run` frames from the in point, turning back at the out and in points.
double playingFrameAt(double run) {
  const double length = kOut - kIn;
  const double phase = std::fmod(run, 2 * length);
  return kIn + (phase <= length ? phase : 2 * length - phase);
}

// The frames that may show at a movie time given in frames: the one it
// lies in, and its neighbour when it lies within `slack` of their border.
std::set<int> framesAround(double frame, double slack) {
  return {int(std::floor(frame - slack)), int(std::floor(frame)), int(std::floor(frame + slack))};
}

class InspectedBin {
 public:
  explicit InspectedBin(AppController& controller)
      : controller_(controller), compositor_(*controller.compositorObject()) {
    compositor_.layerSizeChangedFrom(compositor_.canvasSize(), QSizeF(kCanvas));
    compositor_.canvasSizeChanged(QSizeF(kCanvas));
    layer_ = compositor_.createNewLayer();
    bin_ = dynamic_cast<MediaBin*>(
        controller.pluginManager()->instantiatePluginType(MediaBin::kTypeName));
  }
  ~InspectedBin() { close(); }
  void close() {
    if (!layer_) return;
    controller_.pluginManager()->deleteAllPlugins();
    layer_.reset();
    compositor_.deleteAllLayers();
  }

  // Empty, or what went wrong.
  QString loadClip() {
    TestClipSpec spec;
    spec.width = kCanvas.width();
    spec.height = kCanvas.height();
    spec.frames = kFrames;
    spec.fpsNum = kRate;
    const QString path =
        TestEnvironment::makeTempDir(QStringLiteral("inspected")) + QStringLiteral("/clip.mov");
    if (const QString error = TestClip::write(path, spec); !error.isEmpty()) return error;
    QKFileLoader* loader = controller_.fileLoaderObject();
    loader->addTheseFilesToQueue({path}, nullptr, 0, false);
    if (!MainThread::processUntil([&] { return !loader->loading(); }, 30))
      return QStringLiteral("the clip did not load");
    file_ = std::dynamic_pointer_cast<QKQTFile>(cell(0));
    if (!file_ || !file_->validFile()) return QStringLiteral("cell 0 holds no valid movie");
    return {};
  }

  bool showBin() {
    if (!bin_ || !bin_->window() || !bin_->gridView()) return false;
    bin_->window()->show();
    return QTest::qWaitForWindowExposed(bin_->gridView());
  }
  // A performer's click on cell `index` of the first page.
  void clickCell(int index, Qt::KeyboardModifiers modifiers) {
    MBFileGridView* grid = bin_->gridView();
    const int columns = grid->numberOfColumns();
    const auto blocks = MBGridGeometry::layout(grid->pages(), grid->width(), grid->height(),
                                               columns, bin_->listenerCount());
    ASSERT_FALSE(blocks.empty());
    const QRectF rect = MBGridGeometry::cellRect(blocks[0], index, grid->width(), columns);
    QTest::mouseClick(grid, Qt::LeftButton, modifiers,
                      MBGridGeometry::toWidget(rect, grid->height()).center().toPoint());
  }
  // A click on a selected cell drags the selection: the performer
  // shift-clicks it off first.
  void triggerFromCell(int index) {
    bin_->layerController()->makeThisLayerNext(layer_->layerName());
    if (bin_->isSelected(cell(index)->uniqueFileId())) clickCell(index, Qt::ShiftModifier);
    clickCell(index, {});
  }

  std::shared_ptr<QKFile> cell(int index) const {
    const auto& cells = controller_.pageController()->pages().front()->contents();
    return size_t(index) < cells.size() ? cells[size_t(index)] : nullptr;
  }
  const std::shared_ptr<QKQTFile>& file() const { return file_; }
  VidSourceObject* layerSource() const { return layer_->currentSource(); }
  bool layerPlays(const std::shared_ptr<QKFile>& file) const {
    return MainThread::processUntil(
        [&] {
          VidSourceObject* source = layer_->currentSource();
          if (!source || source->currentFile() != file) return false;
          // A movie source names its file at once; its movie comes when the load ends.
          const auto* movieSource = dynamic_cast<MovieSource*>(source);
          return !movieSource || movieSource->movie() != nullptr;
        },
        10.0);
  }

  // The source sets its movie's speed on its next movie task: until then
  // (here, or on the source's own thread) the movie stands.
  bool movieRuns(Movie& movie) {
    return MainThread::processUntil(
        [&] {
          if (VidSourceObject* source = layer_->currentSource()) source->movieTaskNow();
          return movie.rate() != 0.0;
        },
        10.0);
  }

  // The number on the canvas once it is one of `expected` (the decoder
  // works ahead on its own thread, so a few draws may show the one
  // before), or the last number read. Drawn 1:1 over the output window's
  // size, as the window shows it.
  int shownNumber(const std::set<int>& expected) {
    int shown = -2;
    MainThread::processUntil(
        [&] {
          QCoreApplication::processEvents();
          if (VidSourceObject* source = layer_->currentSource()) source->movieTaskNow();
          QImage pixels;
          gl::RenderThread::instance().invokeAndWait(
              [&] { pixels = drawCanvasFrame(compositor_, compositor_.displaySize().toSize()); });
          shown = TestClip::frameNumberIn(pixels);
          return expected.contains(shown);
        },
        3.0);
    return shown;
  }

 private:
  AppController& controller_;
  Compositor& compositor_;
  std::shared_ptr<Layer> layer_;
  MediaBin* bin_ = nullptr;
  std::shared_ptr<QKQTFile> file_;
};

// The inspector's preview, driven as a performer drives it.
class PreviewHand {
 public:
  explicit PreviewHand(MediaInspector& inspector)
      : inspector_(inspector), preview_(*inspector.rangeSelector()) {}

  bool shows(const std::shared_ptr<QKFile>& file) const {
    return MainThread::processUntil(
        [&] {
          return preview_.currentFile() == file && preview_.currentMovie() && !preview_.loading();
        },
        10.0);
  }
  // Drags the time slider onto a frame; true once the preview stands there.
  bool scrubTo(int frame) {
    preview_.timeSlider()->setValueWithRangedValue(float(frame) / float(kRate), true);
    return MainThread::processUntil(
        [&] {
          const QKTime now = preview_.currentMovie()->movie().currentTime();
          return now.scale > 0 &&
                 std::llround(double(now.value) * kRate / double(now.scale)) == frame;
        },
        3.0);
  }
  void press(QKButton* button) {
    button->bang();
    MainThread::processUntil([] { return false; }, 0.02);
  }
  // Drags the time-warp editor's marker `index` to playing time `frame`
  // with the mouse; the editor shows the whole clip until the range is
  // applied.
  void dragMarker(int index, double frame) {
    QKMITimeWarpView& view = *inspector_.timeWarpView();
    const auto& marker = preview_.currentQTFile()->warpMarkers()[size_t(index)];
    const double whole = double(kFrames * kUnitsPerFrame);
    const double w = view.width(), h = view.height();
    const QPointF from(double(marker->warpTime().value) * (w - 1) / whole,
                       h - double(marker->originalTime().value) * (h - 1) / whole);
    const QPointF to(frame / kFrames * w, from.y());
    QTest::mousePress(&view, Qt::LeftButton, {}, from.toPoint());
    QMouseEvent move(QEvent::MouseMove, to, view.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&view, &move);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, to.toPoint());
  }

 private:
  MediaInspector& inspector_;
  QKMIRangeSelectorController& preview_;
};

TEST(MediaInspectorInZaph, ACellPlaysTheRangeSpeedLoopAndWarpSetInTheInspector) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  UserDefaults::standard().resetForTesting();
  const Movie::Options previousOptions = QKQTFile::movieOptions();
  Movie::Options options = previousOptions;
  options.clock = &movieClock();
  options.audio = false;
  QKQTFile::setMovieOptions(options);
  {
    AppController controller;
    InspectedBin bin(controller);
    ASSERT_EQ(bin.loadClip(), QString());
    ASSERT_TRUE(bin.showBin());
    const std::shared_ptr<QKQTFile> file = bin.file();
    MediaInspector& inspector = *controller.mediaInspector();
    inspector.window()->contentView()->expand();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(inspector.window()));

    double middleWarp = 0;
    {
      // A shift-click selects the cell without playing it; the inspector
      // previews it.
      bin.clickCell(0, Qt::ShiftModifier);
      ASSERT_EQ(inspector.inspectedFiles(), std::vector<std::shared_ptr<QKFile>>{file});
      PreviewHand hand(inspector);
      ASSERT_TRUE(hand.shows(file));
      QKMIRangeSelectorController& preview = *inspector.rangeSelector();

      // In and out points from the play head.
      ASSERT_TRUE(hand.scrubTo(kIn));
      hand.press(preview.setInpointButton());
      ASSERT_TRUE(hand.scrubTo(kOut));
      hand.press(preview.setOutpointButton());
      const QKTimeRange pendingRange =
          P::range(inspector.pendingPropsFor(*file)->value(P::kActive));
      EXPECT_EQ(pendingRange.start.value, kIn * kUnitsPerFrame);
      EXPECT_EQ(pendingRange.duration.value, (kOut - kIn) * kUnitsPerFrame);

      // Markers pinned at both ends and one in the middle, which the mouse
      // drags earlier: the first half of the range plays faster, the second
      // slower, and both ends stay where they were set.
      inspector.movieOptionsTabView()->setCurrentIndex(1);
      QKMITimeWarpView& warp = *inspector.timeWarpView();
      for (int frame : {kIn, kMiddle, kOut}) {
        ASSERT_TRUE(hand.scrubTo(frame));
        hand.press(warp.insertWarpPtButton());
      }
      {
        ASSERT_EQ(file->warpMarkers().size(), 3u);
        EXPECT_EQ(warp.selectedMarker(), 2) << "an inserted marker is selected";
        hand.dragMarker(1, kMiddleDraggedTo);
        EXPECT_EQ(warp.selectedMarker(), 1);
        const auto& markers = file->warpMarkers();
        middleWarp = double(markers[1]->warpTime().value) / kUnitsPerFrame;
        // Where the pointer let go, or the grid line it snapped to.
        EXPECT_NEAR(middleWarp, kMiddleDraggedTo, 4.0 * kFrames / warp.width());
        EXPECT_EQ(markers[1]->originalTime().value, kMiddle * kUnitsPerFrame);
        EXPECT_EQ(markers[0]->warpTime().value, kIn * kUnitsPerFrame);
        EXPECT_EQ(markers[2]->warpTime().value, kOut * kUnitsPerFrame);
      }
      middleWarp = double(file->warpMarkers()[1]->warpTime().value) / kUnitsPerFrame;

      // Speed and loop mode on the options tab.
      inspector.movieOptionsTabView()->setCurrentIndex(0);
      QKMIMoviePropertiesController& options = *inspector.moviePropertiesController();
      {
        options.checkBox(QKMIMoviePropertiesController::Check::UseSpeed)->click();
        options.speedTextField()->selectAll();
        QTest::keyClicks(options.speedTextField(), QStringLiteral("2"));
        QTest::keyClick(options.speedTextField(), Qt::Key_Return);
      }
      options.checkBox(QKMIMoviePropertiesController::Check::UseLoopMode)->click();
      const auto segments = options.loopModeControl()->findChildren<QToolButton*>();
      ASSERT_EQ(segments.size(), 3);
      segments[2]->click();  // back and forth
      MainThread::processUntil([] { return false; }, 0.05);

      hand.press(inspector.applyButton());
      const QKTimeRange stored = P::range(file->movieProp(P::kActive));
      EXPECT_EQ(stored.start.value, kIn * kUnitsPerFrame);
      EXPECT_EQ(stored.duration.value, (kOut - kIn) * kUnitsPerFrame);
      EXPECT_EQ(P::intValue(file->movieProps(), P::kUseMovieSpeed), 1);
      EXPECT_EQ(P::intValue(file->movieProps(), P::kUseMovieLoopMode), 1);
      EXPECT_EQ(P::intValue(file->movieProps(), P::kLoopMode), 2);
    }
    // Triggered from the bin, the layer's movie plays those settings.
    bin.triggerFromCell(0);
    ASSERT_TRUE(bin.layerPlays(file));
    auto* source = dynamic_cast<MovieSource*>(bin.layerSource());
    ASSERT_NE(source, nullptr);
    const std::shared_ptr<Movie> movie = source->movie();
    ASSERT_NE(movie, nullptr);
    ASSERT_TRUE(bin.movieRuns(*movie)) << "the layer's movie does not play";
    EXPECT_EQ(movie->selection().start.value, kIn * kUnitsPerFrame);
    EXPECT_EQ(movie->selection().duration.value, (kOut - kIn) * kUnitsPerFrame);
    EXPECT_NEAR(movie->rate(), kSpeed, 1e-4);  // the speed passes through a float slider
    EXPECT_TRUE(movie->loopsBackAndForth());
    const auto map = movie->timeMap();
    ASSERT_NE(map, nullptr) << "the warp reaches the layer";
    for (double warped : {kIn + 3.0, middleWarp, kOut - 4.0})
      EXPECT_NEAR(double(map->originalAt(int64_t(warped * kUnitsPerFrame))) / kUnitsPerFrame,
                  warpedFrame(warped, middleWarp), 0.01)
          << warped;

    // Frame by frame off the canvas: from the in point at twice the speed,
    // through the warp, turning back at the out point and again at the in
    // point. The first read comes half a frame of playing time in, so that
    // every read lies well inside a frame.
    constexpr double kFirstRead = 0.5;
    movieClock().advance(kFirstRead / kSpeed / kRate);
    for (int step = 0; step < 32; ++step) {
      const double playing = playingFrameAt(kFirstRead + kSpeed * step);
      const std::set<int> expected = framesAround(warpedFrame(playing, middleWarp), kFrameSlack);
      const int shown = bin.shownNumber(expected);
      EXPECT_TRUE(expected.contains(shown))
          << "step " << step << " at playing frame " << playing << " shows " << shown;
      movieClock().advance(1.0 / kRate);
    }

    bin.close();
    controller.applicationWillTerminate();
  }
  QKQTFile::setMovieOptions(previousOptions);
}

}  // namespace
