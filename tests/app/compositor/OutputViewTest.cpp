#include "FakeLayers.h"

#include "app/compositor/CompositorGLView.h"
#include "framework/render/DeferredReleaseArrays.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/gl/RenderThread.h"
#include "tests/support/Eventually.h"
#include "tests/support/GLTest.h"
#include "tests/support/LogCapture.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <thread>
#include <limits>

#include <gtest/gtest.h>

namespace {

// The output view over a compositor with one fake layer, its window shown
// at 64 x 48 and frames run by hand on the unpaced render thread.
class OutputViewTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    compositor_ = std::make_unique<Compositor>(nullptr, Compositor::Environment{.gpuVendors = {"NVIDIA"}});
    view_ = std::make_unique<CompositorGLView>(compositor_.get());
    view_->awake(0);
    view_->setConstrainOutputWindow(false);
    view_->window()->resize(64, 48);
    view_->window()->show();
    ASSERT_TRUE(waitFor(
        [&] {
          QCoreApplication::processEvents();
          return view_->window()->exposedForDrawing();
        },
        5.0));
    layer_ = std::make_shared<FakeLayer>(log_, "A");
    compositor_->setLayerArray({layer_});
  }
  void TearDown() override {
    view_.reset();
    if (compositor_) compositor_->setLayerArray({});
    compositor_.reset();
    GLTest::TearDown();
  }
  void frame() { ASSERT_TRUE(gl::RenderThread::instance().runFrameNow()); }
  int renders() const { return int(log_.callsStartingWith("render:").size()); }
  QImage windowPixels() const {
    return QGuiApplication::primaryScreen()
        ->grabWindow(view_->window()->winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }

  CallLog log_;
  std::unique_ptr<Compositor> compositor_;
  std::unique_ptr<CompositorGLView> view_;
  std::shared_ptr<FakeLayer> layer_;
};

TEST_F(OutputViewTest, SkippedFramesTakeNoLockDrawNothingAndStillPurge) {
  frame();
  EXPECT_EQ(renders(), 1);
  const auto skipsWhile = [&](const std::function<void()>& begin,
                              const std::function<void()>& end) {
    begin();
    DeferredReleaseArrays::shared().addRenderer(std::make_shared<int>(1));
    frame();
    EXPECT_EQ(renders(), 1);
    EXPECT_EQ(layer_->locks.load(), 0);
    EXPECT_FALSE(view_->rendering());
    EXPECT_EQ(DeferredReleaseArrays::shared().pendingRenderers(), 0u);
    end();
  };
  skipsWhile([&] { compositor_->restoreGate().beginRestore(); },
             [&] { compositor_->restoreGate().endRestore(); });
  skipsWhile([&] { view_->stopDisplayLink(); }, [&] { view_->startDisplayLink(); });
  frame();
  EXPECT_EQ(renders(), 2);
}

TEST_F(OutputViewTest, ABusyLayerSkipsTheFrameAndReleasesWhatItTook) {
  layer_->busy = true;
  frame();
  EXPECT_EQ(renders(), 0);
  EXPECT_EQ(layer_->locks.load(), 0);
  layer_->busy = false;
  frame();
  EXPECT_EQ(renders(), 1);
}

TEST_F(OutputViewTest, AThrowingFrameLeavesNoLockHeldAndTheNextFrameRenders) {
  LogCapture capture;
  Log::resetLimits();
  layer_->throwInRender = true;
  frame();
  EXPECT_TRUE(capture.contains("\t\tcaught exception in displaylink callback: layer A broke"));
  EXPECT_EQ(layer_->locks.load(), 0);
  EXPECT_FALSE(view_->rendering());
  compositor_->lockForRender();  // would hang with the render lock still held
  compositor_->unlockRender();
  compositor_->restoreGate().beginRestore();  // and with the gate still held
  compositor_->restoreGate().endRestore();
  layer_->throwInRender = false;
  frame();
  EXPECT_EQ(renders(), 2);
}

TEST_F(OutputViewTest, ASwapIntervalSetWhileStoppedAppliesAtTheNextStart) {
  frame();
  EXPECT_EQ(view_->appliedSwapInterval(), 1);  // the view's default
  view_->stopDisplayLink();
  EXPECT_FALSE(view_->displayLinkRunning());
  ASSERT_TRUE(view_->setCPSwapInterval(0));
  frame();
  EXPECT_EQ(view_->appliedSwapInterval(), 1);
  view_->startDisplayLink();
  frame();
  EXPECT_EQ(view_->appliedSwapInterval(), 0);
  EXPECT_FALSE(view_->setCPSwapInterval(-1));
  EXPECT_EQ(view_->cpSwapInterval(), 0);
}

TEST_F(OutputViewTest, AClickPostsTheAverageOfThreeByThreePixelsOnce) {
  layer_->colour = QColor(255, 0, 0);
  QList<QColor> posted;
  NotificationCenter::defaultCenter().addObserver(
      &posted, CompositorGLView::kClickColorNotification, nullptr, [&](const Notification& n) {
        posted << n.userInfo.value(CompositorGLView::kColorKey).value<QColor>();
      });
  view_->mouseDown(QPointF(10, 10));
  frame();
  frame();
  ASSERT_TRUE(waitFor([&] {
    QCoreApplication::processEvents();
    return !posted.isEmpty();
  }));
  QCoreApplication::processEvents();
  NotificationCenter::defaultCenter().removeObserver(&posted);
  ASSERT_EQ(posted.size(), 1);
  EXPECT_TRUE(near(posted[0], QColor(255, 0, 0)));
}

