// The mouse-editing protocol in curve coordinates (y up), on an editor of
// 200 × 100 points showing the falling ramp: its points are drawn at
// (0, 100), (100, 50) and (200, 0).
#include "framework/curves/QKSingleSpline.h"
#include "framework/toolkit/ModifierKeys.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Point = QKQuadraticSpline::Point;

constexpr int kNone = 0;
constexpr int kCommand = ModifierKeys::kCommandFlag;
constexpr int kOption = ModifierKeys::kOptionFlag;

const QPointF kFirst(1, 99);
const QPointF kJunction(100, 50);
const QPointF kLast(199, 1);
const QPointF kEmpty(50, 10);       // far from the curve and its points
const QPointF kOnTheCurve(50, 75);  // phase 0.25, away from the points

std::unique_ptr<QKSingleSpline> editorCurve() {
  auto curve = std::make_unique<QKSingleSpline>();
  curve->setBounds(QRectF(0, 0, 200, 100));
  return curve;
}

std::vector<float> probes(const QKSingleSpline& curve) {
  std::vector<float> values;
  for (int i = 0; i <= 32; ++i) values.push_back(curve.evaluateAt(i / 32.0f));
  return values;
}

TEST(CurveClick, SelectsInsertsAndRemovesPoints) {
  struct Case {
    const char* name;
    QPointF at;
    int flags;
    bool redraw;
    int segment, point, dragMode, segmentsAfter;
  };
  const Case cases[] = {
      {"first point", kFirst, kNone, true, 0, 0, 1, 2},
      {"a junction selects the later segment's start", kJunction, kNone, true, 1, 0, 1, 2},
      {"last point", kLast, kNone, true, 1, 2, 1, 2},
      {"empty space selects nothing", kEmpty, kNone, false, -1, -1, 2, 2},
      {"option on a start point turns its control point on", kFirst, kOption, true, 0, 1, 1, 2},
      {"command on the curve inserts a point to drag", kOnTheCurve, kCommand, true, 1, 0, 1, 3},
      {"command on a junction removes it", kJunction, kCommand, true, -1, -1, 1, 1},
      {"command on the first point removes nothing", kFirst, kCommand, true, -1, -1, 1, 2},
      {"command on the last point removes nothing", kLast, kCommand, true, -1, -1, 1, 2},
      {"command away from the curve inserts nothing", kEmpty, kCommand, false, -1, -1, 2, 2},
  };
  for (const Case& c : cases) {
    auto curve = editorCurve();
    EXPECT_EQ(curve->handleClick(c.at, c.flags), c.redraw) << c.name;
    EXPECT_EQ(curve->clickedSegmentIndex(), c.segment) << c.name;
    EXPECT_EQ(curve->clickedPtIndex(), c.point) << c.name;
    EXPECT_EQ(curve->dragMode(), c.dragMode) << c.name;
    EXPECT_EQ(curve->segmentCount(), c.segmentsAfter) << c.name;
  }
}

TEST(CurveClick, OptionOrCommandOnAControlPointSwitchesItOff) {
  for (int flags : {kOption, kCommand}) {
    auto curve = editorCurve();
    curve->setHandleForPoint(0, 0.5f, 0.2f);  // drawn at (50, 20)
    EXPECT_TRUE(curve->handleClick(QPointF(50, 20), flags));
    EXPECT_FALSE(curve->splineArray()[0].useControlPoint());
    EXPECT_EQ(curve->clickedSegmentIndex(), -1);
  }
  auto curve = editorCurve();
  curve->setHandleForPoint(0, 0.5f, 0.2f);
  EXPECT_TRUE(curve->handleClick(QPointF(50, 20), kNone));
  EXPECT_EQ(curve->clickedPtIndex(), 1);
  // Option on the start point again turns it off and selects the start point.
  EXPECT_TRUE(curve->handleClick(kFirst, kOption));
  EXPECT_FALSE(curve->splineArray()[0].useControlPoint());
  EXPECT_EQ(curve->clickedPtIndex(), 0);
}

