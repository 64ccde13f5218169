#include "app/plugins/auxdisplay/AuxDisplayQKWinContentView.h"
#include "app/plugins/auxdisplay/AuxWindowGeometry.h"
#include "framework/toolkit/QKWindow.h"
#include "platform/display/ScreenList.h"
#include "platform/foundation/MainThread.h"

#include <QTest>
#include <gtest/gtest.h>

#include <optional>

namespace {

using G = AuxWindowGeometry;
using Drag = AuxWindowGeometry::Drag;

const QRectF kS(100, 100, 200, 150);  // this window: x 100..300, y 100..250

TEST(AuxWindowGeometryTest, SnapsPalettesDraggedNearItToAbutAndThenAligns) {
  const struct {
    const char* name;
    QRectF r;
    Drag drag;
    bool affected;
    std::optional<QRectF> expected;
  } cases[] = {
      {"right edge 4 points left of its left edge",
       {0, 120, 96, 50},
       Drag::Move,
       false,
       QRectF(4, 120, 96, 50)},
      {"5 points: no snap", {0, 120, 95, 50}, Drag::Move, false, std::nullopt},
      {"left edge 3 points past its right edge",
       {303, 120, 50, 50},
       Drag::Move,
       false,
       QRectF(300, 120, 50, 50)},
      {"bottom 2 above its top, left 3 right of its left",
       {103, 252, 60, 40},
       Drag::Move,
       false,
       QRectF(100, 250, 60, 40)},
      {"near but no vertical overlap", {0, 400, 96, 50}, Drag::Move, false, std::nullopt},
      {"left edges near without an edge snap", {103, 400, 60, 40}, Drag::Move, false, std::nullopt},
      {"affected and moved: nothing", {103, 252, 60, 40}, Drag::Move, true, std::nullopt},
      {"affected and resized: aligns only",
       {103, 252, 199, 40},
       Drag::Resize,
       true,
       QRectF(103, 252, 194, 40)},
      {"resize snaps the width to abut",
       {0, 120, 97, 50},
       Drag::Resize,
       false,
       QRectF(0, 120, 100, 50)},
      {"resize snaps the bottom edge and keeps the top",
       {120, 253, 50, 40},
       Drag::Resize,
       false,
       QRectF(120, 250, 50, 43)},
      {"negative coordinates floor their spans",
       {-200, 80, 96, 30},
       Drag::Move,
       false,
       std::nullopt},
  };
  for (const auto& c : cases) {
    const auto got = G::snapped(c.r, kS, c.drag, c.affected);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.name;
    if (got) {
      EXPECT_EQ(*got, *c.expected) << c.name;
    }
  }
}

TEST(AuxWindowGeometryTest, EdgesAndSpans) {
  EXPECT_TRUE(G::near(4.9, 0));
  EXPECT_TRUE(G::near(-4.9, 0));
  EXPECT_FALSE(G::near(5, 0));
  EXPECT_FALSE(G::near(-5, 0));
  EXPECT_TRUE(G::spansOverlap(0, 10, 9, 5));
  EXPECT_FALSE(G::spansOverlap(0, 10, 10, 5));
  EXPECT_TRUE(G::spansOverlap(-10.5, 5, -7, 2));  // floored: -11..-6 and -7..-5
  EXPECT_FALSE(G::spansOverlap(-10.5, 3, -7, 2));
  EXPECT_FALSE(G::spansOverlap(0, 0.5, 0, 10));  // no whole point
}

TEST(AuxWindowGeometryTest, TouchingNeedsAStripExactlyThreePointsThick) {
  const QRectF own(100, 100, 200, 100);
  const struct {
    const char* name;
    QRectF object;
    bool opt, cmd, touches;
  } cases[] = {
      {"option, 3-point strip above", {120, 197, 50, 40}, true, false, true},
      {"option, 4-point strip", {120, 196, 50, 40}, true, false, false},
      {"option, 3-point strip at the side", {297, 120, 50, 40}, true, false, true},
      {"option, 3 by 3 corner", {297, 197, 50, 40}, true, false, false},
      {"command, hanging below the object", {120, 197, 50, 40}, false, true, true},
      {"command, above the object", {120, 60, 50, 43}, false, true, false},
      {"no key", {120, 197, 50, 40}, false, false, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(G::touches(c.object, own, c.opt, c.cmd), c.touches) << c.name;
}

TEST(AuxWindowGeometryTest, MovesAreFreeAndResizesAreClamped) {
  const QRectF click(100, 100, 200, 150);
  EXPECT_EQ(G::moved(click, {-500.7, 2000.2}), QRectF(-400, 2100, 200, 150));
  const QSizeF min(100, 80);
  const struct {
    const char* name;
    QPointF delta;
    QRectF expected;
  } cases[] = {
      {"grows", {50, -30}, {100, 70, 250, 180}},
      {"stops at the main screen's width", {5000, 0}, {100, 100, 924, 150}},
      {"stops at y 0", {0, -500}, {100, 0, 200, 250}},
      {"keeps the minimum width", {-180, 0}, {100, 100, 100, 150}},
      {"below the minimum height the top stays", {0, 120}, {100, 170, 200, 80}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(G::resized(click, c.delta, 1024, min), c.expected) << c.name;
}

TEST(AuxWindowGeometryTest, FullscreenTakesTheOneSecondaryScreenItTouches) {
  const QList<QRect> two{{0, 0, 1024, 768}, {1024, 0, 800, 600}};
  const QList<QRect> three{{0, 0, 1024, 768}, {1024, 0, 800, 600}, {1024, 600, 800, 600}};
  // Bottom-left frames against the 768-point primary.
  const QRectF onSecond(1100, 568, 100, 100);  // Qt y 100..200
  const QRectF straddling(900, 568, 200, 100);
  const QRectF onPrimary(100, 100, 100, 100);
  const QRectF onBothSecondaries(1100, 100, 100, 100);  // Qt y 568..668
  EXPECT_EQ(G::fullscreenFrame(onSecond, two), QRectF(1024, 168, 800, 600));
  EXPECT_EQ(G::fullscreenFrame(straddling, two), QRectF(1024, 168, 800, 600));
  EXPECT_FALSE(G::fullscreenFrame(onPrimary, two));
  EXPECT_FALSE(G::fullscreenFrame(onBothSecondaries, three));
  EXPECT_FALSE(G::fullscreenFrame(onSecond, {}));
}

TEST(AuxWindowDragTest, ARealTitleDragLeavesTheMainScreen) {
  ScreenList::setProvider({});
  QKWindow window(QRectF(200, 200, 160, 120));
  auto* view = new AuxDisplayQKWinContentView;
  window.setContentView(view);
  window.awakeFromNib();
  window.show();
  MainThread::processUntil([] { return false; }, 0.1);
  const QRectF before = window.frame();
  const QPoint grip(60, 8);  // in the title strip
  QTest::mousePress(view, Qt::LeftButton, {}, grip);
  QTest::mouseMove(view, grip + QPoint(-400, 0));
  QTest::mouseRelease(view, Qt::LeftButton, {}, grip + QPoint(-400, 0));
  MainThread::processUntil([] { return false; }, 0.1);
  EXPECT_EQ(window.frame().x(), before.x() - 400);  // left of the screen, not held at 0
  EXPECT_EQ(window.frame().y(), before.y());
  window.prepareToBeDeleted();
}

}  // namespace
