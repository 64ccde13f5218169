// Designer-form panels: controls found by their "key", tab views bound to an
// index input or kept in snapshots only, the form's own size in the scroll
// view, and forms read from ".ui" files when the build reads them.
#include "framework/controls/QKButton.h"
#include "framework/controls/QKNSTabView.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/params/CIColorElement.h"
#include "framework/params/CIPopUpElement.h"
#include "framework/params/CIPositionElement.h"
#include "framework/params/CIRectangleElement.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QCElementFactories.h"
#include "framework/params/QCFormElementSlot.h"
#include "framework/params/QCFormLoader.h"
#include "framework/params/QCTabViewElement.h"
#include "framework/params/QKQCScrollView.h"
#include "framework/render/QKQCComposition.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/params/ParamsFixtures.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using composition::PortType;
using ParamsFixtures::Input;

namespace {

QStringList keysOf(const std::vector<std::shared_ptr<QCPanelElement>>& elements) {
  QStringList keys;
  for (const auto& element : elements) keys << element->key();
  return keys;
}

// A form of 400 x 300: the slider "amount" on top, a button "on" inside a
// plain tab widget's second page, the learnable tab view "mode" (three
// tabs) and the learnable tab view "layout" (two tabs) that no input names.
struct Form {
  Form() : top(new QWidget) {
    top->resize(400, 300);
    slider = new QKSliderControl(top);
    slider->setGeometry(10, 10, 300, 20);
    slider->setProperty("key", "amount");
    auto* pages = new QTabWidget(top);
    pages->setGeometry(10, 40, 300, 80);
    pages->addTab(new QLabel("first"), "First");
    auto* second = new QWidget;
    button = new QKButton(second);
    button->setProperty("key", "on");
    pages->addTab(second, "Second");
    mode = tabView("mode", {"A", "B", "C"}, 130);
    layout = tabView("layout", {"Wide", "Tall"}, 210);
  }
  QKNSTabView* tabView(const char* key, const QStringList& titles, int y) {
    auto* tabs = new QKNSTabView(top);
    tabs->setGeometry(10, y, 300, 70);
    for (const QString& title : titles) tabs->addTab(new QLabel(title), title);
    tabs->setProperty("key", key);
    return tabs;
  }
  QWidget* top;
  QPointer<QKSliderControl> slider;
  QPointer<QKButton> button;
  QPointer<QKNSTabView> mode;
  QPointer<QKNSTabView> layout;
};

class FormPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString path = ParamsFixtures::writeComposition(
        TestEnvironment::makeTempDir(), QStringLiteral("form.qtz"),
        {{"amount", "QCNumberPort", {{"inputMin", 0.0}, {"inputMax", 2.0}}, 1.5},
         {"on", "QCBooleanPort", {}, true},
         {"mode", "QCIndexPort"},
         {"missing", "QCNumberPort"}});
    composition = QKQCComposition::compositionWithFile(path);
    ASSERT_TRUE(composition);
    loader.loadAttributesForComposition(composition, form.top);
  }

  QCAttributeLoader loader;
  std::shared_ptr<QKQCComposition> composition;
  Form form;
};

TEST_F(FormPanelTest, ControlsAreFoundByKeyAndNothingIsMade) {
  EXPECT_EQ(loader.topNibView(), form.top);
  EXPECT_EQ(keysOf(loader.elementArray()), QStringList({"amount", "mode", "on"}))
      << "an input the form does not show is left out";
  EXPECT_EQ(keysOf(loader.tabViewArray()), QStringList({"layout"}));
  EXPECT_EQ(loader.elementArray()[0]->view(), form.slider.data());
  EXPECT_EQ(loader.elementArray()[1]->view(), form.mode.data());
  EXPECT_EQ(loader.elementArray()[2]->view(), form.button.data());
  EXPECT_EQ(loader.findChildren<QKSliderControl*>().size(), 1) << "no control was made";
  // Found controls start from the input's description.
  EXPECT_FLOAT_EQ(form.slider->rangedValue(), 1.5f);
  EXPECT_EQ(form.button->intValue(), 1);
  EXPECT_EQ(form.mode->buttonArray().size(), 3u) << "the tab view got its tab buttons";
}

