#include "tests/app/stepsequencer/StepSequencerFixture.h"

#include "app/plugins/stepsequencer/StepSequencerDisplay.h"
#include "framework/controls/QKButton.h"
#include "framework/toolkit/QKWindow.h"
#include "framework/toolkit/QKWindowContentView.h"
#include "platform/foundation/MainThread.h"
#include "tests/support/Screenshot.h"

#include <QTest>

namespace {

class StepSequencerDisplayTest : public StepSequencerTest {
 protected:
  void SetUp() override {
    sequencer = make();
    ASSERT_NE(sequencer, nullptr);
    display = sequencer->display();
    // The view alone, 320 × 100: 16 columns of 20 pixels.
    display->setParent(nullptr);
    display->setFixedSize(320, 100);
    display->show();
    MainThread::processUntil([] { return false; }, 0.05);
  }
  void TearDown() override {
    if (display) display->deleteLater();
  }
  StepSequencerEngine& engine() { return sequencer->engine(); }
  QImage grab() {
    display->repaint();
    return display->grab().toImage();
  }
  StepSequencer* sequencer = nullptr;
  StepSequencerDisplay* display = nullptr;
};

TEST_F(StepSequencerDisplayTest, AClickSetsTheValueOfTheColumnUnderIt) {
  stepOf(engine(), 2).setEnabled(false);
  QTest::mouseClick(display, Qt::LeftButton, {}, QPoint(45, 25));
  EXPECT_NEAR(stepOf(engine(), 2).val(), 0.75f, 0.01f);
  EXPECT_TRUE(stepOf(engine(), 2).enabled());
  EXPECT_FLOAT_EQ(stepOf(engine(), 1).val(), 0.0f);
}

TEST_F(StepSequencerDisplayTest, AShiftDragSwitchesTheStepsItPasses) {
  QTest::mousePress(display, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 50));
  for (int x : {25, 45, 65}) QTest::mouseMove(display, QPoint(x, 50));
  QTest::mouseRelease(display, Qt::LeftButton, Qt::ShiftModifier, QPoint(65, 50));
  for (long i = 0; i < 4; ++i) EXPECT_FALSE(stepOf(engine(), i).enabled()) << i;
  EXPECT_TRUE(stepOf(engine(), 4).enabled());
  EXPECT_FLOAT_EQ(stepOf(engine(), 0).val(), 0.0f);  // values untouched
}

TEST_F(StepSequencerDisplayTest, AConstrainedDragEditsOnlyTheFirstColumn) {
  display->setConstrainClick(true);
  QTest::mousePress(display, Qt::LeftButton, {}, QPoint(5, 50));
  QTest::mouseMove(display, QPoint(45, 10));
  QTest::mouseRelease(display, Qt::LeftButton, {}, QPoint(45, 10));
  EXPECT_NEAR(stepOf(engine(), 0).val(), 0.9f, 0.01f);
  EXPECT_FLOAT_EQ(stepOf(engine(), 2).val(), 0.0f);
}

TEST_F(StepSequencerDisplayTest, ADoubleClickJumpsAndResumes) {
  sequencer->pauseButton()->setIntValue(1, true);
  ASSERT_TRUE(engine().stopped());
  QTest::mouseClick(display, Qt::LeftButton, {}, QPoint(90, 50));
  QTest::mouseDClick(display, Qt::LeftButton, {}, QPoint(90, 50));
  EXPECT_FALSE(engine().stopped());
  EXPECT_DOUBLE_EQ(engine().currentTime(), 4.0 / 8.0);
  EXPECT_NEAR(stepOf(engine(), 4).val(), 0.5f, 0.01f);  // the first click set it
}

TEST_F(StepSequencerDisplayTest, TheFirstClickSelectsOnce) {
  EXPECT_FALSE(display->selected());
  QTest::mouseClick(display, Qt::LeftButton, {}, QPoint(5, 50));
  EXPECT_TRUE(display->selected());
  dsc.deselectAllAltUIItems();
  EXPECT_FALSE(display->selected());
  QTest::mouseClick(display, Qt::LeftButton, {}, QPoint(5, 50));
  EXPECT_TRUE(display->selected());
}

TEST_F(StepSequencerDisplayTest, BeatsAreShadedAndMeasuresRuled) {
  const QImage image = grab();
  saveScreenshot(image, QStringLiteral("stepsequencer-grid"));
  const int y = 5;  // above any value
  const QColor dark = image.pixelColor(10, y), light = image.pixelColor(50, y);
  EXPECT_LT(dark.lightness(), light.lightness());
  for (int column : {0, 1, 4, 5, 8, 9}) EXPECT_EQ(image.pixelColor(column * 20 + 10, y), dark);
  for (int column : {2, 3, 6, 7, 10, 11}) EXPECT_EQ(image.pixelColor(column * 20 + 10, y), light);
  // A black line where the second measure starts (column 8), none at 4.
  EXPECT_EQ(image.pixelColor(160, y), QColor(Qt::black));
  EXPECT_NE(image.pixelColor(80, y), QColor(Qt::black));
}

// A value of 0.1 with ten rows goes out as row 1; it is drawn there too.
TEST_F(StepSequencerDisplayTest, RowsAreDrawnByTheOutputsRule) {
  setSteps(engine(), {0.1f, 1.0f, 0.0f});
  display->refreshWaveDisplayList();
  const QImage image = grab();
  const QColor value = image.pixelColor(10, 85);  // row 1: 80 … 90 from the top
  EXPECT_GT(value.red(), 2 * value.green());
  const QColor row0 = image.pixelColor(10, 95);
  EXPECT_LT(row0.red(), 2 * row0.green() + 10);
  EXPECT_GT(image.pixelColor(30, 5).red(), 2 * image.pixelColor(30, 5).green());    // 1.0: top
  EXPECT_GT(image.pixelColor(50, 95).red(), 2 * image.pixelColor(50, 95).green());  // 0.0
}

TEST_F(StepSequencerDisplayTest, CachesAreRebuiltOnlyWhenMarked) {
  grab();
  const int rebuilt = display->rebuildCount();
  tickAt(0.0);
  tickAt(0.13);  // a new column: the play-head moves
  grab();
  EXPECT_EQ(display->rebuildCount(), rebuilt);
  sequencer->measuresSliderUsed(1);
  grab();
  EXPECT_EQ(display->rebuildCount(), rebuilt + 1);
}

TEST_F(StepSequencerDisplayTest, NothingIsPaintedWhileCollapsed) {
  grab();
  const int painted = display->paintCount();
  display->setCollapsed(true);
  display->requestRedraw();
  display->repaint();
  MainThread::processUntil([] { return false; }, 0.05);
  EXPECT_EQ(display->paintCount(), painted);
  display->setCollapsed(false);
  display->repaint();
  EXPECT_GT(display->paintCount(), painted);
}

}  // namespace
