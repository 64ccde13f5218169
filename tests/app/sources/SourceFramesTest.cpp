#include "SourceFixture.h"

#include "app/sources/QKQCSrcGLAttribContext.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QKTextUI.h"
#include "tests/app/compositor/CanvasFrame.h"
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
    onRenderThread([&] { pixels = drawCanvasFrame(*world_->compositor, kCanvas); });
    EXPECT_FALSE(pixels.isNull()) << "the frame could not be drawn";
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

TEST_F(SourceFramesTest, TheSameCompositionKeepsRunningAndAnotherWritesTheFirstBack) {
  auto layer = world_->layer();
  QCSource& qc = SourceWorld::qc(*layer);
  auto first = world_->keep(QKQCFile::createWithPath(
      SourceWorld::writeColourComposition(folder_, "A.qtz"), "A.qtz", world_->compositor.get()));
  auto second = world_->keep(QKQCFile::createWithPath(
      SourceWorld::writeColourComposition(folder_, "B.qtz"), "B.qtz", world_->compositor.get()));
  first->setMovieProp("allowLiveUpdating", true);
  layer->unlockedTriggerFile(first);
  QCAttributeLoader* panel = qc.contextHolder()->attributeLoader();
  ASSERT_FALSE(panel->elementArray().empty());
  const auto element = panel->elementArray().front();
  // Again: no reload (the same panel element), the stored values applied.
  layer->unlockedTriggerFile(first);
  ASSERT_FALSE(panel->elementArray().empty());
  EXPECT_EQ(panel->elementArray().front(), element);
  // Another file ejects the first, whose values are written back.
  first->removeMovieProp("QCAttributeSnapshot");
  layer->unlockedTriggerFile(second);
  EXPECT_EQ(qc.currentFile(), second);
  EXPECT_TRUE(first->movieProp("QCAttributeSnapshot").toMap().contains("attributeDicts"))
      << first->movieProp("QCAttributeSnapshot").toMap().keys().join(",").toStdString();
  EXPECT_EQ(first->currentSource(), nullptr);
}

TEST_F(SourceFramesTest, ACustomRenderSizeHoldsAcrossCanvasChangesOnlyWhenAskedFor) {
  auto layer = world_->layer();
  QCSource& qc = SourceWorld::qc(*layer);
  auto file = world_->keep(QKQCFile::createWithPath(
      SourceWorld::writeColourComposition(folder_, "A.qtz"), "A.qtz", world_->compositor.get()));
  const struct {
    QVariant use, width, height;
    QSizeF loaded, afterCanvas;
  } cases[] = {
      {1, 300, 200, {300, 200}, {300, 200}},     {0, 300, 200, {640, 480}, {800, 600}},
      {1, 0, 200, {640, 480}, {640, 480}},  // unusable: the canvas, then kept
      {1, qQNaN(), 200, {640, 480}, {640, 480}}, {1, 1e9, 200, {640, 480}, {640, 480}},
  };
  // What the output view posts when the canvas changes.
  auto canvas = [this](QSizeF size) {
    world_->compositor->canvasSizeChanged(size);
    NotificationCenter::defaultCenter().post(Compositor::kCanvasSizeChangedNotification, nullptr,
                                             {{"canvasSize", size}});
  };
  for (const auto& c : cases) {
    canvas(QSizeF(640, 480));
    file->setMovieProp("useCustomResForQtz", c.use);
    file->setMovieProp("qtzHorRes", c.width);
    file->setMovieProp("qtzVertRes", c.height);
    qc.eject();
    layer->unlockedTriggerFile(file);
    EXPECT_EQ(layer->layerSize(), c.loaded) << c.width.toDouble();
    EXPECT_EQ(qc.renderSize(), c.loaded);
    canvas(QSizeF(800, 600));
    EXPECT_EQ(layer->layerSize(), c.afterCanvas) << c.width.toDouble();
  }
}

TEST_F(SourceFramesTest, ATextReloadsFromItsTextAndAStyleChangeKeepsThePosition) {
  auto layer = world_->layer();
  QCSource& qc = SourceWorld::qc(*layer);
  auto text = world_->keep(QKTextFile::createWithName("words", world_->compositor.get()));
  text->setMyString("one two three four");
  layer->unlockedTriggerFile(text);
  auto* element =
      dynamic_cast<QKTextUI*>(qc.contextHolder()->attributeLoader()->defaultFileInput().get());
  ASSERT_TRUE(element);
  element->stringParser().setParseMode(QKStringParser::Word);
  element->parseFwdButtonUsed();
  element->parseFwdButtonUsed();
  EXPECT_GT(element->stringParser().currentRange().location, 0);
  // The same file again starts from the file's text, not the panel's
  // (nothing is written back without live updating).
  text->setMovieProp("allowLiveUpdating", false);
  element->loadText("typed over");
  layer->unlockedTriggerFile(text);
  element =
      dynamic_cast<QKTextUI*>(qc.contextHolder()->attributeLoader()->defaultFileInput().get());
  ASSERT_TRUE(element);
  EXPECT_EQ(element->stringParser().originalString(), "one two three four");
  element->stringParser().setParseMode(QKStringParser::Word);
  element->parseFwdButtonUsed();
  element->parseFwdButtonUsed();
  const QKStringParser::Range before = element->stringParser().currentRange();
  qc.setTextStyleWithStyleNamed("DefaultFontsynth.qtz");
  EXPECT_EQ(text->movieProp("styleName").toString(), "DefaultFontsynth.qtz");
  element =
      dynamic_cast<QKTextUI*>(qc.contextHolder()->attributeLoader()->defaultFileInput().get());
  ASSERT_TRUE(element);
  EXPECT_EQ(element->stringParser().currentRange(), before);
  // The panel puts the text first.
  EXPECT_EQ(qc.contextHolder()->attributeLoader()->elementArray().front().get(), element);
}

