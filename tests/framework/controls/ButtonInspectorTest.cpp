// The button inspector: what a refresh shows of a selection, the control
// actions, the contextual menu's ten commands, the source chooser with its
// typed and chosen paths, and the level meter.
#include "framework/controls/MenuItemState.h"
#include "framework/controls/QKBMContextualMenuController.h"
#include "framework/controls/QKBMDSListController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonInspector.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/datasource/DataSourceMenuAdapter.h"
#include "framework/toolkit/FirstResponderTextField.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/SimpleLevelView.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/controls/ButtonFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Screenshot.h"

#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

#include <thread>

namespace {

using Menu = QKBMContextualMenuController;

class ButtonInspector : public ButtonFixture {
 protected:
  ButtonInspector() {
    sourceAt<DSFloatInfrequent>({"ZAPH", "a/b"}, 3);
    sourceAt<DSFloatInfrequent>({"ZAPH", "c"}, 3);
    panel.setButtonManager(&manager);
    panel.setDataSourceController(&dsc);
  }

  Menu& menu() { return *panel.contextualMenuController(); }
  // One button, selected through the manager, with the refresh run.
  std::shared_ptr<QKButtonCell> selectedButton(int type = 0) {
    auto cell = button(type);
    manager.selectThisButton(cell.get());
    panel.updatingOnMainThread();
    return cell;
  }
  bool sourceChecked(const KeyPath& path) {
    bool checked = false;
    for (QAction* item : menu().dataSourcesMenu()->actions())
      if (DataSourceMenuAdapter::keyPathForAction(item) == path) checked = item->isChecked();
    return checked;
  }
  void type(const QString& text) {
    FirstResponderTextField* field = panel.sourceViewController()->dataSourceNameTextField();
    field->setText(text);
    QTest::keyClick(field, Qt::Key_Return);
  }
  static void settle() {
    MainThread::processUntil([] { return false; }, 0.05);
  }

  QKButtonInspector panel;
};

}  // namespace

TEST_F(ButtonInspector, BecomesTheManagersInspectorMenuAndListAndHandsOverItsButtons) {
  EXPECT_EQ(manager.interfaceManager(), &panel);
  EXPECT_EQ(manager.contextualMenuController(), panel.contextualMenuController());
  EXPECT_EQ(manager.listController(), panel.sourceViewController());
  EXPECT_EQ(manager.hardwareLearnButton(), panel.hardwareLearnButton()->cell());
  EXPECT_EQ(manager.paletteButton("useValueButton"), panel.syncToggle()->cell());
  for (QKButton* own : {panel.syncToggle(), panel.midiDetectButton(), panel.showShortcutButton()})
    EXPECT_TRUE(own->preventClickSelect());
  panel.resize(260, 120);
  panel.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
  saveScreenshot(panel.grab().toImage(), "button-inspector");
}

TEST_F(ButtonInspector, MixedSelectionsShowMinusOneAndTheMixedStateAndEverySourceChecked) {
  auto synced = button(), loose = button();
  synced->useThisSource({"ZAPH", "a/b"});
  synced->setSyncFlag(true);
  loose->useThisSource({"ZAPH", "c"});
  loose->setTriggerMode(0);
  loose->setTriggerOnFall(true);
  synced->setThreshVal(0.25f);
  loose->setThreshVal(0.5f);
  panel.riseToggle()->setVisible(true);

  panel.showSelection({synced, loose});
  EXPECT_EQ(panel.syncToggle()->intValue(), -1);
  EXPECT_EQ(menu().itemState(Menu::kSynch), -1);
  EXPECT_EQ(panel.triggerModeButton()->intValue(), -1);
  EXPECT_FALSE(panel.riseToggle()->isHidden()) << "mixed trigger modes keep the visibility";
  EXPECT_EQ(panel.fallToggle()->intValue(), -1);
  EXPECT_EQ(panel.riseToggle()->intValue(), 1);
  EXPECT_EQ(panel.threshSlider()->value(), 500) << "the last button's threshold";
  EXPECT_TRUE(sourceChecked({"ZAPH", "a/b"}));
  EXPECT_TRUE(sourceChecked({"ZAPH", "c"}));
  EXPECT_EQ(panel.sourceViewController()->dataSourceNameTextField()->text(),
            QStringLiteral("ZAPH/a/b"))
      << "the list shows the first button's source";

  panel.showSelection({loose});
  EXPECT_EQ(panel.syncToggle()->intValue(), 0);
  EXPECT_EQ(panel.triggerModeButton()->intValue(), 0);
  EXPECT_TRUE(panel.riseToggle()->isHidden()) << "straight sync hides rise and fall";
  EXPECT_FALSE(menu().item(Menu::kTriggerOnRise)->isEnabled());
  EXPECT_FALSE(sourceChecked({"ZAPH", "a/b"}));

  panel.showSelection({});
  EXPECT_EQ(panel.syncToggle()->intValue(), 0);
  EXPECT_EQ(panel.fallToggle()->intValue(), 1) << "an empty selection leaves the rest";
}

