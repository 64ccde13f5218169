#include "SourceFixture.h"

#include "app/sources/QKQCSrcGLAttribContext.h"
#include "framework/params/QCAttributeLoader.h"
#include "platform/gl/RenderTarget.h"
#include "platform/gl/TexturePool.h"
#include "platform/image/ImageContext.h"
#include "tests/support/GLTest.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

constexpr QSize kCanvas(640, 480);

// Layers of the real sources composited by the real compositor, read back.
class SourceFramesTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (IsSkipped()) return;
    QKFilterAlpha::registerFilter();
    world_ = std::make_unique<SourceWorld>();
    folder_ = TestEnvironment::makeTempDir();
  }
  void TearDown() override {
    world_.reset();
    GLTest::TearDown();
  }

  // One frame of the compositor; the layer's own finished image is kept.
  QImage frame() {
    QImage pixels;
    onRenderThread([&] {
      Compositor::FrameState state;
      auto locks = world_->compositor->tryLockForFrame(&state);
      ASSERT_TRUE(locks);
      world_->compositor->render(gl::DisplayLink::Frame{});
      gl::RenderTarget target;
      const gl::TextureHandle texture = gl::TexturePool::shared().acquire(kCanvas);
      target.setProjection(gl::RenderTarget::topDownOrtho(QSizeF(kCanvas)));
      ASSERT_TRUE(target.bind(texture));
      target.clear(QVector4D(0, 0, 0, 1));
      image::ImageContext context;
      world_->compositor->drawContent(state, target, context);
      locks.reset();
      pixels = read(texture);
      target.detach();
    });
    return pixels;
  }
  void settle() {
    MainThread::processUntil([] { return false; }, 0.05);
  }

  std::unique_ptr<SourceWorld> world_;
  QString folder_;
};

TEST_F(SourceFramesTest, ACompositionFilePlaysAndKeepsItsValuesThroughASnapshot) {
  auto layer = world_->layer();
  const QString path = SourceWorld::writeColourComposition(folder_, "Colour.qtz");
  auto file = world_->keep(QKQCFile::createWithPath(path, "Colour.qtz", world_->compositor.get()));
  ASSERT_TRUE(file->validFile());
  layer->unlockedTriggerFile(file);
  ASSERT_EQ(layer->currentSourceAsString(), Layer::kQCPatch);
  QCSource& qc = SourceWorld::qc(*layer);
  EXPECT_EQ(layer->layerSize(), QSizeF(kCanvas));
  frame();
  const QImage pixels = frame();
  EXPECT_TRUE(near(pixels.pixelColor(320, 240), QColor(255, 0, 0), 3));
  EXPECT_FALSE(qc.blackFrame());
  // The stored values go into the file and come back after an eject.
  const QVariantMap stored = file->movieProp("QCAttributeSnapshot").toMap();
  EXPECT_FALSE(stored.isEmpty());
  const QVariantMap snapshot = qc.createSnapshot();
  EXPECT_EQ(snapshot.value("trigger").toInt(), 1);
  EXPECT_EQ(snapshot.value("sourceFileID").toLongLong(), file->uniqueFileId());
  qc.eject();
  EXPECT_EQ(qc.currentFile(), nullptr);
  qc.loadSnapshot(snapshot);
  EXPECT_EQ(qc.currentFile(), file);
  // A snapshot whose file is gone ejects; one with "trigger" 0 keeps it.
  QVariantMap untriggered = snapshot;
  untriggered.insert("trigger", 0);
  qc.loadSnapshot(untriggered);
  EXPECT_EQ(qc.currentFile(), file);
  world_->files.clear();
  qc.loadSnapshot(snapshot);
  EXPECT_EQ(qc.currentFile(), nullptr);
  EXPECT_TRUE(qc.blackFrame());
}

