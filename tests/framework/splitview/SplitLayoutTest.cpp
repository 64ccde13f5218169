#include "framework/splitview/SplitLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

SplitPane pane(float size, float minDimension = 1.0f, bool canCollapse = false,
               double fraction = 0.0) {
  SplitPane p;
  p.size = size;
  p.minDimension = minDimension;
  p.canCollapse = canCollapse;
  p.fraction = fraction;
  return p;
}

SplitLayout::Params params(float dimension, float thickness = 0.0f) {
  SplitLayout::Params p;
  p.dimension = dimension;
  p.crossDimension = 100.0f;
  p.thickness = thickness;
  return p;
}

TEST(SplitLayout, SharesTheDimensionKeepingProportionsAndRemainders) {
  struct Case {
    const char* name;
    std::vector<SplitPane> panes;
    float dimension;
    std::vector<float> sizes;
    std::vector<double> fractions;
  };
  const std::vector<Case> cases = {
      {"both at their minimum overflow: the first collapses",
       {pane(100, 100, true), pane(100, 100, true)},
       150,
       {0, 150},
       {100.0 / 150.0, 0}},
      {"grown by 30 keeps the proportions", {pane(100), pane(200)}, 330, {110, 220}, {0, 0}},
      {"the leftover point goes to the last pane",
       {pane(101), pane(101)},
       203,
       {101, 102},
       {0.5, -0.5}},
      {"all collapsed: the first comes back and takes the room",
       {pane(0, 50, true), pane(0, 50, true)},
       300,
       {300, 0},
       {0, 0}},
      {"a pane held at its maximum leaves the rest to the others",
       [] {
         std::vector<SplitPane> v = {pane(100), pane(100)};
         v[0].maxDimension = 120;
         return v;
       }(),
       400,
       {120, 280},
       {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<SplitPane> panes = c.panes;
    ASSERT_TRUE(SplitLayout::run(panes, params(c.dimension)).ran);
    for (size_t i = 0; i < panes.size(); ++i) {
      EXPECT_FLOAT_EQ(panes[i].size, c.sizes[i]) << i;
      EXPECT_NEAR(panes[i].fraction, c.fractions[i], 1e-9) << i;
    }
  }
}

TEST(SplitLayout, CollapsingInTheLayoutKeepsTheShareAndReportsIt) {
  std::vector<SplitPane> panes = {pane(100, 100, true), pane(100, 100, true)};
  SplitLayout::run(panes, params(150));
  EXPECT_EQ(panes[0].change, SplitPane::Change::Collapsed);
  EXPECT_DOUBLE_EQ(panes[0].fraction, 100.0 / 150.0);
  EXPECT_EQ(panes[1].change, SplitPane::Change::None);
}

TEST(SplitLayout, CollapsedPanesReopenAtTheirMinimumWhenRoomIsLeft) {
  std::vector<SplitPane> panes = {pane(100), pane(0, 80, true)};
  panes[0].maxDimension = 150;
  SplitLayout::run(panes, params(400));
  EXPECT_FLOAT_EQ(panes[0].size, 150);
  EXPECT_FLOAT_EQ(panes[1].size, 250);  // back at 80, then scaled into the room
  EXPECT_EQ(panes[1].change, SplitPane::Change::Expanded);
}

TEST(SplitLayout, PlacesPanesAndDividersTopDownAndSkipsHiddenPanes) {
  std::vector<SplitPane> panes = {pane(100), pane(300), pane(100)};
  panes[1].hidden = true;
  const SplitLayout::Result r = SplitLayout::run(panes, params(408, 8));
  ASSERT_EQ(r.dividers.size(), 1u);
  EXPECT_FLOAT_EQ(r.dividers[0], 200);
  EXPECT_FLOAT_EQ(panes[0].origin, 0);
  EXPECT_FLOAT_EQ(panes[0].size, 200);
  EXPECT_FLOAT_EQ(panes[2].origin, 208);
  EXPECT_FLOAT_EQ(panes[2].size, 200);
  EXPECT_FLOAT_EQ(panes[1].size, 300);  // untouched
}

TEST(SplitLayout, TheExemptPaneKeepsItsDimension) {
  std::vector<SplitPane> panes = {pane(100), pane(100), pane(100)};
  SplitLayout::Params p = params(600);
  p.exempt = 1;
  SplitLayout::run(panes, p);
  EXPECT_FLOAT_EQ(panes[1].size, 100);
  EXPECT_FLOAT_EQ(panes[0].size, 250);
  EXPECT_FLOAT_EQ(panes[2].size, 250);
}

TEST(SplitLayout, InAScrollViewThePanesKeepTheirSizesAndTheViewFollows) {
  std::vector<SplitPane> panes = {pane(100, 1, false, 0.5), pane(250)};
  SplitLayout::Params p = params(1000, 10);
  p.inScrollView = true;
  const SplitLayout::Result r = SplitLayout::run(panes, p);
  EXPECT_FLOAT_EQ(r.dimension, 360);
  EXPECT_FLOAT_EQ(panes[0].size, 100);
  EXPECT_FLOAT_EQ(panes[1].size, 250);  // not shortened by the divider
  EXPECT_FLOAT_EQ(r.dividers[0], 100);
}

TEST(SplitLayout, NothingHappensWithoutVisiblePanesOrRoom) {
  std::vector<SplitPane> hidden = {pane(100)};
  hidden[0].hidden = true;
  EXPECT_FALSE(SplitLayout::run(hidden, params(100)).ran);
  std::vector<SplitPane> panes = {pane(100)};
  EXPECT_FALSE(SplitLayout::run(panes, params(0.5f)).ran);
  SplitLayout::Params flat = params(100);
  flat.crossDimension = 0;
  EXPECT_FALSE(SplitLayout::run(panes, flat).ran);
  EXPECT_FLOAT_EQ(panes[0].size, 100);
}

}  // namespace
