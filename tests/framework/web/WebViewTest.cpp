#include "platform/web/WebView.h"

#include "framework/media/QKWebView.h"
#include "tests/framework/web/WebTestSupport.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/Screenshot.h"

#include <QApplication>
#include <QDialog>

#include <gtest/gtest.h>

#include <thread>

using namespace webtest;

namespace {

struct AddressCase {
  const char* name;
  const char* address;
  bool loadable;
};

class WebViewAddressTest : public testing::TestWithParam<AddressCase> {};

TEST_P(WebViewAddressTest, OnlyAbsoluteAddressesOfPageSchemesLoad) {
  const AddressCase& c = GetParam();
  EXPECT_EQ(WebView::refusalFor(QUrl(QString::fromUtf8(c.address))).isEmpty(), c.loadable)
      << c.address;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, WebViewAddressTest,
    testing::Values(AddressCase{"Http", "http://127.0.0.1/page.html", true},
                    AddressCase{"Https", "https://example.com/", true},
                    AddressCase{"File", "file:///tmp/page.html", true},
                    AddressCase{"AboutBlank", "about:blank", true},
                    AddressCase{"Data", "data:text/html,<p>hi</p>", true},
                    AddressCase{"NoScheme", "page.html", false},
                    AddressCase{"Words", "not a web address", false},
                    AddressCase{"Empty", "", false},
                    AddressCase{"Rtsp", "rtsp://camera.example/stream", false},
                    AddressCase{"JavaScript", "javascript:alert(1)", false},
                    AddressCase{"BrokenPort", "http://example.com:99999999/", false}),
    [](const testing::TestParamInfo<AddressCase>& info) { return std::string(info.param.name); });

class WebViewTest : public testing::Test {
 protected:
  void SetUp() override {
    view_.resize(480, 360);
    view_.show();
  }
  QKWebView view_;
};

TEST_F(WebViewTest, LoadsALocalPageAndGrabsItOnTheMainThreadOnly) {
  const QUrl page = writePage(pageFilledWith("red"));
  const auto outcome = loadAndWait(view_, [&] { return view_.loadAddress(page); });
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->kind, WebLoadOutcome::Kind::Succeeded);
  EXPECT_FALSE(view_.isLoading());

  const QImage picture =
      grabUntil(view_, [](const QImage& p) { return shareOf(p, Qt::red) > 0.95; });
  EXPECT_EQ(picture.format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(picture.size(), QSize(480, 360));
  EXPECT_GT(shareOf(picture, Qt::red), 0.95);
  EXPECT_TRUE(
      MainThread::processUntil([&] { return !view_.contentsSize().isEmpty(); }, kPageSeconds));
  EXPECT_EQ(view_.visibleRect(), QRectF(0, 0, 480, 360));

  LogCapture log;
  QImage offMain;
  std::thread([&] { offMain = view_.grabPicture(); }).join();
  EXPECT_TRUE(offMain.isNull());
  EXPECT_TRUE(log.contains(QStringLiteral("grabbed off the main thread")));
}

TEST_F(WebViewTest, ServesAnArchiveWithItsSubresourcesAndFetchesNothingElse) {
  LoopbackHttpServer server;
  server.answer(200, png(Qt::red), "Content-Type: image/png\r\n");
  WebArchive archive = twoImageArchive();
  // An image the archive does not hold: it must not be fetched.
  WebResource main = archive.mainResource();
  main.data.replace("</body>", "<img style='width:1px;height:1px' src='" +
                                   server.url("/missing.png").toUtf8() + "'></body>");
  archive = WebArchive(main, archive.subresources());

  const auto outcome = loadAndWait(view_, [&] { return view_.loadArchive(archive); });
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->kind, WebLoadOutcome::Kind::Succeeded);
  auto leftBlueRightGreen = [](const QImage& p) {
    return shareOf(p.copy(0, 0, 240, 360), Qt::blue) > 0.95 &&
           shareOf(p.copy(240, 0, 240, 360), Qt::green) > 0.95;
  };
  const QImage picture = grabUntil(view_, leftBlueRightGreen);
  saveScreenshot(picture, QStringLiteral("web-archive"));
  EXPECT_TRUE(leftBlueRightGreen(picture));
  EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(WebViewTest, HoldsBackAHostilePage) {
  LoopbackHttpServer server;
  // Every request the page makes ends here, and each may stall the caller
  // if it is not refused.
  server.answer(
      200,
      pageFilledWith("red",
                     "for (let i = 0; i < 3; ++i) window.open('about:blank');"
                     "for (let i = 0; i < 200; ++i) alert(i);"
                     "confirm('sure?'); prompt('name?');"
                     "window.onbeforeunload = () => 'stay';"
                     "navigator.mediaDevices.getUserMedia({video: true, audio: true})"
                     "  .catch(() => {});"
                     "navigator.geolocation.getCurrentPosition(() => {}, () => {});"
                     "Notification.requestPermission();"
                     "const a = document.createElement('a');"
                     "a.href = 'data:application/octet-stream,hello'; a.download = 'x.bin';"
                     "document.body.appendChild(a); a.click();"
                     "document.title = 'done';"),
      "Content-Type: text/html\r\n");
  LogCapture log;
  const auto outcome = loadAndWait(view_, [&] { return view_.loadAddress(QUrl(server.url())); });
  ASSERT_TRUE(outcome.has_value());
  ASSERT_TRUE(MainThread::processUntil(
      [&] {
        return view_.title() == QLatin1String("done") &&
               log.contains(QStringLiteral("permission")) &&
               log.contains(QStringLiteral("download"));
      },
      kPageSeconds))
      << log.lines().join(u'\n').toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral("a new window refused")));
  EXPECT_TRUE(log.contains(QStringLiteral("an alert refused")));
  for (QWidget* widget : QApplication::topLevelWidgets())
    EXPECT_FALSE(widget->isVisible() && widget != &view_) << widget->metaObject()->className();
  auto red = [](const QImage& p) { return shareOf(p, Qt::red) > 0.95; };
  EXPECT_TRUE(red(grabUntil(view_, red)));

  // The page's leave-page question does not hold the next load back.
  const auto next = loadAndWait(view_, [&] { return view_.loadAddress(QUrl("about:blank")); });
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->kind, WebLoadOutcome::Kind::Succeeded);
}

