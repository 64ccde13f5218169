// A slider bound to an OSC address in ZAPH's process runs through a
// behaviour chain restored from a project snapshot.
#include "app/shell/AppController.h"
#include "app/shell/AppWindowMenuController.h"
#include "framework/behaviors/BehaviorChainListController.h"
#include "framework/behaviors/BehaviorChainManager.h"
#include "framework/behaviors/BehaviorChainWindow.h"
#include "framework/behaviors/BehaviorCreationController.h"
#include "framework/behaviors/BehaviorFXChain.h"
#include "framework/controls/QKBMSMCoordinator.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSMBehaviorListController.h"
#include "framework/controls/QKSliderInspector.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/Paths.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/QKSliderManager.h"
#include "framework/datasource/QKOSCManager.h"
#include "platform/foundation/MainThread.h"
#include "platform/osc/OSCMessage.h"
#include "platform/osc/OSCOutPort.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/OwnUserDataFolder.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QShortcutEvent>
#include <QTest>

#include <mutex>
#include <vector>

// Every chain the program holds is written to the user's "behavior chains"
// folder at quit and read back at the next start, so each test starts with
// a folder of its own.
class BehaviorChainInZaph : public ::testing::Test {
 protected:
  OwnUserDataFolder data_;
};

TEST_F(BehaviorChainInZaph, AnOSCBoundSliderRunsThroughARestoredThresholdChain) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  AppController controller;
  auto* chains =
      dynamic_cast<BehaviorChainManager*>(&controller.sliderManager()->behaviorChainManager());
  ASSERT_NE(chains, nullptr);

  const QVariantMap threshSlider{{"value", 0.5}};
  const QVariantMap threshold{{"fxNameString", "Threshold"},
                              {"QKBypassButton", QVariantMap{{"buttonValue", 1}}},
                              {"threshSlider", threshSlider}};
  const QVariantMap project{
      {BehaviorChainManager::kProjectSnapshotKey,
       QVariantList{QVariantMap{{"QKPMNameKey", "Gate"}, {"snapshot", QVariantList{threshold}}}}}};
  chains->loadSnapshot(project.value(BehaviorChainManager::kProjectSnapshotKey));
  ASSERT_EQ(chains->chainNames(), QStringList{"Gate"});

  auto in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());

  auto* slider = new QKSliderControl();
  std::mutex mutex;
  std::vector<float> outputs;
  auto token = std::make_shared<int>(0);
  slider->setTarget(token);
  slider->setAction([&](QKSliderCell& sender) {
    std::lock_guard<std::mutex> lock(mutex);
    outputs.push_back(sender.value());
  });
  slider->cell()->useBehaviorNamed(QStringLiteral("Gate"));
  slider->cell()->setBehaviorFlag(true);
  slider->cell()->useThisSource(KeyPath{"OSC", "/gate/level"});
  slider->setSyncFlag(true);
  ASSERT_TRUE(slider->syncFlag());

  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("test"));
  for (float sent : {0.3f, 0.7f}) {
    auto message = OSCMessage::createWithAddress(QStringLiteral("/gate/level"));
    message->addFloat(sent);
    ASSERT_TRUE(out.sendThisMessage(*message));
    const float expected = sent > 0.5f ? 1.0f : 0.0f;
    EXPECT_TRUE(waitFor([&] {
      std::lock_guard<std::mutex> lock(mutex);
      return !outputs.empty() && outputs.back() == expected && slider->lastInputValue() == sent;
    })) << sent;
  }
  slider->prepareToBeDeleted();
  delete slider;
  controller.applicationWillTerminate();
}

namespace {

BehaviorChainManager* chainsOf(AppController& controller) {
  return dynamic_cast<BehaviorChainManager*>(&controller.sliderManager()->behaviorChainManager());
}

// The palette of the first chain window once it shows (null after 5 s).
QKPaletteWindow* chainPalette(BehaviorChainManager& chains) {
  MainThread::processUntil(
      [&] {
        const auto first = chains.windowAt(0);
        return first && first->window() && first->window()->isVisible();
      },
      5.0);
  const auto first = chains.windowAt(0);
  return first ? first->window() : nullptr;
}

QAction* itemTitled(QMenu* menu, const QString& title) {
  for (QAction* item : menu ? menu->actions() : QList<QAction*>())
    if (item->text() == title) return item;
  return nullptr;
}

}  // namespace