TEST_F(ButtonInspector, TheSyncToggleClickedAtMixedTurnsOnAndSyncsTheSelection) {
  auto cell = selectedButton();
  cell->useThisSource({"ZAPH", "c"});
  panel.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
  panel.syncToggle()->setIntValue(-1, false);
  QTest::mouseClick(panel.syncToggle(), Qt::LeftButton);
  ASSERT_TRUE(MainThread::processUntil([&] { return cell->syncFlag(); }, 2.0));
  EXPECT_EQ(panel.syncToggle()->intValue(), 1);
  EXPECT_FALSE(panel.syncToggle()->cell()->selected()) << "its own buttons never select";
}

TEST_F(ButtonInspector, ControlActionsEditTheSelection) {
  auto cell = selectedButton();
  panel.threshSlider()->setValue(750);
  EXPECT_FLOAT_EQ(cell->threshVal(), 0.75f);
  panel.triggerModeButton()->setIntValue(0, false);
  panel.triggerModeButtonUsed();
  EXPECT_EQ(cell->triggerMode(), 0);
  EXPECT_TRUE(panel.fallToggle()->isHidden());
  EXPECT_EQ(menu().itemState(Menu::kStraightSync), 1);
  panel.fallToggle()->setIntValue(1, false);
  panel.fallToggleUsed();
  EXPECT_TRUE(cell->triggerOnFall());
  EXPECT_EQ(menu().itemState(Menu::kTriggerOnFall), 1);
  panel.midiDetectClicked();
  EXPECT_TRUE(cell->detectingMIDI());
  cell->stopMIDIDetect();
}

struct CommandCase {
  const char* name;
  QString title;
  int itemState;
  std::function<bool(QKButtonCell&)> done;
};

class ButtonInspectorCommands : public ButtonInspector,
                                public testing::WithParamInterface<CommandCase> {};

TEST_P(ButtonInspectorCommands, ActOnTheSelectionWithTheItemsStateInverted) {
  auto cell = selectedButton();
  QKButton view(cell);  // the "S" toggle needs a view
  view.setFrame(QRectF(0, 0, 60, 20));
  cell->useThisSource({"ZAPH", "c"});
  menu().setItemState(GetParam().title, GetParam().itemState);
  menu().buttonContextualMenuUsed(menu().item(GetParam().title));
  EXPECT_TRUE(GetParam().done(*cell));
  cell->stopAllDetect();
}

