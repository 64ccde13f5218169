#include "framework/splitview/SplitPaneMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(SplitPaneMath, TheSizeStepOpensAndCollapsesAtItsThresholds) {
  struct Case {
    const char* name;
    float size, increment;
    bool mayCollapse;
    float result, sizeAfter;
  };
  const Case cases[] = {
      {"+55 does not open a collapsed pane", 0, 55, true, 0, 0},
      {"+56 opens it at its minimum", 0, 56, true, 100, 100},
      {"+150 opens it further", 0, 150, true, 150, 150},
      {"-56 collapses", 100, -56, true, -100, 0},
      {"-54 stays at the minimum", 100, -54, true, 0, 100},
      {"-56 without may-collapse stays", 100, -56, false, 0, 100},
      {"below one point changes nothing", 150, 0.9f, true, 0, 150},
      {"growth stops at the maximum", 150, 100, true, 50, 200},
      {"a plain step", 150, -20, true, -20, 130},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SplitPane p;
    p.minDimension = 100;
    p.maxDimension = 200;
    p.canCollapse = true;
    p.size = c.size;
    EXPECT_FLOAT_EQ(SplitPaneMath::changeDimension(p, c.increment, c.mayCollapse, false, 800),
                    c.result);
    EXPECT_FLOAT_EQ(p.size, c.sizeAfter);
  }
}

TEST(SplitPaneMath, TheSizeStepMovesTheLeadingEdgeWhenAsked) {
  SplitPane p;
  p.size = 100;
  p.origin = 300;
  SplitPaneMath::changeDimension(p, 30, false, true, 800);
  EXPECT_FLOAT_EQ(p.origin, 270);
  EXPECT_TRUE(p.frameChanged);
}

TEST(SplitPaneMath, LimitsAreWholeOrderedAndDefaulted) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float min, max, wantMin, wantMax;
  };
  const Case cases[] = {
      {0.5f, 0, 1, 1e6f}, {50.7f, 20, 50, 50}, {nan, nan, 1, 1e6f}, {10, 99.9f, 10, 99}};
  for (const Case& c : cases) {
    SplitPane p;
    p.size = 50;
    SplitPaneMath::setLimits(p, c.min, c.max, 800);
    EXPECT_FLOAT_EQ(p.minDimension, c.wantMin) << c.min << " " << c.max;
    EXPECT_FLOAT_EQ(p.maxDimension, c.wantMax) << c.min << " " << c.max;
  }
}

TEST(SplitPaneMath, CollapseKeepsTheShareThatExpandGivesBack) {
  SplitPane p;
  p.size = 200;
  p.canCollapse = true;
  EXPECT_FLOAT_EQ(SplitPaneMath::collapse(p, 800), -200);
  EXPECT_DOUBLE_EQ(p.fraction, 0.25);
  EXPECT_FLOAT_EQ(SplitPaneMath::dimension(p, 800), 200);
  EXPECT_FLOAT_EQ(SplitPaneMath::expand(p, 800, false), 200);
  EXPECT_FLOAT_EQ(p.size, 266);
  EXPECT_EQ(p.change, SplitPane::Change::Expanded);
}

TEST(SplitPaneMath, CollapseAndExpandRefuseWhatTheyCannotDo) {
  SplitPane fixed;
  fixed.size = 200;
  EXPECT_FLOAT_EQ(SplitPaneMath::collapse(fixed, 800), 0);  // cannot collapse
  EXPECT_FLOAT_EQ(fixed.size, 200);
  EXPECT_FLOAT_EQ(SplitPaneMath::expand(fixed, 800, false), 0);  // already open
  EXPECT_EQ(fixed.change, SplitPane::Change::None);
}

}  // namespace
