#include "framework/controls/SliderGeometry.h"

#include <gtest/gtest.h>

namespace {

const QRectF kBar(0, 0, 200, 20);

void expectRect(const QRectF& actual, const QRectF& expected) {
  EXPECT_NEAR(actual.x(), expected.x(), 1e-4);
  EXPECT_NEAR(actual.y(), expected.y(), 1e-4);
  EXPECT_NEAR(actual.width(), expected.width(), 1e-4);
  EXPECT_NEAR(actual.height(), expected.height(), 1e-4);
}

}  // namespace

// The head, the fill on either side of it, the envelope areas and their
// handles on a 200 x 20 bar.
TEST(SliderGeometry, ValueFillAndEnvelopeRectangles) {
  struct Case {
    const char* name;
    float value, fill;
    QRectF head, bg;
  };
  const Case cases[] = {
      {"value above the fill", 0.5f, 0.0f, {97, 0, 5, 20}, {0, 0, 100, 20}},
      {"fill above the value: from the head to the end",
       0.25f,
       1.0f,
       {47, 0, 5, 20},
       {49.5, 0, 150, 20}},
      {"value on the fill: no fill", 0.3f, 0.3f, {57, 0, 5, 20}, {}},
      {"value 0: the head starts before the bar", 0.0f, 0.0f, {-2, 0, 5, 20}, {}},
      {"value 1: the head ends past the last point", 1.0f, 0.0f, {197, 0, 5, 20}, {0, 0, 200, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectRect(SliderGeometry::sliderHead(kBar, c.value), c.head);
    expectRect(SliderGeometry::sliderBG(kBar, c.value, c.fill), c.bg);
  }

  const QRectF left = SliderGeometry::leftEnv(kBar, 0.2f);
  const QRectF right = SliderGeometry::rightEnv(kBar, 0.8f);
  expectRect(left, {0, 0, 39, 20});  // trunc(199 x 0.2)
  expectRect(right, {159, 0, 39.8, 20});
  expectRect(SliderGeometry::leftEnvHandle(kBar, left), {33, 0, 12, 6});
  expectRect(SliderGeometry::rightEnvHandle(right), {153, 0, 12, 6});
  expectRect(SliderGeometry::rightEnv(kBar, 1.0f), {199, 0, 0, 20});
}

TEST(SliderGeometry, MarksAndToggleColumn) {
  const auto handles = SliderGeometry::markHandles(kBar, {0.0f, 0.5f});
  ASSERT_EQ(handles.size(), 2u);
  expectRect(handles[0], {-2, 16, 4, 4});
  expectRect(handles[1], {98, 16, 4, 4});
  EXPECT_DOUBLE_EQ(SliderGeometry::markLineX(kBar, 0.5f), 99.0);

  // One toggle: a column half the thickness wide; the track starts after it.
  expectRect(SliderGeometry::track(kBar, true), {10, 0, 190, 20});
  expectRect(SliderGeometry::track(kBar, false), kBar);
  const auto one = SliderGeometry::toggleFrames(kBar, true, false);
  expectRect(one.sync, {0, 0, 10, 20});
  EXPECT_TRUE(one.behav.isNull());
  const auto both = SliderGeometry::toggleFrames(kBar, true, true);
  expectRect(both.sync, {0, 10, 10, 10});  // "S" above "B"
  expectRect(both.behav, {0, 0, 10, 10});

  // On a toggled bar everything is measured along the 190-point track.
  SliderLayout layout;
  layout.controlFrame = kBar;
  SliderGeometry::layOut(layout, false, true, 0.5f, 0.0f, 0.0f, 1.0f, {});
  EXPECT_TRUE(layout.clipToTrack);
  expectRect(layout.sliderHead, {10 + 94 - 2, 0, 5, 20});  // trunc(189 x 0.5)
  expectRect(layout.sliderBG, {10, 0, 95, 20});
}
