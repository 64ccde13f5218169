// The Help menu's pages: a reachable site opens the exact page, an
// unreachable one shows the alert and opens nothing, an unset address says
// so, and a second click during a probe is ignored.
#include "app/shell/HelpLinks.h"
#include "platform/foundation/Alert.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class HelpLinksTest : public testing::Test {
 protected:
  void SetUp() override {
    Alert::clearRecorded();
    for (const char* key : {"helpWikiURL", "userForumURL", "bugReportURL"})
      UserDefaults::standard().remove(QString::fromLatin1(key));
  }
  void set(const char* key, const QString& address) {
    UserDefaults::standard().setValue(QString::fromLatin1(key), address);
  }
  void settle() {
    ASSERT_TRUE(MainThread::processUntil([&] { return !links_.probing(); }, 10.0));
  }

  QList<QUrl> opened_;
  int bugReports_ = 0;
  HelpLinks links_{[this](const QUrl& url) {
                     opened_ << url;
                     return true;
                   },
                   [this] { ++bugReports_; }};
  LoopbackHttpServer wiki_;
  LoopbackHttpServer forum_;
};

TEST_F(HelpLinksTest, ReachableSitesOpenTheirPages) {
  set("helpWikiURL", wiki_.url());
  set("userForumURL", forum_.url(QStringLiteral("/forum/")));
  set("bugReportURL", wiki_.url(QStringLiteral("/bugs")));
  const struct {
    void (HelpLinks::*action)();
    QString page;  // empty: the bug report starts
  } cases[] = {
      {&HelpLinks::helpMenuChosen, wiki_.url(QStringLiteral("/index.php/ZAPH"))},
      {&HelpLinks::fxCommunitySiteChosen, wiki_.url(QStringLiteral("/index.php/Quartz_Composer"))},
      {&HelpLinks::talkToDevsChosen, forum_.url(QStringLiteral("/forum"))},
      {&HelpLinks::reportBugChosen, QString()},
  };
  for (const auto& c : cases) {
    opened_.clear();
    bugReports_ = 0;
    (links_.*c.action)();
    settle();
    if (c.page.isEmpty()) {
      EXPECT_TRUE(opened_.isEmpty());
      EXPECT_EQ(bugReports_, 1);
    } else {
      ASSERT_EQ(opened_.size(), 1);
      EXPECT_EQ(opened_[0].toString(), c.page);
    }
  }
  EXPECT_TRUE(Alert::recorded().empty());
}

TEST_F(HelpLinksTest, UnreachableOrUnsetSitesSaySoAndOpenNothing) {
  set("helpWikiURL", QStringLiteral("http://127.0.0.1:%1").arg(LoopbackHttpServer::closedPort()));
  links_.helpMenuChosen();
  settle();
  ASSERT_EQ(Alert::recorded().size(), 1u);
  EXPECT_EQ(Alert::recorded()[0].title, HelpLinks::kUnavailableTitle);
  EXPECT_EQ(Alert::recorded()[0].message, HelpLinks::kUnavailableMessage);

  Alert::clearRecorded();
  links_.talkToDevsChosen();  // no forum address
  links_.reportBugChosen();   // nor a bug-report one
  ASSERT_EQ(Alert::recorded().size(), 2u);
  EXPECT_EQ(Alert::recorded()[0].title, HelpLinks::kNoAddressTitle);
  EXPECT_TRUE(Alert::recorded()[0].message.contains(QStringLiteral("userForumURL")));
  EXPECT_TRUE(opened_.isEmpty());
  EXPECT_EQ(bugReports_, 0);
}

TEST_F(HelpLinksTest, ASecondClickDuringTheProbeIsIgnored) {
  set("helpWikiURL", wiki_.url());
  links_.helpMenuChosen();
  EXPECT_TRUE(links_.probing());
  links_.fxCommunitySiteChosen();
  settle();
  ASSERT_EQ(opened_.size(), 1);
  EXPECT_EQ(opened_[0].path(), QStringLiteral("/index.php/ZAPH"));
}

}  // namespace
