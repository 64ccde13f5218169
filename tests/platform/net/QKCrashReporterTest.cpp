#include "platform/foundation/Alert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/QKCrashReporter.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>

namespace {

class CountingDelegate : public QKCrashReporterDelegate {
 public:
  void crashReporterCheckDone() override {
    EXPECT_TRUE(MainThread::isMainThread());
    ++calls;
  }
  std::atomic<int> calls{0};
};

class QKCrashReporterTest : public testing::Test {
 protected:
  void SetUp() override {
    Paths::setUserDataDirOverride(TestEnvironment::makeTempDir(QStringLiteral("data")));
    Alert::clearRecorded();
    previous_ = Log::setSink([this](const QString& line) {
      std::lock_guard<std::mutex> lock(linesMutex_);
      lines_ << line;
    });
    reporter_.setDelegate(&delegate_);
  }
  void TearDown() override {
    UserDefaults::standard().remove(QStringLiteral("crashReporterEmail"));
    Log::setSink(previous_);
    Paths::setUserDataDirOverride({});
  }

  QString writeLog(const QString& name, const QByteArray& contents) {
    QDir().mkpath(QKCrashReporter::crashLogFolder());
    const QString path = QKCrashReporter::crashLogFolder() + QLatin1Char('/') + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    return path;
  }

  // Waits for the check to finish, then a little longer to catch a second call.
  void runCheck() {
    reporter_.check();
    ASSERT_TRUE(MainThread::processUntil([this] { return delegate_.calls > 0; }, 10.0));
    MainThread::processUntil([] { return false; }, 0.05);
    EXPECT_EQ(delegate_.calls, 1);
  }

  QStringList lines() {
    std::lock_guard<std::mutex> lock(linesMutex_);
    return lines_;
  }

  CountingDelegate delegate_;
  QKCrashReporter reporter_;
  std::mutex linesMutex_;
  QStringList lines_;
  Log::Sink previous_;
};

TEST_F(QKCrashReporterTest, WithNoLogsTheDelegateHearsOnceAndNobodyIsAsked) {
  reporter_.setUploadURL(QStringLiteral("http://127.0.0.1:9/never"));
  runCheck();
  EXPECT_TRUE(Alert::recorded().empty());
}

TEST_F(QKCrashReporterTest, SendsUnreportedLogsAndMarksThemSent) {
  LoopbackHttpServer server;
  server.answer(200, "ok");
  const QString log = writeLog(QStringLiteral("ZAPH 2024-05-01 20.00.00 4242.crash"),
                               "ZAPH crash log\nsignal: 11 (SIGSEGV)\n");
  writeLog(QStringLiteral("ZAPH 2024-04-01 20.00.00 4100.crash.sent"), "sent before");
  reporter_.setUploadURL(server.url(QStringLiteral("/integratedBugReporter3.php")));
  reporter_.setDeveloperEmail(QStringLiteral("support@example.org"));
  UserDefaults::standard().setValue(QStringLiteral("crashReporterEmail"),
                                    QStringLiteral("performer@example.org"));

  runCheck();

  ASSERT_EQ(Alert::recorded().size(), 1u);
  EXPECT_TRUE(Alert::recorded()[0].message.contains("support@example.org"));
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1);
  EXPECT_EQ(requests[0].path, "/integratedBugReporter3.php");
  EXPECT_TRUE(requests[0].body.contains(
      "name=\"crashLog\"; filename=\"ZAPH 2024-05-01 20.00.00 4242.crash\""));
  EXPECT_TRUE(requests[0].body.contains("ZAPH crash log\nsignal: 11 (SIGSEGV)\n"));
  EXPECT_TRUE(requests[0].body.contains("name=\"developerEmail\"\r\n\r\nsupport@example.org\r\n"));
  EXPECT_TRUE(requests[0].body.contains("name=\"email\"\r\n\r\nperformer@example.org\r\n"));
  EXPECT_TRUE(QKCrashReporter::unreportedLogs().isEmpty());
  EXPECT_TRUE(QFile::exists(log + QStringLiteral(".sent")));
}

TEST_F(QKCrashReporterTest, AFailedUploadKeepsTheLogForNextTime) {
  LoopbackHttpServer server;
  server.answer(500, "broken");
  const QString log = writeLog(QStringLiteral("ZAPH 2024-05-01 20.00.00 4242.crash"), "log");
  reporter_.setUploadURL(server.url());

  runCheck();

  EXPECT_EQ(server.requests().size(), 1);
  EXPECT_EQ(QKCrashReporter::unreportedLogs(), QStringList{QFileInfo(log).absoluteFilePath()});
  EXPECT_TRUE(lines().contains(QStringLiteral("\t\terr: crash log upload answered 500")));
}

TEST_F(QKCrashReporterTest, WithoutAnUploadAddressLogsStayAndTheDelegateStillHears) {
  writeLog(QStringLiteral("ZAPH 2024-05-01 20.00.00 4242.crash"), "log");
  runCheck();
  EXPECT_TRUE(Alert::recorded().empty());
  EXPECT_EQ(QKCrashReporter::unreportedLogs().size(), 1);
}

TEST_F(QKCrashReporterTest, EachCheckAnswersOnce) {
  reporter_.check();
  reporter_.check();
  ASSERT_TRUE(MainThread::processUntil([this] { return delegate_.calls >= 2; }, 10.0));
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_EQ(delegate_.calls, 2);
}

TEST_F(QKCrashReporterTest, AReporterGoneBeforeTheAnswerCallsNobody) {
  CountingDelegate delegate;
  {
    QKCrashReporter shortLived;
    shortLived.setDelegate(&delegate);
    shortLived.check();
  }
  MainThread::processUntil([] { return false; }, 0.1);
  EXPECT_EQ(delegate.calls, 0);
}

TEST_F(QKCrashReporterTest, ConsoleLogHoldsTheRecentLines) {
  Log::line("\t\terr: something the report should show");
  const std::optional<QString> console = reporter_.consoleLogString();
  ASSERT_TRUE(console.has_value());
  EXPECT_TRUE(console->endsWith(QStringLiteral("\t\terr: something the report should show\n")));
}

}  // namespace
