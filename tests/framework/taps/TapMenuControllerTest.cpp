#include "framework/taps/QKRTapInputMenuController.h"
#include "framework/taps/QKRTapLayerMenuController.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/framework/taps/TapFixtures.h"
#include "tests/support/Screenshot.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include <atomic>
#include <list>
#include <thread>

namespace {

class TapMenuControllerTest : public testing::Test {
 protected:
  ~TapMenuControllerTest() override {
    for (auto& source : sources) source->prepareToBeDeleted();
  }

  template <class Controller = QKRTapMenuController>
  std::unique_ptr<QKRTapMenuController> makeController(QKNSPopUpButton* popUp) {
    auto controller = std::make_unique<Controller>();
    controller->setButton(popUp);
    controller->setMyAction([this] {
      ++actions;
      if (!MainThread::isMainThread()) ++actionsOffMain;
    });
    controller->awakeFromNib();
    return controller;
  }

  QKSTap& layerTap(const QString& name, int index, int depth = 0) {
    layers.emplace_back(name, index, depth);
    sources.push_back(QKSTap::create(&layers.back()));
    return *sources.back();
  }
  QKSTap& inputTap(const QString& name) {
    sources.push_back(InputTap::create(name));
    return *sources.back();
  }

  QStringList titles() const {
    QStringList result;
    for (const QAction* item : button.menu()->actions()) result << item->text();
    return result;
  }
  QString selected() const {
    return button.selectedItem() ? button.selectedItem()->data().toString() : "(nothing)";
  }
  void choose(const QString& title) {
    for (QAction* item : button.menu()->actions())
      if (item->text().trimmed() == title) return item->trigger();
    ADD_FAILURE() << "no item " << title.toStdString();
  }
  static void post(const QString& name) { NotificationCenter::defaultCenter().post(name); }