TEST_F(WebViewTest, CancelsAnAuthenticationRequest) {
  LoopbackHttpServer server;
  server.answer(401, "<p>who are you?</p>",
                "WWW-Authenticate: Basic realm=\"zaph\"\r\nContent-Type: text/html\r\n");
  std::optional<QUrl> asked;
  QObject::connect(&view_, &WebView::authenticationRequested,
                   [&asked](const QUrl& url) { asked = url; });
  const auto outcome = loadAndWait(view_, [&] { return view_.loadAddress(QUrl(server.url())); });
  ASSERT_TRUE(outcome.has_value());
  ASSERT_TRUE(asked.has_value());
  EXPECT_EQ(asked->port(), server.port());
  EXPECT_EQ(outcome->httpStatus, 401);
}

TEST(QKWebViewTest, WithoutADocumentAnswersTheFallbackSizeAndNoRectangle) {
  QKWebView view;
  view.resize(480, 360);
  EXPECT_EQ(view.getPageSize(), QSizeF(320, 240));
  EXPECT_EQ(view.documentVisibleRect(), QRectF());
  EXPECT_EQ(view.bitmapImageRep(), nullptr);
  // Nothing drawn yet: the picture is the page's background, all of it.
  const QImage picture = view.grabPicture();
  ASSERT_EQ(picture.size(), QSize(480, 360));
  EXPECT_EQ(shareOf(picture, view.page()->backgroundColor()), 1.0);
}

TEST_F(WebViewTest, RenderOffTheMainThreadAnswersTheLastPictureAndQueuesOneGrab) {
  const auto outcome =
      loadAndWait(view_, [&] { return view_.loadAddress(writePage(pageFilledWith("red"))); });
  ASSERT_TRUE(outcome.has_value());
  grabUntil(view_, [](const QImage& p) { return shareOf(p, Qt::red) > 0.95; });
  const QKWebView::Picture red = view_.render();
  ASSERT_NE(red, nullptr);
  EXPECT_GT(shareOf(*red, Qt::red), 0.95);
  // The page's size arrives from the renderer a little after the load.
  EXPECT_TRUE(MainThread::processUntil([&] { return view_.getPageSize() == QSizeF(480, 360); },
                                       kPageSeconds));

  view_.page()->runJavaScript(QStringLiteral("document.body.style.background = 'blue'"));
  QKWebView::Picture fromThread;
  std::thread([&] {
    fromThread = view_.render();
    view_.render();  // a second request while the first is pending
  }).join();
  EXPECT_EQ(fromThread, red);  // at once, without waiting for the main thread
  ASSERT_TRUE(MainThread::processUntil(
      [&] {
        if (view_.bitmapImageRep() == red) return false;
        if (shareOf(*view_.bitmapImageRep(), Qt::blue) > 0.95) return true;
        std::thread([&] { view_.render(); }).join();  // the grab may precede the repaint
        return false;
      },
      kPageSeconds));
  EXPECT_GT(shareOf(*red, Qt::red), 0.95);  // a picture handed out stays as it was

  // A deleted view grabs nothing more.
  view_.prepareToBeDeleted();
  const QKWebView::Picture last = view_.bitmapImageRep();
  std::thread([&] { EXPECT_EQ(view_.render(), last); }).join();
  EXPECT_EQ(view_.render(), last);
  MainThread::processUntil([] { return false; }, 0.2);
  EXPECT_EQ(view_.bitmapImageRep(), last);
}

}  // namespace
