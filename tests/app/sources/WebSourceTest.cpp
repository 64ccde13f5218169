#include "SourceFixture.h"

#include "app/sources/QKFavIconDisplay.h"
#include "app/sources/WebGLPreview.h"
#include "app/sources/WebSource.h"
#include "framework/media/QKURLFile.h"
#include "tests/app/compositor/CanvasFrame.h"
#include "tests/support/GLTest.h"
#include "tests/support/LoopbackHttpServer.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr double kPageSeconds = 20.0;

// Web sources of real layers over pages from a loopback server or files.
class WebSourceTest : public GLTest {
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
  static WebSource& web(Layer& layer) {
    return static_cast<WebSource&>(*layer.sourceOfKind(VidSourceObject::kWebSource));
  }
  QString writePage(const QString& name, const QByteArray& html) {
    const QString path = QDir(folder_).filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(html);
    return QUrl::fromLocalFile(path).toString();
  }
  QImage frame() {
    QImage pixels;
    onRenderThread([&] { pixels = drawCanvasFrame(*world_->compositor, QSize(640, 480)); });
    return pixels;
  }
  // Frames with the main thread between them, until `done` holds.
  bool framesUntil(const std::function<bool(const QImage&)>& done) {
    return MainThread::processUntil(
        [&] {
          const QImage pixels = frame();
          return !pixels.isNull() && done(pixels);
        },
        kPageSeconds);
  }
  bool loaded(WebSource& source) {
    return MainThread::processUntil(
        [&] {
          return source.renderView() && source.renderView()->hasDocument() &&
                 !source.renderView()->isLoading();
        },
        kPageSeconds);
  }

  std::unique_ptr<SourceWorld> world_;
  QString folder_;
};

TEST_F(WebSourceTest, APageTypedInShowsOnItsLayer) {
  auto layer = world_->layer();
  WebSource& source = web(*layer);
  source.urlTextField()->setText(
      writePage("red.html", "<html><body style='margin:0;background:#ff0000'></body></html>"));
  layer->useSourceNamed(Layer::kWeb);
  ASSERT_TRUE(loaded(source));
  EXPECT_TRUE(framesUntil([](const QImage& pixels) {
    return GLTest::near(pixels.pixelColor(320, 240), QColor(255, 0, 0), 8);
  })) << "the page never reached the layer";
  EXPECT_EQ(layer->layerSize(), QSizeF(640, 480));
  const int uploads = source.uploadCount();
  // Another source shown: the page is not captured.
  layer->useSourceNamed(Layer::kNil);
  for (int i = 0; i < 3; ++i) frame();
  EXPECT_EQ(source.uploadCount(), uploads);
}

TEST_F(WebSourceTest, APreviewClickReachesThePageAtTheMappedPoint) {
  auto layer = world_->layer();
  WebSource& source = web(*layer);
  source.urlTextField()->setText(
      writePage("click.html",
                "<html><body style='margin:0;background:#2040ff;height:2000px'><script>"
                "document.addEventListener('mousedown', e => { document.title = e.clientX + ',' + "
                "e.clientY; });</script></body></html>"));
  layer->useSourceNamed(Layer::kWeb);
  ASSERT_TRUE(loaded(source));
  MainThread::processUntil([&] { return source.renderView()->size() == QSize(640, 480); }, 5);
  WebGLPreview* preview = source.preview();
  QWidget* panel = source.view();
  panel->show();
  preview->setGeometry(0, 50, 400, 300);
  QTest::mouseClick(preview, Qt::LeftButton, Qt::NoModifier, QPoint(200, 75));
  EXPECT_TRUE(MainThread::processUntil(
      [&] { return source.renderView()->title() == QStringLiteral("320,120"); }, 10))
      << source.renderView()->title().toStdString();
  EXPECT_EQ(panel->focusWidget(), preview);  // the keys that follow go to the page
  framesUntil([&](const QImage&) { return preview->paints() > 0; });
  if (qEnvironmentVariableIsSet("ZAPH_SCREENSHOT_DIR")) {
    panel->resize(320, 380);
    MainThread::processUntil([] { return false; }, 0.3);
    panel->grab().save(QDir(qEnvironmentVariable("ZAPH_SCREENSHOT_DIR")).filePath("web-panel.png"));
  }
}

TEST_F(WebSourceTest, ARestoreWithoutTriggerKeepsTheAddressAndLoadsNothing) {
  LoopbackHttpServer server;
  server.answer(200, "<html><body>hello</body></html>", "Content-Type: text/html\r\n");
  auto layer = world_->layer();
  WebSource& source = web(*layer);
  source.loadSnapshot(
      {{"urlTextField", server.url("/page")}, {"widthTextField", 642}, {"heightTextField", 481}},
      false);
  EXPECT_EQ(source.urlTextField()->text(), server.url("/page"));
  EXPECT_EQ(source.renderSize(), QSize(640, 481));
  MainThread::processUntil([] { return false; }, 0.5);
  EXPECT_TRUE(server.requests().isEmpty());

  // Triggered, the same snapshot loads.
  source.loadSnapshot({{"urlTextField", server.url("/page")}}, true);
  EXPECT_TRUE(MainThread::processUntil([&] { return !server.requests().isEmpty(); }, 10));
}

TEST_F(WebSourceTest, AnEmptyFieldLoadsNothingAndAURLFileTakesItsSize) {
  auto layer = world_->layer();
  WebSource& source = web(*layer);
  layer->useSourceNamed(Layer::kWeb);
  MainThread::processUntil([] { return false; }, 0.2);
  EXPECT_TRUE(!source.renderView() || !source.renderView()->hasDocument());

  auto file = world_->keep(QKURLFile::createWithURLString(
      world_->compositor.get(), writePage("plain.html", "<html><body>page</body></html>")));
  file->setMovieProp("useCustomResForURL", 1);
  file->setMovieProp("urlHorRes", 802);
  file->setMovieProp("urlVertRes", 600);
  layer->triggerFile(file);
  EXPECT_EQ(source.currentFile(), file);
  EXPECT_EQ(source.renderSize(), QSize(800, 600));
  MainThread::processUntil([&] { return layer->layerSize() == QSizeF(800, 600); }, 5);
  EXPECT_EQ(layer->layerSize(), QSizeF(800, 600));
  ASSERT_TRUE(loaded(source));
  EXPECT_EQ(source.createSnapshot().value("sourceFileID").toLongLong(), file->uniqueFileId());

  // Navigating away drops the file.
  source.urlTextField()->setText(writePage("other.html", "<html><body>other</body></html>"));
  source.urlTextFieldUsed();
  ASSERT_TRUE(MainThread::processUntil([&] { return !source.currentFile(); }, kPageSeconds));
  EXPECT_FALSE(file->currentSource());
}

}  // namespace
