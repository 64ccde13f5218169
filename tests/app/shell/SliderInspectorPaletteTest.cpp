// The Slider/Button Inspector palette in ZAPH's process: the Window menu's
// Ctrl+2 shows and hides it, a picture of it, and a slider bound over OSC
// that moves on screen while the inspector shows its source.
#include "app/shell/AppController.h"
#include "app/shell/AppWindowMenuController.h"

#include "framework/controls/QKBMSMCoordinator.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKNSTabView.h"
#include "framework/controls/QKSMDSListController.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/controls/QKSliderInspector.h"
#include "framework/controls/SliderGeometry.h"
#include "framework/datasource/QKOSCManager.h"
#include "framework/toolkit/FirstResponderTextField.h"
#include "framework/toolkit/QKPaletteWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/platform/osc/OSCTestSupport.h"
#include "tests/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QShortcutEvent>
#include <QTest>

namespace {

class SliderInspectorPalette : public testing::Test {
 protected:
  SliderInspectorPalette() { UserDefaults::standard().resetForTesting(); }

  QKPaletteWindow* palette() { return controller.inspectorCoordinator()->window(); }
  QAction* menuEntry() {
    for (QAction* entry : controller.appWindowMenuController()->paletteEntries())
      if (entry->text() == QKBMSMCoordinator::kPaletteTitle) return entry;
    return nullptr;
  }
  static void settle() {
    MainThread::processUntil([] { return false; }, 0.05);
  }

  AppController controller;
};

}  // namespace

TEST_F(SliderInspectorPalette, CtrlTwoShowsAndHidesThePalette) {
  QAction* entry = menuEntry();
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->shortcut(), QKeySequence(QStringLiteral("Ctrl+2")));
  const bool shownAtStart = palette()->isVisible();
  QShortcutEvent shortcut(QKeySequence(QStringLiteral("Ctrl+2")), 0);
  QApplication::sendEvent(entry, &shortcut);
  EXPECT_NE(palette()->isVisible(), shownAtStart);
  QApplication::sendEvent(entry, &shortcut);
  EXPECT_EQ(palette()->isVisible(), shownAtStart);
}

// The palette with a selected slider: the tab labels are contracts; the
// picture shows the title bar and the slider tab.
TEST_F(SliderInspectorPalette, Picture) {
  QKNSTabView* tabs = controller.inspectorCoordinator()->tabView();
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(0), "Slider");
  EXPECT_EQ(tabs->tabText(1), "Button");
  EXPECT_EQ(tabs->tabText(2), "None");

  QKSliderControl slider;
  slider.setFrame(QRectF(0, 0, 200, 20));
  slider.selectJustMe();
  EXPECT_EQ(tabs->currentIndex(), 0);
  palette()->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(palette()));
  settle();
  palette()->contentView()->expand();  // it starts collapsed at its default place
  settle();
  const QImage picture = palette()->grab().toImage();
  saveScreenshot(picture, QStringLiteral("slider-button-inspector"));
  ASSERT_FALSE(picture.isNull());
  // The title bar differs from the body, and the slider tab's button is lit
  // against the button tab's.
  const QRect sliderTab = tabs->buttonFrameForTab(0);
  const QRect buttonTab = tabs->buttonFrameForTab(1);
  const QPoint inPalette = tabs->mapTo(palette(), QPoint(0, 0));
  EXPECT_NE(picture.pixel(inPalette + sliderTab.center() + QPoint(0, -sliderTab.height() / 3)),
            picture.pixel(inPalette + buttonTab.center() + QPoint(0, -buttonTab.height() / 3)));
  EXPECT_NE(picture.pixel(picture.width() / 2, 5), picture.pixel(picture.width() / 2, 120));
  slider.prepareToBeDeleted();
}

// Done when a slider bound over OSC moves on screen in ZAPH's process while
// the inspector shows its source.
TEST_F(SliderInspectorPalette, SliderBoundOverOSCMovesWhileTheInspectorShowsItsSource) {
  auto in = controller.oscManager()->createNewInputForPort(UdpSocket::freePort());
  ASSERT_TRUE(in && in->isOpen());
  QWidget window;
  window.resize(220, 40);
  auto* slider = new QKSliderControl(&window);
  slider->setFrame(QRectF(10, 10, 200, 20));
  window.show();
  slider->selectJustMe();
  QKSliderInspector* inspector = controller.inspectorCoordinator()->sliderInspector();
  FirstResponderTextField* field = inspector->sourceViewController()->dataSourceNameTextField();
  field->setText(QStringLiteral("OSC/layer/1"));
  QTest::keyClick(field, Qt::Key_Return);
  ASSERT_EQ(slider->syncArray(), (KeyPath{"OSC", "/layer/1"}));
  ASSERT_TRUE(slider->syncFlag());

  OSCOutPort out(QStringLiteral("127.0.0.1"), in->port(), QStringLiteral("console"));
  auto message = OSCMessage::createWithAddress(QStringLiteral("/layer/1"));
  message->addFloat(0.9f);
  ASSERT_TRUE(out.sendThisMessage(*message));
  ASSERT_TRUE(MainThread::processUntil([&] { return slider->value() > 0.89f; }, 5.0));
  settle();
  EXPECT_EQ(slider->sliderHead(), SliderGeometry::sliderHead(QRectF(0, 0, 200, 20), 0.9f));
  const QImage image = slider->grab().toImage();
  EXPECT_NE(image.pixel(180, 10), image.pixel(100, 10));  // the head moved to 0.9
  EXPECT_EQ(inspector->syncToggle()->intValue(), 1);
  EXPECT_EQ(field->text(), "OSC//layer/1");
  slider->setSyncFlag(false);
}
