// The mixer's two fade curves as a performer edits them: real widgets and
// mouse events, y up in the view.
#include "app/plugins/mixer/TCMSplineView.h"
#include "framework/curves/QKSingleSpline.h"
#include "tests/app/mixer/MixerFixture.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TestEnvironment.h"

#include <QImage>

namespace {

TEST(TCMSplineView, ANewViewFadesLeftDownAndRightUp) {
  TCMSplineView view;
  for (float x : {0.0f, 0.125f, 0.3f, 0.5f, 0.77f, 1.0f}) {
    const QPointF levels = view.evaluateAt(x);
    EXPECT_NEAR(levels.x(), 1.0f - x, 1e-5) << x;
    EXPECT_NEAR(levels.y(), x, 1e-5) << x;
  }
}

TEST(TCMSplineView, PointsWithinThreePointsOfAGridLineSnapOntoIt) {
  const QSizeF size(160, 80);  // grid every 20 across, every 10 up
  const struct {
    QPointF in;
    QPointF out;
  } cases[] = {
      {{42.9, 31.0}, {40, 30}},      // both axes within 3
      {{43.1, 26.9}, {43.1, 26.9}},  // both just beyond 3
      {{37.0, 33.0}, {40, 30}},      // exactly 3 on either side
      {{-2.0, 81.5}, {0, 80}},       // the edges are grid lines
      {{50.0, 15.0}, {50, 15}},      // half-way: rounds away, too far
  };
  for (const auto& c : cases)
    EXPECT_EQ(TCMSplineView::snapPoint(c.in, size, 8, 3), c.out) << c.in.x() << "," << c.in.y();
}

class TCMSplineViewMouse : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TestEnvironment::hasDisplay()) GTEST_SKIP() << "the view is a real widget";
    view.resize(160, 80);
    view.show();
    view.awakeFromNib();
  }
  // The middle junction of a curve (segment 1's start).
  static QKQuadraticSpline::Point junction(const QKSingleSpline& curve) {
    return curve.splineArray().at(1).start();
  }
  // Qt's point for a view point with y up.
  QPointF qt(double x, double yUp) const { return {x, view.height() - yUp}; }

  TCMSplineView view;
};

