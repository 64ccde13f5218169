#include "framework/splitview/SplitDrag.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

SplitPane pane(float size, float minDimension = 1.0f, float maxDimension = 1e6f,
               bool canCollapse = false) {
  SplitPane p;
  p.size = size;
  p.minDimension = minDimension;
  p.maxDimension = maxDimension;
  p.canCollapse = canCollapse;
  return p;
}

std::vector<float> sizes(const std::vector<SplitPane>& panes) {
  std::vector<float> out;
  for (const SplitPane& p : panes) out.push_back(p.size);
  return out;
}

SplitDrag::Context context(double whole) {
  SplitDrag::Context c;
  c.whole = whole;
  return c;
}

TEST(SplitDrag, DragStepsMoveSpaceBetweenThePanesWithinTheirLimits) {
  struct Case {
    const char* name;
    std::vector<SplitPane> panes;
    int divider;
    float delta;
    std::vector<float> want;
  };
  const std::vector<Case> cases = {
      {"a plain move", {pane(200), pane(200)}, 0, -30, {170, 230}},
      {"past a pane at its minimum the one before it shrinks",
       {pane(200, 50), pane(100, 100), pane(200)},
       1,
       -50,
       {150, 100, 250}},
      {"past a pane at its minimum the one after it shrinks",
       {pane(200), pane(100, 100), pane(200, 50)},
       0,
       50,
       {250, 100, 150}},
      {"the growing pane stops at its maximum", {pane(100, 1, 150), pane(200)}, 0, 100, {150, 150}},
      {"the shrinking pane stops at its minimum", {pane(100, 80), pane(200)}, 0, -50, {80, 220}},
      {"a collapsible pane collapses past its threshold",
       {pane(100, 100, 1e6f, true), pane(200)},
       0,
       -60,
       {0, 300}},
      {"a collapsed trailing pane opens when pulled far enough",
       {pane(300), pane(0, 60, 1e6f, true)},
       0,
       -80,
       {220, 80}},
      {"but not before its threshold", {pane(300), pane(0, 60, 1e6f, true)}, 0, -30, {300, 0}},
      {"a collapsed leading pane opens at its minimum",
       {pane(0, 60, 1e6f, true), pane(300)},
       0,
       40,
       {60, 240}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<SplitPane> panes = c.panes;
    SplitDrag(panes, context(500)).track(c.divider, c.delta);
    EXPECT_EQ(sizes(panes), c.want);
  }
}

TEST(SplitDrag, DoubleClickCollapsesTheSmallerPaneAndReopensIt) {
  std::vector<SplitPane> panes = {pane(100, 1, 1e6f, true), pane(300, 1, 1e6f, true)};
  SplitDrag(panes, context(400)).doubleClick(0, std::nullopt);
  EXPECT_EQ(sizes(panes), (std::vector<float>{0, 400}));
  EXPECT_EQ(panes[0].change, SplitPane::Change::Collapsed);
  EXPECT_DOUBLE_EQ(panes[0].fraction, 0.25);
  for (SplitPane& p : panes) p.frameChanged = false;
  SplitDrag(panes, context(400)).doubleClick(0, std::nullopt);
  EXPECT_EQ(sizes(panes), (std::vector<float>{100, 300}));
}

TEST(SplitDrag, DoubleClickOnEqualPanesCollapsesTheTrailingOneOrTheDelegatesPick) {
  std::vector<SplitPane> equal = {pane(200, 1, 1e6f, true), pane(200, 1, 1e6f, true)};
  SplitDrag(equal, context(400)).doubleClick(0, std::nullopt);
  EXPECT_EQ(sizes(equal), (std::vector<float>{400, 0}));
  std::vector<SplitPane> picked = {pane(200, 1, 1e6f, true), pane(200, 1, 1e6f, true)};
  SplitDrag(picked, context(400)).doubleClick(0, true);
  EXPECT_EQ(sizes(picked), (std::vector<float>{0, 400}));
  std::vector<SplitPane> fixed = {pane(200), pane(200)};
  SplitDrag(fixed, context(400)).doubleClick(0, std::nullopt);
  EXPECT_EQ(sizes(fixed), (std::vector<float>{200, 200}));
}

TEST(SplitDrag, AResizingWindowGrowsInsteadOfTheNeighbourWithinItsRoom) {
  std::vector<SplitPane> panes = {pane(200), pane(200)};
  float windowChange = 0;
  SplitDrag::Context c = context(400);
  c.shouldResizeWindow = [](int divider, bool) { return divider == 0; };
  c.windowRoom = [](bool grow) { return grow ? 50.0f : 120.0f; };
  c.resizeWindow = [&](float change) { windowChange += change; };
  SplitDrag(panes, c).track(0, 100);
  EXPECT_EQ(sizes(panes), (std::vector<float>{250, 200}));
  EXPECT_FLOAT_EQ(windowChange, 50);
  SplitDrag(panes, c).track(0, -30);
  EXPECT_EQ(sizes(panes), (std::vector<float>{220, 200}));
  EXPECT_FLOAT_EQ(windowChange, 20);
}

}  // namespace
