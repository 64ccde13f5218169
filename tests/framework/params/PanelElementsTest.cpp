#include "framework/controls/QKButton.h"
#include "framework/controls/QKButtonCell.h"
#include "framework/controls/QKSliderCell.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DataSourceMenuAdapter.h"
#include "framework/datasource/DataSourceMenuBuilder.h"
#include "framework/params/CIColorElement.h"
#include "framework/params/CIPopUpElement.h"
#include "framework/params/CIPositionElement.h"
#include "framework/params/CIRectangleElement.h"
#include "framework/params/CIStringElement.h"
#include "framework/params/CITapElement.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QKColorUI.h"
#include "framework/params/QKPositionUI.h"
#include "framework/params/QKRectangleUI.h"
#include "framework/render/QCUtils.h"
#include "framework/render/QKQCComposition.h"
#include "framework/taps/QKRTap.h"
#include "framework/taps/QKRTapMenuController.h"
#include "framework/taps/QKTapManager.h"
#include "framework/toolkit/QKNSPopUpButton.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/framework/taps/TapFixtures.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Screenshot.h"

#include <QApplication>
#include <QMenu>
#include <QScrollArea>
#include <QTest>
#include <gtest/gtest.h>

#include <thread>

namespace {

using Request = QCElementFactories::Request;
using Kind = QCElementFactories::Kind;

// Counts an element's actions and notices, and whether each action came on
// the main thread.
struct Told {
  void attach(QCPanelElement& element) {
    element.setAction([this] {
      ++actions;
      if (!MainThread::isMainThread()) ++offMain;
    });
    element.setSnapshotNotice([this] { ++notices; });
  }
  std::atomic<int> actions{0};
  std::atomic<int> offMain{0};
  std::atomic<int> notices{0};
};

bool near(double a, double b) { return std::abs(a - b) < 1e-3; }

TEST(PanelElementsTest, PositionAndRectangleConversions) {
  QWidget parent;
  auto position = CIPositionElement::create(QRectF(0, 0, 275, 48), &parent, QSizeF(640, 480));
  position->pad()->setXVal(0.25f);
  position->pad()->setYVal(0.75f);
  position->posnControlUsed();
  EXPECT_EQ(position->pointValue(), QPointF(160, 120));
  EXPECT_EQ(position->returnCIVector(), QVector2D(160, 360));
  EXPECT_EQ(position->returnFlippedCIVector(), QVector2D(160, 120));
  EXPECT_FLOAT_EQ(position->slider(0)->rangedValue(), 160);
  position->setPointValue(QPointF(320, 0));
  EXPECT_EQ(position->padPoint(), QPointF(0.5, 1.0));
  EXPECT_FLOAT_EQ(position->pad()->xVal(), 0.5f);
  EXPECT_FLOAT_EQ(position->pad()->yVal(), 1.0f);

  auto rectangle = CIRectangleElement::create(QRectF(0, 0, 275, 90), &parent, QSizeF(100, 100),
                                              QRectF(0.1, 0.2, 0.4, 0.4));
  const QRectF output = rectangle->outputRect();
  const QRectF sized = rectangle->returnSizedRect();
  const double expectedOutput[] = {10, 40, 40, 40}, expectedSized[] = {10, 20, 40, 40};
  const double gotOutput[] = {output.x(), output.y(), output.width(), output.height()};
  const double gotSized[] = {sized.x(), sized.y(), sized.width(), sized.height()};
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(near(gotOutput[i], expectedOutput[i])) << "outputRect " << i << " " << gotOutput[i];
    EXPECT_TRUE(near(gotSized[i], expectedSized[i])) << "sizedRect " << i << " " << gotSized[i];
  }
  EXPECT_FALSE(rectangle->returnFlippedCIVector());
}