// An insertion keeps the raw value of the segment there, so the curve shows
// the same values everywhere whatever its offset and amplitude.
TEST(CurveInsertRemove, InsertionKeepsEveryOutput) {
  struct Case {
    const char* name;
    float hOffset, vOffset, amplitude;
    float at;
    int expectedIndex;
  };
  const Case cases[] = {
      {"plain", 0, 0, 1, 0.3f, 1},
      {"amplitude 0.5, vOffset 0.25", 0, 0.25f, 0.5f, 0.3f, 1},
      {"clamped parts", 0, 0.6f, 1.0f, 0.7f, 2},
      {"phase offset (view phase 0.9 is curve phase 0.65)", 0.25f, 0, 1, 0.9f, 2},
      {"on a junction: no point", 0, 0.25f, 0.5f, 0.5f, -1},
      {"on the start: no point", 0, 0, 1, 0.0f, -1},
  };
  for (const Case& c : cases) {
    QKSingleSpline curve;
    curve.setHOffset(c.hOffset);
    curve.setVOffset(c.vOffset);
    curve.setAmplitude(c.amplitude);
    const std::vector<float> before = probes(curve);
    EXPECT_EQ(curve.insertControlPointAtXLoc(c.at), c.expectedIndex) << c.name;
    EXPECT_EQ(curve.segmentCount(), c.expectedIndex < 0 ? 2 : 3) << c.name;
    const std::vector<float> after = probes(curve);
    for (size_t i = 0; i < before.size(); ++i)
      EXPECT_NEAR(after[i], before[i], 1e-6) << c.name << i;
  }
}

TEST(CurveInsertRemove, RemovalJoinsTheNeighboursAndIgnoresTheEnds) {
  struct Case {
    int index;
    int segmentsAfter;
  };
  for (const Case c : {Case{0, 3}, Case{3, 3}, Case{-1, 3}, Case{1, 2}, Case{2, 2}}) {
    QKSingleSpline curve;
    curve.insertControlPointAtXLoc(0.25f);  // points at 0, 0.25, 0.5, 1
    curve.removeControlPointAtIndex(c.index);
    EXPECT_EQ(curve.segmentCount(), c.segmentsAfter) << c.index;
    const auto segments = curve.splineArray();
    EXPECT_EQ(segments.front().start().x, 0.0f);
    EXPECT_EQ(segments.back().end().x, 1.0f);
    for (size_t i = 1; i < segments.size(); ++i)
      EXPECT_EQ(segments[i].start(), segments[i - 1].end());
  }
}

struct DragCase {
  const char* name;
  QPointF click;
  int flags;
  QPointF to;  // divided by the bounds
  int segment;
  int point;
  Point expected;
};

TEST(CurveDrag, PointsStayInOrderOnTheGrid) {
  const DragCase cases[] = {
      {"the first point keeps x = 0", kFirst, kNone, {0.3, 0.2}, 0, 0, {0, 0.2f}},
      {"the last point keeps x = 1", kLast, kNone, {0.7, 0.6}, 1, 2, {1, 0.6f}},
      {"a junction stops 0.01 before the next point",
       kJunction,
       kNone,
       {0.995, 0.3},
       1,
       0,
       {0.99f, 0.3f}},
      {"a junction stops 0.01 after the previous point",
       kJunction,
       kNone,
       {0.0, 0.3},
       1,
       0,
       {0.01f, 0.3f}},
      {"snapped to the grid and clamped to 0..1",
       kJunction,
       kNone,
       {0.36, 1.4},
       1,
       0,
       {0.375f, 1.0f}},
      {"the curve's junction moves with it", kJunction, kNone, {0.3, 0.49}, 0, 2, {0.3f, 0.5f}},
  };
  for (const DragCase& c : cases) {
    auto curve = editorCurve();
    ASSERT_TRUE(curve->handleClick(c.click, c.flags)) << c.name;
    curve->selectedPointMovedTo(c.to);
    const auto segment = curve->splineArray()[c.segment];
    EXPECT_NEAR(segment.getControlPointAtIndex(c.point).x, c.expected.x, 1e-6) << c.name;
    EXPECT_NEAR(segment.getControlPointAtIndex(c.point).y, c.expected.y, 1e-6) << c.name;
  }
}

