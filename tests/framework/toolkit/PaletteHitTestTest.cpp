#include "framework/toolkit/PaletteHitTest.h"
#include "framework/toolkit/PalettePaths.h"

#include <gtest/gtest.h>

namespace {

using H = PaletteHitTest;

// A 200 × 150 palette, in its bottom-left view coordinates: the title strip
// spans y 133 to 150, the triangle's box {5, 134, 12, 12}, the resize handle
// {184, 4, 12, 12}.
TEST(PaletteHitTest, LockMatrix) {
  struct Case {
    const char* what;
    QPointF point;
    int clickCount;
    H::DragAction unlocked, locked, fullyLocked;
  };
  const Case cases[] = {
      {"triangle", {10, 140}, 1, H::CollapseToggle, H::CollapseToggle, H::None},
      {"title bar", {100, 140}, 1, H::Move, H::None, H::None},
      {"title bar, double click", {100, 140}, 2, H::CollapseToggle, H::CollapseToggle, H::None},
      {"left border", {3, 50}, 1, H::Move, H::None, H::None},
      {"right border", {197, 50}, 1, H::Move, H::None, H::None},
      {"bottom border", {100, 3}, 1, H::Move, H::None, H::None},
      {"resize handle", {190, 10}, 1, H::Resize, H::None, H::None},
      {"content", {100, 70}, 1, H::None, H::None, H::None},
  };
  const PalettePaths paths = PalettePaths::build({200, 150}, 200, false);
  for (const Case& c : cases) {
    H::Input input{c.point, 200, false, true, false, false, c.clickCount};
    EXPECT_EQ(H::dragActionFor(input, paths), c.unlocked) << c.what;
    // The lock takes the resize handle away too.
    input.locked = true;
    input.allowResize = false;
    EXPECT_EQ(H::dragActionFor(input, paths), c.locked) << c.what;
    input.fullyLocked = true;
    EXPECT_EQ(H::dragActionFor(input, paths), c.fullyLocked) << c.what;
  }
  // A palette that does not resize neither resizes nor moves from its handle.
  const H::Input fixedSize{{190, 10}, 200, false, false, false, false, 1};
  EXPECT_EQ(H::dragActionFor(fixedSize, paths), H::None);
}

TEST(PaletteHitTest, ACollapsedPaletteAnswersOnlyInItsBar) {
  const PalettePaths paths = PalettePaths::build({200, 150}, 200, true);
  const auto at = [&](QPointF p) {
    return H::dragActionFor({p, 200, true, true, false, false, 1}, paths);
  };
  EXPECT_EQ(at({10, 140}), H::CollapseToggle);
  EXPECT_EQ(at({100, 140}), H::Move);
  EXPECT_EQ(at({190, 10}), H::None);  // no handle below the bar
  EXPECT_EQ(paths.outline, QRectF(0, 131, 200, 19));
}

}  // namespace