TEST_F(SourceFramesTest, TheImageSourceKeepsItsFieldsAndShowsNothingAfterAnEject) {
  auto layer = world_->layer();
  ImageSource& plain = SourceWorld::image(*layer);
  const QString path = SourceWorld::writeImage(folder_, "small.png", QSize(64, 32), Qt::blue);
  auto image = world_->keep(QKImageFile::createWithFilePath(path, world_->compositor.get()));
  layer->unlockedTriggerFile(image);
  ASSERT_TRUE(MainThread::processUntil([&] { return !plain.decoding(); }, 5));
  frame();
  QVariantMap snapshot = plain.createSnapshot();
  EXPECT_EQ(snapshot.value("sourceType"), "imageSource");
  EXPECT_EQ(snapshot.value("sourceFileID").toLongLong(), image->uniqueFileId());
  snapshot.insert("widthTextField", 1234);
  snapshot.insert("heightTextField", 77);
  snapshot.insert("renderPositionElement", "not a dictionary");
  plain.eject();
  gl::TextureHandle after;
  onRenderThread([&] { after = plain.currentTexture(); });
  EXPECT_FALSE(after);
  plain.loadSnapshot(snapshot);
  ASSERT_TRUE(MainThread::processUntil([&] { return !plain.decoding(); }, 5));
  EXPECT_EQ(plain.currentFile(), image);
  EXPECT_EQ(plain.widthTextField()->text(), "1234");
  EXPECT_EQ(plain.heightTextField()->text(), "77");
  EXPECT_EQ(layer->layerSize(), QSizeF(64, 32));
  // An image that does not decode leaves the layer black.
  QFile::remove(path);
  QFile broken(path);
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("not an image");
  broken.close();
  image->setMovieProp("cacheImage", 0);
  plain.loadThisFile(image);
  ASSERT_TRUE(MainThread::processUntil([&] { return !plain.decoding(); }, 5));
  frame();
  EXPECT_TRUE(plain.blackFrame());
}

TEST_F(SourceFramesTest, StoredValuesOfTheWrongShapeAndLiveInputCompositionsAreRefused) {
  auto layer = world_->layer();
  QCSource& qc = SourceWorld::qc(*layer);
  auto file = world_->keep(QKQCFile::createWithPath(
      SourceWorld::writeColourComposition(folder_, "A.qtz"), "A.qtz", world_->compositor.get()));
  // A text file's shape (style → values) on a composition file: ignored,
  // and the composition keeps its defaults.
  file->setMovieProp("QCAttributeSnapshot",
                     QVariantMap{{"A.qtz", QVariantMap{{"attributeDicts", QVariantMap{}}}}});
  layer->unlockedTriggerFile(file);
  EXPECT_EQ(qc.currentFile(), file);
  frame();
  EXPECT_TRUE(near(frame().pixelColor(320, 240), QColor(255, 0, 0), 3));
  EXPECT_FALSE(qc.refusedVideoInput());
  // Snapshot entries that are no panel snapshots are not merged.
  qc.loadSnapshot(
      QVariantMap{{"attributeSnapshotsDict", QVariantMap{{"X.qtz", 3}}}, {"lastTextStyleName", 7}},
      false);
  EXPECT_FALSE(qc.attributeSnapshotsDict().contains("X.qtz"));
  EXPECT_TRUE(qc.lastTextStyleName().isNull());
  // A composition with a live video input is refused; the layer warns.
  QVariantMap live = PropertyList::read(file->fullPath()).value.toMap();
  QVariantMap root = live.value("rootPatch").toMap();
  QVariantMap state = root.value("state").toMap();
  QVariantList nodes = state.value("nodes").toList();
  nodes << QVariantMap{{"key", "Camera"}, {"class", "QCVideoInput"}};
  state.insert("nodes", nodes);
  root.insert("state", state);
  live.insert("rootPatch", root);
  const QString livePath = folder_ + "/Live.qtz";
  PropertyList::write(live, livePath);
  layer->unlockedTriggerFile(
      world_->keep(QKQCFile::createWithPath(livePath, "Live.qtz", world_->compositor.get())));
  EXPECT_EQ(qc.currentFile(), nullptr);
}

}  // namespace
