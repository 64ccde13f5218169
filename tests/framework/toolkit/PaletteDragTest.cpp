// Drags through real mouse events on real palettes under Xvfb (no window
// manager, so frames read back exactly).
#include "tests/framework/toolkit/PaletteFixture.h"

namespace {

// The title bar, in the view's Qt coordinates, right of the triangle.
const QPointF kTitle(100, 8);

TEST(PaletteDrag, ADragToFourPointsFromAPaletteEndsOverlappingByThree) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PalettePtr dragged = makePalette(QStringLiteral("A"), {100, 500, 200, 150}, false);
  PalettePtr other = makePalette(QStringLiteral("B"), {400, 503, 200, 150}, false);
  MouseDrag drag(dragged->contentView(), kTitle);
  drag.moveBy({95, 0});  // 5 apart: no snap
  EXPECT_TRUE(waitForFrame(dragged.get(), {195, 500, 200, 150}));
  drag.moveBy({96, 0});  // 4 apart: 3 over, and the edges within 4 align
  drag.release();
  EXPECT_TRUE(waitForFrame(dragged.get(), {203, 503, 200, 150}));
  EXPECT_TRUE(waitForFrame(other.get(), {400, 503, 200, 150}));
}

TEST(PaletteDrag, OptionDragMovesEveryPaletteTouchingByThree) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PalettePtr a = makePalette(QStringLiteral("A"), {300, 500, 200, 150}, false);
  PalettePtr right = makePalette(QStringLiteral("B"), {497, 520, 200, 100}, false);
  PalettePtr belowRight = makePalette(QStringLiteral("C"), {550, 423, 200, 100}, false);
  PalettePtr twoOver = makePalette(QStringLiteral("D"), {102, 500, 200, 100}, false);
  PalettePtr fourOver = makePalette(QStringLiteral("E"), {300, 404, 200, 100}, false);
  MouseDrag drag(a->contentView(), kTitle, Qt::AltModifier);
  drag.moveBy({50, -20});
  drag.release();
  EXPECT_TRUE(waitForFrame(a.get(), {350, 520, 200, 150}));
  EXPECT_TRUE(waitForFrame(right.get(), {547, 540, 200, 100}));
  EXPECT_TRUE(waitForFrame(belowRight.get(), {600, 443, 200, 100}));
  EXPECT_TRUE(waitForFrame(twoOver.get(), {102, 500, 200, 100}));
  EXPECT_TRUE(waitForFrame(fourOver.get(), {300, 404, 200, 100}));
}

// Command with option held counts as option only.
TEST(PaletteDrag, CommandDragTakesOnlyTheColumnBelow) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PalettePtr a = makePalette(QStringLiteral("A"), {300, 500, 200, 150}, false);
  PalettePtr below = makePalette(QStringLiteral("B"), {300, 403, 200, 100}, false);
  PalettePtr further = makePalette(QStringLiteral("C"), {300, 306, 200, 100}, false);
  PalettePtr side = makePalette(QStringLiteral("S"), {497, 520, 200, 100}, false);
  MouseDrag drag(a->contentView(), kTitle, Qt::ControlModifier);
  drag.moveBy({0, -30});
  drag.release();
  EXPECT_TRUE(a->contentView()->cmdClick());
  EXPECT_TRUE(waitForFrame(a.get(), {300, 530, 200, 150}));
  EXPECT_TRUE(waitForFrame(below.get(), {300, 433, 200, 100}));
  EXPECT_TRUE(waitForFrame(further.get(), {300, 336, 200, 100}));
  EXPECT_TRUE(waitForFrame(side.get(), {497, 520, 200, 100}));

  MouseDrag both(a->contentView(), kTitle, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_FALSE(a->contentView()->cmdClick());
  EXPECT_TRUE(a->contentView()->optClick());
  both.release();
}

TEST(PaletteDrag, ResizeByTheHandleKeepsTheTopEdgeAndTheMinimum) {
  SKIP_WITHOUT_DISPLAY();
  FakeMenuController menu;
  PalettePtr a = makePalette(QStringLiteral("A"), {300, 500, 200, 150}, false);
  a->contentView()->setMinSize({120, 80});
  MouseDrag drag(a->contentView(), {192, 142});  // the handle, bottom right
  drag.moveBy({20, 30});
  EXPECT_TRUE(waitForFrame(a.get(), {300, 470, 220, 180}));
  EXPECT_EQ(a->contentView()->expandedSize(), QSizeF(220, 180));
  drag.moveBy({-200, -200});
  drag.release();
  EXPECT_TRUE(waitForFrame(a.get(), {300, 570, 120, 80}));
}

}  // namespace