TEST_F(FormPanelTest, ABoundTabViewHandsItsIndexToTheRenderer) {
  auto renderer = std::make_shared<RecordingRenderer>(
      RecordingRenderer::Ports{{"mode", PortType::Index}, {"layout", PortType::Index}});
  form.mode->buttonArray().at(2)->setIntValue(1, true);
  form.layout->buttonArray().at(1)->setIntValue(1, true);
  ASSERT_TRUE(MainThread::processUntil([&] { return form.layout->currentIndex() == 1; }, 2.0));
  MainThread::processUntil([] { return false; }, 0.05);
  loader.dumpToRenderer(renderer);
  EXPECT_EQ(renderer->setsOf("mode"), QVariantList{2});
  EXPECT_TRUE(renderer->setsOf("layout").isEmpty()) << "a tab view bound to no input sets nothing";
}

TEST_F(FormPanelTest, UnboundTabViewsKeepTheirStateInTheSnapshot) {
  const QVariantMap snapshot = loader.createSnapshot();
  EXPECT_EQ(snapshot.value("attributeDicts").toMap().keys(), QStringList({"amount", "mode", "on"}));
  ASSERT_EQ(snapshot.value("tabViewsDict").toMap().keys(), QStringList({"layout"}));
  EXPECT_EQ(loader.findTabViewWithKey("layout")->view(), form.layout.data());
  EXPECT_FALSE(loader.findTabViewWithKey("mode")) << "a bound tab view is an element";

  form.layout->buttonArray().at(1)->setIntValue(1, true);
  ASSERT_TRUE(MainThread::processUntil([&] { return form.layout->currentIndex() == 1; }, 2.0));
  loader.loadSnapshot(snapshot);
  EXPECT_TRUE(MainThread::processUntil([&] { return form.layout->currentIndex() == 0; }, 2.0));

  // A change of the tab view's buttons reaches the live snapshot.
  loader.setLiveUpdating(true);
  form.layout->buttonArray().at(0)->setThreshVal(0.25f);
  ASSERT_TRUE(
      MainThread::processUntil([&] { return loader.currentSnapshotDict() != snapshot; }, 2.0));
  EXPECT_TRUE(loader.currentSnapshotDict().value("tabViewsDict").toMap().contains("layout"));
}