// In GL mode the layers draw straight into the window while nothing reads
// the canvas; a pending colour sample or filter mode goes through the
// canvas. Both give the same pixels, also for a blend that reads the
// destination's alpha.
TEST_F(OutputViewTest, GLModeDrawsStraightIntoTheWindowWithTheCanvasPixels) {
  layer_->colour = QColor(0, 0, 255, 128);  // leaves the alpha below the top layer under 1
  auto top = std::make_shared<FakeLayer>(log_, "B");
  top->colour = QColor(255, 0, 0, 128);
  top->blendDestination = GL_DST_ALPHA;  // "OpenGL Add"
  compositor_->setLayerArray({top, layer_});
  FakePreview preview(log_, "preview");
  compositor_->registerNewPreviewWindow(&preview);
  frame();  // the first frame after a start learns the window's format
  EXPECT_FALSE(view_->drewStraightIntoWindow());
  log_.clear();
  frame();
  if (!view_->drewStraightIntoWindow()) {
    compositor_->removeRegisteredPreviewWindow(&preview);
    GTEST_SKIP() << "the window's drawable is not RGBA 8 bits here";
  }
  EXPECT_EQ(log_.calls(), (QStringList{"render:B", "render:A", "gl:A", "gl:B", "draw:preview"}));
  const QImage straight = windowPixels();

  view_->mouseDown(QPointF(10, 10));
  frame();
  EXPECT_FALSE(view_->drewStraightIntoWindow());
  const QImage throughCanvas = windowPixels();
  EXPECT_TRUE(throughCanvas == straight)
      << std::hex << throughCanvas.pixel(32, 24) << " through the canvas, "
      << straight.pixel(32, 24) << " straight";
  frame();
  EXPECT_TRUE(view_->drewStraightIntoWindow());

  compositor_->setContentsRenderingMode(0);
  frame();
  EXPECT_FALSE(view_->drewStraightIntoWindow());
  compositor_->removeRegisteredPreviewWindow(&preview);
}

TEST_F(OutputViewTest, BadSettingsAreRefusedAndChangeNothing) {
  LogCapture capture;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (QSizeF size :
       {QSizeF(0, 480), QSizeF(-1, 480), QSizeF(nan, 480), QSizeF(640, inf), QSizeF(1e9, 480)}) {
    EXPECT_FALSE(view_->setCanvasSize(size)) << size.width() << " x " << size.height();
  }
  EXPECT_EQ(view_->canvasSize(), QSizeF(640, 480));
  EXPECT_EQ(compositor_->bufferPool().entryCount(), 1u);
  EXPECT_FALSE(view_->setCanvasPresentationMode(4));
  EXPECT_FALSE(view_->setCanvasPresentationMode(-1));
  EXPECT_EQ(view_->canvasPresentationMode(), 2);
}

TEST_F(OutputViewTest, ACanvasChangeMovesThePoolAndTellsTheCompositorUnderTheRenderLock) {
  int posts = 0;
  NotificationCenter::defaultCenter().addObserver(
      &posts, Compositor::kCanvasSizeChangedNotification, nullptr, [&](const Notification&) {
        bool frameCouldLock = true;  // no frame can run meanwhile
        std::thread([&] { frameCouldLock = bool(compositor_->tryLockForFrame(nullptr)); }).join();
        EXPECT_FALSE(frameCouldLock);
        ++posts;
      });
  ASSERT_TRUE(view_->setCanvasSize(QSizeF(800, 600)));
  NotificationCenter::defaultCenter().removeObserver(&posts);
  EXPECT_EQ(posts, 1);
  EXPECT_EQ(compositor_->bufferPool().usersOf(QSizeF(800, 600)), 1);
  EXPECT_EQ(compositor_->bufferPool().usersOf(QSizeF(640, 480)), 0);
  view_->setConstrainOutputWindow(true);
  EXPECT_EQ(view_->window()->height(), 48);  // 64 x 48 is 4:3 already
  EXPECT_EQ(view_->window()->title(), "Main Output [64 x 48]");
}

// Run under ThreadSanitizer too (the tsan preset): the main thread changes
// what frames read while frames run on the render thread.
TEST_F(OutputViewTest, MainThreadChangesWhileFramesRun) {
  layer_->colour = QColor(0, 255, 0);
  std::atomic<bool> stop{false};
  std::atomic<int> frames{0};
  std::thread driver([&] {
    while (!stop.load()) {
      gl::RenderThread::instance().runFrameNow();
      ++frames;
    }
  });
  FakePreview preview(log_, "preview");
  for (int i = 0; i < 60; ++i) {
    view_->setCanvasSize(i % 2 ? QSizeF(800, 600) : QSizeF(640, 480));
    compositor_->registerNewPreviewWindow(&preview);
    {
      RestoreGate::Scope restore(compositor_->restoreGate());
      EXPECT_FALSE(view_->rendering());
    }
    compositor_->removeRegisteredPreviewWindow(&preview);
    view_->setCanvasPresentationMode(i % 4);
    QCoreApplication::processEvents();
  }
  ASSERT_TRUE(waitFor([&] { return frames.load() > 10; }, 10.0));
  stop = true;
  driver.join();
  EXPECT_EQ(compositor_->bufferPool().entryCount(), 1u);
  EXPECT_EQ(layer_->locks.load(), 0);
}

}  // namespace
