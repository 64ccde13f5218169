#include "platform/foundation/Alert.h"

#include "platform/foundation/MainThread.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <thread>

namespace {
class AlertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Alert::headless()) << "the test environment answers alerts headless";
    Alert::clearRecorded();
  }
};
}  // namespace

TEST_F(AlertTest, HeadlessAlertsAnswerTheDefaultButtonAndAreRecorded) {
  struct Case {
    const char* name;
    QStringList buttons;
    int defaultButton;
    QStringList shown;
    int answer;
  };
  const QStringList yepNope{QStringLiteral("Yep"), QStringLiteral("Nope")};
  const std::vector<Case> cases = {
      {"no buttons gives Okay", {}, 0, {QStringLiteral("Okay")}, 0},
      {"second button", yepNope, 1, yepNope, 1},
      {"default out of range", yepNope, 5, yepNope, 0},
      {"negative default", yepNope, -1, yepNope, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Alert::clearRecorded();
    EXPECT_EQ(
        Alert::show(QStringLiteral("Title"), QStringLiteral("Message"), c.buttons, c.defaultButton),
        c.answer);
    const auto records = Alert::recorded();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].title, QStringLiteral("Title"));
    EXPECT_EQ(records[0].message, QStringLiteral("Message"));
    EXPECT_EQ(records[0].buttons, c.shown);
    EXPECT_EQ(records[0].answer, c.answer);
  }
}

// With a display the box asks its title as the question and explains it
// with the message below: the window title is not drawn everywhere.
TEST_F(AlertTest, AShownBoxAsksItsTitleAndExplainsWithItsMessage) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs a display";
  const QByteArray headless = qgetenv("ZAPH_HEADLESS_ALERTS");
  qunsetenv("ZAPH_HEADLESS_ALERTS");
  QString text, informative;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    text = box->text();
    informative = box->informativeText();
    for (QAbstractButton* button : box->buttons())
      if (button->text() == QStringLiteral("Nope")) button->click();
  });
  poll.start(20);
  const int answer =
      Alert::show(QStringLiteral("Delete it?"), QStringLiteral("It cannot come back."),
                  {QStringLiteral("Yep"), QStringLiteral("Nope")});
  qputenv("ZAPH_HEADLESS_ALERTS", headless);
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(text, QStringLiteral("Delete it?"));
  EXPECT_EQ(informative, QStringLiteral("It cannot come back."));
}

TEST_F(AlertTest, AnAlertFromAnotherThreadDoesNotWaitForTheMainThread) {
  int answer = -1;
  std::thread worker([&] {
    answer = Alert::show(QStringLiteral("Quit"), QStringLiteral("Are you sure you want to quit?"),
                         {QStringLiteral("Yep"), QStringLiteral("Nope")}, 1);
  });
  worker.join();  // the main thread runs no events meanwhile
  EXPECT_EQ(answer, 1);
}

TEST_F(AlertTest, PostedWarningsShowOnTheMainThreadLater) {
  Alert::postWarning(QStringLiteral("The file could not be read."));
  EXPECT_TRUE(Alert::recorded().empty());
  ASSERT_TRUE(MainThread::processUntil([] { return !Alert::recorded().empty(); }, 5.0));
  const auto record = Alert::recorded().front();
  EXPECT_EQ(record.title, QStringLiteral("Warning!"));
  EXPECT_EQ(record.message, QStringLiteral("The file could not be read."));
  EXPECT_EQ(record.buttons, QStringList{QStringLiteral("Okay")});
}
