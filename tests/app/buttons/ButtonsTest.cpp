#include "app/plugins/buttons/ButtonButton.h"
#include "app/plugins/buttons/ButtonGridLayout.h"
#include "app/plugins/buttons/ButtonListController.h"
#include "app/plugins/buttons/Buttons.h"
#include "framework/datasource/DSFloatInfrequent.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/foundation/MainThread.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

#include <QTest>

namespace {

class ButtonsTest : public PluginHost {
 protected:
  ButtonsTest() { pads = make<Buttons>(); }

  QStringList titles() const {
    QStringList list;
    for (const ButtonButton* button : pads->buttonArray()) list << button->title();
    return list;
  }
  ButtonButton* button(int row) const { return pads->buttonArray().at(row); }
  std::shared_ptr<DataSource> source(const KeyPath& tail) const {
    return dsc.dataSourceForKeyArray(KeyPath{pads->windowTitle()} + tail);
  }
  std::shared_ptr<ValueRecorder> record(const KeyPath& tail) {
    auto recorder = std::make_shared<ValueRecorder>();
    EXPECT_TRUE(dsc.subscribeObject(recorder, &ValueRecorder::updated,
                                    KeyPath{pads->windowTitle()} + tail));
    return recorder;
  }
  bool edit(int row, ButtonListController::Column column, const QVariant& value) {
    ButtonListController* list = pads->listController();
    return list->setData(list->index(row, column), value, Qt::EditRole);
  }
  // Makes the button of the row a grouped toggle.
  void groupToggle(int row, int group) {
    ASSERT_TRUE(edit(row, ButtonListController::Toggle, 1));
    ASSERT_TRUE(edit(row, ButtonListController::Mutex, 1));
    ASSERT_TRUE(edit(row, ButtonListController::Group, group));
  }
  void press(int row, int value) {
    button(row)->setIntValue(value, false);
    pads->toggleButtonTriggered(*button(row)->cell());
  }

  Buttons* pads = nullptr;
};

TEST_F(ButtonsTest, ANewPluginHasTwoHiddenMomentariesInTwoColumns) {
  ASSERT_NE(pads, nullptr);
  EXPECT_EQ(titles(), (QStringList{"1", "2"}));
  EXPECT_EQ(pads->columns(), 2);
  EXPECT_EQ(button(0)->buttonType(), 0);
  EXPECT_EQ(button(0)->geometry().y(), button(1)->geometry().y());
  EXPECT_EQ(source({})->sourceType(), DSType::UntickedHolder);
  EXPECT_EQ(source({"hidden"})->sourceType(), DSType::InputHolder);
  ASSERT_NE(source({"hidden", "1"}), nullptr);
  EXPECT_EQ(source({"hidden", "1"})->sourceType(), DSType::Plain);

  pads->deleteButtons({0});
  EXPECT_EQ(source({"hidden", "1"}), nullptr);
  pads->createButton();
  EXPECT_EQ(titles(), (QStringList{"2", "1"}));
}

TEST_F(ButtonsTest, AClickOnAMomentarySendsOneBangAndTheSourceRestsAtZero) {
  const auto recorder = record({"hidden", "1"});
  pads->window()->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(pads->window()));
  QTest::mouseClick(button(0), Qt::LeftButton, {}, button(0)->rect().center());
  ASSERT_TRUE(MainThread::processUntil([&] { return !recorder->values.empty(); }, 2.0));
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_EQ(recorder->values, std::vector<float>{1.0f});
  EXPECT_EQ(source({"hidden", "1"})->value(), 0.0f);
  EXPECT_FALSE(
      saveScreenshot(pads->window()->grab().toImage(), QStringLiteral("buttons-plugin")).isEmpty());
  pads->showOptionsPanel();
  EXPECT_TRUE(pads->optionsPanel()->isVisible());
  EXPECT_FALSE(saveScreenshot(pads->optionsPanel()->grab().toImage(),
                              QStringLiteral("buttons-plugin-options"))
                   .isEmpty());
}