TEST(CurveDrag, ControlPointXIsRelativeAndClamped) {
  const struct {
    QPointF to;
    Point expected;
  } cases[] = {
      {{0.25, 0.8}, {0.5f, 0.8f}}, {{0.9, 0.8}, {1.0f, 0.8f}}, {{-0.2, 0.0}, {0.0f, 0.0f}}};
  for (const auto& c : cases) {
    auto curve = editorCurve();
    ASSERT_TRUE(curve->handleClick(kFirst, kOption));  // control point on, selected
    curve->selectedPointMovedTo(c.to);
    EXPECT_EQ(curve->splineArray()[0].control(), c.expected);
  }
}

TEST(CurveDrag, EmptySpaceMovesTheOffsetsOrWithCommandTheAmplitude) {
  struct Case {
    const char* name;
    int flags;
    QPointF to;
    float hOffset, vOffset, amplitude;
  };
  // The click at (50, 10) is (0.25, 0.1) of the editor.
  const Case cases[] = {
      {"offsets snapped", kNone, {0.37, 0.35}, 0.125f, 0.25f, 1.0f},
      {"offsets off the grid", kNone, {0.35, 0.2}, 0.1f, 0.1f, 1.0f},
      {"vOffset stays within -1..1", kNone, {0.25, -1.5}, 0.0f, -1.0f, 1.0f},
      {"amplitude up", kCommand, {0.25, 0.5}, 0.0f, 0.0f, 1.4f},
      {"amplitude snapped", kCommand, {0.25, -0.14}, 0.0f, 0.0f, 0.75f},
      {"amplitude at least 0.001", kCommand, {0.25, -1.0}, 0.0f, 0.0f, 0.001f},
  };
  for (const Case& c : cases) {
    auto curve = editorCurve();
    EXPECT_FALSE(curve->handleClick(kEmpty, c.flags)) << c.name;
    curve->selectedPointMovedTo(c.to);
    EXPECT_NEAR(curve->hOffset(), c.hOffset, 1e-6) << c.name;
    EXPECT_NEAR(curve->vOffset(), c.vOffset, 1e-6) << c.name;
    EXPECT_NEAR(curve->amplitude(), c.amplitude, 1e-6) << c.name;
  }
}

// A stored amplitude of 0 (snapshots bypass the limit): a drag moves the
// point along but cannot divide by the amplitude.
TEST(CurveDrag, AFlatCurveKeepsItsRawValues) {
  auto curve = editorCurve();
  ASSERT_TRUE(
      curve->loadSnapshot({{QStringLiteral("amplitude"), 0}, {QStringLiteral("vOffset"), 0.5}}));
  // Flat at 0.5: the junction is drawn at (100, 50).
  ASSERT_TRUE(curve->handleClick(kJunction, kNone));
  curve->selectedPointMovedTo(QPointF(0.3, 0.9));
  const Point junction = curve->splineArray()[1].start();
  EXPECT_FLOAT_EQ(junction.x, 0.3f);
  EXPECT_FLOAT_EQ(junction.y, 0.5f);
  EXPECT_FALSE(std::isnan(curve->evaluateAt(0.4f)));
}

