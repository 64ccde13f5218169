#include "framework/toolkit/PaletteSnap.h"

#include <gtest/gtest.h>

namespace {

using Drag = PaletteSnap::Drag;

// S stands still at {300, 100, 200, 200}: left 300, right 500, bottom 100,
// top 300.
const QRectF kS(300, 100, 200, 200);

TEST(PaletteSnap, SnapTable) {
  struct Case {
    const char* what;
    QRectF o;
    Drag drag;
    bool sAffected;
    QRectF expected;
  };
  const Case cases[] = {
      {"4 apart on the left: overlap 3",
       {96, 100, 200, 200},
       Drag::Move,
       false,
       {103, 100, 200, 200}},
      {"4 apart on the right: overlap 3",
       {504, 100, 200, 200},
       Drag::Move,
       false,
       {497, 100, 200, 200}},
      {"5 apart: no snap", {95, 100, 200, 200}, Drag::Move, false, {95, 100, 200, 200}},
      {"no vertical overlap: no snap", {96, 400, 200, 200}, Drag::Move, false, {96, 400, 200, 200}},
      {"after a side snap the top edges align",
       {96, 153, 200, 150},
       Drag::Move,
       false,
       {103, 150, 200, 150}},
      {"4 above: overlap 3, left edges align",
       {302, 304, 200, 100},
       Drag::Move,
       false,
       {300, 297, 200, 100}},
      {"4 below: overlap 3", {300, -4, 200, 100}, Drag::Move, false, {300, 3, 200, 100}},
      {"resize keeps the top edge",
       {300, 304, 200, 100},
       Drag::Resize,
       false,
       {300, 297, 200, 107}},
      {"a member of the moving group does not pull",
       {96, 100, 200, 200},
       Drag::Move,
       true,
       {96, 100, 200, 200}},
      {"a group member aligns a resized palette's edges",
       {302, 500, 202, 100},
       Drag::Resize,
       true,
       {302, 500, 196, 100}},
      {"far away", {900, 900, 100, 100}, Drag::Move, false, {900, 900, 100, 100}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PaletteSnap::snap(c.o, kS, c.drag, c.sAffected), c.expected) << c.what;
}

TEST(PaletteSnap, GroupsByExactThreePointOverlaps) {
  // The object's bottom edge is at 300.
  const QRectF object(100, 300, 200, 100);
  struct Case {
    const char* what;
    QRectF own;
    bool withOption, withCommand;
  };
  const Case cases[] = {
      {"hangs below by 3", {100, 203, 200, 100}, true, true},
      {"hangs below by 2", {100, 202, 200, 100}, false, false},
      {"hangs below by 4", {100, 204, 200, 100}, false, false},
      {"sits on top by 3", {100, 397, 200, 100}, true, false},
      {"touches the right side by 3", {297, 300, 200, 100}, true, false},
      {"touches the left side by 3", {-97, 250, 200, 100}, true, false},
      {"corner only", {297, 397, 200, 100}, false, false},
      {"apart", {600, 600, 50, 50}, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PaletteSnap::joinsGroup(object, c.own, true, false), c.withOption) << c.what;
    EXPECT_EQ(PaletteSnap::joinsGroup(object, c.own, false, true), c.withCommand) << c.what;
    EXPECT_FALSE(PaletteSnap::joinsGroup(object, c.own, false, false)) << c.what;
    // Option wins over command.
    EXPECT_EQ(PaletteSnap::joinsGroup(object, c.own, true, true), c.withOption) << c.what;
  }
}

}  // namespace
