#include "app/plugins/colorswatch/ColorWheelMath.h"
#include "app/plugins/colorswatch/QKColorWheel.h"
#include "app/plugins/colorswatch/TiffEncoder.h"
#include "platform/foundation/MainThread.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cmath>
#include <limits>

namespace {

using Math = ColorWheelMath;
constexpr float kEps = 1e-5f;

TEST(ColorWheelMathTest, PicksHueAndSaturationFromAPoint) {
  const struct {
    const char* name;
    QPointF point;
    QSizeF size;
    float h, s;
  } cases[] = {
      {"centre", {50, 50}, {100, 100}, 0.0f, 0.0f},
      {"right edge", {100, 50}, {100, 100}, 0.0f, 1.0f},
      {"top edge", {50, 100}, {100, 100}, 0.25f, 1.0f},
      {"left edge", {0, 50}, {100, 100}, 0.5f, 1.0f},
      {"bottom edge", {50, 0}, {100, 100}, 0.75f, 1.0f},
      {"corner outside the disc", {100, 100}, {100, 100}, 0.125f, 1.0f},
      {"oblong bounds", {200, 25}, {200, 50}, 0.0f, 1.0f},
      {"half way", {75, 50}, {100, 100}, 0.0f, 0.5f},
  };
  for (const auto& c : cases) {
    const auto picked = Math::pick(c.point, c.size);
    ASSERT_TRUE(picked) << c.name;
    EXPECT_NEAR(picked->h, c.h, kEps) << c.name;
    EXPECT_NEAR(picked->s, c.s, kEps) << c.name;
  }
}

TEST(ColorWheelMathTest, APickInBoundsWithoutAreaIsIgnored) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(Math::pick({0, 0}, {0, 100}));
  EXPECT_FALSE(Math::pick({5, 5}, {100, 0}));
  EXPECT_FALSE(Math::pick({nan, 5}, {100, 100}));
}

TEST(ColorWheelMathTest, ConvertsHSVToRGBInEachSector) {
  const struct {
    Math::HSV hsv;
    Math::RGB rgb;
  } cases[] = {
      {{0.0f, 1.0f, 1.0f}, {1, 0, 0}},          {{1.0f / 6, 1.0f, 1.0f}, {1, 1, 0}},
      {{2.0f / 6, 1.0f, 1.0f}, {0, 1, 0}},      {{3.0f / 6, 1.0f, 1.0f}, {0, 1, 1}},
      {{4.0f / 6, 1.0f, 1.0f}, {0, 0, 1}},      {{5.0f / 6, 1.0f, 1.0f}, {1, 0, 1}},
      {{1.0f, 1.0f, 1.0f}, {1, 0, 0}},           // hue 1 is hue 0
      {{0.3f, 0.0f, 0.4f}, {0.4f, 0.4f, 0.4f}},  // grey
      {{0.5f, 1.0f, 0.0f}, {0, 0, 0}},          {{1.0f / 12, 1.0f, 1.0f}, {1, 0.5f, 0}},
  };
  for (const auto& c : cases) {
    const Math::RGB rgb = Math::rgbFromHSV(c.hsv);
    EXPECT_NEAR(rgb.r, c.rgb.r, kEps) << c.hsv.h;
    EXPECT_NEAR(rgb.g, c.rgb.g, kEps) << c.hsv.h;
    EXPECT_NEAR(rgb.b, c.rgb.b, kEps) << c.hsv.h;
  }
}