TEST_F(FormPanelTest, TheFormKeepsItsSizeAndScrollsWhereItOverflows) {
  EXPECT_EQ(loader.size(), QSize(400, 300)) << "the panel takes the form's size";
  EXPECT_EQ(loader.topNibViewNativeSize(), QSizeF(400, 300));
  QKQCScrollView view;
  view.setFrame(QRect(0, 0, 200, 150));
  view.setDocumentView(&loader);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.updateContents();
  EXPECT_EQ(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(loader.size(), QSize(400, 300));
  view.setFrame(QRect(0, 0, 600, 500));
  EXPECT_EQ(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(loader.size(), view.viewport()->size()) << "a larger view is filled";
  view.setDocumentView(nullptr);
}

TEST_F(FormPanelTest, RemovingTheElementsLetsTheFormGo) {
  QPointer<QWidget> top = form.top;
  loader.removeAllExistingElements();
  EXPECT_FALSE(loader.topNibView());
  EXPECT_TRUE(loader.elementArray().empty());
  EXPECT_TRUE(loader.tabViewArray().empty());
  EXPECT_TRUE(loader.createSnapshot().isEmpty());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(top);
}

// The boxed elements take the place of the slots a form gives them: the
// element the input asks for, with the slot's frame and place in its
// layout; a slot naming another element class drives nothing.
TEST(FormSlotTest, BoxedElementsTakeTheirSlotsPlace) {
  const QString path = ParamsFixtures::writeComposition(
      TestEnvironment::makeTempDir(), QStringLiteral("slots.qtz"),
      {{"tint", "QCColorPort"},
       {"handXY", "QCStructurePort"},
       {"cropRect", "QCStructurePort"},
       {"mode", "QCIndexPort", {{"indexLabels", QStringList{"One", "Two"}}}},
       {"image", "QCGLImagePort"},
       {"wrong", "QCColorPort"}});
  auto composition = QKQCComposition::compositionWithFile(path);
  ASSERT_TRUE(composition);
  auto* top = new QWidget;
  top->resize(320, 400);
  auto* column = new QWidget(top);
  column->setGeometry(0, 0, 320, 400);
  auto* layout = new QVBoxLayout(column);
  struct Slot {
    const char* className;
    const char* key;
  };
  const Slot slots[] = {{"CIColorElement", "tint"},         {"QCFormElementSlot", "handXY"},
                        {"CIRectangleElement", "cropRect"}, {"CIPopUpElement", "mode"},
                        {"QCTapElement", "image"},          {"CIPositionElement", "wrong"}};
  for (const Slot& slot : slots) {
    QWidget* made = QCElementFactories::createFormWidget(slot.className, column);
    ASSERT_TRUE(made) << slot.className;
    made->setObjectName(slot.key);
    made->setProperty("key", slot.key);
    made->setMinimumHeight(40);
    layout->addWidget(made);
  }
  layout->activate();
  QMap<QString, QRect> frames;
  for (const Slot& slot : slots)
    frames[slot.key] = column->findChild<QWidget*>(slot.key)->geometry();

  LogCapture log;
  QCAttributeLoader loader;
  loader.loadAttributesForComposition(composition, top);
  EXPECT_EQ(keysOf(loader.elementArray()),
            QStringList({"cropRect", "handXY", "image", "mode", "tint"}));
  EXPECT_FALSE(log.lines().filter("wrong").isEmpty()) << "the mismatched slot is logged";
  struct Expected {
    const char* key;
    bool (*isKind)(QCPanelElement*);
  };
  const Expected expected[] = {
      {"tint", [](QCPanelElement* e) { return dynamic_cast<CIColorElement*>(e) != nullptr; }},
      {"handXY", [](QCPanelElement* e) { return dynamic_cast<CIPositionElement*>(e) != nullptr; }},
      {"cropRect",
       [](QCPanelElement* e) { return dynamic_cast<CIRectangleElement*>(e) != nullptr; }},
      {"mode", [](QCPanelElement* e) { return dynamic_cast<CIPopUpElement*>(e) != nullptr; }},
      {"image", [](QCPanelElement* e) { return e->isTap(); }},
  };
  for (const Expected& e : expected) {
    const auto element = loader.findElementWithKey(e.key);
    ASSERT_TRUE(element) << e.key;
    EXPECT_TRUE(e.isKind(element.get())) << e.key;
    QWidget* box = element->view();
    EXPECT_EQ(box->parentWidget(), column) << e.key;
    EXPECT_EQ(box->geometry(), frames[e.key]) << e.key;
    EXPECT_GE(layout->indexOf(box), 0) << e.key;
    EXPECT_EQ(box->property("key").toString(), e.key);
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(column->findChildren<QCFormElementSlot*>().size(), 1u) << "only the wrong one stays";

  // An adopted element drives its input.
  auto renderer = std::make_shared<RecordingRenderer>(
      RecordingRenderer::Ports{{"tint", PortType::Color}, {"mode", PortType::Index}});
  auto colour = std::dynamic_pointer_cast<CIColorElement>(loader.findElementWithKey("tint"));
  colour->setColorWithRed(1, 0.5f, 0);
  loader.uiElementUsed(colour);
  loader.dumpToRenderer(renderer);
  ASSERT_EQ(renderer->setsOf("tint").size(), 1);
  EXPECT_EQ(renderer->setsOf("tint")[0].value<QColor>(), QColor::fromRgbF(1, 0.5f, 0, 1));
  loader.show();
  saveScreenshot(loader.grab().toImage(), "form-slots");
}

TEST(GeneratedPanelScrollTest, AGeneratedPanelTakesTheViewsWidthAndScrollsVertically) {
  const QString path = ParamsFixtures::writeComposition(
      TestEnvironment::makeTempDir(), QStringLiteral("gen.qtz"),
      {{"a", "QCNumberPort"}, {"b", "QCNumberPort"}, {"c", "QCBooleanPort"}});
  auto composition = QKQCComposition::compositionWithFile(path);
  ASSERT_TRUE(composition);
  QCAttributeLoader loader;
  loader.loadAttributesForComposition(composition);
  {
    QKQCScrollView view;
    view.setFrame(QRect(0, 0, 240, 60));
    view.setDocumentView(&loader);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.updateContents();
    EXPECT_EQ(view.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(view.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(loader.width(), view.viewport()->width());
    EXPECT_EQ(loader.height(), 20 + 4 + 20 + 4 + 30);
    view.setFrame(QRect(0, 0, 300, 60));
    EXPECT_EQ(loader.width(), view.viewport()->width()) << "the panel follows the view's width";
  }
  // The scroll view gave the panel back as it went.
  EXPECT_EQ(loader.parentWidget(), nullptr);
  EXPECT_EQ(loader.elementArray().size(), 3u);
}

const char kForm[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Panel</class>
 <widget class="QWidget" name="Panel">
  <property name="geometry"><rect><x>0</x><y>0</y><width>320</width><height>160</height></rect></property>
  <widget class="QKSliderControl" name="amountSlider">
   <property name="geometry"><rect><x>10</x><y>10</y><width>300</width><height>20</height></rect></property>
   <property name="key" stdset="0"><string>amount</string></property>
  </widget>
  <widget class="QKNSTabView" name="modes">
   <property name="geometry"><rect><x>10</x><y>40</y><width>300</width><height>100</height></rect></property>
   <property name="key" stdset="0"><string>mode</string></property>
   <widget class="QWidget" name="first"><attribute name="title"><string>One</string></attribute></widget>
   <widget class="QWidget" name="second"><attribute name="title"><string>Two</string></attribute></widget>
  </widget>
 </widget>
 <customwidgets>
  <customwidget><class>QKSliderControl</class><extends>QWidget</extends><header>QKSliderControl.h</header></customwidget>
  <customwidget><class>QKNSTabView</class><extends>QTabWidget</extends><header>QKNSTabView.h</header><container>1</container></customwidget>
 </customwidgets>
</ui>
)";

TEST(FormFileTest, AFormFileBecomesThePanel) {
  if (!QCFormLoader::available()) GTEST_SKIP() << "this build reads no Designer forms";
  const QString dir = TestEnvironment::makeTempDir();
  const QString path = ParamsFixtures::writeComposition(
      dir, QStringLiteral("Glow.qtz"), {{"amount", "QCNumberPort"}, {"mode", "QCIndexPort"}});
  QFile form(dir + "/Glow.ui");
  ASSERT_TRUE(form.open(QIODevice::WriteOnly));
  form.write(kForm);
  form.close();
  QString error;
  QWidget* top = QCFormLoader::load(form.fileName(), &error);
  ASSERT_TRUE(top) << error.toStdString();
  auto composition = QKQCComposition::compositionWithFile(path);
  QCAttributeLoader loader;
  loader.loadAttributesForComposition(composition, top);
  EXPECT_EQ(keysOf(loader.elementArray()), QStringList({"amount", "mode"}));
  EXPECT_TRUE(qobject_cast<QKSliderControl*>(loader.elementArray()[0]->view()));
  auto* modes = qobject_cast<QKNSTabView*>(loader.elementArray()[1]->view());
  ASSERT_TRUE(modes);
  EXPECT_EQ(modes->count(), 2);
  EXPECT_EQ(modes->buttonArray().size(), 2u);
  EXPECT_EQ(loader.size(), QSize(320, 160));
  loader.resize(320, 160);
  loader.show();
  saveScreenshot(loader.grab().toImage(), "form-panel");
}

TEST(FormFileTest, AMissingFormIsReportedAndReadsNothing) {
  QString error;
  EXPECT_FALSE(QCFormLoader::load(TestEnvironment::makeTempDir() + "/none.ui", &error));
  EXPECT_FALSE(error.isEmpty());
}

}  // namespace
