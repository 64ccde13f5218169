// The oscillator's curve monitor: samples, grid, wrapped handles, the
// collapsed palette, and values stored from another thread.
#include "framework/curves/QKSingleSpline.h"
#include "framework/curves/QKSingleSplineOpenGLView.h"
#include "framework/toolkit/ThemeDict.h"
#include "platform/foundation/MainThread.h"
#include "tests/framework/toolkit/PaletteFixture.h"
#include "tests/support/Screenshot.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <thread>

namespace {

using View = QKSingleSplineOpenGLView;

TEST(SplineMonitor, SamplesOnePointPerThreeBetween11And301) {
  const struct {
    double width;
    int samples;
  } cases[] = {{30, 11}, {33, 11}, {34, 12}, {0, 11}, {900, 300}, {903, 301}, {1200, 301}};
  for (const auto& c : cases) EXPECT_EQ(View::sampleCountFor(c.width), c.samples) << c.width;
  View view;
  view.resize(40, 50);  // a curve area of 30
  view.prepareCurvePoints();
  ASSERT_EQ(view.curvePointsCount(), 11);
  EXPECT_FLOAT_EQ(view.curvePoint(0), 1.0f);
  EXPECT_FLOAT_EQ(view.curvePoint(5), 0.5f);
  EXPECT_FLOAT_EQ(view.curvePoint(10), 0.0f);
  view.resize(1210, 50);
  view.prepareCurvePoints();
  EXPECT_EQ(view.curvePointsCount(), 301);
}

TEST(SplineMonitor, GridHasDivisionsPlusOneLinesEachWay) {
  const struct {
    float divisions;
    size_t lines;
  } cases[] = {{1, 0}, {0.5f, 0}, {1.9f, 0}, {2, 6}, {4, 10}, {8.7f, 18}};
  for (const auto& c : cases) {
    const auto lines = View::gridLines(100, 80, c.divisions);
    ASSERT_EQ(lines.size(), c.lines) << c.divisions;
    if (c.lines == 10) {  // both edges included, verticals first
      EXPECT_EQ(lines[0], QLineF(0, 0, 0, 80));
      EXPECT_EQ(lines[4], QLineF(100, 0, 100, 80));
      EXPECT_EQ(lines[6], QLineF(0, 20, 100, 20));
    }
  }
}

TEST(SplineMonitor, HandleLinesAcrossTheRightEdgeAreDrawnAsTwo) {
  EXPECT_EQ(View::wrappedLine({10, 5}, {30, 7}, 100).size(), 1u);
  const auto split = View::wrappedLine({90, 5}, {10, 7}, 100);
  ASSERT_EQ(split.size(), 2u);
  EXPECT_EQ(split[0], QLineF(90, 5, 110, 7));
  EXPECT_EQ(split[1], QLineF(-10, 5, 10, 7));

  View view;
  view.resize(110, 100);  // a curve area of 100 × 100
  view.theSpline()->setHOffset(0.25f);
  view.theSpline()->setHandleForPoint(1, 0.8f, 0.5f);
  // Segment 1 runs from x 75 to 125 (wrapped: 25); its control point at
  // 75 + 0.8 × 50 = 115 wraps to 15, so the line from its start crosses the
  // edge.
  const View::SegmentMarks marks = view.segmentMarks();
  ASSERT_EQ(marks.controlPoints.size(), 1u);
  EXPECT_NEAR(marks.controlPoints[0].x(), 15, 1e-4);
  EXPECT_NEAR(marks.controlPoints[0].y(), 50, 1e-4);
  ASSERT_EQ(marks.handleLines.size(), 3u);
  EXPECT_NEAR(marks.handleLines[0].x1(), 75, 1e-4);
  EXPECT_NEAR(marks.handleLines[0].x2(), 115, 1e-4);
  EXPECT_NEAR(marks.handleLines[1].x1(), -25, 1e-4);
  EXPECT_NEAR(marks.handleLines[1].x2(), 15, 1e-4);
  EXPECT_EQ(marks.endPoints.size(), 4u);
}

QImage drawn(View& view, QColor ground = Qt::magenta) {
  QImage image(view.size(), QImage::Format_ARGB32);
  image.fill(ground);
  QPainter painter(&image);
  view.drawMonitor(painter);
  return image;
}

TEST(SplineMonitor, OffsetLineOnlyForAnOffsetWithinTheView) {
  // A flat curve at raw 0.25 shown at 0.75 (a quarter down); the offset
  // line of vOffset 0.5 crosses the fill halfway down. With the offset out
  // of 0..1 there is none.
  View view;
  view.resize(110, 100);
  view.theSpline()->removeAllControlPoints();
  view.theSpline()->setMagnitudeForPoint(0, 0.25f);
  view.theSpline()->setMagnitudeForPoint(1, 0.25f);
  view.theSpline()->setVOffset(0.5f);
  view.theSpline()->setSnapDivisions(1);  // no grid in the way
  view.prepareCurvePoints();
  const QImage inside = drawn(view);
  // The offset line across the fill (one pixel, either side of y 50).
  const int line =
      std::min(QColor(inside.pixel(30, 49)).lightness(), QColor(inside.pixel(30, 50)).lightness());
  EXPECT_LT(line, QColor(inside.pixel(30, 60)).lightness() - 15);
  ASSERT_TRUE(view.theSpline()->loadSnapshot({{QStringLiteral("vOffset"), 1.5}}));
  view.prepareCurvePoints();  // clamped to 1: the curve along the top edge
  const QImage outside = drawn(view);
  for (int y : {49, 50})
    EXPECT_EQ(outside.pixel(30, y), outside.pixel(30, 60)) << "no offset line at " << y;
}

TEST(SplineMonitor, DrawsNothingWhileThePaletteIsCollapsed) {
  SKIP_WITHOUT_DISPLAY();
  PalettePtr palette = makePalette(QStringLiteral("Oscillator"), {100, 400, 200, 120}, false);
  auto* view = new View(palette->contentView()->body());
  view->setGeometry(5, 5, 150, 80);
  view->show();
  palette->contentView()->collapse();
  const QImage image = drawn(*view);
  EXPECT_EQ(image.pixel(40, 40), QColor(Qt::magenta).rgb());
  palette->contentView()->expand();
  EXPECT_NE(drawn(*view).pixel(40, 40), QColor(Qt::magenta).rgb());
}

// A client evaluates on its own thread; the view stores only the phase and
// the value, and the repaint it asks for shows the marker and level.
TEST(SplineMonitor, EvaluationFromAnotherThreadShowsOnTheNextRepaint) {
  SKIP_WITHOUT_DISPLAY();
  PalettePtr palette = makePalette(QStringLiteral("Oscillator"), {100, 400, 240, 140}, false);
  auto* view = new View(palette->contentView()->body());
  view->setGeometry(5, 5, 210, 100);  // a curve area of 200 × 100
  view->show();
  EXPECT_FLOAT_EQ(view->timeVal(), -1.0f);
  float answered = -1;
  std::thread client([&] {
    answered = view->evaluateAt(0.25f);
    view->requestRedraw();
  });
  client.join();
  EXPECT_FLOAT_EQ(answered, 0.75f);
  EXPECT_FLOAT_EQ(view->timeVal(), 0.25f);
  EXPECT_FLOAT_EQ(view->lastValue(), 0.75f);
  EXPECT_TRUE(MainThread::processUntil([&] { return !view->redrawPending(); }, 3.0));

  const QImage image = view->grab().toImage();
  saveScreenshot(palette->grab().toImage(), QStringLiteral("curve-monitor"));
  const QVariantMap level =
      ThemeDict::map(ThemeDict::levelViewColors(), QStringLiteral("simpleLevelView"));
  const QRgb levelColor = ThemeDict::color(level, QStringLiteral("levelColor")).rgb();
  // The level bar: 3/4 of the height from the bottom, right of the curve area.
  EXPECT_EQ(image.pixel(206, 90), levelColor);
  EXPECT_EQ(image.pixel(206, 30), levelColor);
  EXPECT_NE(image.pixel(206, 20), levelColor);
  // The time marker: a vertical line at x = 50 in the time colour (green).
  const QColor marker(image.pixel(50, 60));
  EXPECT_GT(marker.green(), marker.red() + 60);
  // The diamond around (50, 25).
  const QColor diamond(image.pixel(51, 25));
  EXPECT_GT(diamond.green(), diamond.red() + 60);
}

TEST(SplineMonitor, SnapshotsAndTheClientsReshapeReachTheSamples) {
  View view;
  view.resize(110, 100);
  ASSERT_TRUE(
      view.loadSnapshot({{QStringLiteral("vOffset"), 0.25}, {QStringLiteral("amplitude"), 0.5}}));
  drawn(view);  // the draw after a load resamples
  EXPECT_FLOAT_EQ(view.curvePoint(0), 0.75f);
  view.theSpline()->setVOffset(0);
  view.prepareCurvePoints();
  EXPECT_FLOAT_EQ(view.curvePoint(0), 0.5f);
  EXPECT_EQ(view.createSnapshot(), view.theSpline()->createSnapshot());
}

}  // namespace
