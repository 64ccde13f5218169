// The learnable tab view: its buttons over the tab headers, switching tabs
// from a click or a source on another thread, its own action, the snapshot,
// and actions that arrive after the buttons were rebuilt.
#include "framework/controls/QKButton.h"
#include "framework/controls/QKNSTabView.h"
#include "framework/controls/QKNSTabViewDelegate.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/controls/ButtonFixture.h"
#include "tests/support/Screenshot.h"

#include <QLabel>
#include <QTabBar>
#include <QTest>

#include <memory>
#include <thread>

namespace {

// A shown tab view of three tabs whose actions are counted, with the
// threads they came on.
class TabView : public ButtonFixture, public QKNSTabViewDelegate {
 protected:
  TabView() { tabs = make(); }

  std::unique_ptr<QKNSTabView> make() {
    auto view = std::make_unique<QKNSTabView>();
    for (const char* name : {"Red", "Green", "Blue"}) {
      auto* page = new QLabel(QString::fromLatin1(name));
      page->setObjectName(QStringLiteral("page") + QString::fromLatin1(name));
      view->addTab(page, QString::fromLatin1(name));
    }
    view->createButtonsForTabs();
    view->setTarget(view.get());
    view->setAction([this](QKNSTabView& sender) {
      ++actions;
      actionOnMain = MainThread::isMainThread();
      selectedAtAction = sender.selectedTabViewIndex();
    });
    view->setDelegate(this);
    view->resize(300, 120);
    view->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    return view;
  }

  void tabViewElementChanged(QKNSTabView&) override {
    ++elementChanges;
    elementChangeOnMain = MainThread::isMainThread();
  }

  QKButton* buttonAt(int index) { return tabs->buttonArray().at(static_cast<size_t>(index)); }

  // Runs the main thread until `n` actions have come, and a moment longer
  // so that an extra one would show.
  bool actionsSettleAt(int n) {
    const bool reached = MainThread::processUntil([&] { return actions >= n; }, 3.0);
    MainThread::processUntil([] { return false; }, 0.05);
    return reached && actions == n;
  }

  std::vector<int> values() {
    std::vector<int> all;
    for (const auto& button : tabs->buttonArray()) all.push_back(button->intValue());
    return all;
  }

  std::unique_ptr<QKNSTabView> tabs;
  int actions = 0;
  bool actionOnMain = false;
  int selectedAtAction = -2;
  int elementChanges = 0;
  bool elementChangeOnMain = false;
};

}  // namespace

TEST_F(TabView, HasOneToggleButtonPerTabOverItsHeaderAndTheSelectedOneIsOn) {
  ASSERT_EQ(tabs->buttonArray().size(), 3u);
  for (int index = 0; index < 3; ++index) {
    QKButton* button = buttonAt(index);
    const QRect header =
        tabs->tabBar()->tabRect(index).translated(tabs->tabBar()->geometry().topLeft());
    EXPECT_EQ(button->geometry(), header.adjusted(-6, -2, 6, 2)) << index;
    EXPECT_EQ(button->title(), tabs->tabText(index));
    EXPECT_EQ(button->buttonType(), 1);
    EXPECT_TRUE(button->triggerOnMain());
  }
  EXPECT_EQ(values(), (std::vector<int>{1, 0, 0}));
  saveScreenshot(tabs->grab().toImage(), "tab-view");

  tabs->setTabText(0, QStringLiteral("A much longer label"));
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_EQ(buttonAt(1)->geometry(), tabs->buttonFrameForTab(1)) << "moved with its header";
}

TEST_F(TabView, ClickingAButtonSelectsItsTabAndSendsTheActionOnceOnTheMainThread) {
  QTest::mouseClick(buttonAt(2), Qt::LeftButton, {}, buttonAt(2)->rect().center());
  ASSERT_TRUE(actionsSettleAt(1));
  EXPECT_EQ(tabs->currentIndex(), 2);
  EXPECT_EQ(selectedAtAction, 2);
  EXPECT_TRUE(actionOnMain);
  EXPECT_EQ(values(), (std::vector<int>{0, 0, 1}));
}

TEST_F(TabView, TurningOffTheSelectedTabsButtonKeepsItOnAndStillSendsTheAction) {
  QTest::mouseClick(buttonAt(0), Qt::LeftButton, {}, buttonAt(0)->rect().center());
  ASSERT_TRUE(actionsSettleAt(1));
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_EQ(values(), (std::vector<int>{1, 0, 0}));
}

TEST_F(TabView, ASourceOnAnotherThreadSwitchesTheTabOnTheMainThread) {
  const KeyPath path{"MIDI", "note [9] ch. 2"};
  buttonAt(1)->useThisSource(path);
  buttonAt(1)->setSyncFlag(true);
  ASSERT_TRUE(MainThread::processUntil([&] { return elementChanges > 0; }, 2.0));
  EXPECT_TRUE(elementChangeOnMain) << "the delegate hears of the new binding";
  auto source = std::dynamic_pointer_cast<DSFloatInfrequent>(dsc.dataSourceForKeyArray(path));
  ASSERT_TRUE(source);
  std::thread worker([&] { source->setValue(1.0f); });
  worker.join();
  EXPECT_EQ(tabs->currentIndex(), 0) << "nothing changes off the main thread";
  ASSERT_TRUE(actionsSettleAt(1));
  EXPECT_EQ(tabs->currentIndex(), 1);
  EXPECT_TRUE(actionOnMain);
  EXPECT_EQ(values(), (std::vector<int>{0, 1, 0}));
  buttonAt(1)->setSyncFlag(false);
}

TEST_F(TabView, ASnapshotRoundTripSelectsTheSavedTabAndSendsTheActionOnce) {
  tabs->setKey(QStringLiteral("mode"));
  buttonAt(0)->useThisSource({"MIDI", "note [1] ch. 1"});
  tabs->selectTabViewItem(2);
  const QVariantMap saved = tabs->createSnapshot();
  EXPECT_EQ(saved.keys(), (QStringList{"key", "pageBlue", "pageGreen", "pageRed"}));
  EXPECT_EQ(saved.value("key").toString(), QStringLiteral("mode"));

  tabs = make();
  actions = 0;
  EXPECT_FALSE(tabs->createSnapshot().contains("key")) << "no key, no entry";
  QVariantMap withStranger = saved;
  withStranger.insert("pageGone", saved.value("pageRed"));
  tabs->loadSnapshot(withStranger);
  ASSERT_TRUE(actionsSettleAt(1));
  EXPECT_EQ(tabs->currentIndex(), 2);
  EXPECT_EQ(values(), (std::vector<int>{0, 0, 1}));
  EXPECT_EQ(buttonAt(0)->syncArray(), (KeyPath{"MIDI", "note [1] ch. 1"}));
}

TEST_F(TabView, AnActionFromAButtonThatWasRebuiltAwayChangesNothing) {
  // Pressed, its action queued; then the buttons are rebuilt before it runs.
  const std::shared_ptr<QKButtonCell> stale = buttonAt(2)->cell();
  QTest::mousePress(buttonAt(2), Qt::LeftButton, {}, buttonAt(2)->rect().center());
  tabs->createButtonsForTabs();
  MainThread::processUntil([] { return false; }, 0.1);
  EXPECT_EQ(actions, 0);
  EXPECT_EQ(tabs->currentIndex(), 0);

  stale->setIntValue(1, false);
  tabs->buttonUsed(*stale);  // as if it had been queued before the rebuild
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_EQ(actions, 0);
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_EQ(values(), (std::vector<int>{1, 0, 0}));
}
