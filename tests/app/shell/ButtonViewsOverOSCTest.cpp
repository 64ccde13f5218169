// Buttons on screen in ZAPH's process, driven by OSC messages sent over
// loopback: a bound button flashes and bangs, a tab view switches its tab,
// and a preset strip recalls the state it stored.
#include "app/shell/AppController.h"

#include "framework/controls/LocalPresetOwner.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLocalPresetButton.h"
#include "framework/controls/QKLocalPresetView.h"
#include "framework/controls/QKNSTabView.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/platform/osc/OSCTestSupport.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include <atomic>

namespace {

class ButtonViewsOverOSC : public testing::Test {
 protected:
  ButtonViewsOverOSC() {
    UserDefaults::standard().resetForTesting();
    in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
  }

  void send(const QString& address, float value) {
    OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("console"));
    auto message = OSCMessage::createWithAddress(address);
    message->addFloat(value);
    ASSERT_TRUE(out.sendThisMessage(*message));
  }

  static void bind(QKButton& button, const QString& address) {
    button.useThisSource({"OSC", address});
    button.setSyncFlag(true);
    ASSERT_TRUE(button.syncFlag());
  }

  AppController controller;
  std::shared_ptr<OSCInPort> in;
};

}  // namespace

TEST_F(ButtonViewsOverOSC, ABoundButtonBangsOnTheOSCThreadAndFlashesOnTheMainThread) {
  ASSERT_TRUE(in && in->isOpen());
  QKButton button;
  button.setFrame(QRectF(0, 0, 60, 20));
  const auto alive = std::make_shared<int>(0);
  std::atomic<int> bangs{0};
  std::atomic<bool> bangOnMain{true};
  button.setTarget(alive);
  button.setAction([&](QKButtonCell&) {
    bangOnMain.store(MainThread::isMainThread());
    ++bangs;
  });
  bind(button, QStringLiteral("/fire"));

  send(QStringLiteral("/fire"), 1.0f);
  ASSERT_TRUE(MainThread::processUntil([&] { return button.flashing(); }, 5.0));
  EXPECT_EQ(bangs.load(), 1);
  EXPECT_FALSE(bangOnMain.load());
  EXPECT_TRUE(button.cell()->isDown());
  EXPECT_TRUE(MainThread::processUntil([&] { return !button.flashing(); }, 2.0));
  EXPECT_FALSE(button.cell()->isDown());
  button.setSyncFlag(false);
}

TEST_F(ButtonViewsOverOSC, ATabViewSwitchesItsTabFromOSC) {
  QKNSTabView tabs;
  for (const char* name : {"One", "Two", "Three"})
    tabs.addTab(new QLabel(QString::fromLatin1(name)), QString::fromLatin1(name));
  tabs.createButtonsForTabs();
  int actions = 0;
  tabs.setTarget(&tabs);
  tabs.setAction([&](QKNSTabView&) { ++actions; });
  bind(*tabs.buttonArray().at(1), QStringLiteral("/tab/2"));

  send(QStringLiteral("/tab/2"), 1.0f);
  ASSERT_TRUE(MainThread::processUntil([&] { return actions == 1; }, 5.0));
  EXPECT_EQ(tabs.currentIndex(), 1);
  tabs.buttonArray().at(1)->setSyncFlag(false);
}

TEST_F(ButtonViewsOverOSC, APresetStripRecallsFromOSCWhatACtrlClickStored) {
  struct Owner : LocalPresetOwner {
    QVariantMap createLocalSnapshot() override { return {{"state", state}}; }
    void loadLocalSnapshot(const QVariantMap& snapshot) override {
      state = snapshot.value("state").toInt();
    }
    int state = 7;
  } owner;
  QKLocalPresetView strip;
  strip.resize(200, 20);
  strip.setTarget(&owner);
  strip.setCapacityTo(4);
  strip.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
  QKLocalPresetButton* preset = strip.itemArray().at(2);
  QTest::mouseClick(preset, Qt::LeftButton, Qt::ControlModifier, preset->rect().center());
  ASSERT_TRUE(MainThread::processUntil([&] { return preset->storedSnapshot().has_value(); }, 2.0));

  owner.state = 0;
  bind(*preset, QStringLiteral("/preset/3"));
  send(QStringLiteral("/preset/3"), 1.0f);
  ASSERT_TRUE(MainThread::processUntil([&] { return owner.state == 7; }, 5.0));
  EXPECT_EQ(strip.indexOfCurrentPreset(), 2);
  EXPECT_EQ(preset->intValue(), 1);
  preset->setSyncFlag(false);
}