TEST_F(ButtonsTest, GroupedTogglesExcludeEachOtherBothWays) {
  pads->createButton();
  groupToggle(0, 4);
  groupToggle(1, 4);
  groupToggle(2, -1);
  const auto second = record({"2"});
  press(0, 1);
  EXPECT_EQ(source({"1"})->value(), 1.0f);
  EXPECT_EQ(button(1)->intValue(), 0);
  EXPECT_EQ(source({"2"})->value(), 0.0f);
  press(0, 0);
  EXPECT_EQ(button(1)->intValue(), 1);
  EXPECT_EQ(source({"2"})->value(), 1.0f);
  EXPECT_EQ(second->values.back(), 1.0f);
  // Group -1 stands alone, and nobody reaches it.
  press(2, 1);
  EXPECT_EQ(button(1)->intValue(), 1);
  press(0, 1);
  EXPECT_EQ(button(2)->intValue(), 1);
}

TEST_F(ButtonsTest, KindChangesMoveTheSourceAndSetItsType) {
  const auto recorder = record({"hidden", "1"});
  ASSERT_TRUE(edit(0, ButtonListController::Toggle, 1));
  EXPECT_EQ(source({"hidden", "1"}), nullptr);
  ASSERT_NE(source({"1"}), nullptr);
  EXPECT_EQ(source({"1"})->sourceType(), DSType::ButtonFloat);
  EXPECT_EQ(recorder->path, (KeyPath{pads->windowTitle(), "1"}));
  EXPECT_FALSE(edit(0, ButtonListController::Toggle, 1));  // unchanged
  ASSERT_TRUE(edit(0, ButtonListController::Toggle, 0));
  EXPECT_EQ(source({"hidden", "1"})->sourceType(), DSType::Plain);
  EXPECT_FALSE(recorder->deleted);

  // The exclusion column makes a toggle of a momentary just as well.
  ASSERT_TRUE(edit(1, ButtonListController::Mutex, 1));
  EXPECT_EQ(button(1)->buttonType(), 1);
  ASSERT_NE(source({"2"}), nullptr);
  EXPECT_EQ(source({"2"})->sourceType(), DSType::ButtonFloat);
  EXPECT_TRUE(edit(0, ButtonListController::Group, 3));
  EXPECT_EQ(button(0)->mutexGroup(), 3);
  EXPECT_FALSE(edit(9, ButtonListController::Group, 3));
}

TEST_F(ButtonsTest, RenamingAButtonOrThePluginMovesTheSources) {
  ASSERT_TRUE(edit(1, ButtonListController::Toggle, 1));
  EXPECT_FALSE(edit(0, ButtonListController::Name, QStringLiteral("2")));
  EXPECT_FALSE(edit(0, ButtonListController::Name, QString()));
  EXPECT_FALSE(edit(0, ButtonListController::Name, QStringLiteral("a/b")));
  ASSERT_TRUE(edit(0, ButtonListController::Name, QStringLiteral("kick")));
  EXPECT_NE(source({"hidden", "kick"}), nullptr);
  const auto toggle = record({"2"});
  const auto momentary = record({"hidden", "kick"});
  ASSERT_TRUE(manager->renamePlugin(pads, QStringLiteral("Pads")));
  EXPECT_EQ(toggle->path, (KeyPath{"Pads", "2"}));
  EXPECT_EQ(momentary->path, (KeyPath{"Pads", "hidden", "kick"}));
  // Its own sources stay out of reach under the new name too.
  EXPECT_FALSE(button(0)->useThisSource({"Pads", "2"}));
}

TEST_F(ButtonsTest, AButtonFollowsNoSourceOfItsOwnPlugin) {
  const QString own = pads->windowTitle();
  EXPECT_FALSE(button(0)->useThisSource({own, "hidden", "2"}));
  EXPECT_FALSE(button(0)->useThisSource({own}));
  EXPECT_TRUE(button(0)->useThisSource({"MIDI", "note [60] ch. 1"}));
  // Learning from its neighbour's bang is refused too, and it keeps
  // listening.
  button(0)->cell()->startButtonDetect();
  pads->momentaryButtonTriggered(*button(1)->cell());
  EXPECT_EQ(button(0)->syncArray(), (KeyPath{"MIDI", "note [60] ch. 1"}));
  EXPECT_TRUE(button(0)->cell()->detectingButton());
  button(0)->cell()->stopAllDetect();
}