TEST(ColorWheelMathTest, ConvertsRGBToHSVWithTiesToTheEarlierComponent) {
  const struct {
    Math::RGB rgb;
    Math::HSV hsv;
  } cases[] = {
      {{0, 1, 0}, {1.0f / 3, 1, 1}},      {{0, 0, 1}, {2.0f / 3, 1, 1}}, {{1, 0, 0}, {0, 1, 1}},
      {{1, 1, 0}, {1.0f / 6, 1, 1}},  // r and g tie: r wins
      {{0, 1, 1}, {0.5f, 1, 1}},      // g and b tie: g wins
      {{1, 0, 1}, {5.0f / 6, 1, 1}},  // r and b tie: r wins, below 0 wraps
      {{0.5f, 0.5f, 0.5f}, {0, 0, 0.5f}}, {{0, 0, 0}, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    const Math::HSV hsv = Math::hsvFromRGB(c.rgb);
    EXPECT_NEAR(hsv.h, c.hsv.h, kEps) << c.rgb.r << c.rgb.g << c.rgb.b;
    EXPECT_NEAR(hsv.s, c.hsv.s, kEps);
    EXPECT_NEAR(hsv.v, c.hsv.v, kEps);
  }
}

TEST(ColorWheelMathTest, XYAndHSVRoundTrip) {
  for (float h : {0.0f, 0.1f, 0.25f, 0.4f, 0.6f, 0.9f})
    for (float s : {0.2f, 0.7f, 1.0f}) {
      const QPointF xy = Math::xyFromHSV(h, s);
      EXPECT_NEAR(xy.x(), 0.5 + 0.5 * s * std::cos(2 * M_PI * h), 1e-6);
      const auto back = Math::pick(xy, {1, 1});
      ASSERT_TRUE(back);
      EXPECT_NEAR(back->h, h, 1e-4) << h << " " << s;
      EXPECT_NEAR(back->s, s, 1e-4) << h << " " << s;
    }
}

TEST(ColorWheelMathTest, TheDiscPictureIsWhiteInTheMiddleAndRedAtHueZero) {
  const QImage image = Math::discImage(128, 1.0f);
  ASSERT_EQ(image.size(), QSize(128, 128));
  const QColor centre = image.pixelColor(64, 63);
  EXPECT_GT(centre.red(), 240);
  EXPECT_GT(centre.green(), 240);
  EXPECT_GT(centre.blue(), 240);
  const QColor right = image.pixelColor(127, 63);
  EXPECT_GT(right.red(), 240);
  EXPECT_LT(right.green(), 20);
  // Row 0 is the top: hue 0.25 (yellow-green side) lies up.
  const QColor top = image.pixelColor(64, 0);
  EXPECT_GT(top.green(), 200);
  EXPECT_LT(top.blue(), 20);
}

TEST(ColorWheelTest, SettersDeriveTheOtherModelsAndIgnoreNaN) {
  QKColorWheel wheel;
  wheel.resize(100, 100);
  wheel.setR(0);
  wheel.setG(1);
  wheel.setB(0);
  EXPECT_NEAR(wheel.h(), 1.0f / 3, kEps);
  EXPECT_NEAR(wheel.s(), 1.0f, kEps);
  EXPECT_NEAR(wheel.v(), 1.0f, kEps);
  wheel.setG(0);
  wheel.setB(1);
  EXPECT_NEAR(wheel.h(), 2.0f / 3, kEps);
  wheel.setX(1.0f);
  wheel.setY(0.5f);
  EXPECT_NEAR(wheel.h(), 0.0f, kEps);
  EXPECT_NEAR(wheel.s(), 1.0f, kEps);
  EXPECT_NEAR(wheel.r(), 1.0f, kEps);
  wheel.setColorHSV(0.3f, 0.6f, 0.8f);
  EXPECT_NEAR(wheel.x(), 0.5f + 0.5f * 0.6f * std::cos(2 * M_PI * 0.3), 1e-5);
  wheel.setHue(std::numeric_limits<float>::quiet_NaN());
  wheel.setValue(7.0f);  // clamped
  EXPECT_NEAR(wheel.h(), 0.3f, kEps);
  EXPECT_NEAR(wheel.v(), 1.0f, kEps);
  // The tick reads the same colour.
  DSColorHolder* holder = nullptr;
  EXPECT_NEAR(wheel.components()->rValForColorHolder(holder), wheel.r(), kEps);
  EXPECT_NEAR(wheel.components()->bValForColorHolder(holder), wheel.b(), kEps);
}

TEST(ColorWheelTest, AnUnchangedValueRepaintsOnlyTheReticleAreas) {
  QKColorWheel wheel;
  wheel.resize(100, 100);
  wheel.setColorHSV(0.0f, 1.0f, 0.5f);
  EXPECT_EQ(wheel.lastMarkedRegion(), QRegion(wheel.rect()));
  wheel.setValue(0.5f);
  const QRect marked = wheel.lastMarkedRegion().boundingRect();
  EXPECT_LT(marked.width(), 40);
  // The reticle stands at the right edge, half way up.
  EXPECT_TRUE(marked.contains(QPoint(99, 50)));
  wheel.setValue(0.6f);
  EXPECT_EQ(wheel.lastMarkedRegion(), QRegion(wheel.rect()));
}

TEST(ColorWheelTest, AMovedReticleRepaintsWhereItWasLastDrawn) {
  QKColorWheel wheel;
  wheel.resize(100, 100);
  wheel.setColorHSV(0.0f, 1.0f, 1.0f);  // right edge
  wheel.show();
  MainThread::processUntil([] { return false; }, 0.05);
  wheel.grab();        // drawn there
  wheel.setHue(0.5f);  // left edge
  wheel.grab();
  wheel.setHue(0.25f);  // top edge: the left reticle must go
  const QRegion marked = wheel.lastMarkedRegion();
  EXPECT_TRUE(marked.contains(QPoint(50, 1)));  // the new place
  EXPECT_TRUE(marked.contains(QPoint(1, 50)));  // the place drawn last
}

TEST(ColorWheelTest, APickTellsTheDelegateAndKeepsTheValue) {
  QKColorWheel wheel;
  wheel.resize(100, 100);
  wheel.setColorHSV(0.5f, 0.5f, 0.7f);
  int told = 0;
  wheel.setDelegate([&](QKColorWheel&) { ++told; });
  wheel.setColorFromClickPoint({50, 100});  // top edge
  EXPECT_EQ(told, 1);
  EXPECT_NEAR(wheel.h(), 0.25f, kEps);
  EXPECT_NEAR(wheel.s(), 1.0f, kEps);
  EXPECT_NEAR(wheel.v(), 0.7f, kEps);
  QKColorWheel flat;
  flat.resize(0, 0);
  flat.setDelegate([&](QKColorWheel&) { ++told; });
  flat.setColorFromClickPoint({0, 0});
  EXPECT_EQ(told, 1);
  EXPECT_FALSE(std::isnan(flat.h()));
}

QImage grabbed(QKColorWheel& wheel) {
  wheel.show();
  MainThread::processUntil([] { return false; }, 0.05);
  return wheel.grab().toImage();
}

TEST(ColorWheelTest, DrawsTheDiscDimmedByTheValueAndTheReticle) {
  QKColorWheel wheel;
  wheel.resize(160, 160);
  wheel.setColorHSV(0.25f, 0.5f, 1.0f);  // reticle above the centre
  const QImage bright = grabbed(wheel);
  saveScreenshot(bright, QStringLiteral("color-wheel-bright"));
  const QColor centre = bright.pixelColor(80, 80);
  EXPECT_GT(centre.red(), 230);
  EXPECT_GT(centre.green(), 230);
  EXPECT_GT(centre.blue(), 230);
  const QColor hueZero = bright.pixelColor(150, 80);
  EXPECT_GT(hueZero.red(), 200);
  EXPECT_LT(hueZero.green(), 60);
  EXPECT_LT(hueZero.blue(), 60);
  EXPECT_EQ(bright.pixelColor(1, 1), QColor(Qt::black));  // outside the disc

  wheel.setColorHSV(0.0f, 0.5f, 0.0f);  // reticle right of the centre
  const QImage dark = grabbed(wheel);
  saveScreenshot(dark, QStringLiteral("color-wheel-dark"));
  EXPECT_EQ(dark.pixelColor(80, 80), QColor(Qt::black));
  EXPECT_EQ(dark.pixelColor(20, 80), QColor(Qt::black));
  // The reticle's ring (radius 7 around (120, 80)) is white at value 0.
  const QColor ring = dark.pixelColor(120 + 7, 80);
  EXPECT_GT(ring.red(), 150);
  EXPECT_GT(ring.green(), 150);
}

TEST(ColorWheelTest, WritesTheDiscPictureAsTiffAtomically) {
  QKColorWheel wheel;
  wheel.setColorHSV(0.1f, 0.2f, 1.0f);
  const QString path = TestEnvironment::rootDir() + QStringLiteral("/wheel.tiff");
  ASSERT_TRUE(wheel.dumpColorWheelImageToDisk(path));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray data = file.readAll();
  EXPECT_TRUE(data.startsWith(QByteArray("II*\0", 4)));
  EXPECT_EQ(data.size(), TiffEncoder::rgba(ColorWheelMath::discImage(128, 1.0f)).size());
  EXPECT_NEAR(wheel.h(), 0.1f, kEps);  // the wheel keeps its colour
  EXPECT_FALSE(wheel.dumpColorWheelImageToDisk(QStringLiteral("/nonexistent/dir/wheel.tiff")));
}

}  // namespace