TEST(PanelElementsTest, RectangleEdgesLimitEachOther) {
  QWidget parent;
  auto rectangle = CIRectangleElement::create(QRectF(0, 0, 275, 90), &parent, QSizeF(100, 100));
  EXPECT_FLOAT_EQ(rectangle->slider(CIRectangleElement::Left)->maxEnv(), 1.0f);
  rectangle->slider(CIRectangleElement::Right)->setValue(0.4f, true);
  EXPECT_FLOAT_EQ(rectangle->slider(CIRectangleElement::Left)->maxEnv(), 0.4f);
  rectangle->pad()->setXPos(0.6f);
  EXPECT_FLOAT_EQ(rectangle->pad()->xPos(), 0.4f);
  rectangle->slider(CIRectangleElement::Bottom)->setValue(0.3f, true);
  EXPECT_FLOAT_EQ(rectangle->slider(CIRectangleElement::Top)->minEnv(), 0.3f);
  rectangle->pad()->setHeight(0.1f);
  EXPECT_FLOAT_EQ(rectangle->pad()->topEdge(), 0.3f);
}

// Slider moves on a data source's thread reach the panel on the main
// thread, without waiting there.
TEST(PanelElementsTest, MovesFromAnotherThreadReachThePanelOnTheMainThread) {
  QWidget parent;
  auto colour = CIColorElement::create(QRectF(0, 0, 275, 90), &parent);
  auto position = CIPositionElement::create(QRectF(0, 0, 275, 48), &parent);
  auto rectangle = CIRectangleElement::create(QRectF(0, 0, 275, 90), &parent);
  Told colourTold, positionTold, rectangleTold;
  colourTold.attach(*colour);
  positionTold.attach(*position);
  rectangleTold.attach(*rectangle);
  std::thread source([&] {
    colour->slider(0)->cell()->setValue(0.5f, true);
    position->slider(1)->cell()->setValue(0.25f, true);
    rectangle->slider(CIRectangleElement::Top)->cell()->setValue(0.5f, true);
  });
  source.join();
  EXPECT_EQ(colourTold.actions + positionTold.actions + rectangleTold.actions, 0);
  QApplication::processEvents();
  for (const Told* told : {&colourTold, &positionTold, &rectangleTold}) {
    EXPECT_EQ(told->actions, 1);
    EXPECT_EQ(told->offMain, 0);
    EXPECT_GE(told->notices, 1);  // worth a new snapshot
  }
  EXPECT_NEAR(colour->returnCIColor().redF(), 0.5, 1e-3);
  EXPECT_FLOAT_EQ(position->padPoint().y(), 0.25f);
  EXPECT_FLOAT_EQ(rectangle->pad()->topEdge(), 0.5f);

  // Once deleted, the rectangle tells nobody.
  rectangleTold.attach(*rectangle);
  rectangle->prepareToBeDeleted();
  rectangle->bang();
  QApplication::processEvents();
  EXPECT_EQ(rectangleTold.actions, 1);
}

TEST(PanelElementsTest, SamplingFollowsClicksWhileTheButtonIsOn) {
  QWidget parent;
  auto colour = CIColorElement::create(QRectF(0, 0, 275, 90), &parent);
  Told told;
  told.attach(*colour);
  auto click = [](const QVariant& picked) {
    QVariantMap userInfo;
    if (picked.isValid()) userInfo.insert(CIColorElement::kColorKey, picked);
    NotificationCenter::defaultCenter().post(CIColorElement::kClickColorNotification, nullptr,
                                             userInfo);
    QApplication::processEvents();
  };
  const QColor before = colour->returnCIColor();
  click(QColor(Qt::green));
  EXPECT_EQ(colour->returnCIColor(), before);  // not sampling yet

  colour->sampleButton()->setIntValue(1, true);
  QApplication::processEvents();
  ASSERT_TRUE(colour->sampling());
  click(QColor(Qt::green));
  EXPECT_EQ(colour->returnCIColor(), QColor(Qt::green));
  click(QColor(Qt::blue));  // the button stays on: a second click samples again
  EXPECT_EQ(colour->returnCIColor(), QColor(Qt::blue));
  EXPECT_EQ(colour->colorView()->color(), QColor(Qt::blue));
  EXPECT_EQ(told.actions, 2);
  {
    LogCapture log;
    click(QVariant());
    click(QStringLiteral("green"));
    EXPECT_TRUE(log.contains("\t\terr: no color passed in notification"));
    EXPECT_TRUE(log.contains("\t\terr: color doesn't respond as expected"));
  }

  colour->sampleButton()->setIntValue(0, true);
  QApplication::processEvents();
  click(QColor(Qt::red));
  EXPECT_EQ(colour->returnCIColor(), QColor(Qt::blue));
}