struct GridCase {
  const char* label;
  int count, columns;
  QSizeF document;
  std::vector<QPointF> origins;
};
void PrintTo(const GridCase& c, std::ostream* os) { *os << c.label; }

class ButtonGridTest : public testing::TestWithParam<GridCase> {};

TEST_P(ButtonGridTest, RowsFromTheTopLeftToRight) {
  const GridCase& c = GetParam();
  const QSizeF document = ButtonGridLayout::documentSize(c.count, c.columns, 25, 3, {200, 120});
  EXPECT_EQ(document, c.document);
  for (int i = 0; i < c.count; ++i)
    EXPECT_EQ(ButtonGridLayout::frameAt(i, c.columns, 25, 3, document).topLeft(), c.origins[i])
        << i;
}

INSTANTIATE_TEST_SUITE_P(
    Grids, ButtonGridTest,
    testing::Values(
        GridCase{"ThreeInTwo", 3, 2, {200, 53}, {{0, 28}, {101.5, 28}, {0, 0}}},
        GridCase{"TwoInOne", 2, 1, {200, 53}, {{0, 28}, {0, 0}}},
        GridCase{"None", 0, 2, {200, 0}, {}},
        GridCase{"FourInFour", 4, 4, {200, 25}, {{0, 0}, {50.75, 0}, {101.5, 0}, {152.25, 0}}}),
    [](const testing::TestParamInfo<GridCase>& info) { return std::string(info.param.label); });

TEST_F(ButtonsTest, ColumnsStayWithinOneToTwelve) {
  for (int refused : {0, 13, -1}) pads->columnsSliderUsed(refused);
  EXPECT_EQ(pads->columns(), 2);
  pads->columnsSliderUsed(1);
  EXPECT_EQ(pads->columns(), 1);
  EXPECT_GT(button(1)->geometry().y(), button(0)->geometry().y());
}

TEST_F(ButtonsTest, ASnapshotRestoresKindsGroupsNamesAndGrid) {
  groupToggle(1, 2);
  ASSERT_TRUE(edit(0, ButtonListController::Name, QStringLiteral("kick")));
  press(1, 1);
  pads->columnsSliderUsed(3);
  pads->buttonHeightSliderUsed(40);
  const QVariantMap snapshot = pads->createSnapshot();

  Buttons* other = make<Buttons>();
  other->loadSnapshot(snapshot);
  ASSERT_EQ(other->buttonArray().size(), 2);
  ButtonButton* restored = other->buttonArray().at(1);
  EXPECT_EQ(other->buttonArray().at(0)->title(), QStringLiteral("kick"));
  EXPECT_EQ(restored->buttonType(), 1);
  EXPECT_TRUE(restored->mutexFlag());
  EXPECT_EQ(restored->mutexGroup(), 2);
  EXPECT_EQ(restored->intValue(), 1);
  EXPECT_EQ(dsc.dataSourceForKeyArray({other->windowTitle(), "2"})->value(), 1.0f);
  EXPECT_EQ(other->columns(), 3);
  EXPECT_EQ(other->buttonHeight(), 40);
}

TEST_F(ButtonsTest, ABadSnapshotKeepsWhatItCannotRead) {
  pads->loadSnapshot({{"columns", 3}});
  EXPECT_TRUE(pads->buttonArray().isEmpty());  // no "buttonArray": no buttons
  EXPECT_EQ(pads->columns(), 2);

  LogCapture log;
  pads->loadSnapshot(
      {{"buttonArray", QVariantList{QStringLiteral("junk"), QVariantMap{{"title", "a"}}}},
       {"columns", 0},
       {"buttonHeight", 0}});
  EXPECT_EQ(titles(), QStringList{"a"});
  EXPECT_EQ(pads->columns(), 2);
  EXPECT_EQ(pads->buttonHeight(), Buttons::kDefaultButtonHeight);
  pads->loadSnapshot({{"buttonArray", QVariantList{}}, {"columns", 13}});
  EXPECT_EQ(pads->columns(), 2);
  EXPECT_EQ(log.lines().filter(QStringLiteral("kept its")).size(), 3);
  EXPECT_EQ(log.lines().filter(QStringLiteral("not a dictionary")).size(), 1);
}

}  // namespace
