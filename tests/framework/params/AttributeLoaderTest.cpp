#include "framework/controls/QKButton.h"
#include "framework/controls/QKLogSliderControl.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/MasterClockInterface.h"
#include "framework/params/QCAttributeLoader.h"
#include "framework/params/QCButtonElement.h"
#include "framework/params/QCElementHandOff.h"
#include "framework/params/QCPanelMenus.h"
#include "framework/params/QCSliderElement.h"
#include "framework/render/QKQCComposition.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/params/ParamsFixtures.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestEnvironment.h"

#include <QScrollArea>
#include <gtest/gtest.h>

#include <thread>

using composition::PortType;
using Kind = QCElementFactories::Kind;
using Choice = QCAttributeLoader::Choice;
using Role = Choice::Role;
using ParamsFixtures::Input;

namespace {

Choice element(Kind kind) { return {Role::Element, kind}; }

struct ClassifyCase {
  const char* portClass;
  const char* key;
  Choice expected;
};

class ClassifyTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(ClassifyTest, ChoosesByPortClassAndKey) {
  const ClassifyCase& c = GetParam();
  EXPECT_EQ(
      QCAttributeLoader::classify(QString::fromLatin1(c.portClass), QString::fromLatin1(c.key)),
      c.expected)
      << c.portClass << " " << c.key;
}

INSTANTIATE_TEST_SUITE_P(
    ElementTable, ClassifyTest,
    ::testing::Values(ClassifyCase{"QCNumberPort", "ZAPHBPM", {Role::Tempo}},
                      ClassifyCase{"QCNumberPort", "ZAPHBPMfast", {Role::Tempo}},
                      ClassifyCase{"QCNumberPort", "zaphbpm", element(Kind::Slider)},
                      ClassifyCase{"QCNumberPort", "MeasurePosition", {Role::MeasurePosition}},
                      ClassifyCase{"QCNumberPort", "MeasurePositionX", {Role::MeasurePosition}},
                      ClassifyCase{"QCNumberPort", "measureposition", {Role::MeasurePosition}},
                      ClassifyCase{"QCNumberPort", "Measure Position 2", {Role::MeasurePosition}},
                      ClassifyCase{"QCNumberPort", "measure_position", {Role::MeasurePosition}},
                      ClassifyCase{"QCNumberPort", "Measure", element(Kind::Slider)},
                      ClassifyCase{"QCNumberPort", "Measure_Pos", element(Kind::Slider)},
                      ClassifyCase{"QCNumberPort", "myLogSliderGain", element(Kind::LogSlider)},
                      ClassifyCase{"QCNumberPort", "logslider", element(Kind::Slider)},
                      ClassifyCase{"QCBooleanPort", "ZAPHBPM", element(Kind::Button)},
                      ClassifyCase{"QCStringPort", "myFontMenuFileInput", element(Kind::FontMenu)},
                      ClassifyCase{"QCStringPort", "FileInput", element(Kind::Text)},
                      ClassifyCase{"QCStringPort", "fontmenu", element(Kind::String)},
                      ClassifyCase{"QCColorPort", "tint", element(Kind::Color)},
                      ClassifyCase{"QCGLImagePort", "image", element(Kind::Tap)},
                      ClassifyCase{"QCIndexPort", "mode", element(Kind::IndexMenu)},
                      ClassifyCase{"QCStructurePort", "handxy", element(Kind::Position)},
                      ClassifyCase{"QCStructurePort", "xyRect", element(Kind::Position)},
                      ClassifyCase{"QCStructurePort", "cropRect", element(Kind::Rectangle)},
                      ClassifyCase{"QCStructurePort", "points", {Role::Skip}},
                      ClassifyCase{"QCVirtualPort", "anything", {Role::Skip}}));

TEST(PanelOrderTest, KeysSortWithoutRegardToCase) {
  EXPECT_EQ(QCAttributeLoader::sortedKeys({"beta", "Alpha", "gamma"}),
            QStringList({"Alpha", "beta", "gamma"}));
}

TEST(PanelMenusTest, IndexMenus) {
  const struct {
    QVariantMap description;
    QStringList items;
    int selected;
  } cases[] = {
      {{{"inputMax", 3}}, {"0", "1", "2", "3"}, 0},
      {{{"inputMax", 3}, {"defaultVal", 2}}, {"0", "1", "2", "3"}, 2},
      {{{"indexLabels", QVariantList{"a", "-", "b", 7}}}, {"a", "-", "b"}, 0},
      {{{"indexLabels", QVariantList{"a", "b"}}, {"defaultVal", 9}}, {"a", "b"}, 0},
      {{}, {"0"}, 0},
  };
  for (const auto& c : cases) {
    const QCPanelMenus::Menu menu = QCPanelMenus::indexMenu(c.description);
    EXPECT_EQ(menu.items, c.items);
    EXPECT_EQ(menu.selected, c.selected);
  }
  EXPECT_EQ(QCPanelMenus::kSeparator, QStringLiteral("-"));
}

TEST(PanelMenusTest, FontMenuSelectsTheDefaultThenTheSystemFont) {
  const QStringList fonts{"Arial", "Lucida Grande", "Times"};
  EXPECT_EQ(QCPanelMenus::fontMenu(fonts, {{"defaultVal", "Times"}}, "Arial").selected, 2);
  EXPECT_EQ(QCPanelMenus::fontMenu(fonts, {{"defaultVal", "None"}}, "Lucida Grande").selected, 1);
  EXPECT_EQ(QCPanelMenus::fontMenu(fonts, {}, "Missing").selected, 0);
}

class FixedClock : public MasterClockInterface {
 public:
  void midiClockReceived(const QKMIDIMessage&) override {}
  float measurePosition() const override { return position.load(); }
  int beatsPerMeasure() const override { return beats.load(); }
  float measureDuration() const override { return duration.load(); }
  std::atomic<float> position{0.25f};
  std::atomic<int> beats{4};
  std::atomic<float> duration{2.0f};
};

// A loaded panel over a composition written for the test, with a renderer
// that lists `rendererInputs`.
class LoaderTest : public ::testing::Test {
 protected:
  void load(const std::vector<Input>& inputs) {
    const QString path = ParamsFixtures::writeComposition(TestEnvironment::makeTempDir(),
                                                          QStringLiteral("panel.qtz"), inputs);
    composition = QKQCComposition::compositionWithFile(path);
    ASSERT_TRUE(composition);
    loader.resize(300, 10);
    loader.loadAttributesForComposition(composition);
  }
  QStringList elementKeys() const {
    QStringList keys;
    for (const auto& element : loader.elementArray()) keys << element->key();
    return keys;
  }
  std::shared_ptr<RecordingRenderer> renderer(RecordingRenderer::Ports inputs) {
    return std::make_shared<RecordingRenderer>(std::move(inputs));
  }

