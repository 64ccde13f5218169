// The launch's version check against a loopback server: which answers
// count, the exact request, the update panel, and what each outcome does on
// the main thread.
#include "app/shell/InternetCheck.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>

namespace {

class InternetCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    Alert::clearRecorded();
    Alert::clearScriptedAnswers();
    for (const char* key : {"updateServerURL", "crashReporterEmail", "bugReportEmail"})
      UserDefaults::standard().remove(QString::fromLatin1(key));
    setServer(server_.url());
  }
  void TearDown() override { Alert::clearScriptedAnswers(); }

  void setServer(const QString& address) {
    UserDefaults::standard().setValue(QStringLiteral("updateServerURL"), address);
  }

  // Runs the internet thread to its end and records what reached the main thread.
  struct Outcome {
    std::optional<bool> available;
    bool availableOnMain = false;
    int reporterChecks = 0;
    int gateReleases = 0;
    QList<QUrl> opened;
  };
  Outcome runThread(bool fullscreen = false, QString version = QStringLiteral("5.0alt2")) {
    Outcome outcome;
    InternetCheck::Environment environment;
    environment.bundleVersion = version;
    environment.fullscreenHidesModal = [fullscreen] { return fullscreen; };
    environment.openUrl = [&outcome](const QUrl& url) {
      outcome.opened << url;
      return true;
    };
    environment.setInternetAvailable = [&outcome](bool available) {
      outcome.available = available;
      outcome.availableOnMain = MainThread::isMainThread();
    };
    environment.crashReporterCheck = [&outcome] { ++outcome.reporterChecks; };
    environment.releaseGate = [&outcome] { ++outcome.gateReleases; };
    environment.connectTimeout = 0.5;
    environment.totalTimeout = 0.5;
    InternetCheck check(environment);
    check.start();
    EXPECT_TRUE(MainThread::processUntil(
        [&] { return check.finished() && outcome.available.has_value(); }, 20.0));
    return outcome;
  }

  LoopbackHttpServer server_;
};

TEST_F(InternetCheckTest, OnlyAnExactAnswerOfAWholeReplyCounts) {
  const struct {
    int status;
    QByteArray body;
    bool available;
    bool panel;
  } cases[] = {
      {200, "old", true, true},
      {200, "latest", true, false},
      {200, "old\n", false, false},
      {200, "Latest", false, false},
      {404, "latest", false, false},
      {500, "old", false, false},
      {200, "latest" + QByteArray(1100, ' '), false, false},
      {200, "", false, false},
  };
  for (const auto& c : cases) {
    Alert::clearRecorded();
    Alert::scriptAnswers({QStringLiteral("Not Now")});
    server_.answer(c.status, c.body);
    const Outcome outcome = runThread();
    SCOPED_TRACE(c.body.left(20).toStdString() + " " + std::to_string(c.status));
    EXPECT_EQ(outcome.available, c.available);
    EXPECT_TRUE(outcome.availableOnMain);
    EXPECT_EQ(Alert::recorded().size(), c.panel ? 1u : 0u);
    EXPECT_EQ(outcome.reporterChecks, c.available ? 1 : 0);
    EXPECT_EQ(outcome.gateReleases, c.available ? 0 : 1);
    EXPECT_TRUE(outcome.opened.isEmpty());
  }
}

TEST_F(InternetCheckTest, AsksTheServiceWithTheVersionWithoutAlt) {
  server_.answer(200, "latest");
  runThread(false, QStringLiteral("5.0alt2"));
  runThread(false, QStringLiteral("1.0 beta&x"));
  const auto requests = server_.requests();
  ASSERT_EQ(requests.size(), 2);
  EXPECT_EQ(requests[0].path, "/version/zaph/versionInfo.php?&action=versionCheck&version=5.02");
  EXPECT_EQ(requests[1].path,
            "/version/zaph/versionInfo.php?&action=versionCheck&version=1.0%20beta%26x");
}

TEST_F(InternetCheckTest, UnreachableOrUnsetServersAnswerNo) {
  setServer(QStringLiteral("http://127.0.0.1:%1").arg(LoopbackHttpServer::closedPort()));
  EXPECT_EQ(runThread().available, false);

  server_.neverAnswer();
  setServer(server_.url());
  const Outcome silent = runThread();
  EXPECT_EQ(silent.available, false);
  EXPECT_EQ(silent.gateReleases, 1);

  LoopbackHttpServer unused;
  for (const QString& address : {QString(), QStringLiteral("ftp://127.0.0.1:%1").arg(unused.port()),
                                 QStringLiteral("file:///etc/passwd")}) {
    setServer(address);
    const Outcome outcome = runThread();
    EXPECT_EQ(outcome.available, false) << address.toStdString();
    EXPECT_EQ(outcome.gateReleases, 1);
  }
  EXPECT_TRUE(unused.requests().isEmpty());
}

TEST_F(InternetCheckTest, ThePanelOpensTheDetailsPageOrNothing) {
  server_.answer(200, "old");
  Alert::scriptAnswers({QStringLiteral("Show Me")});
  const Outcome shown = runThread();
  EXPECT_EQ(shown.available, true);
  ASSERT_EQ(shown.opened.size(), 1);
  EXPECT_EQ(shown.opened[0].toString(),
            server_.url(QStringLiteral(
                "/version/zaph/versionInfo.php?action=versionDetails&version=5.02")));

  Alert::clearRecorded();
  const Outcome hidden = runThread(true);
  EXPECT_EQ(hidden.available, true) << "an offer the output would hide still counts";
  EXPECT_TRUE(Alert::recorded().empty());
  EXPECT_TRUE(hidden.opened.isEmpty());
  EXPECT_EQ(hidden.reporterChecks, 1);
}

TEST_F(InternetCheckTest, AYesCopiesTheBugReportAddressOnlyIntoAnEmptyOne) {
  const struct {
    const char* crash;
    const char* bug;
    const char* expected;
  } cases[] = {
      {"", "me@example.org", "me@example.org"},
      {"kept@example.org", "me@example.org", "kept@example.org"},
      {"", "", ""},
  };
  UserDefaults& defaults = UserDefaults::standard();
  server_.answer(200, "latest");
  for (const auto& c : cases) {
    defaults.setValue(QStringLiteral("crashReporterEmail"), QString::fromLatin1(c.crash));
    defaults.setValue(QStringLiteral("bugReportEmail"), QString::fromLatin1(c.bug));
    runThread();
    EXPECT_EQ(defaults.stringValue(QStringLiteral("crashReporterEmail")),
              QString::fromLatin1(c.expected));
  }
}

}  // namespace