INSTANTIATE_TEST_SUITE_P(
    Titles, ButtonInspectorCommands,
    testing::Values(
        CommandCase{"synchFromOff", Menu::kSynch, 0, [](auto& c) { return c.syncFlag(); }},
        CommandCase{"synchFromMixed", Menu::kSynch, -1, [](auto& c) { return c.syncFlag(); }},
        CommandCase{"midi", Menu::kMIDIDetect, 0, [](auto& c) { return c.detectingMIDI(); }},
        CommandCase{"osc", Menu::kOSCDetect, 0, [](auto& c) { return c.detectingOSC(); }},
        CommandCase{"key", Menu::kKeyDetect, 0, [](auto& c) { return c.detectingKey(); }},
        CommandCase{"button", Menu::kButtonDetect, 0, [](auto& c) { return c.detectingButton(); }},
        CommandCase{"straight", Menu::kStraightSync, 0,
                    [](auto& c) { return c.triggerMode() == 0; }},
        CommandCase{"riseFromOn", Menu::kTriggerOnRise, 1,
                    [](auto& c) { return !c.triggerOnRise(); }},
        CommandCase{"fallFromOff", Menu::kTriggerOnFall, 0,
                    [](auto& c) { return c.triggerOnFall(); }},
        CommandCase{"syncToggleFromMixed", Menu::kShowSyncToggle, -1,
                    [](auto& c) { return c.syncToggle() != nullptr; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ButtonInspector, TheTriggerModeItemsUpdateTheInspectorAndOtherTitlesDoNothing) {
  auto cell = selectedButton();
  menu().buttonContextualMenuUsed(menu().item(Menu::kStraightSync));
  EXPECT_EQ(panel.triggerModeButton()->intValue(), 0);
  EXPECT_TRUE(panel.riseToggle()->isHidden());
  EXPECT_EQ(menu().itemState(Menu::kEdgeTrigger), 0);
  menu().buttonContextualMenuUsed(menu().item(Menu::kEdgeTrigger));
  EXPECT_EQ(cell->triggerMode(), 1);
  EXPECT_EQ(panel.triggerModeButton()->intValue(), 1);
  EXPECT_FALSE(panel.riseToggle()->isHidden());
  EXPECT_TRUE(menu().item(Menu::kTriggerOnFall)->isEnabled());

  QAction stranger(QStringLiteral("Synch To Data Sources"));
  menu().buttonContextualMenuUsed(&stranger);
  EXPECT_FALSE(cell->syncFlag());
  EXPECT_EQ(menu().item(QStringLiteral("Data Sources")), nullptr) << "not a command";
}

TEST_F(ButtonInspector, TypedPathsBindTheSelectionAndAnOSCAddressKeepsItsSlashes) {
  auto cell = selectedButton();
  type(QStringLiteral("OSC/layer/1/opacity"));
  EXPECT_EQ(cell->syncArray(), (KeyPath{"OSC", "/layer/1/opacity"}));
  EXPECT_TRUE(cell->syncFlag());
  type(QStringLiteral("MIDI//x"));
  EXPECT_EQ(cell->syncArray(), (KeyPath{"MIDI", "x"}));
  LogCapture log;
  type(QStringLiteral("OSC/"));
  EXPECT_EQ(cell->syncArray(), (KeyPath{"MIDI", "x"})) << "a path without an address is refused";
  EXPECT_TRUE(log.contains("names no data source"));
}

TEST_F(ButtonInspector, ASourceChosenFromAMenuBindsItsWholePathAndIsChecked) {
  auto cell = selectedButton();
  QAction* item = nullptr;
  for (QAction* candidate : menu().dataSourcesMenu()->actions())
    if (candidate->text().contains("a/b")) item = candidate;
  ASSERT_TRUE(item);
  item->trigger();
  EXPECT_EQ(cell->syncArray(), (KeyPath{"ZAPH", "a/b"})) << "not split at its slash";
  EXPECT_TRUE(cell->syncFlag());
  panel.updatingOnMainThread();
  EXPECT_TRUE(sourceChecked({"ZAPH", "a/b"}));
  EXPECT_EQ(
      panel.sourceViewController()->sourcePopUpButton()->selectedItem()->data().toStringList(),
      (KeyPath{"ZAPH", "a/b"}));

  cell->setSyncFlag(false);
  QKNSPopUpButton* popUp = panel.sourceViewController()->sourcePopUpButton();
  QAction* listed = nullptr;
  for (QAction* candidate : popUp->menu()->actions())
    if (DataSourceMenuAdapter::keyPathForAction(candidate) == KeyPath{"ZAPH", "c"})
      listed = candidate;
  ASSERT_TRUE(listed);
  panel.sourceViewController()->sourcePopUpButtonUsed(listed);
  EXPECT_EQ(cell->syncArray(), (KeyPath{"ZAPH", "c"}));
  EXPECT_TRUE(cell->syncFlag());
}

TEST_F(ButtonInspector, NothingIsRefreshedWhileAnotherTabShows) {
  QTabWidget tabs;
  tabs.addTab(new QLabel, QStringLiteral("Slider"));
  tabs.addTab(new QLabel, QStringLiteral("Button"));
  panel.setInspectorTabView(&tabs);
  auto cell = selectedButton();
  cell->setTriggerOnFall(true);
  tabs.setCurrentIndex(0);
  panel.updatingOnMainThread();
  EXPECT_EQ(panel.fallToggle()->intValue(), 0);
  tabs.setCurrentIndex(1);
  panel.updatingOnMainThread();
  EXPECT_EQ(panel.fallToggle()->intValue(), 1);
}

TEST_F(ButtonInspector, TheLevelMeterShowsASelectedButtonsSourceFedFromAWorkerThread) {
  auto cell = selectedButton();
  auto source = sourceAt<DSFloatInfrequent>({"ZAPH", "level"}, 3);
  cell->useThisSource({"ZAPH", "level"});
  cell->setSyncFlag(true);
  std::thread worker([&] { source->setValue(0.625f); });
  worker.join();
  EXPECT_TRUE(MainThread::processUntil([&] { return panel.levelView()->val() == 0.625f; }, 2.0));
  cell->setSyncFlag(false);
}
