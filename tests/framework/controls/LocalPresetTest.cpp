// The local preset strip: its size and layout, recall and store by click,
// Ctrl-click, the "W" mode and a source, and its snapshot.
#include "framework/controls/LocalPresetOwner.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKLocalPresetButton.h"
#include "framework/controls/QKLocalPresetView.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/controls/ButtonFixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/Screenshot.h"

#include <QTest>

#include <memory>
#include <thread>

namespace {

// An owner whose state is one number.
class Owner : public LocalPresetOwner {
 public:
  QVariantMap createLocalSnapshot() override {
    ++stores;
    return {{"state", state}};
  }
  void loadLocalSnapshot(const QVariantMap& snapshot) override {
    state = snapshot.value("state").toInt();
    ++loads;
  }
  int state = 0;
  int loads = 0;
  int stores = 0;
};

void settle() {
  MainThread::processUntil([] { return false; }, 0.05);
}

class PresetStrip : public ButtonFixture {
 protected:
  PresetStrip() { strip = make(4); }

  std::unique_ptr<QKLocalPresetView> make(int presets) {
    auto view = std::make_unique<QKLocalPresetView>();
    view->resize(200, 20);
    view->setTarget(&owner);
    view->setCapacityTo(presets);
    view->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    return view;
  }

  QKLocalPresetButton* preset(int index) {
    return strip->itemArray().at(static_cast<size_t>(index));
  }
  // Clicks a preset and lets its queued action run.
  void click(int index, Qt::KeyboardModifiers keys = {}) {
    QTest::mouseClick(preset(index), Qt::LeftButton, keys, preset(index)->rect().center());
    settle();
  }
  std::vector<int> lit() {
    std::vector<int> values;
    for (const auto& button : strip->itemArray()) values.push_back(button->intValue());
    return values;
  }

  Owner owner;
  std::unique_ptr<QKLocalPresetView> strip;
};

QStringList titles(const QKLocalPresetView& strip) {
  QStringList all;
  for (const auto& button : strip.itemArray()) all << button->title();
  return all;
}

}  // namespace

TEST_F(PresetStrip, CapacityIsClampedToSixteenAndAStripWithoutPresetsSaysSo) {
  strip->setCapacityTo(20);
  EXPECT_EQ(titles(*strip).size(), 16);
  EXPECT_EQ(titles(*strip).last(), QStringLiteral("16"));
  strip->setCapacityTo(4);
  EXPECT_EQ(titles(*strip), (QStringList{"1", "2", "3", "4"}));
  strip->setCapacityTo(-3);
  EXPECT_TRUE(strip->itemArray().empty());
  settle();
  saveScreenshot(strip->grab().toImage(), "preset-strip-empty");
  // The text is drawn in the label colour over the background.
  const QImage image = strip->grab().toImage();
  bool text = false;
  for (int x = 14; x < 120 && !text; ++x)
    for (int y = 0; y < 20 && !text; ++y) text = image.pixelColor(x, y) != image.pixelColor(199, 0);
  EXPECT_TRUE(text) << "\"No Local Presets\" is shown";
}

TEST_F(PresetStrip, LaysFourPresetsOutRightOfTheToggleIn200Points) {
  EXPECT_EQ(strip->readWriteButton()->geometry(), QRect(0, 0, 12, 20));
  for (int index = 0; index < 4; ++index)
    EXPECT_EQ(preset(index)->geometry(), QRect(12 + 47 * index, 0, 47, 20)) << index;
  saveScreenshot(strip->grab().toImage(), "preset-strip");
}

TEST_F(PresetStrip, RecallKeepsTheLitPresetForAnEmptyOneAndCtrlClickStores) {
  owner.state = 7;
  click(1, Qt::ControlModifier);
  EXPECT_EQ(preset(1)->storedSnapshot(), (QVariantMap{{"state", 7}}));
  EXPECT_EQ(strip->indexOfCurrentPreset(), 1);
  EXPECT_EQ(lit(), (std::vector<int>{0, 1, 0, 0}));
  const QImage image = preset(1)->grab().toImage();
  EXPECT_EQ(image.pixelColor(20, 0), QColor(Qt::red)) << "a stored preset shows the red bar";
  EXPECT_NE(preset(2)->grab().toImage().pixelColor(20, 0), QColor(Qt::red));

  click(3);  // empty: recalls nothing
  EXPECT_EQ(owner.loads, 0);
  EXPECT_EQ(lit(), (std::vector<int>{0, 1, 0, 0}));

  owner.state = 0;
  click(1);
  EXPECT_EQ(owner.loads, 1);
  EXPECT_EQ(owner.state, 7);
  EXPECT_EQ(lit(), (std::vector<int>{0, 1, 0, 0})) << "the lit preset pressed again stays lit";
}