// A performer's whole course: the palette opens by itself, Ctrl+3 hides and
// shows it, "+" and the pop-up make a Threshold chain, the inspector gives
// it to a slider bound over OSC, and after a quit the next start lists it.
TEST_F(BehaviorChainInZaph, APaletteMadeChainGatesAnOSCSliderAndComesBackAfterARestart) {
  if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the controller's render thread needs GL";
  QString chainName;
  {
    QElapsedTimer clock;
    clock.start();
    AppController controller;
    BehaviorChainManager* chains = chainsOf(controller);
    ASSERT_NE(chains, nullptr);
    QKPaletteWindow* palette = chainPalette(*chains);
    ASSERT_NE(palette, nullptr);
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_EQ(palette->title(), "Behavior Chains");
    palette->contentView()->expand();  // it starts collapsed at its default place

    QAction* entry = nullptr;
    for (QAction* candidate : controller.appWindowMenuController()->paletteEntries())
      if (candidate->text() == "Behavior Chains") entry = candidate;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->shortcut(), QKeySequence(QStringLiteral("Ctrl+3")));
    QShortcutEvent shortcut(QKeySequence(QStringLiteral("Ctrl+3")), 0);
    QApplication::sendEvent(entry, &shortcut);
    EXPECT_FALSE(palette->isVisible());
    QApplication::sendEvent(entry, &shortcut);
    EXPECT_TRUE(palette->isVisible());

    const auto window = chains->windowAt(0);
    const std::size_t listed = window->chains().size();  // files of earlier tests may be read
    QKButton* plus = window->addButton();
    QTest::mouseClick(plus, Qt::LeftButton, Qt::NoModifier, plus->rect().center());
    ASSERT_TRUE(
        MainThread::processUntil([&] { return window->chains().size() == listed + 1; }, 2.0));
    ASSERT_EQ(window->visibleChain(), window->chains().back());
    const auto chain = window->visibleChain();
    chainName = chain->chainName();
    QAction* threshold =
        itemTitled(window->creationListController()->potentialBehaviorsMenu()->menu(), "Threshold");
    ASSERT_NE(threshold, nullptr);
    threshold->trigger();
    ASSERT_EQ(chain->count(), 1);
    MainThread::processUntil([] { return false; }, 0.1);
    saveScreenshot(palette->grab().toImage(), QStringLiteral("behavior-chains-in-zaph"));

    auto in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
    ASSERT_TRUE(in && in->isOpen());
    QWidget sliderWindow;
    auto* slider = new QKSliderControl(&sliderWindow);
    slider->setFrame(QRectF(10, 10, 200, 20));
    std::mutex mutex;
    std::vector<float> outputs;
    auto token = std::make_shared<int>(0);
    slider->setTarget(token);
    slider->setAction([&](QKSliderCell& sender) {
      std::lock_guard<std::mutex> lock(mutex);
      outputs.push_back(sender.value());
    });
    slider->cell()->useThisSource(KeyPath{"OSC", "/gate/level"});
    slider->setSyncFlag(true);
    slider->selectJustMe();
    QKSMBehaviorListController* pick =
        controller.inspectorCoordinator()->sliderInspector()->behaviorViewController();
    pick->reloadView();
    QAction* item = itemTitled(pick->behaviorPopUpButton()->menu(), chainName);
    ASSERT_NE(item, nullptr);
    pick->behaviorPopUpButtonUsed(item);
    ASSERT_EQ(slider->cell()->behaviorChain(), chain);
    slider->cell()->setBehaviorFlag(true);

    OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("test"));
    for (float sent : {0.3f, 0.7f}) {
      auto message = OSCMessage::createWithAddress(QStringLiteral("/gate/level"));
      message->addFloat(sent);
      ASSERT_TRUE(out.sendThisMessage(*message));
      const float expected = sent > 0.5f ? 1.0f : 0.0f;
      EXPECT_TRUE(waitFor([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return !outputs.empty() && outputs.back() == expected && slider->lastInputValue() == sent;
      })) << sent;
    }
    slider->prepareToBeDeleted();
    delete slider;
    controller.applicationWillTerminate();
  }
  const QString file = Paths::userDataDir() + "/behavior chains/" + chainName + ".sbc";
  EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();

  AppController restarted;
  BehaviorChainManager* chains = chainsOf(restarted);
  ASSERT_NE(chainPalette(*chains), nullptr);
  EXPECT_TRUE(chains->chainNames().contains(chainName));
  const auto again = chains->findBehaviorChainNamed(chainName);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->count(), 1);
  restarted.applicationWillTerminate();
}
