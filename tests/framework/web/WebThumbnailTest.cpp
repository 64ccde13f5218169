#include "framework/media/QKFlashThumbnailGenerator.h"

#include "framework/media/MediaNotifications.h"
#include "framework/media/QKWebThumbnailRenderer.h"
#include "platform/foundation/DelayedCalls.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/framework/media/MediaTestSupport.h"
#include "tests/framework/media/ThumbnailTestSupport.h"
#include "tests/framework/web/WebTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/Screenshot.h"

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace webtest;

namespace {

// The generator on real pages, with the program's delayed calls and a
// short time-out.
class WebThumbnailTest : public testing::Test {
 protected:
  void SetUp() override {
    UserDefaults::standard().setValue(QKFlashThumbnailGenerator::kLoadRemoteDefault, 1);
    generator_.setAppController(&host_);
    generator_.setLoadTimeout(2.0);
  }

  std::shared_ptr<TestWebFile> webFile(const QString& address) {
    auto file = std::make_shared<TestWebFile>(&compositor_, nextId_++);
    file->setUrlString(address);
    host_.files[file->uniqueFileId()] = file;
    return file;
  }

  // Runs the event loop until the queue has run empty and the view is
  // closed; answers how long that took.
  double runToTheEnd() {
    QElapsedTimer timer;
    timer.start();
    MainThread::processUntil(
        [&] { return !generator_.loading() && !generator_.renderer().isPrepared(); }, 60.0);
    return timer.elapsed() / 1000.0;
  }

  FakeCompositor compositor_;
  FakeThumbnailHost host_;
  QKFlashThumbnailGenerator generator_{std::make_unique<QKWebThumbnailRenderer>(),
                                       DelayedCalls::mainThread()};
  long nextId_ = 1;
};

TEST_F(WebThumbnailTest, ALocalPageWithARedBodyGivesARedPoster) {
  NotificationCounter reloads(MediaNotifications::kReloadAll);
  const auto page = webFile(writePage(pageFilledWith("red")).toString());
  generator_.addFileToQueue(page);
  runToTheEnd();
  saveScreenshot(page->posterImage(), QStringLiteral("web-thumbnail-red"));
  ASSERT_EQ(page->posterImage().size(), QSize(80, 60));
  EXPECT_GT(shareOf(page->posterImage(), Qt::red), 0.9);
  EXPECT_EQ(reloads.count(), 1);
}

TEST_F(WebThumbnailTest, AWebArchiveFileShowsItsImages) {
  // Written and read back as the file loader does.
  const QString path =
      TestEnvironment::makeTempDir(QStringLiteral("archive")) + QStringLiteral("/saved.webarchive");
  const WebArchive archive = twoImageArchive();
  auto resourceMap = [](const WebResource& r) {
    return QVariantMap{{WebArchive::kDataKey, r.data},
                       {WebArchive::kUrlKey, r.url.toString()},
                       {WebArchive::kMimeTypeKey, r.mimeType},
                       {WebArchive::kTextEncodingKey, r.textEncodingName}};
  };
  QVariantList subresources;
  for (const WebResource& r : archive.subresources()) subresources << resourceMap(r);
  ASSERT_EQ(PropertyList::write(
                QVariantMap{{WebArchive::kMainResourceKey, resourceMap(archive.mainResource())},
                            {WebArchive::kSubresourcesKey, subresources}},
                path),
            QString());
  std::shared_ptr<QKURLFile> file = QKURLFile::createWithFilePath(&compositor_, path);
  ASSERT_TRUE(file->webArchive().has_value());
  auto saved = std::make_shared<TestWebFile>(&compositor_, nextId_++);
  saved->setWebArchive(file->webArchive());
  host_.files[saved->uniqueFileId()] = saved;

  generator_.addFileToQueue(saved);
  runToTheEnd();
  const QImage poster = saved->posterImage();
  saveScreenshot(poster, QStringLiteral("web-thumbnail-archive"));
  ASSERT_EQ(poster.size(), QSize(80, 60));
  EXPECT_GT(shareOf(poster.copy(2, 0, 36, 60), Qt::blue), 0.9);
  EXPECT_GT(shareOf(poster.copy(42, 0, 36, 60), Qt::green), 0.9);
}

TEST_F(WebThumbnailTest, BadPagesGiveNoPosterNoDialogAndNoHang) {
  LoopbackHttpServer silent, secret, hostile;
  silent.neverAnswer();
  secret.answer(401, "<p>who are you?</p>",
                "WWW-Authenticate: Basic realm=\"zaph\"\r\nContent-Type: text/html\r\n");
  hostile.answer(
      200,
      pageFilledWith("red",
                     "for (let i = 0; i < 50; ++i) { window.open('about:blank');"
                     "  alert(i); }"
                     "navigator.mediaDevices.getUserMedia({video: true}).catch(() => {});"
                     "const a = document.createElement('a');"
                     "a.href = 'data:application/octet-stream,x'; a.download = 'x.bin';"
                     "document.body.appendChild(a); a.click();"),
      "Content-Type: text/html\r\n");
  const auto hanging = webFile(silent.url());
  const auto refused = webFile(secret.url());
  const auto rude = webFile(hostile.url());
  const auto notAnAddress = webFile(QStringLiteral("not a web address"));
  const auto deletedId = nextId_++;
  const auto last = webFile(writePage(pageFilledWith("red")).toString());
  LogCapture log;
  NotificationCounter reloads(MediaNotifications::kReloadAll);
  for (const auto& file : {hanging, refused, rude, notAnAddress}) generator_.addFileToQueue(file);
  generator_.addFileIDToQueue(deletedId);
  generator_.addFileIDToQueue(last->uniqueFileId());

  const double seconds = runToTheEnd();
  EXPECT_FALSE(generator_.loading());
  EXPECT_LT(seconds, 30.0);
  EXPECT_TRUE(hanging->posterImage().isNull());
  EXPECT_TRUE(refused->posterImage().isNull());
  EXPECT_TRUE(notAnAddress->posterImage().isNull());
  // The hostile page's own picture is not checked: under load it may be
  // captured before its first paint. What matters is that it opened nothing
  // and the run went on.
  EXPECT_GT(shareOf(last->posterImage(), Qt::red), 0.9);  // and the run went on
  EXPECT_EQ(reloads.count(), 6);
  for (QWidget* widget : QApplication::topLevelWidgets())
    EXPECT_FALSE(widget->isVisible() && !widget->testAttribute(Qt::WA_DontShowOnScreen))
        << widget->metaObject()->className();
  const QString lines = log.lines().join(u'\n');
  EXPECT_TRUE(lines.contains(QStringLiteral("the page drew nothing"))) << lines.toStdString();
  EXPECT_TRUE(lines.contains(QStringLiteral("required authorization"))) << lines.toStdString();
  EXPECT_TRUE(lines.contains(QStringLiteral("not a web address"))) << lines.toStdString();
}

}  // namespace