TEST(CurveCursorChoice, FollowsPointsKeysAndDragMode) {
  struct Case {
    const char* name;
    int tagOf;  // -1: no tag; else the tag of point (segment 0, this point)
    QPointF at;
    int flags;
    int dragMode;
    bool over;
    CurveCursor cursor;
  };
  const Case cases[] = {
      {"start point by tag", 0, kEmpty, kNone, 0, true, CurveCursor::Crosshair},
      {"start point, command", 0, kEmpty, kCommand, 0, true, CurveCursor::RemoveHandle},
      {"start point, option", 0, kEmpty, kOption, 0, true, CurveCursor::ShowControlPoint},
      {"control point by tag", 1, kEmpty, kNone, 0, true, CurveCursor::Crosshair},
      {"control point, option", 1, kEmpty, kOption, 0, true, CurveCursor::RemoveHandle},
      {"near the curve with command", -1, QPointF(150, 25), kCommand, 0, true,
       CurveCursor::ShowControlPoint},
      {"over a point's square without its tag", -1, kJunction, kNone, 0, true,
       CurveCursor::Crosshair},
      {"empty space before the first mouse-up", -1, kEmpty, kNone, 1, false, CurveCursor::Arrow},
      {"empty space", -1, kEmpty, kNone, 0, false, CurveCursor::OpenHand},
      {"empty space during an offset drag", -1, kEmpty, kNone, 2, false, CurveCursor::ClosedHand},
      {"empty space with command", -1, kEmpty, kCommand, 0, false, CurveCursor::ResizeUpDown},
      {"outside the editor", -1, QPointF(250, 50), kNone, 0, false, CurveCursor::Arrow},
  };
  for (const Case& c : cases) {
    auto curve = editorCurve();
    curve->setHandleForPoint(0, 0.5f, 0.2f);
    curve->prepareTrackingRects();
    curve->setDragMode(c.dragMode);
    const int tag = c.tagOf < 0 ? -1 : curve->splineArray()[0].getTrackingPointAtIndex(c.tagOf);
    EXPECT_EQ(curve->doCursorState(tag, c.at, c.flags), c.over) << c.name;
    EXPECT_EQ(curve->cursor(), c.cursor) << c.name;
  }
}

TEST(CurveTracking, SquaresAnswerTheirTagsOnlyWhileInstalled) {
  auto curve = editorCurve();
  EXPECT_EQ(curve->trackingTagAt(kFirst), -1);  // none installed yet
  curve->prepareTrackingRects();
  const int first = curve->trackingTagAt(kFirst);
  EXPECT_EQ(first, curve->splineArray()[0].getTrackingPointAtIndex(0));
  EXPECT_EQ(curve->trackingTagAt(kEmpty), -1);
  EXPECT_TRUE(curve->handleMouseEnteredForTrackingRectTag(first, kFirst, kNone));
  EXPECT_EQ(curve->handleMousedOverTag(), first);
  curve->clearTrackingRects();
  EXPECT_EQ(curve->trackingTagAt(kFirst), -1);
  curve->prepareToBeDeleted();
  curve->prepareTrackingRects();
  EXPECT_EQ(curve->trackingTagAt(kFirst), -1);
}

TEST(CurvePaths, DrawTwoPeriodsShiftedByThePhaseOffset) {
  auto curve = editorCurve();
  const int builds = curve->curvePathBuilds();
  curve->setBounds(QRectF(0, 0, 200, 100));  // the same: nothing rebuilt
  EXPECT_EQ(curve->curvePathBuilds(), builds);
  // Shifted by −W: the second period fills the editor.
  EXPECT_TRUE(curve->curvePath().contains(QPointF(20, 40)));   // under the ramp
  EXPECT_FALSE(curve->curvePath().contains(QPointF(20, 95)));  // above it
  EXPECT_EQ(curve->curveHandlesPath().boundingRect(), QRectF(-206, -6, 412, 112));
  curve->setHOffset(0.25f);
  curve->prepareCurvePath();
  // The ramp now starts at x = 50: just right of it the curve is high.
  EXPECT_TRUE(curve->curvePath().contains(QPointF(55, 90)));
  EXPECT_FALSE(curve->curvePath().contains(QPointF(45, 90)));
  EXPECT_TRUE(curve->controlPointsPath().isEmpty() ||
              curve->controlPointsPath().boundingRect().isEmpty());
  // Eight divisions: nine lines each way.
  EXPECT_EQ(curve->gridPath().elementCount(), 2 * 9 * 2);
  curve->setSnapDivisions(1);
  curve->prepareGridPath();
  EXPECT_EQ(curve->gridPath().elementCount(), 0);
}

}  // namespace
