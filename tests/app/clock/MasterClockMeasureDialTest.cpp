#include "app/plugins/clock/MasterClockMeasureDial.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(MasterClockMeasureDial, SectorStartsAtTheTruncatedMultipleOfTwelve) {
  struct Case {
    double position;
    int start;
  };
  for (Case c : {Case{0.0, 0}, Case{0.5, 180}, Case{0.51, 180}, Case{0.5333, 180}, Case{0.534, 192},
                 Case{0.999, 348}})
    EXPECT_EQ(MasterClockMeasureDial::sectorStart(c.position), c.start) << c.position;
  EXPECT_EQ(MasterClockMeasureDial::sectorAngles(0).front(), 0);
  EXPECT_EQ(MasterClockMeasureDial::sectorAngles(0).back(), 360);
  EXPECT_EQ(MasterClockMeasureDial::sectorAngles(348), (QList<int>{348, 360}));
  EXPECT_EQ(MasterClockMeasureDial::sectorAngles(324), (QList<int>{324, 360}));
  EXPECT_EQ(MasterClockMeasureDial::sectorAngles(180),
            (QList<int>{180, 198, 216, 234, 252, 270, 288, 306, 324, 360}));
  EXPECT_EQ(MasterClockMeasureDial::counterText(12, 3, 2), QStringLiteral("12:3:2"));
}

class DialPicture : public testing::Test {
 protected:
  DialPicture() { dial.resize(200, 100); }
  // Renders offscreen and answers the colour at a point.
  QColor renderAndProbe(QPoint at) {
    QImage image(dial.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    dial.render(&image);
    return image.pixelColor(at);
  }
  MasterClockMeasureDial dial;
  const QPoint leftHalf{150 - 25, 50};  // the dial is the 100 x 100 square at the right
  const QPoint rightHalf{150 + 25, 50};
};

TEST_F(DialPicture, TheSectorCoversTheRestOfTheMeasureAndFlashesRedAfterADownbeat) {
  dial.setCurrentPosition(0.5, 1, 3, 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(renderAndProbe(leftHalf), QColor(Qt::red)) << i;
  const QColor dark = renderAndProbe(leftHalf);
  EXPECT_LT(dark.red(), 60);
  EXPECT_GT(dark.blue(), 110);
  const QColor played = renderAndProbe(rightHalf);
  EXPECT_GT(played.blue(), 240);
  EXPECT_GT(played.red(), 90);

  dial.setCurrentPosition(0.9, 1, 4, 2);
  dial.setCurrentPosition(0.05, 2, 1, 1);  // a new measure
  for (int i = 0; i < 3; ++i) EXPECT_EQ(renderAndProbe(leftHalf), QColor(Qt::red)) << i;
  EXPECT_EQ(renderAndProbe(leftHalf), dark);
}

struct CountingDial : MasterClockMeasureDial {
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    MasterClockMeasureDial::paintEvent(event);
  }
  int paints = 0;
};

TEST(MasterClockMeasureDial, NothingIsRepaintedWhileCollapsed) {
  CountingDial dial;
  dial.resize(200, 100);
  dial.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dial));
  QCoreApplication::processEvents();
  dial.setCollapsed(true);
  dial.paints = 0;
  dial.setCurrentPosition(0.25, 1, 2, 1);
  dial.setCurrentPosition(0.3, 1, 2, 1);
  QCoreApplication::processEvents();
  EXPECT_EQ(dial.paints, 0);
  EXPECT_DOUBLE_EQ(dial.lastPosition(), 0.25);  // the values are kept
  dial.setCollapsed(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return dial.paints > 0; }, 2000));
}

}  // namespace