// The menus carry each holder's key path, so a name holding "/" binds to
// the right path.
TEST(PanelElementsTest, HoldersBindByTheirWholeKeyPath) {
  QWidget parent;
  auto colour = CIColorElement::create(QRectF(0, 0, 275, 90), &parent);
  auto position = CIPositionElement::create(QRectF(0, 0, 275, 48), &parent);
  const KeyPath colourPath{"ZAPH", "Swatch a/b", "Colour"};
  const KeyPath pointPath{"Mouse", "x/y pad"};
  DataSourceMenu menu{QString(),
                      {DataSourceMenuBuilder::itemForPath("Colour", colourPath, true),
                       DataSourceMenuBuilder::itemForPath("Pad", pointPath, true)}};
  std::unique_ptr<QMenu> made(DataSourceMenuAdapter::createMenu(menu));
  ASSERT_TRUE(made);
  ASSERT_EQ(made->actions().size(), 2);
  colour->colorView()->colorHolderChosen(made->actions()[0]);
  position->pad()->pointHolderChosen(made->actions()[1]);
  const char* components[] = {"R", "G", "B"};
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(colour->slider(i)->syncArray(), colourPath + KeyPath{components[i]});
  EXPECT_EQ(position->slider(0)->syncArray(), pointPath + KeyPath{"X"});
  EXPECT_EQ(position->slider(1)->syncArray(), pointPath + KeyPath{"Y"});
}