TEST_F(TCMSplineViewMouse, TheLeftCurveTakesAClickOverBothHandles) {
  // Both junctions stand at (80, 40).
  sendMouse(&view, QEvent::MouseButtonPress, qt(80, 40), Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(view.clickedSpline(), view.leftSpline().get());
  sendMouse(&view, QEvent::MouseMove, qt(101.5, 58.5), Qt::LeftButton);
  sendMouse(&view, QEvent::MouseButtonRelease, qt(101.5, 58.5), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(view.clickedSpline(), nullptr);
  // Within 3 points of x = 100 and y = 60: onto the lines; the right curve
  // did not move.
  EXPECT_NEAR(junction(*view.leftSpline()).x, 100.0f / 160, 1e-5);
  EXPECT_NEAR(junction(*view.leftSpline()).y, 60.0f / 80, 1e-5);
  EXPECT_NEAR(junction(*view.rightSpline()).x, 0.5f, 1e-6);
  EXPECT_EQ(view.leftSpline()->dragMode(), 1);
}

TEST_F(TCMSplineViewMouse, ADragFartherFromTheGridStaysUnderTheMouse) {
  dragIn(&view, qt(80, 40), qt(106, 54));
  EXPECT_NEAR(junction(*view.leftSpline()).x, 106.0f / 160, 1e-5);
  EXPECT_NEAR(junction(*view.leftSpline()).y, 54.0f / 80, 1e-5);
}

TEST_F(TCMSplineViewMouse, ADragOutsideTheViewClampsToTheNearestEdge) {
  dragIn(&view, qt(80, 40), qt(130, 200));
  EXPECT_NEAR(junction(*view.leftSpline()).y, 1.0f, 1e-6);
  // The right curve's junction, once the left one moved away.
  dragIn(&view, qt(80, 40), qt(110, -50));
  EXPECT_NEAR(junction(*view.rightSpline()).y, 0.0f, 1e-6);
  EXPECT_NEAR(junction(*view.rightSpline()).x, 110.0f / 160, 1e-5);
}

TEST_F(TCMSplineViewMouse, HoverFindsTheCurveWhosePointIsUnderTheMouse) {
  // Move the left junction up so that the two curves' points lie apart.
  dragIn(&view, qt(80, 40), qt(80, 70));
  sendMouse(&view, QEvent::MouseMove, qt(80, 40), Qt::NoButton);
  EXPECT_EQ(view.mousedOverSpline(), view.rightSpline().get());
  EXPECT_NE(view.rightSpline()->handleMousedOverTag(), -1);
  EXPECT_EQ(view.cursor().shape(), Qt::CrossCursor);
  sendMouse(&view, QEvent::MouseMove, qt(80, 70), Qt::NoButton);
  EXPECT_EQ(view.mousedOverSpline(), view.leftSpline().get());
  EXPECT_EQ(view.rightSpline()->handleMousedOverTag(), -1);
  sendMouse(&view, QEvent::MouseMove, qt(30, 60), Qt::NoButton);
  EXPECT_EQ(view.leftSpline()->handleMousedOverTag(), -1);
  EXPECT_EQ(view.rightSpline()->handleMousedOverTag(), -1);
}

TEST(TCMSplineViewSnapshot, OnlyTheStoredCurvesChange) {
  TCMSplineView edited;
  edited.leftSpline()->setMagnitudeForPoint(1, 0.9f);
  edited.rightSpline()->setMagnitudeForPoint(1, 0.1f);
  const QVariantMap snapshot = edited.createSnapshot();
  ASSERT_TRUE(snapshot.contains(TCMSplineView::kLeftSpline));
  ASSERT_TRUE(snapshot.contains(TCMSplineView::kRightSpline));

  TCMSplineView both;
  both.loadSnapshot(snapshot);
  EXPECT_NEAR(both.evaluateAt(0.5f).x(), 0.9f, 1e-5);
  EXPECT_NEAR(both.evaluateAt(0.5f).y(), 0.1f, 1e-5);

  TCMSplineView leftOnly;
  leftOnly.loadSnapshot({{TCMSplineView::kLeftSpline, snapshot.value(TCMSplineView::kLeftSpline)},
                         {TCMSplineView::kRightSpline, QStringLiteral("not a curve")}});
  EXPECT_NEAR(leftOnly.evaluateAt(0.5f).x(), 0.9f, 1e-5);
  EXPECT_NEAR(leftOnly.evaluateAt(0.5f).y(), 0.5f, 1e-5);  // as it was
}

TEST_F(TCMSplineViewMouse, DrawsTheGridAndBothFillsWithTheLeftOnTop) {
  const QImage image = view.grab().toImage();
  saveScreenshot(image, QStringLiteral("mixer-fade-curves"));
  const auto at = [&image](int x, int yUp) {
    return QColor(image.pixel(x, image.height() - 1 - yUp));
  };
  // Above both curves near the middle top: the grey background.
  const QColor background = at(85, 75);
  EXPECT_NEAR(background.red(), 77, 3);
  EXPECT_EQ(background.red(), background.blue());
  // A grid line at x = 20 (lighter grey than the background).
  EXPECT_GT(at(20, 75).lightness(), background.lightness() + 40);
  // Low on the left only the left curve's fill lies over the grey: red.
  const QColor left = at(12, 30);
  EXPECT_GT(left.red(), left.blue() + 30);
  // Low on the right only the right curve's: blue.
  const QColor right = at(150, 30);
  EXPECT_GT(right.blue(), right.red() + 30);
  // Below both lines in the middle, both fills, the left (red) last.
  const QColor both = at(85, 12);
  EXPECT_GT(both.red(), both.blue());
}

}  // namespace
