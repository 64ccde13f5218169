#include "BehaviorFixture.h"

#include "framework/behaviors/AverageWith.h"
#include "framework/behaviors/BehaviorRandom.h"
#include "framework/behaviors/Modulus.h"
#include "framework/behaviors/Multiply.h"
#include "framework/behaviors/QKMinMaxBehavior.h"
#include "framework/behaviors/QKOffsetBehavior.h"
#include "framework/behaviors/Randomize.h"
#include "framework/behaviors/Threshold.h"
#include "framework/behaviors/Trianglize.h"
#include "framework/controls/QKButtonCell.h"

#include <cmath>
#include <functional>
#include <string>

namespace {

using Setup = std::function<void(Behavior&, QKSliderCell&)>;

struct FormulaCase {
  std::string label;
  QString behavior;
  Setup setup;
  float input;
  float expected;
};

void PrintTo(const FormulaCase& c, std::ostream* os) { *os << c.label; }

Setup none() {
  return [](Behavior&, QKSliderCell&) {};
}
Setup threshold(float t) {
  return [t](Behavior& b, QKSliderCell&) { dynamic_cast<Threshold&>(b).setThreshold(t); };
}
Setup modulus(float m) {
  return [m](Behavior& b, QKSliderCell&) { dynamic_cast<Modulus&>(b).setModulusAmount(m); };
}
Setup offset(float o) {
  return [o](Behavior& b, QKSliderCell&) { dynamic_cast<QKOffsetBehavior&>(b).sliderUsed(o); };
}
Setup minMax(float min, float max) {
  return [min, max](Behavior& b, QKSliderCell&) {
    auto& mm = dynamic_cast<QKMinMaxBehavior&>(b);
    mm.setMinValue(min);
    mm.setMaxValue(max);
  };
}
Setup marks(std::vector<float> points) {
  return [points](Behavior&, QKSliderCell& s) {
    for (float p : points) s.addInterestingPoint(p);
  };
}
Setup triangle(float center, float height) {
  return [center, height](Behavior& b, QKSliderCell&) {
    auto& t = dynamic_cast<Trianglize&>(b);
    t.setCenterVal(center);
    t.setHeightVal(height);
  };
}
Setup multiplyBy(float factor) {
  return [factor](Behavior& b, QKSliderCell&) {
    dynamic_cast<Multiply&>(b).setMultiplyFactor(factor);
  };
}

const std::vector<FormulaCase>& formulaCases() {
  static const std::vector<FormulaCase> cases = {
      {"Invert", "Invert", none(), 0.25f, 0.75f},
      {"ThresholdAtTheThreshold", "Threshold", threshold(0.5f), 0.5f, 0.0f},
      {"ThresholdJustAbove", "Threshold", threshold(0.5f), 0.5001f, 1.0f},
      {"ModulusWraps", "Modulus", modulus(0.5f), 0.75f, 0.25f},
      {"ModulusSumOfOneStays", "Modulus", modulus(0.5f), 0.5f, 1.0f},
      {"OffsetClampsAbove", "Offset", offset(0.5f), 0.75f, 1.0f},
      {"OffsetClampsBelow", "Offset", offset(-0.5f), 0.25f, 0.0f},
      {"OffsetWrapNegative", "OffsetWrap", offset(-0.5f), 0.25f, 0.75f},
      {"OffsetWrapOneStaysOne", "OffsetWrap", offset(0.5f), 0.5f, 1.0f},
      {"OffsetWrapMinusOneGivesZero", "OffsetWrap", offset(-1.0f), 0.0f, 0.0f},
      {"OffsetWrapAboveOne", "OffsetWrap", offset(0.75f), 0.5f, 0.25f},
      {"MinMaxInvertedBoundsMinFirst", "MinMax", minMax(0.8f, 0.2f), 0.5f, 0.8f},
      {"MinMaxInvertedBoundsAbove", "MinMax", minMax(0.8f, 0.2f), 0.9f, 0.2f},
      {"MinMaxInside", "MinMax", minMax(0.2f, 0.8f), 0.5f, 0.5f},
      {"SnapNoMarksHalfGoesDown", "Snap", none(), 0.5f, 0.0f},
      {"SnapNoMarksAboveHalfGoesUp", "Snap", none(), 0.51f, 1.0f},
      {"SnapNoMarksZeroStays", "Snap", none(), 0.0f, 0.0f},
      {"SnapNoMarksOneStays", "Snap", none(), 1.0f, 1.0f},
      {"SnapToNearMark", "Snap", marks({0.2f, 0.8f}), 0.25f, 0.2f},
      {"SnapOutOfReachStays", "Snap", marks({0.2f, 0.8f}), 0.5f, 0.5f},
      {"CropInside", "Crop", marks({0.2f, 0.6f}), 0.4f, 0.5f},
      {"CropBelowGoesNegative", "Crop", marks({0.2f, 0.6f}), 0.1f, -0.25f},
      {"CropOneMarkStays", "Crop", marks({0.2f}), 0.4f, 0.4f},
      {"CropEqualMarksStays", "Crop", marks({0.3f, 0.3f}), 0.4f, 0.4f},
      {"MultiplyDefaultFive", "Multiply", none(), 0.1f, 0.5f},
      {"MultiplyByTwo", "Multiply", multiplyBy(2.0f), 0.3f, 0.6f},
      {"RangedMultiplyOnHundred", "RangedMultiply",
       [](Behavior& b, QKSliderCell& s) {
         s.setMaxRange(100.0f);
         dynamic_cast<Multiply&>(b).setMultiplyFactor(2.0f);
       },
       0.1f, 0.2f},
      {"ScaleOntoEnvelope", "Scale",
       [](Behavior&, QKSliderCell& s) {
         s.justSetMinenv(0.2f);
         s.justSetMaxenv(0.6f);
       },
       0.5f, 0.4f},
      {"AverageWith", "AverageWith",
       [](Behavior& b, QKSliderCell&) {
         auto& a = dynamic_cast<AverageWith&>(b);
         a.setAvgWithVal(0.8f);
         a.setWetDry(0.25f);
       },
       0.4f, 0.5f},
      {"RandomizeAtZeroIsIdentity", "Randomize",
       [](Behavior& b, QKSliderCell&) { dynamic_cast<Randomize&>(b).setRandomFactor(0.0f); }, 0.3f,
       0.3f},
      {"TriangleRisingEdge", "Trianglize", triangle(0.5f, 1.0f), 0.25f, 0.5f},
      {"TrianglePeak", "Trianglize", triangle(0.5f, 1.0f), 0.5f, 1.0f},
      {"TriangleFallingEdge", "Trianglize", triangle(0.5f, 1.0f), 0.75f, 0.5f},
      {"TriangleEnd", "Trianglize", triangle(0.5f, 1.0f), 1.0f, 0.0f},
      {"TriangleLowRising", "Trianglize", triangle(0.25f, 0.5f), 0.125f, 0.25f},
      {"TriangleLowFalling", "Trianglize", triangle(0.25f, 0.5f), 0.625f, 0.25f},
      {"TriangleCentreZeroAtZero", "Trianglize", triangle(0.0f, 0.8f), 0.0f, 0.8f},
      {"TriangleCentreZeroFalls", "Trianglize", triangle(0.0f, 0.8f), 0.5f, 0.4f},
      {"TriangleCentreOneAboveOneGivesZero", "Trianglize", triangle(1.0f, 1.0f), 1.5f, 0.0f},
      {"LookupCurveStandInFalls", "LookupCurve", none(), 0.3f, 0.7f},
  };
  return cases;
}

class BehaviorFormulaTest : public BehaviorFixture,
                            public ::testing::WithParamInterface<FormulaCase> {};

TEST_P(BehaviorFormulaTest, WritesItsFormulaAndNothingWhileBypassed) {
  const FormulaCase& c = GetParam();
  auto behavior = this->behavior(c.behavior);
  ASSERT_NE(behavior, nullptr);
  ASSERT_FALSE(behavior->bypass()) << "a behaviour with a panel starts active";
  QKSliderCell::Ptr slider = cell();
  c.setup(*behavior, *slider);
  const float out = pass(*behavior, *slider, c.input);
  EXPECT_NEAR(out, c.expected, 1e-6f);
  EXPECT_TRUE(std::isfinite(out));

  behavior->bypassButton()->setIntValue(0, false);
  behavior->bypassToggleUsed();
  ASSERT_TRUE(behavior->bypass());
  EXPECT_EQ(pass(*behavior, *slider, c.input), c.input);
}

INSTANTIATE_TEST_SUITE_P(Table, BehaviorFormulaTest, ::testing::ValuesIn(formulaCases()),
                         [](const auto& info) { return info.param.label; });

using RandomizeTest = BehaviorFixture;

TEST_F(RandomizeTest, AtOneFollowsItsSeededGeneratorAlone) {
  auto randomize = behavior<Randomize>(QStringLiteral("Randomize"));
  randomize->setRandomFactor(1.0f);
  randomize->generator().seed(42);
  BehaviorRandom same(42);
  QKSliderCell::Ptr slider = cell();
  for (float input : {0.0f, 0.9f, 0.4f}) {
    const float out = pass(*randomize, *slider, input);
    EXPECT_EQ(out, same.next01());
    EXPECT_GE(out, 0.0f);
    EXPECT_LT(out, 1.0f);
  }
}

}  // namespace
