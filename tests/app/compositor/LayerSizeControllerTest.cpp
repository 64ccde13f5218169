#include "app/compositor/LayerSizeController.h"
#include "framework/controls/QKButton.h"
#include "framework/controls/QKSliderControl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using In = LayerSizeController::Inputs;

void expectRect(const QRectF& actual, const QRectF& expected, const char* what) {
  EXPECT_NEAR(actual.x(), expected.x(), 0.01) << what;
  EXPECT_NEAR(actual.y(), expected.y(), 0.01) << what;
  EXPECT_NEAR(actual.width(), expected.width(), 0.01) << what;
  EXPECT_NEAR(actual.height(), expected.height(), 0.01) << what;
}

TEST(LayerSizeArithmetic, WorkedExamples) {
  struct Case {
    const char* name;
    In in;
    QRectF canvas, window;
  };
  auto in = [](QSizeF layer, int size, int pos, float x, float y, QSizeF display, long mode,
               float scale = 1) {
    In i;
    i.canvasSize = QSizeF(640, 480);
    i.layerSize = layer;
    i.sizeMode = size;
    i.posMode = pos;
    i.xPos = x;
    i.yPos = y;
    i.xScale = i.yScale = scale;
    i.displaySize = display;
    i.canvasPresentationMode = mode;
    return i;
  };
  const Case cases[] = {
      {"initial state", In(), QRectF(0, 0, 640, 480), QRectF(0, 0, 320, 240)},
      {"fit, centered", in(QSizeF(1920, 1080), 0, 1, 0, 0, QSizeF(800, 500), 0),
       QRectF(0, 60, 640, 360), QRectF(66.67, 62.5, 666.67, 375)},
      {"fill, onscreen", in(QSizeF(1920, 1080), 1, 2, 0.5f, 0, QSizeF(800, 500), 1),
       QRectF(-160, 0, 853.33, 480), QRectF(-200, -50, 1066.67, 600)},
      {"1:1, offscreen, cut toward zero", in(QSizeF(320, 240), 3, 0, -1, 0, QSizeF(801, 601), 3),
       QRectF(-320, 120, 320, 240), QRectF(-239, 180, 320, 240)},
      {"1:1, onscreen corner", in(QSizeF(320, 240), 3, 2, 1, 1, QSizeF(640, 480), 2),
       QRectF(320, 240, 320, 240), QRectF(320, 240, 320, 240)},
      {"1:1 at half scale", in(QSizeF(320, 240), 3, 2, 1, 0, QSizeF(640, 480), 2, 0.5f),
       QRectF(480, 180, 160, 120), QRectF(480, 180, 160, 120)},
      {"fit with the canvas aspect", in(QSizeF(320, 240), 0, 0, 0, 0, QSizeF(640, 480), 2),
       QRectF(0, 0, 640, 480), QRectF(0, 0, 640, 480)},
      {"fill with the canvas aspect", in(QSizeF(320, 240), 1, 0, 0, 0, QSizeF(640, 480), 2),
       QRectF(0, 0, 640, 480), QRectF(0, 0, 640, 480)},
  };
  for (const Case& c : cases) {
    const QRectF canvas = LayerSizeController::calculateCanvasActiveRect(c.in, QRectF());
    expectRect(canvas, c.canvas, c.name);
    expectRect(LayerSizeController::calculateWindowActiveRect(c.in, canvas, QRectF()), c.window,
               c.name);
  }
}

// A zero divisor or an unknown mode keeps the previous rectangles: never
// an infinite or undefined one.
TEST(LayerSizeArithmetic, ZeroSizesAndUnknownModesKeepThePreviousRectangles) {
  const QRectF previous(1, 2, 3, 4);
  struct Case {
    const char* name;
    QSizeF canvas, layer, display;
    int sizeMode;
    long presentation;
  };
  const Case cases[] = {
      {"zero layer height, fit", QSizeF(640, 480), QSizeF(320, 0), QSizeF(640, 480), 0, 2},
      {"zero canvas height, fill", QSizeF(640, 0), QSizeF(320, 240), QSizeF(640, 480), 1, 0},
      {"zero canvas", QSizeF(0, 0), QSizeF(320, 240), QSizeF(640, 480), 2, 2},
      {"zero display, fit", QSizeF(640, 480), QSizeF(320, 240), QSizeF(0, 0), 2, 0},
      {"size mode 7", QSizeF(640, 480), QSizeF(320, 240), QSizeF(640, 480), 7, 9},
  };
  for (const Case& c : cases) {
    In in;
    in.canvasSize = c.canvas;
    in.layerSize = c.layer;
    in.displaySize = c.display;
    in.sizeMode = c.sizeMode;
    in.canvasPresentationMode = c.presentation;
    const QRectF canvas = LayerSizeController::calculateCanvasActiveRect(in, previous);
    const QRectF window = LayerSizeController::calculateWindowActiveRect(in, canvas, previous);
    for (const QRectF& r : {canvas, window})
      EXPECT_TRUE(std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
                  std::isfinite(r.height()))
          << c.name;
    if (c.sizeMode == 7) {
      EXPECT_EQ(canvas.size(), previous.size()) << c.name;
    }
    if (c.canvas.height() == 0 || c.display.isEmpty() || c.layer.height() == 0) {
      EXPECT_EQ(window, previous) << c.name;
    }
  }
}