TEST_F(PresetStrip, InWriteModeEveryPressStores) {
  QTest::mouseClick(strip->readWriteButton(), Qt::LeftButton);
  ASSERT_EQ(strip->readWriteButton()->intValue(), 1);
  for (int index : {0, 2}) {
    owner.state = 10 + index;
    click(index);
    EXPECT_EQ(preset(index)->storedSnapshot(), (QVariantMap{{"state", 10 + index}}));
  }
  EXPECT_EQ(owner.loads, 0);
  EXPECT_EQ(lit(), (std::vector<int>{0, 0, 1, 0}));
}

TEST_F(PresetStrip, ASourceTriggerRecallsOnTheMainThread) {
  preset(2)->setStoredSnapshot(QVariantMap{{"state", 42}});
  const KeyPath path{"MIDI", "note [60] ch. 1"};
  preset(2)->useThisSource(path);
  preset(2)->setSyncFlag(true);
  auto source = std::dynamic_pointer_cast<DSFloatInfrequent>(dsc.dataSourceForKeyArray(path));
  ASSERT_TRUE(source);
  std::thread worker([&] { source->setValue(1.0f); });
  worker.join();
  EXPECT_EQ(owner.loads, 0);
  ASSERT_TRUE(MainThread::processUntil([&] { return owner.loads == 1; }, 2.0));
  EXPECT_EQ(owner.state, 42);
  EXPECT_EQ(lit(), (std::vector<int>{0, 0, 1, 0}));
  preset(2)->setSyncFlag(false);
}

TEST_F(PresetStrip, ASnapshotLoadedIntoAStripOfAnotherSizeRebuildsItsPresetsSilently) {
  preset(1)->setStoredSnapshot(QVariantMap{{"state", 5}});
  preset(3)->useThisSource({"MIDI", "note [2] ch. 1"});
  strip->buttonUsed(*preset(1)->cell());  // recall: lights preset 2
  const QVariantMap saved = strip->createSnapshot();
  ASSERT_EQ(saved.value("itemArray").toList().size(), 4);
  owner.loads = 0;

  auto other = make(7);
  const std::shared_ptr<QKButtonCell> stale = other->itemArray().at(6)->cell();
  other->loadSnapshot(saved);
  settle();
  ASSERT_EQ(other->itemArray().size(), 4u);
  EXPECT_EQ(other->itemArray().at(1)->storedSnapshot(), (QVariantMap{{"state", 5}}));
  EXPECT_FALSE(other->itemArray().at(0)->storedSnapshot());
  EXPECT_EQ(other->itemArray().at(3)->syncArray(), (KeyPath{"MIDI", "note [2] ch. 1"}));
  EXPECT_EQ(other->itemArray().at(1)->intValue(), 1);
  EXPECT_EQ(owner.loads + owner.stores, 0) << "no preset action was sent";

  // A preset removed by the load whose action arrives late stores nothing.
  other->setCapacityTo(4);
  owner.state = 99;
  other->buttonUsed(*stale);
  EXPECT_EQ(owner.loads + owner.stores, 0);
  EXPECT_EQ(other->indexOfCurrentPreset(), 0);
}

TEST_F(PresetStrip, ABrokenSnapshotKeepsOrSkipsWhatItCannotReadAndMakesAtMostSixteen) {
  LogCapture log;
  strip->loadSnapshot({{"itemArray", QStringLiteral("not a list")}});
  EXPECT_EQ(strip->itemArray().size(), 4u) << "the presets stay";
  strip->loadSnapshot({});
  EXPECT_TRUE(log.contains("itemArray was nil"));
  EXPECT_EQ(strip->itemArray().size(), 4u);

  QVariantList items{QVariantMap{}, 3, QStringLiteral("x")};
  for (int i = 0; i < 40; ++i) items.append(QVariantMap{{"storedSnapshot", QVariantMap{}}});
  strip->loadSnapshot({{"itemArray", items}});
  EXPECT_EQ(strip->itemArray().size(), 16u);
  EXPECT_TRUE(log.contains("not a dictionary"));
}
