#include "app/plugins/monitors/MIDIDisplay.h"
#include "app/plugins/monitors/MIDIMonitorText.h"
#include "app/plugins/monitors/OSCDisplay.h"
#include "framework/controls/QKButton.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/InputNotifications.h"
#include "framework/datasource/MIDIManager.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

#include <QCheckBox>

#include <thread>

namespace {

const QString kNames = QStringLiteral("QKMIDIUseNaturalNoteNamesFlag");

TEST(MIDIMonitorTextTest, ShowsControllersPitchAndNotesAndNothingElse) {
  const struct {
    const char* name;
    QKMIDIMessage message;
    bool names;
    const char *type, *value, *channel;
  } cases[] = {
      {"controller", {0xB0, 1, 7, 100}, true, "CTL: 7", "Value: 100", "Channel: 1"},
      {"pitch centre", {0xE0, 3, 0, 64}, true, "Pitch Wheel", "Value: 8192", "Channel: 3"},
      {"pitch top", {0xE0, 16, 127, 127}, true, "Pitch Wheel", "Value: 16383", "Channel: 16"},
      {"note named", {0x90, 2, 60, 99}, true, "Note: C3", "Velocity: 99", "Channel: 2"},
      {"note numbered", {0x90, 2, 60, 99}, false, "Note: 60", "Velocity: 99", "Channel: 2"},
  };
  for (const auto& c : cases) {
    const auto fields = MIDIMonitorText::forMessage(c.message, c.names);
    ASSERT_TRUE(fields) << c.name;
    EXPECT_EQ(fields->type, QString::fromLatin1(c.type)) << c.name;
    EXPECT_EQ(fields->value, QString::fromLatin1(c.value)) << c.name;
    EXPECT_EQ(fields->channel, QString::fromLatin1(c.channel)) << c.name;
  }
  EXPECT_EQ(MIDIManager::naturalNameForMIDINoteValue(60), QStringLiteral("C3"));
  for (const QKMIDIMessage& other :
       {QKMIDIMessage(0x80, 1, 60, 0), QKMIDIMessage(0xC0, 1, 5, 0), QKMIDIMessage(0xA0, 1, 60, 3)})
    EXPECT_FALSE(MIDIMonitorText::forMessage(other, true));
}

TEST(MIDIMonitorTextTest, NoteNamesAreOnUnlessTheDefaultSaysOtherwise) {
  UserDefaults::standard().resetForTesting();
  EXPECT_TRUE(MIDIMonitorText::naturalNamesWanted());  // absent
  UserDefaults::standard().setValue(kNames, 0);
  EXPECT_FALSE(MIDIMonitorText::naturalNamesWanted());
  UserDefaults::standard().setValue(kNames, 1);
  EXPECT_TRUE(MIDIMonitorText::naturalNamesWanted());
}

class MonitorsTest : public PluginHost {
 protected:
  static void postMIDI(const QKMIDIMessage& message) {
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(InputNotifications::MIDIDetect), nullptr,
        {{QString::fromLatin1(InputNotifications::MessageKey), QVariant::fromValue(message)}});
  }
  static void postOSC(const std::shared_ptr<DataSource>& source) {
    NotificationCenter::defaultCenter().post(
        QString::fromLatin1(InputNotifications::OSCDetect), nullptr,
        {{QString::fromLatin1(InputNotifications::DataSourceKey), QVariant::fromValue(source)}});
  }
  // Posted from another thread, as the input threads do.
  static void postMIDIFromThread(const QKMIDIMessage& message) {
    std::thread([message] { postMIDI(message); }).join();
  }
  static void settle() {
    MainThread::processUntil([] { return false; }, 0.05);
  }
};

TEST_F(MonitorsTest, TheMIDIMonitorShowsWhatArrivesWhileOn) {
  auto* monitor = make<MIDIDisplay>();
  ASSERT_NE(monitor, nullptr);
  postMIDIFromThread({0xB0, 1, 7, 100});
  settle();
  EXPECT_EQ(monitor->typeText(), QStringLiteral(" "));  // off at creation

  monitor->onOffButton()->setIntValue(1, true);
  settle();
  EXPECT_EQ(monitor->detectState(), 1);
  postMIDIFromThread({0xB0, 1, 7, 100});
  settle();
  EXPECT_EQ(monitor->typeText(), QStringLiteral("CTL: 7"));
  EXPECT_EQ(monitor->valueText(), QStringLiteral("Value: 100"));
  EXPECT_EQ(monitor->channelText(), QStringLiteral("Channel: 1"));

  // A note off and a program change leave the fields.
  postMIDIFromThread({0x80, 4, 60, 0});
  postMIDIFromThread({0xC0, 4, 9, 0});
  settle();
  EXPECT_EQ(monitor->typeText(), QStringLiteral("CTL: 7"));
  EXPECT_EQ(monitor->channelText(), QStringLiteral("Channel: 1"));

  UserDefaults::standard().setValue(kNames, 0);
  postMIDIFromThread({0x90, 2, 60, 90});
  settle();
  EXPECT_EQ(monitor->typeText(), QStringLiteral("Note: 60"));
  UserDefaults::standard().remove(kNames);
  postMIDIFromThread({0x90, 2, 60, 90});
  settle();
  EXPECT_EQ(monitor->typeText(), QStringLiteral("Note: C3"));

  monitor->toggleOnState(0);
  postMIDIFromThread({0xB0, 1, 8, 1});
  settle();
  EXPECT_EQ(monitor->typeText(), QStringLiteral("Note: C3"));

  if (QKWindow* window = monitor->window()) {
    window->show();
    settle();
    saveScreenshot(window->grab().toImage(), QStringLiteral("midi-monitor"));
  }
}