TEST(PanelElementsTest, ARightClickOnThePadMovesNothing) {
  QWidget parent;
  parent.resize(300, 60);
  auto position = CIPositionElement::create(QRectF(0, 0, 275, 48), &parent);
  parent.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
  QKPositionUI* pad = position->pad();
  const QPointF before = position->padPoint();
  const QPoint corner = pad->activeRect().topLeft().toPoint() + QPoint(1, 1);
  QTest::mousePress(pad, Qt::RightButton, Qt::NoModifier, corner);
  QMouseEvent drag(QEvent::MouseMove, QPointF(corner), pad->mapToGlobal(QPointF(corner)),
                   Qt::NoButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(pad, &drag);
  QTest::mouseRelease(pad, Qt::RightButton, Qt::NoModifier, corner);
  EXPECT_EQ(position->padPoint(), before);
  // A left click moves it: the pad's top left is (0, 1).
  QTest::mousePress(pad, Qt::LeftButton, Qt::NoModifier, pad->activeRect().topLeft().toPoint());
  EXPECT_NEAR(position->padPoint().x(), 0.0, 0.05);
  EXPECT_NEAR(position->padPoint().y(), 1.0, 0.05);
  saveScreenshot(parent.grab().toImage(), QStringLiteral("position-element"));
}

TEST(PanelElementsTest, SnapshotsRestoreTitlesAndValues) {
  QWidget parent;
  auto rectangle = CIRectangleElement::create(QRectF(0, 0, 275, 90), &parent, QSizeF(100, 100));
  rectangle->setTitle("crop");
  rectangle->setKey("inputCrop");
  rectangle->slider(CIRectangleElement::Right)->setValue(0.7f, true);
  const QVariantMap snapshot = rectangle->createSnapshot();
  auto other = CIRectangleElement::create(QRectF(0, 0, 275, 90), &parent, QSizeF(100, 100));
  other->setTitle("something else");
  other->loadSnapshot(snapshot);
  EXPECT_EQ(other->title(), QStringLiteral("crop"));
  EXPECT_FLOAT_EQ(other->edge(CIRectangleElement::Right), 0.7f);

  auto position = CIPositionElement::create(QRectF(0, 0, 275, 48), &parent, QSizeF(10, 10));
  position->setPointValue(QPointF(2, 3));
  auto positionCopy = CIPositionElement::create(QRectF(0, 0, 275, 48), &parent, QSizeF(10, 10));
  positionCopy->loadSnapshot(position->createSnapshot());
  EXPECT_TRUE(near(positionCopy->pointValue().x(), 2) && near(positionCopy->pointValue().y(), 3));

  auto colour = CIColorElement::create(QRectF(0, 0, 275, 90), &parent);
  colour->setTitle("tint");
  colour->setColorWithRed(0.2f, 0.4f, 0.6f);
  auto colourCopy = CIColorElement::create(QRectF(0, 0, 275, 90), &parent);
  colourCopy->loadSnapshot(colour->createSnapshot());
  EXPECT_EQ(colourCopy->title(), QStringLiteral("tint"));
  EXPECT_EQ(colourCopy->returnCIColor(), colour->returnCIColor());

  auto field = CIStringElement::create(
      Request{Kind::String, "label", {{"defaultVal", "hello"}}, 300, &parent});
  Told told;
  told.attach(*field);
  const QVariantMap fieldSnapshot = field->createSnapshot();
  EXPECT_EQ(fieldSnapshot.value("stringValue").toString(), QStringLiteral("hello"));
  EXPECT_EQ(fieldSnapshot.value("key").toString(), QStringLiteral("label"));
  field->setStringValue("changed");
  field->loadSnapshot(fieldSnapshot);
  EXPECT_EQ(*field->value()->get<QString>(), QStringLiteral("hello"));
  EXPECT_EQ(told.actions, 1);  // loading sends the value on
}

TEST(PanelElementsTest, PopUpsKeepTheirChoiceAndTellTheOwnerOnTheNextPass) {
  QWidget parent;
  auto popUp = CIPopUpElement::create(
      Request{Kind::IndexMenu,
              "mode",
              {{"indexLabels", QVariantList{"a", "-", "b", "c"}}, {"defaultVal", 2}},
              300,
              &parent});
  Told told;
  told.attach(*popUp);
  EXPECT_EQ(popUp->titleOfSelectedItem(), QStringLiteral("b"));
  EXPECT_EQ(popUp->value()->get<composition::PortValue::Index>()->value, 2);

  // A saved title the menu lacks: the selection stays, and the owner is
  // still told, on the next pass.
  popUp->loadSnapshot({{"titleOfSelectedItem", "zz"}, {"title", "mode"}});
  EXPECT_EQ(popUp->titleOfSelectedItem(), QStringLiteral("b"));
  EXPECT_EQ(told.actions, 0);
  QApplication::processEvents();
  EXPECT_EQ(told.actions, 1);
  popUp->loadSnapshot({{"titleOfSelectedItem", "c"}});
  EXPECT_EQ(popUp->titleOfSelectedItem(), QStringLiteral("c"));

  // A new menu without the selected title selects its first item.
  popUp->setLocalMenu({"x", "c", "y"});
  EXPECT_EQ(popUp->titleOfSelectedItem(), QStringLiteral("c"));
  popUp->setLocalMenu({"x", "y"});
  EXPECT_EQ(popUp->indexOfSelectedItem(), 0);

  auto fonts = CIPopUpElement::create(Request{Kind::FontMenu, "myFontMenu", {}, 300, &parent});
  EXPECT_EQ(fonts->keyType(), CIPopUpElement::kStringType);
  ASSERT_TRUE(fonts->value());
  EXPECT_EQ(*fonts->value()->get<QString>(), fonts->titleOfSelectedItem());
}

class TapChooserTest : public ::testing::Test {
 protected:
  QKTapManager manager;
};

TEST_F(TapChooserTest, NoneBindsToTheEmptyNameAndGivesNoTexture) {
  QWidget parent;
  auto source = InputTap::create("Camera");
  auto tap = QCTapElement::create(Request{Kind::Tap, "image", {}, 300, &parent});
  Told told;
  told.attach(*tap);
  tap->menuController()->setLastSelectedName("Camera");
  tap->tapSourceChanged();
  EXPECT_EQ(tap->rTap()->lastSelectedTapName(), QStringLiteral("Camera"));
  tap->menuController()->menuUsed(tap->button()->menu()->actions().value(0));  // "<none>"
  EXPECT_EQ(tap->rTap()->lastSelectedTapName(), QKTapManager::kEmptyDeselectedString);
  EXPECT_FALSE(tap->getTexture());
  EXPECT_EQ(told.actions, 2);
  EXPECT_EQ(tap->createSnapshot().value("title").toString(), QStringLiteral("image"));
  source->prepareToBeDeleted();
}

// A preset restore loads the chooser's snapshot but reloads the tap list
// once, at its end.
TEST_F(TapChooserTest, TheChooserReloadsOnceAtTheEndOfARestore) {
  QWidget parent;
  auto source = InputTap::create("Camera");
  QCAttributeLoader loader;
  loader.resize(300, 10);
  auto tap = QCTapElement::create(Request{Kind::Tap, "image", {}, 300, &parent});
  Told told;
  told.attach(*tap);
  NotificationCenter::defaultCenter().post(QKRTapMenuController::kRestoreStartNotification);
  QApplication::processEvents();
  tap->loadSnapshot(
      {{"title", "image"}, {"menuController", QVariantMap{{"lastSelectedName", "Camera"}}}});
  if (!loader.presetsAreLoading()) tap->reloadAvailableTaps();
  QApplication::processEvents();
  EXPECT_EQ(told.actions, 0);
  NotificationCenter::defaultCenter().post(QKRTapMenuController::kRestoreEndNotification);
  QApplication::processEvents();
  EXPECT_EQ(told.actions, 1);
  EXPECT_EQ(tap->rTap()->lastSelectedTapName(), QStringLiteral("Camera"));
  source->prepareToBeDeleted();
}

}  // namespace