  QCAttributeLoader loader;
  std::shared_ptr<QKQCComposition> composition;
};

TEST_F(LoaderTest, GeneratesElementsInKeyOrderAndRoutesClockInputs) {
  LogCapture log;
  load({{"gamma", "QCNumberPort"},
        {"beta", "QCBooleanPort"},
        {"Alpha", "QCNumberPort"},
        {"myLogSliderGain", "QCNumberPort"},
        {"ZAPHBPM", "QCNumberPort"},
        {"MeasurePositionX", "QCNumberPort"},
        {"tint", "QCColorPort"},
        {"noClass", ""}});
  EXPECT_EQ(elementKeys(), QStringList({"Alpha", "beta", "gamma", "myLogSliderGain", "tint"}));
  EXPECT_TRUE(dynamic_cast<QKLogSliderControl*>(loader.elementArray()[3]->view()));
  EXPECT_FALSE(dynamic_cast<QKLogSliderControl*>(loader.elementArray()[2]->view()));
  EXPECT_EQ(loader.bpmInputsArray(), QStringList({"ZAPHBPM"}));
  EXPECT_EQ(loader.measurePositionInputsArray(), QStringList({"MeasurePositionX"}));
  EXPECT_TRUE(log.lines().filter("tint").isEmpty()) << log.lines().join('\n').toStdString();
}

TEST_F(LoaderTest, StacksRowsFromTheTopWithFourPixelGaps) {
  load({{"a", "QCNumberPort"}, {"b", "QCBooleanPort"}, {"c", "QCNumberPort"}});
  const auto& elements = loader.elementArray();
  ASSERT_EQ(elements.size(), 3u);
  EXPECT_EQ(elements[0]->view()->geometry(), QRect(0, 0, 300, 20));
  EXPECT_EQ(elements[1]->view()->geometry(), QRect(0, 24, 300, 30));
  EXPECT_EQ(elements[2]->view()->geometry(), QRect(0, 58, 300, 20));
  EXPECT_EQ(loader.height(), 20 + 4 + 30 + 4 + 20);
}

TEST_F(LoaderTest, TakesItsWidthFromTheParentScrollView) {
  load({{"a", "QCNumberPort"}});
  QScrollArea scroll;
  scroll.resize(220, 200);
  scroll.setWidget(&loader);
  scroll.show();
  loader.setParentScrollView(&scroll);
  EXPECT_EQ(loader.width(), scroll.viewport()->width());
  EXPECT_EQ(loader.elementArray()[0]->view()->width(), scroll.viewport()->width());
  scroll.takeWidget();
}

TEST_F(LoaderTest, StartingValuesComeFromTheDescription) {
  load({{"gain", "QCNumberPort", {{"inputMin", 10}, {"inputMax", 20}}, 15},
        {"on", "QCBooleanPort", {}, 1}});
  auto* slider = dynamic_cast<QKSliderControl*>(loader.findElementWithKey("gain")->view());
  auto* button = dynamic_cast<QKButton*>(loader.findElementWithKey("on")->view());
  ASSERT_TRUE(slider && button);
  EXPECT_FLOAT_EQ(slider->rangedValue(), 15.0f);
  EXPECT_EQ(slider->sliderName(), QStringLiteral("gain"));
  EXPECT_EQ(button->intValue(), 1);
  EXPECT_EQ(button->title(), QStringLiteral("on"));
  EXPECT_EQ(button->buttonType(), 1);
}

TEST_F(LoaderTest, ThreeMovesBetweenFramesDeliverTheLastValueOnce) {
  load({{"gain", "QCNumberPort", {{"inputMin", 0}, {"inputMax", 10}}}, {"on", "QCBooleanPort"}});
  auto r = renderer({{"gain", PortType::Number}, {"on", PortType::Boolean}});
  loader.dumpToRenderer(r);
  r->clearSets();
  auto* slider = dynamic_cast<QKSliderControl*>(loader.findElementWithKey("gain")->view());
  for (float v : {2.0f, 5.0f, 7.0f}) slider->setValueWithRangedValue(v, true);
  dynamic_cast<QKButton*>(loader.findElementWithKey("on")->view())->setIntValue(1, true);
  loader.dumpToRenderer(r);
  const QVariantList gains = r->setsOf("gain");
  ASSERT_EQ(gains.size(), 1);
  EXPECT_NEAR(gains[0].toDouble(), 7.0, 1e-4);
  EXPECT_EQ(r->setsOf("on"), QVariantList({true}));
  r->clearSets();
  loader.dumpToRenderer(r);
  EXPECT_TRUE(r->sets().empty());
}

TEST_F(LoaderTest, ARendererWithoutTheKeyReceivesNothingForIt) {
  load({{"gain", "QCNumberPort"}});
  auto r = renderer({{"other", PortType::Number}});
  loader.uiElementUsed(loader.findElementWithKey("gain"));
  loader.dumpToRenderer(r);
  EXPECT_TRUE(r->sets().empty());
}

TEST_F(LoaderTest, EachNewRendererIsAskedWhetherItListsTheKey) {
  load({{"gain", "QCNumberPort"}});
  const auto gain = loader.findElementWithKey("gain");
  const auto listing = renderer({{"gain", PortType::Number}});
  const auto other = renderer({{"other", PortType::Number}});
  const auto again = renderer({{"gain", PortType::Number}});
  for (const auto& r : {listing, other, again, other}) {
    loader.uiElementUsed(gain);
    loader.dumpToRenderer(r);
  }
  EXPECT_EQ(listing->setsOf("gain").size(), 1);
  EXPECT_EQ(again->setsOf("gain").size(), 1);
  EXPECT_TRUE(other->sets().empty());
}

TEST_F(LoaderTest, TempoAndMeasurePositionReachOnlyListedKeys) {
  FixedClock clock;
  loader.setMasterClock(&clock);
  load({{"ZAPHBPM", "QCNumberPort"},
        {"ZAPHBPMmissing", "QCNumberPort"},
        {"MeasurePosition", "QCNumberPort"},
        {"measure_position_missing", "QCNumberPort"}});
  auto r = renderer({{"ZAPHBPM", PortType::Number}, {"MeasurePosition", PortType::Number}});
  loader.dumpToRenderer(r);
  EXPECT_EQ(r->setsOf("ZAPHBPM"), QVariantList({120.0}));
  EXPECT_EQ(r->setsOf("MeasurePosition"), QVariantList({0.25}));
  EXPECT_TRUE(r->setsOf("ZAPHBPMmissing").isEmpty());
  EXPECT_TRUE(r->setsOf("measure_position_missing").isEmpty());

  // The tempo goes again only when the clock says it changed; the position
  // goes every frame.
  r->clearSets();
  clock.position = 0.5f;
  loader.dumpToRenderer(r);
  EXPECT_TRUE(r->setsOf("ZAPHBPM").isEmpty());
  EXPECT_EQ(r->setsOf("MeasurePosition"), QVariantList({0.5}));
  clock.duration = 1.0f;
  loader.masterClockChangedNotification();
  loader.dumpToRenderer(r);
  EXPECT_EQ(r->setsOf("ZAPHBPM"), QVariantList({240.0}));

  // A measure of 0 s has no tempo: the inputs keep the last one.
  r->clearSets();
  clock.duration = 0.0f;
  loader.masterClockChangedNotification();
  loader.dumpToRenderer(r);
  EXPECT_TRUE(r->setsOf("ZAPHBPM").isEmpty());
  EXPECT_FALSE(QCAttributeLoader::tempoOf(clock).has_value());
  loader.setMasterClock(nullptr);
}

TEST_F(LoaderTest, ANewRendererGetsTheTempoAtOnce) {
  FixedClock clock;
  loader.setMasterClock(&clock);
  load({{"ZAPHBPM", "QCNumberPort"}});
  auto first = renderer({{"ZAPHBPM", PortType::Number}});
  auto second = renderer({{"ZAPHBPM", PortType::Number}});
  loader.dumpToRenderer(first);
  loader.dumpToRenderer(second);
  EXPECT_EQ(second->setsOf("ZAPHBPM"), QVariantList({120.0}));
  loader.setMasterClock(nullptr);
}

TEST_F(LoaderTest, SnapshotRoundTripAndMatching) {
  load({{"gain", "QCNumberPort", {{"inputMax", 10}}}, {"on", "QCBooleanPort"}});
  auto* slider = dynamic_cast<QKSliderControl*>(loader.findElementWithKey("gain")->view());
  auto* button = dynamic_cast<QKButton*>(loader.findElementWithKey("on")->view());
  slider->setValueWithRangedValue(4.0f, false);
  button->setIntValue(1, false);
  const QVariantMap saved = loader.createSnapshot();
  ASSERT_TRUE(saved.value("attributeDicts").toMap().contains("gain"));

  slider->setValueWithRangedValue(9.0f, false);
  button->setIntValue(0, false);
  loader.loadSnapshot(saved);
  EXPECT_NEAR(slider->rangedValue(), 4.0f, 1e-4);
  EXPECT_EQ(button->intValue(), 1);
  EXPECT_EQ(loader.currentSnapshotDict(), loader.createSnapshot());

  // Older snapshots: a slider found by "sliderName", a button by "title",
  // whatever the entries are called.
  QVariantMap sliderSnap = saved.value("attributeDicts").toMap().value("gain").toMap();
  QVariantMap buttonSnap = saved.value("attributeDicts").toMap().value("on").toMap();
  sliderSnap.remove("key");
  buttonSnap.remove("key");
  slider->setValueWithRangedValue(9.0f, false);
  button->setIntValue(0, false);
  loader.loadSnapshot({{"attributeDicts", QVariantMap{{"x", sliderSnap}, {"y", buttonSnap}}}});
  EXPECT_NEAR(slider->rangedValue(), 4.0f, 1e-4);
  EXPECT_EQ(button->intValue(), 1);

  // A snapshot whose "key" names no element loads nowhere.
  QVariantMap stray = sliderSnap;
  stray.insert("key", "elsewhere");
  slider->setValueWithRangedValue(9.0f, false);
  loader.loadSnapshot({{"attributeDicts", QVariantMap{{"gain", stray}}}});
  EXPECT_NEAR(slider->rangedValue(), 9.0f, 1e-4);

  // The deprecated form goes by the entries' names alone.
  loader.deprecatedLoadSnapshot(saved);
  EXPECT_NEAR(slider->rangedValue(), 4.0f, 1e-4);
}

TEST(LoaderEmptyTest, AnEmptyPanelHasNoSnapshot) {
  QCAttributeLoader loader;
  EXPECT_TRUE(loader.createSnapshot().isEmpty());
  EXPECT_FALSE(loader.hasAttributes());
  loader.loadSnapshot({{"attributeDicts", QVariantMap{{"a", QVariantMap{{"key", "a"}}}}}});
}

TEST_F(LoaderTest, LiveSnapshotFollowsChangesMadeOnOtherThreadsOnTheMainThread) {
  load({{"gain", "QCNumberPort", {{"inputMax", 10}}}});
  auto r = renderer({{"gain", PortType::Number}});
  auto* slider = dynamic_cast<QKSliderControl*>(loader.findElementWithKey("gain")->view());
  slider->setValueWithRangedValue(6.0f, true);
  loader.setLiveUpdating(true);
  const QVariantMap before = loader.currentSnapshotDict();
  // Delivered on another thread: the live snapshot is refreshed later, on
  // the main thread, once.
  std::thread render([&] { loader.dumpToRenderer(r); });
  render.join();
  EXPECT_EQ(loader.currentSnapshotDict(), before);
  EXPECT_TRUE(MainThread::processUntil(
      [&] { return loader.currentSnapshotDict() == loader.createSnapshot(); }, 2.0));
  EXPECT_NE(loader.currentSnapshotDict(), before);
}

TEST_F(LoaderTest, NothingIsQueuedOnceRemovedOrDeleted) {
  load({{"gain", "QCNumberPort"}});
  auto kept = loader.findElementWithKey("gain");
  loader.removeAllExistingElements();
  loader.uiElementUsed(kept);
  EXPECT_EQ(loader.handOff().pendingCount(), 0);
  loader.prepareToBeDeleted();
  LogCapture log;
  Log::resetLimits();
  loader.dumpToRenderer(renderer({}));
  EXPECT_TRUE(log.contains("dumpToRenderer after deleted"));
}

// --- The hand-off alone ---------------------------------------------------------

struct Delivered {
  std::vector<std::pair<QString, double>> values;
  QCElementHandOff::Deliver function() {
    return [this](const std::shared_ptr<QCPanelElement>& element) {
      values.emplace_back(element->key(), static_cast<FakeElement&>(*element).number.load());
    };
  }
};

TEST(HandOffTest, ABusyASendsToBAndBothBusyDeliverNothingAndLoseNothing) {
  QCElementHandOff handOff;
  auto a = std::make_shared<FakeElement>("a");
  auto b = std::make_shared<FakeElement>("b");
  Delivered delivered;

  handOff.lockA().lock();  // the render thread holds A
  std::thread sender([&] { handOff.queue(a); });
  sender.join();  // went to B without waiting
  handOff.lockA().unlock();
  EXPECT_EQ(handOff.deliver(delivered.function()), 1);

  handOff.queue(b);
  handOff.lockA().lock();
  handOff.lockB().lock();
  std::thread render([&] { EXPECT_EQ(handOff.deliver(delivered.function()), 0); });
  render.join();
  handOff.lockB().unlock();
  handOff.lockA().unlock();
  EXPECT_EQ(handOff.pendingCount(), 1);
  b->number = 3;
  EXPECT_EQ(handOff.deliver(delivered.function()), 1);
  ASSERT_EQ(delivered.values.size(), 2u);
  EXPECT_EQ(delivered.values[0].first, "a");
  EXPECT_EQ(delivered.values[1], std::make_pair(QString("b"), 3.0));
}

TEST(HandOffTest, AnElementWaitsOnceAndIsQueuedAgainAfterDeliveryOrClear) {
  QCElementHandOff handOff;
  auto a = std::make_shared<FakeElement>("a");
  Delivered delivered;
  for (int i = 0; i < 3; ++i) handOff.queue(a);
  EXPECT_EQ(handOff.pendingCount(), 1);
  EXPECT_EQ(handOff.deliver(delivered.function()), 1);
  handOff.queue(a);
  EXPECT_EQ(handOff.pendingCount(), 1);
  handOff.clear();
  EXPECT_EQ(handOff.pendingCount(), 0);
  a->number = 5;
  handOff.queue(a);
  EXPECT_EQ(handOff.deliver(delivered.function()), 1);
  ASSERT_EQ(delivered.values.size(), 2u);
  EXPECT_EQ(delivered.values[1], std::make_pair(QString("a"), 5.0));
}

TEST(HandOffTest, AnElementWhosePanelLetGoIsReleasedOnTheMainThread) {
  QCElementHandOff handOff;
  auto element = std::make_shared<FakeElement>("a");
  std::weak_ptr<FakeElement> weak = element;
  handOff.queue(element);
  element.reset();
  std::thread render([&] { handOff.deliver([](const auto&) {}); });
  render.join();
  EXPECT_FALSE(weak.expired());  // still held, by work queued for the main thread
  EXPECT_TRUE(MainThread::processUntil([&] { return weak.expired(); }, 2.0));
}

// Senders on a MIDI-like thread and the main thread, a simulated render
// thread delivering: each key's last value arrives, nothing is lost, and
// the render thread never waits (run under ThreadSanitizer too).
TEST(HandOffTest, SendersOnTwoThreadsAndARenderThread) {
  QCAttributeLoader loader;
  auto composition = QKQCComposition::compositionWithFile(
      ParamsFixtures::writeComposition(TestEnvironment::makeTempDir(), "c.qtz",
                                       {{"midi", "QCNumberPort"}, {"main", "QCNumberPort"}}));
  loader.loadAttributesForComposition(composition);
  auto midiElement = std::make_shared<FakeElement>("midi");
  auto mainElement = std::make_shared<FakeElement>("main");
  auto r = std::make_shared<RecordingRenderer>(
      RecordingRenderer::Ports{{"midi", PortType::Number}, {"main", PortType::Number}});
  constexpr int kMoves = 2000;
  std::atomic<bool> sending{true};
  std::thread render([&] {
    while (sending.load()) loader.dumpToRenderer(r);
    loader.dumpToRenderer(r);
  });
  std::thread midi([&] {
    for (int i = 1; i <= kMoves; ++i) {
      midiElement->number = i;
      loader.uiElementUsed(midiElement);
    }
  });
  for (int i = 1; i <= kMoves; ++i) {
    mainElement->number = i;
    loader.uiElementUsed(mainElement);
  }
  midi.join();
  sending = false;
  render.join();
  loader.dumpToRenderer(r);
  const QVariantList midiValues = r->setsOf("midi");
  const QVariantList mainValues = r->setsOf("main");
  ASSERT_FALSE(midiValues.isEmpty());
  ASSERT_FALSE(mainValues.isEmpty());
  EXPECT_EQ(midiValues.last().toDouble(), kMoves);
  EXPECT_EQ(mainValues.last().toDouble(), kMoves);
  EXPECT_EQ(loader.handOff().pendingCount(), 0);
}

}  // namespace
