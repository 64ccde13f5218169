// Orientation from accelerations: the angle rules, the shaping by the
// performer's options and the five-report smoothing.
#include "app/plugins/wiimote/WiiOrientation.h"

#include <gtest/gtest.h>

namespace {

using namespace WiiOrientation;

TEST(WiiOrientationTest, ARemoteLyingFlatGivesAQuarterPitchHalfYawAndNoRoll) {
  const auto angles = compute(0.5f, 0.5f, 1.0f, Options{}, nullptr);
  EXPECT_NEAR(angles[Pitch], 0.249998f, 1e-6);
  EXPECT_FLOAT_EQ(angles[Yaw], 0.5f);   // 0 / 0 counts as 0: 180 degrees
  EXPECT_FLOAT_EQ(angles[Roll], 0.0f);  // just below 0 degrees, clipped
}

TEST(WiiOrientationTest, TheHalfPlaneAndRollRules) {
  const struct {
    float n, d, halfPlane, roll;
  } cases[] = {{1, -1, 45.0f, 270.0f + 45.0f},
               {1, 1, 135.0f, 45.0f},
               {-1, 1, 225.0f, 135.0f},
               {-1, -1, 315.0f, 225.0f}};
  for (const auto& c : cases) {
    EXPECT_NEAR(halfPlaneAngle(c.n, c.d), c.halfPlane, 2e-3) << c.n << "," << c.d;
    EXPECT_NEAR(rollAngle(c.n, c.d), c.roll, 2e-3) << c.n << "," << c.d;
  }
}

TEST(WiiOrientationTest, ShapingOffsetsInvertsAndClips) {
  const struct {
    float angle;
    AxisOptions options;
    float value;
  } cases[] = {
      {270.0f, {0.5f, 0, 1, false}, 0.25f},          // 0.75 + 0.5 − 1
      {180.0f, {0.25f, 0.25f, 0.75f, false}, 1.0f},  // 0.75 → the top
      {180.0f, {0, 0.25f, 0.75f, false}, 0.5f},
      {288.0f, {0, 0.25f, 0.75f, false}, 1.0f},  // 0.8
      {36.0f, {0, 0.25f, 0.75f, false}, 0.0f},   // 0.1
      {90.0f, {0, 0, 1, true}, 0.75f},
      {180.0f, {0, 0.8f, 0.2f, false}, 0.0f},  // low above high
      {180.0f, {0, 0.4f, 0.4f, false}, 0.0f},  // an empty range: 0, not NaN
  };
  for (const auto& c : cases) EXPECT_FLOAT_EQ(shape(c.angle, c.options), c.value) << c.angle;
}

TEST(WiiOrientationTest, SmoothingMovesAFifthOfAStepPerReport) {
  Smoother smoother;
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(smoother.push(0.2f), 0.2f);
  const float expected[] = {0.36f, 0.52f, 0.68f, 0.84f, 1.0f};
  for (float value : expected) EXPECT_NEAR(smoother.push(1.0f), value, 1e-6);
  EXPECT_EQ(smoother.size(), Smoother::kCount);
}

}  // namespace