TEST_F(MonitorsTest, SwitchingOnTwiceObservesOnce) {
  auto* monitor = make<MIDIDisplay>();
  monitor->toggleOnState(1);
  monitor->toggleOnState(1);
  EXPECT_EQ(NotificationCenter::defaultCenter().hasObservers(
                QString::fromLatin1(InputNotifications::MIDIDetect)),
            true);
  monitor->toggleOnState(0);
  EXPECT_FALSE(NotificationCenter::defaultCenter().hasObservers(
      QString::fromLatin1(InputNotifications::MIDIDetect)));
}

TEST_F(MonitorsTest, ARestoredMIDIMonitorIsOnAgain) {
  auto* monitor = make<MIDIDisplay>();
  monitor->toggleOnState(1);
  const QVariantMap snapshot = monitor->createSnapshot();
  manager->deletePlugins({monitor});
  auto* restored = make<MIDIDisplay>();
  restored->loadSnapshot(snapshot);
  EXPECT_EQ(restored->detectState(), 1);
  EXPECT_EQ(restored->onOffButton()->intValue(), 1);
  postMIDIFromThread({0xE0, 5, 0, 64});
  settle();
  EXPECT_EQ(restored->valueText(), QStringLiteral("Value: 8192"));
  // Entries of the wrong type keep the state.
  restored->loadSnapshot(
      {{QStringLiteral("componentArray"), QVariantList{5, QStringLiteral("x")}}});
  restored->loadSnapshot({{QStringLiteral("componentArray"), QStringLiteral("settings")}});
  EXPECT_EQ(restored->detectState(), 1);
}

std::shared_ptr<DataSource> oscSource(const QString& name, float value) {
  auto source = DSFloatInfrequent::createWithName(name);
  source->setValue(value);
  return source;
}

TEST_F(MonitorsTest, TheOSCMonitorKeepsTheSixteenNewestLinesNewestFirst) {
  auto* monitor = make<OSCDisplay>();
  ASSERT_NE(monitor, nullptr);
  EXPECT_FALSE(monitor->checkBox()->isChecked());  // starts off
  monitor->checkBox()->setChecked(true);
  for (int i = 1; i <= 17; ++i) postOSC(oscSource(QStringLiteral("/fader/%1").arg(i), 0.5f));
  postOSC(nullptr);  // a detection without a node
  settle();
  const QStringList shown = monitor->text().split(QLatin1Char('\n'));
  ASSERT_EQ(shown.size(), 16);
  EXPECT_EQ(shown.front(), QStringLiteral("/fader/17 - 0.500000"));
  EXPECT_EQ(shown.back(), QStringLiteral("/fader/2 - 0.500000"));
  monitor->checkBox()->setChecked(false);
  postOSC(oscSource(QStringLiteral("/late"), 1.0f));
  settle();
  EXPECT_EQ(monitor->text().split(QLatin1Char('\n')).front(),
            QStringLiteral("/fader/17 - 0.500000"));
  EXPECT_EQ(monitor->createSnapshot().keys(), QStringList{QStringLiteral("superSnap")});

  monitor->checkBox()->setChecked(true);
  if (QKWindow* window = monitor->window()) {
    window->show();
    settle();
    saveScreenshot(window->grab().toImage(), QStringLiteral("osc-monitor"));
  }
}

TEST_F(MonitorsTest, ABurstWhileTheMainThreadIsBusyCostsAFewRefreshes) {
  auto* monitor = make<OSCDisplay>();
  monitor->checkBox()->setChecked(true);
  settle();
  const int before = monitor->refreshCount();
  std::thread burst([] {
    for (int i = 0; i < 1000; ++i) postOSC(oscSource(QStringLiteral("/b/%1").arg(i), 0.25f));
  });
  burst.join();  // the main thread is blocked until the burst is over
  settle();
  EXPECT_GE(monitor->refreshCount() - before, 1);
  EXPECT_LE(monitor->refreshCount() - before, 3);
  const QStringList shown = monitor->text().split(QLatin1Char('\n'));
  ASSERT_EQ(shown.size(), 16);
  EXPECT_EQ(shown.front(), QStringLiteral("/b/999 - 0.250000"));
  EXPECT_EQ(shown.back(), QStringLiteral("/b/984 - 0.250000"));
}

TEST_F(MonitorsTest, AMonitorDeletedWithARefreshPendingIsLeftAlone) {
  auto* monitor = make<OSCDisplay>();
  monitor->checkBox()->setChecked(true);
  std::thread([] { postOSC(oscSource(QStringLiteral("/x"), 1.0f)); }).join();
  manager->deletePlugins({monitor});
  settle();  // the pending refresh finds the monitor gone
  std::thread([] { postOSC(oscSource(QStringLiteral("/y"), 1.0f)); }).join();
  EXPECT_FALSE(NotificationCenter::defaultCenter().hasObservers(
      QString::fromLatin1(InputNotifications::OSCDetect)));
}

}  // namespace
