#include "platform/foundation/Log.h"
#include "platform/net/QKCURLDL.h"
#include "platform/threading/QKStopwatch.h"
#include "tests/support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class QKCURLDLTest : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = Log::setSink([this](const QString& line) { lines_ << line; });
  }
  void TearDown() override { Log::setSink(previous_); }

  LoopbackHttpServer server_;
  QStringList lines_;
  Log::Sink previous_;
};

TEST_F(QKCURLDLTest, GetAnswersBodyAndStatus) {
  server_.answer(200, "latest");
  auto download = QKCURLDL::createWithAddress(server_.url(
      QStringLiteral("/version/zaph/versionInfo.php?&action=versionCheck&version=1.0")));
  ASSERT_TRUE(download->perform());
  EXPECT_EQ(download->httpStatus(), 200);
  EXPECT_EQ(download->responseData(), QByteArray("latest"));
  EXPECT_EQ(download->responseString(), QStringLiteral("latest"));
  EXPECT_TRUE(download->errorString().isEmpty());

  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].path, "/version/zaph/versionInfo.php?&action=versionCheck&version=1.0");
}

TEST_F(QKCURLDLTest, AnswersOfEveryStatusAndSize) {
  const struct {
    int status;
    QByteArray body;
  } cases[] = {{200, "old"},
               {404, "Not Found"},
               {500, ""},
               {200, ""},
               {200, QByteArray("\xc3\xa9t\xc3\xa9", 5)}};
  for (const auto& c : cases) {
    server_.answer(c.status, c.body);
    QKCURLDL download(server_.url());
    EXPECT_TRUE(download.perform()) << c.status;
    EXPECT_EQ(download.httpStatus(), c.status);
    EXPECT_EQ(download.responseData(), c.body);
    EXPECT_EQ(download.responseString(), c.body.isEmpty() ? QString() : QString::fromUtf8(c.body));
    EXPECT_EQ(download.responseString().isNull(), c.body.isEmpty());
  }
}

TEST_F(QKCURLDLTest, PostsAMultipartForm) {
  server_.answer(200, "thanks");
  const QByteArray project("\x1f\x8b\x00zipped\x00bytes", 15);
  auto upload = QKCURLDL::createWithAddress(server_.url(QStringLiteral("/manualBugReporter.php")));
  ASSERT_TRUE(upload->appendHeader("Expect:"));
  ASSERT_NE(upload->headerList(), nullptr);

  curl_mimepart* email = upload->addFormPart();
  curl_mime_name(email, "email");
  curl_mime_data(email, "someone@example.org", CURL_ZERO_TERMINATED);
  EXPECT_EQ(upload->lastFormPtr(), email);
  curl_mimepart* file = upload->addFormPart();
  curl_mime_name(file, "uploadFile");
  curl_mime_filename(file, "uploadFile");
  curl_mime_type(file, "application/zip");
  curl_mime_data(file, project.constData(), size_t(project.size()));
  EXPECT_EQ(upload->lastFormPtr(), file);

  ASSERT_TRUE(upload->perform());
  EXPECT_EQ(upload->responseString(), QStringLiteral("thanks"));

  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 1);
  const LoopbackHttpServer::Request& r = requests[0];
  EXPECT_EQ(r.method, "POST");
  EXPECT_EQ(r.path, "/manualBugReporter.php");
  EXPECT_TRUE(r.headers.contains("Content-Type: multipart/form-data; boundary="));
  EXPECT_FALSE(r.headers.contains("Expect"));
  EXPECT_TRUE(r.body.contains(
      "Content-Disposition: form-data; name=\"email\"\r\n\r\nsomeone@example.org\r\n"));
  EXPECT_TRUE(r.body.contains(
      "Content-Disposition: form-data; name=\"uploadFile\"; filename=\"uploadFile\"\r\n"
      "Content-Type: application/zip\r\n\r\n" +
      project + "\r\n"));
}

TEST_F(QKCURLDLTest, TakesOverAFormBuiltElsewhere) {
  server_.answer(200, "ok");
  QKCURLDL upload(server_.url());
  curl_mime* form = curl_mime_init(upload.handle());
  curl_mimepart* part = curl_mime_addpart(form);
  curl_mime_name(part, "zaph");
  curl_mime_data(part, "0.1.0", CURL_ZERO_TERMINATED);
  upload.setFirstFormPtr(form);
  upload.setLastFormPtr(part);
  EXPECT_EQ(upload.firstFormPtr(), form);
  EXPECT_EQ(upload.lastFormPtr(), part);
  ASSERT_TRUE(upload.perform());
  ASSERT_EQ(server_.requests().size(), 1);
  EXPECT_EQ(server_.requests()[0].method, "POST");
  EXPECT_TRUE(server_.requests()[0].body.contains("name=\"zaph\"\r\n\r\n0.1.0\r\n"));
}

TEST_F(QKCURLDLTest, AServerThatNeverAnswersTimesOut) {
  server_.neverAnswer();
  QKCURLDL download(server_.url());
  download.setTimeout(0.3);
  QKStopwatch stopwatch;
  EXPECT_FALSE(download.perform());
  EXPECT_LT(stopwatch.timeSinceStart(), 10.0);  // far below the default total time-out
  EXPECT_TRUE(download.responseData().isEmpty());
  EXPECT_TRUE(download.responseString().isNull());
  EXPECT_EQ(download.httpStatus(), 0);
  EXPECT_FALSE(download.errorString().isEmpty());
  ASSERT_EQ(lines_.size(), 1);
  EXPECT_TRUE(lines_[0].startsWith(QStringLiteral("\t\terr: request to ") + server_.url()));
}

TEST_F(QKCURLDLTest, TheAbortFlagEndsASilentTransfer) {
  server_.neverAnswer();
  QKCURLDL download(server_.url());
  std::atomic<bool> abort{false};
  download.setAbortFlag(&abort);
  std::thread quitter([&abort] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    abort = true;
  });
  QKStopwatch stopwatch;
  EXPECT_FALSE(download.perform());
  quitter.join();
  EXPECT_LT(stopwatch.timeSinceStart(), 10.0);  // far below the default total time-out
  EXPECT_TRUE(download.responseData().isEmpty());
}

TEST_F(QKCURLDLTest, ARefusedConnectionFailsWithoutData) {
  QKCURLDL download(QStringLiteral("http://127.0.0.1:%1/").arg(LoopbackHttpServer::closedPort()));
  EXPECT_FALSE(download.perform());
  EXPECT_TRUE(download.responseData().isEmpty());
  EXPECT_EQ(download.httpStatus(), 0);
  EXPECT_EQ(lines_.size(), 1);
}

TEST_F(QKCURLDLTest, ResponseReflectsOnlyTheLastTransfer) {
  server_.answer(200, "first");
  QKCURLDL download(server_.url());
  ASSERT_TRUE(download.perform());
  server_.answer(200, "second");
  ASSERT_TRUE(download.perform());
  EXPECT_EQ(download.responseData(), QByteArray("second"));

  server_.neverAnswer();
  download.setTimeout(0.2);
  EXPECT_FALSE(download.perform());
  EXPECT_TRUE(download.responseData().isEmpty());
  EXPECT_EQ(download.httpStatus(), 0);
}

TEST_F(QKCURLDLTest, AMalformedAddressFails) {
  QKCURLDL download(QStringLiteral("not a url at all"));
  EXPECT_FALSE(download.perform());
  EXPECT_TRUE(download.responseData().isEmpty());
}

}  // namespace
