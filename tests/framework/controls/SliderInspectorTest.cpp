// The slider inspector: what a refresh shows of a selection, the value part,
// the source chooser with typed and chosen paths, the contextual menu's
// commands, and when it refreshes.
#include "framework/controls/DataSourceMenuMarks.h"
#include "framework/controls/MenuItemState.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSMContextualMenuController.h"
#include "framework/controls/QKSMDSListController.h"
#include "framework/controls/QKSliderInspector.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/toolkit/FirstResponderTextField.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/osc/OSCMessage.h"
#include "tests/framework/controls/SliderViewFixture.h"

#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTest>

#include <future>

namespace {

using Menu = QKSMContextualMenuController;
const KeyPath kFader{"ZAPH", "fader"};
const KeyPath kOther{"ZAPH", "other"};
const KeyPath kOSCLayer{"OSC", "/layer/1"};
// OSC's own root never shows in menus; an address the user dedicated does.
const KeyPath kDedicated{"Dedicated OSC", "/layer/1"};

class SliderInspector : public testing::Test, public SliderViewFixture {
 protected:
  SliderInspector() {
    dsc.setDataSource(DataSourceHolder::createWithName(kDedicated.first(), DSType::Holder),
                      {kDedicated.first()});
    for (const KeyPath& path : {kFader, kOther, kDedicated}) sourceAt(path);
    panel.setSliderManager(&manager);
    panel.setDataSourceController(&dsc);
  }

  std::shared_ptr<DSFloatInfrequent> sourceAt(const KeyPath& path) {
    auto source = DSFloatInfrequent::createWithName(path.last());
    EXPECT_TRUE(dsc.setDataSource(source, path));
    return source;
  }
  QKSliderControl* slider(int index = 0) { return control(QRect(10, 10 + 30 * index, 200, 20)); }
  Menu& menu() { return *panel.contextualMenuController(); }
  void refreshed() {
    settle();
    panel.updatingOnMainThread();
  }
  void type(const QString& text) {
    FirstResponderTextField* field = panel.sourceViewController()->dataSourceNameTextField();
    field->setText(text);
    QTest::keyClick(field, Qt::Key_Return);
  }
  void click(QKButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    settle();
  }

  QKSliderInspector panel;
};

}  // namespace

TEST_F(SliderInspector, BecomesTheManagersInspectorMenuAndList) {
  EXPECT_EQ(manager.interfaceManager(), &panel);
  EXPECT_EQ(manager.contextualMenuController(), panel.contextualMenuController());
  EXPECT_EQ(manager.listController(), panel.sourceViewController());
  EXPECT_EQ(manager.paletteButton("midiDetectButton"), panel.midiDetectButton()->cell());
  EXPECT_TRUE(panel.syncToggle()->preventClickSelect());
}

// One synced slider and one not: mixed on the button and in the menu; the
// menu item syncs both, and so does a click on the mixed button.
TEST_F(SliderInspector, MixedSyncFromMenuAndButton) {
  QKSliderControl* bound = slider(0);
  QKSliderControl* free = slider(1);
  bind(bound, kFader, 0.5f);
  free->useThisSource(kOther);
  bound->selectJustMe();
  free->selectMeToo();
  refreshed();
  EXPECT_EQ(panel.syncToggle()->intValue(), -1);
  EXPECT_EQ(menu().itemState(Menu::kSynch), -1);
  menu().item(Menu::kSynch)->trigger();
  EXPECT_TRUE(free->syncFlag());
  EXPECT_TRUE(bound->syncFlag());

  free->setSyncFlag(false);
  refreshed();
  ASSERT_EQ(panel.syncToggle()->intValue(), -1);
  click(panel.syncToggle());
  EXPECT_EQ(panel.syncToggle()->intValue(), 1);
  EXPECT_TRUE(free->syncFlag());
  EXPECT_TRUE(bound->syncFlag());
}

// Each command sets its flag when the item is off or mixed and clears it
// when it is on.
TEST_F(SliderInspector, MenuTitlesInvertTheShownState) {
  struct Case {
    QString title;
    std::function<bool(QKSliderControl*)> flag;
  };
  const Case cases[] = {
      {Menu::kLockUI, [](QKSliderControl* s) { return s->lockUIFlag(); }},
      {Menu::kShowSyncToggle, [](QKSliderControl* s) { return s->syncToggle() != nullptr; }},
      {Menu::kShowBehavToggle, [](QKSliderControl* s) { return s->behavToggle() != nullptr; }},
  };
  QKSliderControl* s = slider();
  s->selectJustMe();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title.toStdString());
    refreshed();
    EXPECT_EQ(menu().itemState(c.title), 0);
    menu().item(c.title)->trigger();
    EXPECT_TRUE(c.flag(s));
    refreshed();
    EXPECT_EQ(menu().itemState(c.title), 1);
    menu().item(c.title)->trigger();
    EXPECT_FALSE(c.flag(s));
  }
  menu().sliderContextualMenuUsed(nullptr);  // nothing
}

TEST_F(SliderInspector, AddAndRemoveMarkAtTheValue) {
  QKSliderControl* s = slider();
  s->addInterestingPoint(0.5f);
  s->selectJustMe();
  refreshed();
  EXPECT_EQ(panel.addRemoveMarkButton()->title(), QKSliderInspector::kRemoveMark);
  click(panel.addRemoveMarkButton());
  EXPECT_TRUE(s->interestingPoints().isEmpty());
  EXPECT_EQ(panel.addRemoveMarkButton()->title(), QKSliderInspector::kAddMark);
  click(panel.addRemoveMarkButton());
  EXPECT_EQ(s->interestingPoints(), QList<float>{0.5f});
}