TEST_F(SourceFramesTest, ATextPlaysThroughTheDefaultPlayerAndAPathlessOneNamesItself) {
  auto layer = world_->layer();
  auto text = world_->keep(QKTextFile::createWithName("words", world_->compositor.get()));
  text->setMyString("Hello world");
  layer->unlockedTriggerFile(text);
  QCSource& qc = SourceWorld::qc(*layer);
  ASSERT_EQ(qc.currentFile(), text);
  EXPECT_TRUE(qc.currentPatchPath().endsWith("qcTextSources/DefaultFontsynth.qtz"))
      << qc.currentPatchPath().toStdString();
  EXPECT_EQ(qc.lastTextStyleName(), "DefaultFontsynth.qtz");
  EXPECT_EQ(qc.currentPath(), QStringLiteral("words-%1").arg(text->uniqueFileId()));
  frame();
  const QImage pixels = frame();
  int lit = 0;
  for (int x = 0; x < pixels.width(); x += 2)
    for (int y = 200; y < 280; y += 2)
      if (pixels.pixelColor(x, y).lightness() > 128) ++lit;
  EXPECT_GT(lit, 20);
}

TEST_F(SourceFramesTest, AnImageShowsThroughEachPlayerWithoutBouncing) {
  auto layer = world_->layer();
  const QString path = SourceWorld::writeImage(folder_, "big.png", QSize(2000, 1000), Qt::green);
  auto image = world_->keep(QKImageFile::createWithFilePath(path, world_->compositor.get()));
  ASSERT_TRUE(image->validFile());
  // The built-in player: fitted into 1280 and the layer takes that size.
  layer->unlockedTriggerFile(image);
  ASSERT_EQ(layer->currentSourceAsString(), Layer::kImage);
  ImageSource& plain = SourceWorld::image(*layer);
  ASSERT_TRUE(MainThread::processUntil([&] { return !plain.decoding(); }, 5));
  EXPECT_EQ(layer->layerSize(), QSizeF(1280, 640));
  for (int i = 0; i < 5; ++i) frame();
  EXPECT_EQ(plain.uploadCount(), 1);
  EXPECT_FALSE(plain.blackFrame());
  // Through the image player: the file asks for it.
  image->setMovieProp("useStyle", 1);
  image->setMovieProp("styleName", "DefaultImageSource.qtz");
  plain.setImageStyleWithStyleNamed("DefaultImageSource.qtz");
  EXPECT_TRUE(plain.blackFrame());
  settle();
  ASSERT_EQ(layer->currentSourceAsString(), Layer::kQCPatch);
  QCSource& qc = SourceWorld::qc(*layer);
  ASSERT_EQ(qc.currentFile(), image);
  ASSERT_TRUE(qc.contextHolder()->imageFileBitmapImageRep());
  frame();
  const QImage pixels = frame();
  EXPECT_TRUE(near(pixels.pixelColor(320, 240), QColor(0, 255, 0), 3));
  // Back to the built-in player in one hand-off.
  qc.setTextStyleWithStyleNamed(QKImageFile::kBuiltInPlayer);
  settle();
  EXPECT_EQ(layer->currentSourceAsString(), Layer::kImage);
  EXPECT_EQ(plain.currentFile(), image);
  settle();
  EXPECT_EQ(layer->currentSourceAsString(), Layer::kImage);
}

TEST_F(SourceFramesTest, ATapHandsOnTheProducersOwnTexture) {
  auto producer = world_->layer();
  const QString path = SourceWorld::writeColourComposition(folder_, "Colour.qtz");
  producer->unlockedTriggerFile(
      world_->keep(QKQCFile::createWithPath(path, "Colour.qtz", world_->compositor.get())));
  auto viewer = world_->layer();
  viewer->compositor()->spinRenderLock();
  viewer->useSourceNamed(Layer::kVideoTap);
  viewer->compositor()->unlockRenderLock();
  ASSERT_TRUE(viewer->useTapNamed(producer->layerName()));
  frame();
  frame();
  GLuint produced = 0, shown = 0;
  onRenderThread([&] {
    produced = producer->postFXTextureRef().name();
    shown = SourceWorld::tap(*viewer).currentTexture().name();
  });
  EXPECT_NE(produced, 0u);
  EXPECT_EQ(shown, produced);
}

}  // namespace
