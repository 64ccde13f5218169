#include "framework/controls/QKLogSliderCell.h"
#include "tests/framework/controls/SliderFakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

// The forward mapping and its inverse over one-sided and two-sided ranges.
TEST(LogSlider, MappingAndItsInverse) {
  struct Case {
    float minRange, maxRange, normalised, ranged;
  };
  const Case cases[] = {
      {0, 100, 0.5f, 9.0499f},  // 101^0.5 - 1
      {0, 100, 0.0f, 0.0f},     {0, 100, 1.0f, 100.0f},   {1, 10, 0.0f, 1.0f},
      {1, 10, 1.0f, 10.0f},     {-1, 1, 0.5f, 0.0f},      {-1, 1, 0.0f, -1.0f},
      {-1, 1, 1.0f, 1.0f},      {-1, 1, 0.75f, 0.41421f}, {-1, 1, 0.25f, -0.41421f},
      {-4, 9, 0.1f, -2.62390f},  // 1 - 5^0.8
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.minRange << ".." << c.maxRange << " at " << c.normalised);
    EXPECT_NEAR(QKLogSliderCell::logRangedFromNormalised(c.normalised, c.minRange, c.maxRange),
                c.ranged, 1e-3);
    EXPECT_NEAR(QKLogSliderCell::logNormalisedFromRanged(c.ranged, c.minRange, c.maxRange),
                c.normalised, 1e-4);
  }
}

// Ranges and inputs for which a power or a logarithm is undefined still give
// a number.
TEST(LogSlider, DegenerateRangesGiveDefinedResults) {
  struct Case {
    const char* name;
    float minRange, maxRange, ranged, expectNormalised;
  };
  const Case cases[] = {
      {"flat one-sided range", 3, 3, 7, 0.0f},
      {"two-sided range whose top is 0", -1, 0, 0.5f, 0.5f},
      {"far below a one-sided range", 2, 10, -50, 0.0f},
      {"reversed range beyond the log form: linear", 10, 1, 5.5f, 0.5f},
      {"two-sided range below -1: linear", -10, -3, -6.5f, 0.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const float n = QKLogSliderCell::logNormalisedFromRanged(c.ranged, c.minRange, c.maxRange);
    EXPECT_TRUE(std::isfinite(n));
    EXPECT_FLOAT_EQ(n, c.expectNormalised);
    for (float along : {0.0f, 0.3f, 1.0f})
      EXPECT_TRUE(
          std::isfinite(QKLogSliderCell::logRangedFromNormalised(along, c.minRange, c.maxRange)));
  }
  EXPECT_TRUE(std::isnan(
      QKLogSliderCell::logNormalisedFromRanged(std::numeric_limits<float>::quiet_NaN(), 0, 100)));
}

TEST(LogSlider, CellUsesTheMappingForValuesEnvelopesAndMarks) {
  ViewedSlider slider(QKLogSliderCell::create());
  auto* log = static_cast<QKLogSliderCell*>(slider.cell.get());
  slider.cell->setMinRange(0);
  slider.cell->setMaxRange(100);
  slider.cell->setValue(0.5f);
  EXPECT_NEAR(slider.cell->rangedValue(), 9.05f, 1e-3);
  EXPECT_EQ(slider.cell->valueText().string(), "9.05");
  slider.cell->setValueWithRangedValue(9.0499f);
  EXPECT_NEAR(slider.cell->value(), 0.5f, 1e-4);
  slider.cell->setMaxEnv(0.5f);
  EXPECT_EQ(slider.cell->envText().string(), "0.00 / 9.05");
  EXPECT_NEAR(log->valueForRangedValue(100.0f), 1.0f, 1e-6);
  EXPECT_NEAR(log->rangedValueForValue(1.0f), 100.0f, 1e-3);

  slider.cell->setMinRange(-1);
  slider.cell->setMaxRange(1);
  slider.cell->setMaxEnv(1.0f);
  slider.cell->addInterestingPointWithRangedValue(0.41421f);
  slider.cell->setValueWithRangedValue(0.41421f);
  ASSERT_EQ(slider.cell->interestingPoints().size(), 1);
  EXPECT_FLOAT_EQ(slider.cell->interestingPoints().front(), slider.cell->value());
  EXPECT_NEAR(slider.cell->value(), 0.75f, 1e-4);

  slider.cell->setFillValueWithRangedValue(0.0f);  // the fill stays linear
  EXPECT_FLOAT_EQ(slider.cell->fillValue(), 0.5f);
  slider.cell->jumpSliderByRangedValue(-0.41421f);  // ranged 0: the middle
  EXPECT_NEAR(slider.cell->value(), 0.5f, 1e-4);
}