// The value field and mark button serve one slider only; text that is not
// a number leaves a live value alone.
TEST_F(SliderInspector, ValueFieldForOneSliderOnly) {
  QKSliderControl* a = slider(0);
  QKSliderControl* b = slider(1);
  a->setMaxRange(10);
  a->setValue(0.25f);
  a->selectJustMe();
  refreshed();
  EXPECT_TRUE(panel.currentValField()->isEnabled());
  EXPECT_EQ(panel.currentValField()->text(), "2.5");
  for (const char* text : {"abc", "", "1e"}) {
    panel.currentValField()->setText(QString::fromLatin1(text));
    panel.currentValFieldUsed();
    EXPECT_FLOAT_EQ(a->value(), 0.25f) << text;
  }
  panel.currentValField()->setText(QStringLiteral("7.5"));
  panel.currentValFieldUsed();
  EXPECT_FLOAT_EQ(a->value(), 0.75f);
  b->selectMeToo();
  refreshed();
  EXPECT_FALSE(panel.currentValField()->isEnabled());
  EXPECT_FALSE(panel.addRemoveMarkButton()->isEnabled());
}

TEST_F(SliderInspector, TypedPaths) {
  struct Case {
    const char* typed;
    KeyPath bound;  // empty: refused, the path stays
  };
  const Case cases[] = {
      {"OSC/layer/1", kOSCLayer},
      {"ZAPH//fader", kFader},
      {"ZAPH/other/", kOther},
      {"", {}},
      {"OSC", {}},
      {"OSC/", {}},
      {"//", {}},
  };
  QKSliderControl* s = slider();
  s->selectJustMe();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    s->useThisSource(KeyPath{"Mouse", "X"});
    s->setSyncFlag(false);
    type(QString::fromLatin1(c.typed));
    const bool refused = c.bound.isEmpty();
    EXPECT_EQ(s->syncArray(), refused ? KeyPath({"Mouse", "X"}) : c.bound);
    EXPECT_EQ(s->syncFlag(), !refused);
  }
}

// Chosen from the pop-up, an OSC address stays one name.
TEST_F(SliderInspector, OSCSourceChosenFromThePopUp) {
  QKSliderControl* s = slider();
  s->selectJustMe();
  QMenu* menu = panel.sourceViewController()->sourcePopUpButton()->menu();
  QAction* item = DataSourceMenuMarks::firstFor(menu, kDedicated);
  ASSERT_NE(item, nullptr);
  panel.sourceViewController()->sourcePopUpButtonUsed(item);
  EXPECT_EQ(s->syncArray(), kDedicated);
  EXPECT_TRUE(s->syncFlag());
  refreshed();
  EXPECT_TRUE(item->isChecked());
  EXPECT_TRUE(
      DataSourceMenuMarks::firstFor(this->menu().dataSourcesMenu(), kDedicated)->isChecked());

  // The same from the contextual menu's submenu.
  QKSliderControl* other = slider(1);
  other->selectJustMe();
  QAction* fromMenu = DataSourceMenuMarks::firstFor(this->menu().dataSourcesMenu(), kDedicated);
  fromMenu->trigger();
  EXPECT_EQ(other->syncArray(), kDedicated);
  EXPECT_TRUE(other->syncFlag());
}

TEST_F(SliderInspector, NoRefreshUnderAnotherTab) {
  QTabWidget tabs;
  tabs.addTab(new QWidget, QStringLiteral("Slider"));
  tabs.addTab(new QWidget, QStringLiteral("Button"));
  panel.setInspectorTabView(&tabs);
  tabs.setCurrentIndex(1);
  QKSliderControl* s = slider();
  const int before = panel.refreshCount();
  s->selectJustMe();
  s->setSyncToggleState(true);
  settle();
  EXPECT_EQ(panel.refreshCount(), before);
  tabs.setCurrentIndex(0);
  s->selectJustMe();
  settle();
  EXPECT_EQ(panel.refreshCount(), before + 1);
  EXPECT_EQ(panel.showSyncToggleButton()->intValue(), 1);
}

// An OSC message on the input thread makes a new source that a selected
// slider learns and binds to, without waiting for the busy main thread; one
// refresh follows and shows the new source.
TEST_F(SliderInspector, NewOSCSourceRebindsWithoutWaitingForTheMainThread) {
  QKSliderControl* s = slider();
  s->selectJustMe();
  click(panel.oscDetectButton());
  ASSERT_TRUE(s->cell()->detectingOSC());
  const int before = panel.refreshCount();

  auto learnt = std::async(std::launch::async, [&] {
    auto message = OSCMessage::createWithAddress(QStringLiteral("/fader"));
    message->addFloat(0.3f);
    dsc.receivedOSCMessage(message.get());
  });
  // The main thread runs no events meanwhile.
  ASSERT_EQ(learnt.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(s->syncArray(), (KeyPath{"OSC", "/fader"}));
  EXPECT_TRUE(s->syncFlag());
  EXPECT_EQ(panel.refreshCount(), before);
  settle();
  EXPECT_EQ(panel.refreshCount(), before + 1);
  EXPECT_EQ(panel.syncToggle()->intValue(), 1);
  EXPECT_EQ(panel.sourceViewController()->dataSourceNameTextField()->text(), "OSC//fader");
}
