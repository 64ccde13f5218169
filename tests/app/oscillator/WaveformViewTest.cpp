#include "app/plugins/oscillator/WaveformView.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

bool isLineGreen(const QColor& c) { return c.green() > 150 && c.red() < 100 && c.blue() < 100; }

TEST(WaveformViewTest, ThePlayLineStandsAtTheFractionOfTheCurrentCycle) {
  struct Case {
    float time;
    double x;
  };
  const Case cases[] = {{0.0f, 0.0},
                        {2.25f, 50.0},
                        {0.5f, 100.0},
                        {-0.25f, 150.0},
                        {std::numeric_limits<float>::quiet_NaN(), 0.0}};
  WaveformView view;
  view.resize(200, 80);
  view.awakeFromNib();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    view.setCurrentTime(c.time);
    EXPECT_NEAR(view.currentTimeLineX(), c.x, 1e-6);
  }
  EXPECT_EQ(view.currentTimeLineColor(), QColor::fromRgbF(0, 1, 0, 0.8f));

  view.setCurrentTime(3.25f);
  const QImage image = view.grab().toImage();
  EXPECT_TRUE(isLineGreen(image.pixelColor(50, 40)));
  EXPECT_FALSE(isLineGreen(image.pixelColor(120, 40)));
}

}  // namespace
