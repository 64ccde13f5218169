#include "SourceFixture.h"

#include "platform/gl/RenderTarget.h"
#include "platform/gl/RenderThread.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/ImageContext.h"
#include "tests/support/GLTest.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// The main thread loads, ejects and switches the styles of compositions,
// texts, images and taps while frames run on the render thread. Run under
// ThreadSanitizer to see races; here it also shows that nothing deadlocks
// and frames keep coming.
class SourceStressTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    QKFilterAlpha::registerFilter();
    world_ = std::make_unique<SourceWorld>();
  }
  void TearDown() override {
    world_.reset();
    GLTest::TearDown();
  }
  std::unique_ptr<SourceWorld> world_;
};

TEST_F(SourceStressTest, LoadsEjectsAndStyleChangesRunBesideFrames) {
  Compositor& compositor = *world_->compositor;
  const QString folder = TestEnvironment::makeTempDir();
  auto composition = world_->keep(QKQCFile::createWithPath(
      SourceWorld::writeColourComposition(folder, "A.qtz"), "A.qtz", &compositor));
  auto text = world_->keep(QKTextFile::createWithName("words", &compositor));
  text->setMyString("one two three");
  auto image = world_->keep(QKImageFile::createWithFilePath(
      SourceWorld::writeImage(folder, "i.png", QSize(300, 200), Qt::yellow), &compositor));
  auto a = world_->layer(), b = world_->layer();

  std::atomic<bool> done{false};
  std::atomic<int> frames{0};
  const int handler = gl::RenderThread::instance().addFrameHandler([&](const auto&) {
    Compositor::FrameState state;
    auto locks = compositor.tryLockForFrame(&state);
    if (!locks) return;
    compositor.render(gl::DisplayLink::Frame{});
    gl::RenderTarget target;
    const gl::TextureHandle texture = gl::TexturePool::shared().acquire(QSize(64, 48));
    target.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(640, 480)));
    if (!target.bind(texture)) return;
    image::ImageContext context;
    compositor.drawContent(state, target, context);
    target.detach();
    ++frames;
  });
  std::thread renderer([&] {
    while (!done.load()) gl::RenderThread::instance().runFrameNow();
  });

  for (int round = 0; round < 10; ++round) {
    a->unlockedTriggerFile(composition);
    b->unlockedTriggerFile(text);
    QCoreApplication::processEvents();
    SourceWorld::qc(*b).setTextStyleWithStyleNamed("DefaultFontsynth.qtz");
    a->unlockedTriggerFile(image);
    QCoreApplication::processEvents();
    SourceWorld::image(*a).setImageStyleWithStyleNamed("DefaultImageSource.qtz");
    QCoreApplication::processEvents();
    SourceWorld::qc(*a).setTextStyleWithStyleNamed(QKImageFile::kBuiltInPlayer);
    QCoreApplication::processEvents();
    compositor.spinRenderLock();
    b->useSourceNamed(Layer::kVideoTap);
    compositor.unlockRenderLock();
    b->useTapNamed(a->layerName());
    (void)SourceWorld::qc(*b).createSnapshot();
    compositor.spinRenderLock();
    a->useSourceNamed(Layer::kNil);
    b->useSourceNamed(Layer::kNil);
    compositor.unlockRenderLock();
    QCoreApplication::processEvents();
  }
  MainThread::processUntil([&] { return frames.load() > 0; }, 5);
  done.store(true);
  renderer.join();
  gl::RenderThread::instance().removeFrameHandler(handler);
  EXPECT_GT(frames.load(), 0);
}

}  // namespace