namespace {

// The shipped tint effect gets every element it asks for: the tap of its
// image, the slider, the button, the colour and the index pop-up.
TEST(PanelElementsTest, TheTintEffectShowsItsFullPanel) {
  auto composition = QKQCComposition::compositionWithFile(QCUtils::pathForQCFXNamed("Tint.qtz"));
  ASSERT_TRUE(composition);
  QKTapManager manager;
  QCAttributeLoader loader;
  loader.resize(300, 10);
  loader.loadAttributesForComposition(composition);
  QStringList keys;
  for (const auto& made : loader.elementArray()) keys << made->key();
  EXPECT_EQ(keys, QStringList({"amount", "inputImage", "invert", "mode", "tintColor"}));
  EXPECT_EQ(loader.measurePositionInputsArray(), QStringList({"MeasurePosition"}));
  auto tint = std::dynamic_pointer_cast<CIColorElement>(loader.findElementWithKey("tintColor"));
  ASSERT_TRUE(tint);
  EXPECT_EQ(tint->returnCIColor(), QColor::fromRgbF(1, 0.5f, 0));
  auto mode = std::dynamic_pointer_cast<CIPopUpElement>(loader.findElementWithKey("mode"));
  ASSERT_TRUE(mode);
  EXPECT_EQ(mode->localMenu(), QStringList({"Multiply", "By Luma"}));
  EXPECT_TRUE(std::dynamic_pointer_cast<QCTapElement>(loader.findElementWithKey("inputImage")));
  QScrollArea scroll;
  scroll.resize(320, 400);
  scroll.setWidget(&loader);
  loader.setParentScrollView(&scroll);
  scroll.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&scroll));
  saveScreenshot(scroll.grab().toImage(), QStringLiteral("tint-panel"));
  scroll.takeWidget();
}

}  // namespace
