#include "app/plugins/sliders/SliderBankLayout.h"
#include "app/plugins/sliders/SliderListController.h"
#include "app/plugins/sliders/Sliders.h"
#include "framework/controls/QKSliderControl.h"
#include "framework/datasource/DataSourceHolder.h"
#include "framework/toolkit/QKScrollView.h"
#include "framework/toolkit/BlackTranslucentPanel.h"
#include "framework/toolkit/QKWindow.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PluginHost.h"
#include "tests/support/Screenshot.h"

#include <QTest>

namespace {

class SlidersTest : public PluginHost {
 protected:
  SlidersTest() { bank = make<Sliders>(); }

  QStringList sliderNames() const {
    QStringList names;
    for (const QKSliderControl* slider : bank->sliderArray()) names << slider->sliderName();
    return names;
  }
  std::shared_ptr<ValueRecorder> record(const QString& slider) {
    auto recorder = std::make_shared<ValueRecorder>();
    EXPECT_TRUE(
        dsc.subscribeObject(recorder, &ValueRecorder::updated, {bank->windowTitle(), slider}));
    return recorder;
  }

  Sliders* bank = nullptr;
};

TEST_F(SlidersTest, ANewBankPublishesOneSliderUnderItsOwnRoot) {
  ASSERT_NE(bank, nullptr);
  EXPECT_EQ(bank->windowTitle(), QStringLiteral("Sliders 1"));
  EXPECT_EQ(sliderNames(), QStringList{"1"});
  const auto root = dsc.dataSourceForKeyArray({QStringLiteral("Sliders 1")});
  ASSERT_NE(root, nullptr);
  EXPECT_NE(root->asHolder(), nullptr);
  const auto source = dsc.dataSourceForKeyArray({QStringLiteral("Sliders 1"), QStringLiteral("1")});
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->sourceType(), DSType::FloatFreqNonRepeat);
}

TEST_F(SlidersTest, NewSlidersTakeTheLowestFreeName) {
  bank->createSlider();
  bank->createSlider();
  bank->deleteSliders({1});
  EXPECT_EQ(dsc.dataSourceForKeyArray({bank->windowTitle(), QStringLiteral("2")}), nullptr);
  bank->createSlider();
  EXPECT_EQ(sliderNames(), (QStringList{"1", "3", "2"}));
  bank->deleteSliders({0});
  bank->createSlider();
  EXPECT_EQ(sliderNames(), (QStringList{"3", "2", "1"}));
}

TEST_F(SlidersTest, TheTickPassesAValueOnOnlyWhenItChanged) {
  const auto recorder = record(QStringLiteral("1"));
  recorder->values.clear();  // the value a subscription starts with
  QKSliderControl* slider = bank->sliderArray().front();
  slider->setValue(0.5f, false);
  dsc.threadProc();
  dsc.threadProc();
  EXPECT_EQ(recorder->values, std::vector<float>{0.5f});
  slider->setValue(0.25f, false);
  dsc.threadProc();
  EXPECT_EQ(recorder->values, (std::vector<float>{0.5f, 0.25f}));
}

TEST_F(SlidersTest, ADeletedSliderIsPulledNoMore) {
  const auto recorder = record(QStringLiteral("1"));
  bank->deleteSliders({0});
  EXPECT_TRUE(recorder->deleted);
  dsc.threadProc();  // nothing left to pull; nothing breaks
  EXPECT_TRUE(bank->sliderArray().isEmpty());
}

struct RenameCase {
  const char* label;
  QString name;
  bool accepted;
};
void PrintTo(const RenameCase& c, std::ostream* os) { *os << c.label; }

class SliderRenameTest : public SlidersTest, public testing::WithParamInterface<RenameCase> {};

TEST_P(SliderRenameTest, MovesTheSourceOrChangesNothing) {
  bank->createSlider();
  const auto recorder = record(QStringLiteral("1"));
  const bool accepted = bank->listController()->setData(bank->listController()->index(0),
                                                        GetParam().name, Qt::EditRole);
  EXPECT_EQ(accepted, GetParam().accepted);
  const QString now = accepted ? GetParam().name : QStringLiteral("1");
  EXPECT_EQ(bank->sliderArray().front()->sliderName(), now);
  EXPECT_NE(dsc.dataSourceForKeyArray({bank->windowTitle(), now}), nullptr);
  if (accepted) {
    EXPECT_EQ(recorder->path, (KeyPath{bank->windowTitle(), now}));
  }
  EXPECT_FALSE(recorder->deleted);
}

INSTANTIATE_TEST_SUITE_P(Names, SliderRenameTest,
                         testing::Values(RenameCase{"Empty", QString(), false},
                                         RenameCase{"ItsOwn", QStringLiteral("1"), false},
                                         RenameCase{"AnotherSliders", QStringLiteral("2"), false},
                                         RenameCase{"Slash", QStringLiteral("a/b"), false},
                                         RenameCase{"New", QStringLiteral("lead"), true}),
                         [](const testing::TestParamInfo<RenameCase>& info) {
                           return std::string(info.param.label);
                         });

struct LayoutCase {
  const char* label;
  bool upright;
  QSizeF document;
  std::vector<double> positions;  // y lying, x upright
};
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.label; }

class SliderLayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(SliderLayoutTest, ThreeSlidersOfTwenty) {
  const LayoutCase& c = GetParam();
  const QSizeF document = SliderBankLayout::documentSize(3, 20, 3, QSizeF(200, 150), c.upright);
  EXPECT_EQ(document, c.document);
  for (int i = 0; i < 3; ++i) {
    const QRectF frame = SliderBankLayout::frameAt(i, 20, 3, document, c.upright);
    EXPECT_EQ(c.upright ? frame.x() : frame.y(), c.positions[i]) << i;
    EXPECT_EQ(c.upright ? frame.width() : frame.height(), 20);
  }
}

