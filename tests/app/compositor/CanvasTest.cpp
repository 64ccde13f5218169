#include "app/compositor/BufferSetPool.h"
#include "app/compositor/CanvasTransform.h"

#include <gtest/gtest.h>

namespace {

struct TransformCase {
  const char* name;
  QSizeF display, canvas;
  long mode;
  QRectF canvasOnDisplay;  // where the canvas lands
};

class CanvasTransformTest : public ::testing::TestWithParam<TransformCase> {};

TEST_P(CanvasTransformTest, MapsTheCanvasWhereTheModeSays) {
  const TransformCase& c = GetParam();
  const QTransform t = CanvasTransform::canvasToWindow(c.display, c.canvas, c.mode);
  const QRectF mapped = t.mapRect(QRectF(QPointF(0, 0), c.canvas));
  EXPECT_NEAR(mapped.x(), c.canvasOnDisplay.x(), 1e-6);
  EXPECT_NEAR(mapped.y(), c.canvasOnDisplay.y(), 1e-6);
  EXPECT_NEAR(mapped.width(), c.canvasOnDisplay.width(), 1e-6);
  EXPECT_NEAR(mapped.height(), c.canvasOnDisplay.height(), 1e-6);
}

const QSizeF k43(640, 480), k169(1920, 1080), k43Display(800, 600);

INSTANTIATE_TEST_SUITE_P(
    Modes, CanvasTransformTest,
    ::testing::Values(
        // 4:3 canvas on a 16:9 display
        TransformCase{"FitOnWide", k169, k43, 0, {240, 0, 1440, 1080}},
        TransformCase{"FillOnWide", k169, k43, 1, {0, -180, 1920, 1440}},
        TransformCase{"StretchOnWide", k169, k43, 2, {0, 0, 1920, 1080}},
        TransformCase{"ActualOnWide", k169, k43, 3, {640, 300, 640, 480}},
        // 16:9 canvas on a 4:3 display
        TransformCase{"FitOnNarrow", QSizeF(800, 600), k169, 0, {0, 75, 800, 450}},
        TransformCase{"FillOnNarrow",
                      QSizeF(800, 600),
                      k169,
                      1,
                      {-(1066.666666666667 - 800) / 2, 0, 1066.666666666667, 600}},
        TransformCase{"ActualOnNarrow", QSizeF(800, 600), k169, 3, {-560, -240, 1920, 1080}},
        // equal aspects: fit and fill agree
        TransformCase{"FitEqual", k43Display, k43, 0, {0, 0, 800, 600}},
        TransformCase{"FillEqual", k43Display, k43, 1, {0, 0, 800, 600}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CanvasTransform, RefusesUnknownModesAndEmptySizesGiveIdentity) {
  EXPECT_FALSE(CanvasTransform::isValidMode(-1));
  EXPECT_FALSE(CanvasTransform::isValidMode(4));
  EXPECT_TRUE(CanvasTransform::canvasToWindow(QSizeF(0, 10), k43, 0).isIdentity());
}

TEST(BufferSetPool, OneEntryPerSizeInUseWithItsUserCount) {
  BufferSetPool pool;
  const QSizeF small(640, 480), large(800, 600);
  pool.layerSizeChanged(QSizeF(), small);  // the canvas
  pool.layerSizeChanged(QSizeF(), small);  // a layer of the canvas size
  EXPECT_EQ(pool.usersOf(small), 2);
  const BufferSetPool::SetPtr kept = pool.setFor(small);
  ASSERT_TRUE(kept && kept->a && kept->b && kept->c);

  pool.layerSizeChanged(small, large);  // the canvas grows
  EXPECT_EQ(pool.usersOf(small), 1);
  EXPECT_EQ(pool.usersOf(large), 1);
  EXPECT_EQ(pool.entryCount(), 2u);
  EXPECT_EQ(pool.dictionaryFor(large).value(QKBufferHolder::kRetainKey).toLongLong(), 1);

  pool.layerSizeChanged(large, small);  // and back
  EXPECT_EQ(pool.usersOf(small), 2);
  EXPECT_EQ(pool.usersOf(large), 0);
  EXPECT_EQ(pool.entryCount(), 1u);
  EXPECT_EQ(pool.setFor(small), kept);  // the set in use was kept

  pool.layerSizeChanged(small, QSizeF());
  pool.layerSizeChanged(small, QSizeF(0, 480));  // a zero side is nobody's entry
  EXPECT_EQ(pool.entryCount(), 0u);
  EXPECT_TRUE(pool.dictionaryFor(small).isEmpty());
  // A frame still holding the set finishes with it.
  EXPECT_TRUE(kept->a->bufferRef());
}

}  // namespace