  QKTapManager manager;
  std::list<FakeLayer> layers;
  std::vector<std::shared_ptr<QKSTap>> sources;
  QKNSPopUpButton button;
  int actions = 0;
  std::atomic<int> actionsOffMain{0};
};

TEST_F(TapMenuControllerTest, FillsThePopUpAndSendsItsActionAfterEveryReload) {
  layerTap("Back", 2);
  const auto controller = makeController(&button);
  EXPECT_EQ(controller->tapManager(), &manager);
  EXPECT_EQ(actions, 1);
  layerTap("Inner", 1, 1);
  inputTap("Camera");
  EXPECT_EQ(titles(), (QStringList{"<none>", "Camera", "    Inner", "Back"}));
  EXPECT_EQ(selected(), "");
  EXPECT_EQ(actions, 3);
  EXPECT_EQ(button.selectedItem()->font().pointSize(), 9);
  button.resize(160, 20);
  EXPECT_FALSE(saveScreenshot(button.grab().toImage(), "tap-pop-up").isEmpty());
  EXPECT_FALSE(saveScreenshot(button.menu()->grab().toImage(), "tap-menu").isEmpty());
}

TEST_F(TapMenuControllerTest, KeepsTheChoiceByNameFollowsRenamesAndFallsBackOnDelete) {
  QKSTap& back = layerTap("Back", 2);
  const auto controller = makeController(&button);
  choose("Back");
  EXPECT_EQ(controller->lastSelectedName(), "Back");
  EXPECT_EQ(controller->createSnapshot(), (QVariantMap{{"lastSelectedName", "Back"}}));
  layerTap("Front", 0);  // moves "Back" down the menu
  EXPECT_EQ(selected(), "Back");
  back.changeTapNameTo("Rear");
  EXPECT_EQ(selected(), "Rear");
  EXPECT_EQ(controller->lastSelectedName(), "Rear");
  const int before = actions;
  back.prepareToBeDeleted();
  EXPECT_EQ(selected(), "");
  EXPECT_EQ(controller->lastSelectedName(), "");
  EXPECT_EQ(controller->createSnapshot(), QVariantMap());
  EXPECT_EQ(actions, before + 1);
  choose("Front");
  choose("<none>");
  EXPECT_EQ(controller->createSnapshot(), QVariantMap());
}

TEST_F(TapMenuControllerTest, APresetRestoreReloadsOnceAtItsEnd) {
  QKSTap& back = layerTap("Back", 2);
  const auto controller = makeController(&button);
  const QStringList titlesBefore = titles();
  const int before = actions;
  post(QKRTapMenuController::kRestoreStartNotification);
  layerTap("Front", 0);
  back.changeTapNameTo("Rear");
  controller->loadSnapshot({{"lastSelectedName", "Rear"}});
  inputTap("Camera").prepareToBeDeleted();
  EXPECT_EQ(actions, before);
  EXPECT_EQ(titles(), titlesBefore);
  EXPECT_EQ(selected(), "");
  post(QKRTapMenuController::kRestoreEndNotification);
  EXPECT_EQ(actions, before + 1);
  EXPECT_EQ(titles(), (QStringList{"<none>", "Front", "Rear"}));
  EXPECT_EQ(selected(), "Rear");
}

TEST_F(TapMenuControllerTest, LoadingASnapshotWaitsForTheNextReload) {
  layerTap("Back", 2);
  const auto controller = makeController(&button);
  const int before = actions;
  struct Case {
    QVariantMap snapshot;
    QString kept;
  };
  const Case cases[] = {
      {{{"lastSelectedName", "Back"}}, "Back"},
      {{{"lastSelectedName", "Back"}}, "Back"},
      {{}, ""},
      {{{"lastSelectedName", 7}}, ""},
  };
  for (const Case& c : cases) {
    controller->loadSnapshot(c.snapshot);
    EXPECT_EQ(controller->lastSelectedName(), c.kept);
  }
  controller->loadSnapshot({{"lastSelectedName", "Back"}});
  EXPECT_EQ(actions, before);
  EXPECT_EQ(selected(), "");
  controller->reloadAvailableTapsMethod();
  EXPECT_EQ(selected(), "Back");
  controller->loadSnapshot({{"lastSelectedName", "Gone"}});
  controller->reloadAvailableTapsMethod();
  EXPECT_EQ(selected(), "");
  EXPECT_EQ(controller->lastSelectedName(), "");
}

TEST_F(TapMenuControllerTest, LayerAndInputVariantsListTheirKindOnly) {
  layerTap("Back", 2);
  inputTap("Camera");
  QKNSPopUpButton inputButton;
  const auto layersOnly = makeController<QKRTapLayerMenuController>(&button);
  const auto inputsOnly = makeController<QKRTapInputMenuController>(&inputButton);
  EXPECT_EQ(titles(), (QStringList{"<none>", "Back"}));
  QStringList inputTitles;
  for (const QAction* item : inputButton.menu()->actions()) inputTitles << item->text();
  EXPECT_EQ(inputTitles, (QStringList{"<none>", "Camera"}));
}

TEST_F(TapMenuControllerTest, AChangeOffTheMainThreadReachesThePopUpOnTheMainThread) {
  const auto controller = makeController(&button);
  const int before = actions;
  FakeLayer layer("Worker", 0);
  std::shared_ptr<QKSTap> source;
  std::thread worker([&] { source = QKSTap::create(&layer); });
  worker.join();
  EXPECT_TRUE(MainThread::processUntil([&] { return actions > before; }, 5.0));
  EXPECT_EQ(titles(), (QStringList{"<none>", "Worker"}));
  EXPECT_EQ(actionsOffMain.load(), 0);
  source->prepareToBeDeleted();
}

TEST_F(TapMenuControllerTest, APreparedControllerNoLongerFollows) {
  const auto controller = makeController(&button);
  controller->prepareToBeDeleted();
  const int before = actions;
  layerTap("Back", 2);
  EXPECT_EQ(actions, before);
  EXPECT_EQ(titles(), QStringList{"<none>"});
}

}  // namespace