INSTANTIATE_TEST_SUITE_P(Orientations, SliderLayoutTest,
                         testing::Values(LayoutCase{"Lying", false, QSizeF(200, 69), {49, 26, 3}},
                                         LayoutCase{"Upright", true, QSizeF(69, 150), {49, 26, 3}}),
                         [](const testing::TestParamInfo<LayoutCase>& info) {
                           return std::string(info.param.label);
                         });

TEST_F(SlidersTest, TheBankLaysItsSlidersOutAndTheMixedStateStandsThemUp) {
  bank->createSlider();
  bank->createSlider();
  QWidget* document = bank->documentView();
  EXPECT_EQ(document->height(), 69);
  const QList<QKSliderControl*> sliders = bank->sliderArray();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(sliders[i]->geometry().y(), i * 23) << i;
  EXPECT_FALSE(sliders[0]->vertFlag());

  bank->vertButtonUsed(-1);
  EXPECT_TRUE(bank->vertical());
  EXPECT_EQ(document->width(), 69);
  EXPECT_EQ(sliders[0]->geometry().x(), 49);
  EXPECT_EQ(sliders[0]->height(), document->height());
  EXPECT_EQ(bank->scrollView()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  bank->vertButtonUsed(0);
  EXPECT_FALSE(bank->vertical());

  bank->window()->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(bank->window()));
  sliders[1]->setValue(0.7f, false);
  EXPECT_FALSE(
      saveScreenshot(bank->window()->grab().toImage(), QStringLiteral("sliders-plugin")).isEmpty());
  bank->showOptionsPanel();
  EXPECT_TRUE(bank->optionsPanel()->isVisible());
  EXPECT_FALSE(saveScreenshot(bank->optionsPanel()->grab().toImage(),
                              QStringLiteral("sliders-plugin-options"))
                   .isEmpty());
}

TEST_F(SlidersTest, ASnapshotRestoresNamesValuesThicknessAndOrientation) {
  bank->createSlider();
  ASSERT_TRUE(bank->renameSlider(1, QStringLiteral("lead")));
  bank->sliderArray()[1]->setValue(0.75f, false);
  bank->sliderHeightSliderUsed(30);
  bank->vertButtonUsed(1);
  const QVariantMap snapshot = bank->createSnapshot();
  EXPECT_EQ(snapshot.value(QStringLiteral("sliderCount")), 2);

  Sliders* other = make<Sliders>();
  other->loadSnapshot(snapshot);
  ASSERT_EQ(other->sliderArray().size(), 2);
  EXPECT_EQ(other->sliderArray()[1]->sliderName(), QStringLiteral("lead"));
  EXPECT_FLOAT_EQ(other->sliderArray()[1]->value(), 0.75f);
  EXPECT_EQ(other->sliderHeight(), 30);
  EXPECT_TRUE(other->vertical());
  EXPECT_NE(dsc.dataSourceForKeyArray({other->windowTitle(), QStringLiteral("lead")}), nullptr);
}

TEST_F(SlidersTest, ABadSnapshotLeavesWhatItCannotRead) {
  const QVariantMap entry = bank->sliderArray().front()->createSnapshot();
  struct Case {
    QVariantMap snapshot;
    int sliders;
  };
  const std::vector<Case> cases{
      {{{"sliderArray", QVariantList{entry}}}, 0},
      {{{"sliderCount", 1}}, 0},
      {{{"sliderCount", 5}, {"sliderArray", QVariantList{entry, entry}}}, 2},
      {{{"sliderCount", 3}, {"sliderArray", QVariantList{entry, QStringLiteral("junk"), entry}}},
       2},
  };
  for (const Case& c : cases) {
    bank->loadSnapshot(c.snapshot);
    EXPECT_EQ(bank->sliderArray().size(), c.sliders);
  }
  // Two entries of one name: the second takes a free one.
  QVariantMap named = entry;
  named.insert(QStringLiteral("sliderName"), QStringLiteral("x"));
  bank->loadSnapshot({{"sliderCount", 2}, {"sliderArray", QVariantList{named, named}}});
  EXPECT_EQ(sliderNames(), (QStringList{"x", "1"}));

  LogCapture log;
  for (const QVariant& height : {QVariant(0), QVariant(-4), QVariant(QStringLiteral("tall"))}) {
    bank->loadSnapshot({{"sliderHeight", height}});
    EXPECT_EQ(bank->sliderHeight(), Sliders::kDefaultSliderHeight);
  }
  EXPECT_EQ(log.lines().filter(QStringLiteral("kept its slider height")).size(), 3);
}

TEST_F(SlidersTest, RenamingThePluginMovesItsSourcesAndDeletingRemovesThem) {
  const auto recorder = record(QStringLiteral("1"));
  ASSERT_TRUE(manager->renamePlugin(bank, QStringLiteral("Faders")));
  EXPECT_EQ(recorder->path, (KeyPath{"Faders", "1"}));
  EXPECT_EQ(dsc.dataSourceForKeyArray({QStringLiteral("Sliders 1")}), nullptr);
  manager->deleteAllPlugins();
  EXPECT_TRUE(recorder->deleted);
  EXPECT_EQ(dsc.dataSourceForKeyArray({QStringLiteral("Faders")}), nullptr);
}

}  // namespace
