// The Slider/Button Inspector palette's coordinator: tab choice, the
// hardware-learn button, the two inspectors' locked buttons, and the source
// lists rebuilt when the palette is expanded.
#include "framework/controls/DataSourceMenuMarks.h"
#include "framework/controls/QKBMSMCoordinator.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKButtonInspector.h"
#include "framework/controls/QKButtonManager.h"
#include "framework/controls/QKNSTabView.h"
#include "framework/controls/QKSMDSListController.h"
#include "framework/controls/QKSliderInspector.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "tests/framework/controls/SliderViewFixture.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const KeyPath kFader{"ZAPH", "fader"};

class InspectorCoordinator : public testing::Test, public SliderViewFixture {
 protected:
  InspectorCoordinator() {
    buttons.setDataSourceController(&dsc);
    dsc.setButtonManager(&buttons);
    coordinator = std::make_unique<QKBMSMCoordinator>(&manager, &buttons, &dsc);
    coordinator->awakeFromNib();
    dsc.setCoordinator(coordinator.get());
  }
  ~InspectorCoordinator() override {
    coordinator.reset();
    for (const auto& cell : madeButtons) cell->prepareToBeDeleted();
    dsc.setButtonManager(nullptr);
  }
  std::shared_ptr<QKButtonCell> button() {
    auto cell = QKButtonCell::create();
    cell->setTarget(target);
    cell->setAction([](QKButtonCell&) {});
    madeButtons.push_back(cell);
    return cell;
  }
  QString shownTab() const {
    return coordinator->tabView()->tabText(coordinator->tabView()->currentIndex());
  }
  void click(QKButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, b->rect().center());
    settle();
  }

  QKButtonManager buttons;
  std::vector<std::shared_ptr<QKButtonCell>> madeButtons;
  std::unique_ptr<QKBMSMCoordinator> coordinator;
};

}  // namespace

TEST_F(InspectorCoordinator, SelectionChoosesTheTabOnce) {
  EXPECT_EQ(shownTab(), "None");
  EXPECT_EQ(coordinator->paletteStackOrder(), 1);
  QSignalSpy changes(coordinator->tabView(), &QTabWidget::currentChanged);
  QKSliderControl* s = control({10, 10, 200, 20});
  s->selectJustMe();
  EXPECT_EQ(shownTab(), "Slider");
  coordinator->selectSlider();  // already shown: nothing
  EXPECT_EQ(changes.count(), 1);
  auto b = button();
  dsc.selectThisButton(b.get());
  EXPECT_EQ(shownTab(), "Button");
  EXPECT_FALSE(s->selected());
  dsc.deselectThisButton(b.get());
  EXPECT_EQ(shownTab(), "None");
  EXPECT_EQ(changes.count(), 3);
}

TEST_F(InspectorCoordinator, HardwareLearnButtonSwitchesTheMode) {
  QKButton* learn = coordinator->buttonInspector()->hardwareLearnButton();
  coordinator->window()->show();
  click(learn);
  EXPECT_TRUE(dsc.hardwareLearnMode());
  EXPECT_TRUE(manager.hardwareLearnMode());
  EXPECT_TRUE(buttons.hardwareLearnMode());
  click(learn);
  EXPECT_FALSE(dsc.hardwareLearnMode());
  EXPECT_FALSE(manager.hardwareLearnMode());
  EXPECT_FALSE(buttons.hardwareLearnMode());
}

// The button inspector's sync, MIDI and OSC buttons follow the slider
// inspector's; a silent refresh of either fires none of the other's actions.
TEST_F(InspectorCoordinator, LockedButtonsStaySilentOnRefresh) {
  QKSliderInspector* sliders = coordinator->sliderInspector();
  QKButtonInspector* buttonPanel = coordinator->buttonInspector();
  for (auto [master, member] :
       {std::pair{sliders->syncToggle(), buttonPanel->syncToggle()},
        std::pair{sliders->midiDetectButton(), buttonPanel->midiDetectButton()},
        std::pair{sliders->oscDetectButton(), buttonPanel->oscDetectButton()}})
    EXPECT_EQ(member->lockedButtonSrc(), master->cell());

  // A selected button that could bind, and two sliders of which one is bound.
  QKSliderControl* bound = control({10, 10, 200, 20});
  QKSliderControl* free = control({10, 40, 200, 20});
  auto source = bind(bound, kFader, 0.5f);
  auto b = button();
  b->useThisSource(kFader);
  buttons.selectThisButton(b.get());
  bound->selectJustMe();
  free->selectMeToo();
  settle();  // locking the buttons at wake-up queued no action that unbinds them
  EXPECT_TRUE(bound->syncFlag());
  coordinator->tabView()->selectTabViewItem(0);
  sliders->updatingOnMainThread();
  settle();
  EXPECT_EQ(sliders->syncToggle()->intValue(), -1);
  EXPECT_FALSE(b->syncFlag());  // the button inspector's sync action did not run

  coordinator->tabView()->selectTabViewItem(1);
  buttonPanel->showSelection({b});
  settle();
  EXPECT_FALSE(free->syncFlag());  // nor the slider inspector's
  EXPECT_TRUE(bound->syncFlag());
}

// Collapsed, the palette does not rebuild its source list when the tree
// changes; expanded again, it does.
TEST_F(InspectorCoordinator, CollapsedPaletteRebuildsOnExpand) {
  coordinator->window()->show();
  settle();
  QKWindowContentView* content = coordinator->window()->contentView();
  auto listed = [&](const KeyPath& path) {
    QMenu* menu =
        coordinator->sliderInspector()->sourceViewController()->sourcePopUpButton()->menu();
    return DataSourceMenuMarks::firstFor(menu, path) != nullptr;
  };
  content->collapse();
  ASSERT_TRUE(content->collapsed());
  ASSERT_TRUE(dsc.setDataSource(DSFloatInfrequent::createWithName(kFader.last()), kFader));
  settle();
  EXPECT_FALSE(listed(kFader));
  content->expand();
  EXPECT_TRUE(listed(kFader));
}
