#include "SourceFixture.h"

#include "tests/app/compositor/RunningFrames.h"
#include "tests/support/GLTest.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

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

  RunningFrames frames(compositor);

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
  MainThread::processUntil([&] { return frames.count() > 0; }, 5);
  frames.stop();
  EXPECT_GT(frames.count(), 0);
}

}  // namespace
