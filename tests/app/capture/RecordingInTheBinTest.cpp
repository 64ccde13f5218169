// A recording made in ZAPH's process lands in the media bin and plays back
// frame-exact: a live input whose pictures show their own numbers is
// recorded with the record toggle, the file loader puts the finished movie
// in the first page, the media bin's layer queue triggers that cell onto a
// real layer, and the number of every frame is read off the composited
// canvas while the movies' clock moves one frame of the recording's rate at
// a time.
#include "app/capture/QKSGController.h"
#include "app/capture/QKSeqGrabber.h"
#include "app/compositor/Compositor.h"
#include "app/compositor/Layer.h"
#include "app/mediabin/MBLayerController.h"
#include "app/mediabin/MediaBin.h"
#include "app/plugins/manager/QKPluginManager.h"
#include "app/shell/AppController.h"
#include "app/sources/VidSourceObject.h"
#include "framework/controls/QKButton.h"
#include "framework/media/QKFile.h"
#include "framework/media/QKFileLoader.h"
#include "framework/media/QKPage.h"
#include "framework/media/QKPageController.h"
#include "framework/media/QKQTFile.h"
#include "platform/capture/CaptureInput.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/gl/RenderThread.h"
#include "platform/movie/MovieClock.h"
#include "tests/app/compositor/CanvasFrame.h"
#include "tests/support/CaptureTestSupport.h"
#include "tests/support/TestClip.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr int kRate = 25;
constexpr int kRecorded = 40;  // pictures read while recording, at the least
// The recording is the canvas's size, so that it fills the canvas whatever
// the layer's sizing.
constexpr QSize kCanvas(320, 240);

// Movies may outlive the test by a little (a release queued to the main
// thread): their clock lives on.
ManualMovieClock& movieClock() {
  static ManualMovieClock clock;
  return clock;
}

// The bin's first page cell holding `path`, or null.
std::shared_ptr<QKFile> cellWithPath(QKPageController& pages, const QString& path) {
  for (const auto& cell : pages.pages().front()->contents())
    if (cell && cell->fullPath() == path) return cell;
  return nullptr;
}

// The number the layer shows once the frame due at the clock's time is
// drawn (the decoder works ahead on its own thread, so a few draws may show
// the one before), or the last number read.
int shownNumber(AppController& controller, Layer& layer, int expected) {
  int shown = -2;
  MainThread::processUntil(
      [&] {
        QCoreApplication::processEvents();
        if (VidSourceObject* source = layer.currentSource()) source->movieTaskNow();
        // Drawn 1:1 over the output window's size, as the window shows it.
        Compositor& compositor = *controller.compositorObject();
        const QSize window = compositor.displaySize().toSize();
        QImage pixels;
        gl::RenderThread::instance().invokeAndWait(
            [&] { pixels = drawCanvasFrame(compositor, window); });
        shown = TestClip::frameNumberIn(pixels);
        return shown == expected;
      },
      3.0);
  return shown;
}

TEST(RecordingInTheBin, ARecordedInputPlaysFromItsCellFrameExact) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  UserDefaults::standard().resetForTesting();
  const QString folder = TestEnvironment::makeTempDir(QStringLiteral("recordings"));
  UserDefaults::standard().setValue(QStringLiteral("UserVideoCaptureDirectoryPath"), folder);
  const Movie::Options previousOptions = QKQTFile::movieOptions();
  Movie::Options options = previousOptions;
  options.clock = &movieClock();
  options.audio = false;
  QKQTFile::setMovieOptions(options);
  {
    AppController controller;
    Compositor& compositor = *controller.compositorObject();
    compositor.layerSizeChangedFrom(compositor.canvasSize(), QSizeF(kCanvas));
    compositor.canvasSizeChanged(QSizeF(kCanvas));
    std::shared_ptr<Layer> layer = compositor.createNewLayer();
    auto* bin = dynamic_cast<MediaBin*>(
        controller.pluginManager()->instantiatePluginType(MediaBin::kTypeName));
    ASSERT_NE(bin, nullptr);

    // Record at least kRecorded pictures with the toggle.
    QKSGController& capture = *controller.SGController();
    auto input = capture.addInput(
        CaptureTestSupport::numberedPattern(kCanvas.width(), kCanvas.height(), kRate));
    ASSERT_TRUE(input);
    capture.recordToggleButton()->setIntValue(1, false);
    capture.recordToggleUsed();
    ASSERT_TRUE(capture.recording());
    const QString path = input->recordedFilePath();
    ASSERT_FALSE(path.isEmpty());
    const uint64_t before = input->captureInput()->framesDecoded();
    ASSERT_TRUE(MainThread::processUntil(
        [&] { return input->captureInput()->framesDecoded() >= before + kRecorded; }, 10.0));
    capture.recordToggleButton()->setIntValue(0, false);
    capture.recordToggleUsed();

    // The file holds consecutive numbers, one per frame of its rate.
    const auto probe = CaptureTestSupport::probe(path, kRate);
    ASSERT_TRUE(probe.error.isEmpty()) << probe.error.toStdString();
    ASSERT_GE(probe.numbers.size(), size_t(kRecorded));
    ASSERT_EQ(probe.numbers.size(), probe.pts.size());
    for (size_t i = 0; i < probe.numbers.size(); ++i) {
      EXPECT_EQ(probe.pts[i], int64_t(i)) << "stamp of frame " << i;
      EXPECT_EQ(probe.numbers[i], probe.numbers[0] + int(i)) << "picture of frame " << i;
    }

    // The loader puts the announced file in the first page.
    QKPageController& pages = *controller.pageController();
    ASSERT_TRUE(MainThread::processUntil([&] { return cellWithPath(pages, path) != nullptr; }, 20))
        << "the recording did not land in the bin";
    const std::shared_ptr<QKFile> cell = cellWithPath(pages, path);
    ASSERT_TRUE(cell->validFile());

    // Triggered through the bin's layer queue, it plays on the layer.
    bin->layerController()->triggerThisFile(cell->uniqueFileId());
    ASSERT_TRUE(MainThread::processUntil(
        [&] {
          VidSourceObject* source = layer->currentSource();
          return source && source->currentFile() == cell;
        },
        10.0));

    // Every recorded frame in order, once each, a frame of the rate apart.
    std::vector<int> shown;
    for (size_t i = 0; i < probe.numbers.size(); ++i) {
      shown.push_back(shownNumber(controller, *layer, probe.numbers[i]));
      movieClock().advance(1.0 / kRate);
    }
    EXPECT_EQ(shown, probe.numbers);

    bin->layerController()->ejectThisFile(cell->uniqueFileId());
    controller.pluginManager()->deleteAllPlugins();
    layer.reset();
    compositor.deleteAllLayers();
    controller.applicationWillTerminate();
  }
  QKQTFile::setMovieOptions(previousOptions);
}

}  // namespace