class LayerSizeControllerTest : public ::testing::Test {
 protected:
  LayerSizeControllerTest()
      : controller([this](const QRectF& canvas, const QRectF& window) {
          published.push_back({canvas, window});
        }) {}
  std::vector<LayerSizeController::Rects> published;
  LayerSizeController controller;
};

TEST_F(LayerSizeControllerTest, WakesInFitAndOffscreenHavingPublishedOnce) {
  ASSERT_EQ(published.size(), 1u);
  expectRect(published[0].canvas, QRectF(0, 0, 640, 480), "canvas");
  expectRect(published[0].window, QRectF(0, 0, 320, 240), "window");
  EXPECT_EQ(controller.layerSizeMode(), 0);
  EXPECT_EQ(controller.layerPosMode(), 0);
  EXPECT_EQ(controller.sizeButton(0)->intValue(), 1);
  EXPECT_EQ(controller.posButton(0)->intValue(), 1);
  EXPECT_FLOAT_EQ(controller.xScaleSlider()->rangedValue(), 1.0f);
  EXPECT_FLOAT_EQ(controller.xPosSlider()->rangedValue(), 0.0f);
  // The snap points fall on 0, 2 and 1.
  EXPECT_TRUE(controller.xPosSlider()->interestingPoints().contains(0.5f));
  EXPECT_TRUE(controller.yScaleSlider()->interestingPoints().contains(0.125f));
}

TEST_F(LayerSizeControllerTest, ButtonsActAsRadiosAndAClickOnTheLitOneKeepsIt) {
  controller.setLayerSize(QSizeF(320, 240));
  controller.sizeButton(3)->setIntValue(1, true);
  EXPECT_EQ(controller.layerSizeMode(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(controller.sizeButton(i)->intValue(), 0);
  published.clear();
  controller.sizeButton(3)->setIntValue(0, true);  // the lit one clicked again
  EXPECT_EQ(controller.sizeButton(3)->intValue(), 1);
  EXPECT_EQ(controller.layerSizeMode(), 3);
  EXPECT_EQ(published.size(), 1u);  // recomputed and pushed all the same
  controller.posButton(2)->setIntValue(1, true);
  EXPECT_EQ(controller.layerPosMode(), 2);
  EXPECT_EQ(controller.posButton(0)->intValue(), 0);
  controller.xPosSlider()->setValueWithRangedValue(1.0f, true);
  expectRect(controller.rects().canvas, QRectF(320, 120, 320, 240), "onscreen right");
}

TEST_F(LayerSizeControllerTest, ASnapshotRestoresAndRecomputesOnce) {
  controller.setLayerSize(QSizeF(320, 240));
  controller.sizeButton(3)->setIntValue(1, true);
  controller.posButton(2)->setIntValue(1, true);
  controller.xPosSlider()->setValueWithRangedValue(1.0f, true);
  const QVariantMap snapshot = controller.createSnapshot();
  EXPECT_EQ(snapshot.value("layerSizeMode").toInt(), 3);
  EXPECT_EQ(snapshot.value("layerPosMode").toInt(), 2);
  EXPECT_TRUE(snapshot.contains("xPos"));

  LayerSizeController other([](const QRectF&, const QRectF&) {});
  other.setLayerSize(QSizeF(320, 240));
  other.loadSnapshot(snapshot);
  EXPECT_EQ(other.layerSizeMode(), 3);
  EXPECT_EQ(other.sizeButton(3)->intValue(), 1);
  EXPECT_EQ(other.sizeButton(0)->intValue(), 0);
  EXPECT_EQ(other.posButton(2)->intValue(), 1);
  expectRect(other.rects().canvas, QRectF(320, 120, 320, 240), "restored");

  QVariantMap odd;
  odd.insert("layerSizeMode", 7);
  other.loadSnapshot(odd);
  EXPECT_EQ(other.layerSizeMode(), 7);
  EXPECT_EQ(other.sizeButton(3)->intValue(), 1);  // no button changes
  expectRect(other.rects().canvas, QRectF(320, 120, 320, 240), "size kept");
}

TEST_F(LayerSizeControllerTest, AfterDeletionTheControlsPublishNothing) {
  controller.prepareToBeDeleted();
  published.clear();
  controller.xPosSlider()->setValueWithRangedValue(1.0f, true);
  controller.sizeButton(2)->setIntValue(1, true);
  controller.posButton(1)->setIntValue(1, true);
  EXPECT_TRUE(published.empty());
  EXPECT_TRUE(controller.posButton(1)->deleted());
}

}  // namespace
