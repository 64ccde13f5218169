// Evaluation, the setters' limits, snapping and the point-editing calls the
// oscillator builds its waves with.
#include "framework/curves/QKSingleSpline.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace {

using Point = QKQuadraticSpline::Point;

TEST(CurveEvaluation, FollowsOffsetsAmplitudeWrapAndClamp) {
  struct Case {
    const char* name;
    float hOffset, vOffset, amplitude;
    float phase;
    float expected;
  };
  const Case cases[] = {
      {"ramp start", 0, 0, 1, 0.0f, 1.0f},
      {"ramp middle (a junction: the earlier segment)", 0, 0, 1, 0.5f, 0.5f},
      {"ramp end", 0, 0, 1, 1.0f, 0.0f},
      {"ramp quarter", 0, 0, 1, 0.25f, 0.75f},
      {"amplitude 0.5, vOffset 0.25 at 0", 0, 0.25f, 0.5f, 0.0f, 0.75f},
      {"amplitude 0.5, vOffset 0.25 at 0.5", 0, 0.25f, 0.5f, 0.5f, 0.5f},
      {"amplitude 0.5, vOffset 0.25 at 1", 0, 0.25f, 0.5f, 1.0f, 0.25f},
      {"hOffset 0.25 at 0.25 is the shape at 0", 0.25f, 0, 1, 0.25f, 1.0f},
      {"hOffset 0.25 at 1.25 is the shape at 1 (no wrap at 1)", 0.25f, 0, 1, 1.25f, 0.0f},
      {"hOffset 0.25 at 1.3 is the shape at 0.05", 0.25f, 0, 1, 1.3f, 0.95f},
      {"a negative phase wraps", 0, 0, 1, -0.75f, 0.75f},
      {"clamped above 1", 0, 0.5f, 1, 0.0f, 1.0f},
      {"clamped below 0", 0, -0.5f, 1, 1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    QKSingleSpline curve;
    curve.setHOffset(c.hOffset);
    curve.setVOffset(c.vOffset);
    curve.setAmplitude(c.amplitude);
    EXPECT_NEAR(curve.evaluateAt(c.phase), c.expected, 1e-5) << c.name;
    EXPECT_NEAR(curve.lastEvalPoint().y(), c.expected, 1e-5) << c.name;
  }
}

TEST(CurveEvaluation, LastEvalPointHoldsThePhaseOnTheSegmentAndTheClampedValue) {
  QKSingleSpline curve;
  curve.setVOffset(0.5f);
  EXPECT_EQ(curve.evaluateAt(0.25f), 1.0f);
  EXPECT_FLOAT_EQ(curve.lastEvalPoint().x(), 0.25f);
  EXPECT_FLOAT_EQ(curve.lastEvalPoint().y(), 1.0f);
}

// A bent segment is the cubic with both inner control points at Q; the
// fifteen bisection steps land within 1/65536 of the phase.
TEST(CurveEvaluation, BentSegmentMatchesTheCubicThroughItsControlPoint) {
  QKSingleSpline curve;
  QKQuadraticSpline bent(Point{0, 0}, Point{1, 0}, Point{1, 1});
  bent.setUseControlPoint(true);
  ASSERT_TRUE(curve.setSplineArray({bent}));
  for (float phase : {0.1f, 0.33f, 0.5f, 0.77f, 0.95f}) {
    // Reference: x(t) = 3t(1 − t) + t³ rises monotonically; solve it finely.
    double lo = 0, hi = 1;
    for (int i = 0; i < 60; ++i) {
      const double t = (lo + hi) / 2;
      (3 * t * (1 - t) + t * t * t < phase ? lo : hi) = t;
    }
    const double t = (lo + hi) / 2;
    EXPECT_NEAR(curve.evaluateAt(phase), t * t * t, 2e-4) << phase;
  }
}

TEST(CurveEvaluation, SettersKeepTheirLimitsAndSnapshotsBypassThem) {
  QKSingleSpline curve;
  struct Case {
    const char* name;
    void (QKSingleSpline::*set)(float);
    float (QKSingleSpline::*get)() const;
    float value, stored;
  };
  const Case cases[] = {
      {"amplitude 0", &QKSingleSpline::setAmplitude, &QKSingleSpline::amplitude, 0.0f, 0.001f},
      {"amplitude negative", &QKSingleSpline::setAmplitude, &QKSingleSpline::amplitude, -2.0f,
       0.001f},
      {"amplitude 0.5", &QKSingleSpline::setAmplitude, &QKSingleSpline::amplitude, 0.5f, 0.5f},
      {"vOffset 3", &QKSingleSpline::setVOffset, &QKSingleSpline::vOffset, 3.0f, 1.0f},
      {"vOffset -3", &QKSingleSpline::setVOffset, &QKSingleSpline::vOffset, -3.0f, -1.0f},
      {"hOffset unlimited", &QKSingleSpline::setHOffset, &QKSingleSpline::hOffset, 5.5f, 5.5f},
      {"hOffset NaN ignored", &QKSingleSpline::setHOffset, &QKSingleSpline::hOffset, NAN, 5.5f},
  };
  for (const Case& c : cases) {
    (curve.*c.set)(c.value);
    EXPECT_FLOAT_EQ((curve.*c.get)(), c.stored) << c.name;
  }
  ASSERT_TRUE(
      curve.loadSnapshot({{QStringLiteral("vOffset"), 3.0}, {QStringLiteral("amplitude"), 0.0}}));
  EXPECT_FLOAT_EQ(curve.vOffset(), 3.0f);
  EXPECT_FLOAT_EQ(curve.amplitude(), 0.0f);
  EXPECT_FLOAT_EQ(curve.hOffset(), 5.5f);  // absent: kept
}

TEST(CurveEvaluation, SnapsWithinTheSensitivityOfTheGrid) {
  QKSingleSpline curve;
  const struct {
    float value, snapped;
  } cases[] = {{0.13f, 0.125f}, {0.15f, 0.15f}, {0.49f, 0.5f}, {-0.01f, 0.0f},
               {0.98f, 1.0f},   {1.5f, 1.5f},   {0.3f, 0.3f}};
  for (const auto& c : cases) EXPECT_FLOAT_EQ(curve.snapValueToGrid(c.value), c.snapped) << c.value;
  curve.setSnapDivisions(4);
  EXPECT_FLOAT_EQ(curve.snapValueToGrid(0.26f), 0.25f);
  EXPECT_FLOAT_EQ(curve.snapValueToGrid(0.13f), 0.13f);
}

TEST(CurveEvaluation, RemoveAllControlPointsLeavesOneSegmentAcross) {
  QKSingleSpline curve;
  curve.addControlPointAtXLoc(0.25f, 0.2f);
  curve.removeAllControlPoints();
  const auto segments = curve.splineArray();
  ASSERT_EQ(segments.size(), 1u);
  EXPECT_EQ(segments[0].start(), (Point{0, 1}));
  EXPECT_EQ(segments[0].end(), (Point{1, 0}));
  EXPECT_EQ(segments[0].control(), (Point{0.5f, 0}));  // the first segment's
  EXPECT_FALSE(segments[0].useControlPoint());
  EXPECT_NEAR(curve.evaluateAt(0.3f), 0.7f, 1e-6);
}

TEST(CurveEvaluation, HandlesMagnitudesAndIndexesOutOfRange) {
  QKSingleSpline curve;
  curve.setHandleForPoint(0, 0.3f, 0.1f);
  EXPECT_TRUE(curve.splineArray()[0].useControlPoint());
  curve.setHandleForPoint(0, 0.0f, 0.0f);
  EXPECT_FALSE(curve.splineArray()[0].useControlPoint());
  curve.setHandleForPoint(2, 0.3f, 0.3f);  // no segment 2: nothing
  curve.setHandleForPoint(-1, 0.3f, 0.3f);

  curve.setMagnitudeForPoint(1, 0.8f);  // the junction: both sides
  EXPECT_FLOAT_EQ(curve.splineArray()[0].end().y, 0.8f);
  EXPECT_FLOAT_EQ(curve.splineArray()[1].start().y, 0.8f);
  curve.setMagnitudeForPoint(2, 0.1f);  // the end
  EXPECT_FLOAT_EQ(curve.splineArray()[1].end().y, 0.1f);
  curve.setMagnitudeForPoint(0, 0.2f);  // the start
  EXPECT_FLOAT_EQ(curve.splineArray()[0].start().y, 0.2f);
  curve.setMagnitudeForPoint(3, 0.9f);  // beyond the end: nothing
  EXPECT_FLOAT_EQ(curve.evaluateAt(0.5f), 0.8f);
  EXPECT_FLOAT_EQ(curve.splineArray()[0].start().x, 0.0f);
  EXPECT_FLOAT_EQ(curve.splineArray()[0].end().x, 0.5f);
}

// The oscillator's square: a point added where none stands, heights set.
TEST(CurveEvaluation, BuildsAWaveFromAddedPoints) {
  QKSingleSpline curve;
  curve.removeAllControlPoints();
  curve.setHOffset(0);
  curve.setHandleForPoint(0, 0, 0);
  curve.setMagnitudeForPoint(0, 0);
  curve.setMagnitudeForPoint(1, 0);
  curve.addControlPointAtXLoc(0.249f, 0.0f);
  curve.addControlPointAtXLoc(0.25f, 1.0f);
  curve.addControlPointAtXLoc(0.749f, 1.0f);
  curve.addControlPointAtXLoc(0.75f, 0.0f);
  EXPECT_EQ(curve.segmentCount(), 5);
  EXPECT_FLOAT_EQ(curve.evaluateAt(0.1f), 0.0f);
  EXPECT_FLOAT_EQ(curve.evaluateAt(0.5f), 1.0f);
  EXPECT_FLOAT_EQ(curve.evaluateAt(0.9f), 0.0f);
}

TEST(CurveEvaluation, WholeArrayReplacementIsCheckedAndAtomic) {
  QKSingleSpline curve;
  const std::vector<QKQuadraticSpline> rising = {
      QKQuadraticSpline(Point{0, 0}, Point{0.5f, 0}, Point{0.5f, 0.5f}),
      QKQuadraticSpline(Point{0.5f, 0.5f}, Point{1, 0}, Point{1, 1})};
  ASSERT_TRUE(curve.setSplineArray(rising));
  EXPECT_FLOAT_EQ(curve.evaluateAt(0.25f), 0.25f);
  // A gap between the segments: refused, the rising curve stays.
  const std::vector<QKQuadraticSpline> gap = {
      QKQuadraticSpline(Point{0, 0}, Point{}, Point{0.4f, 0.5f}),
      QKQuadraticSpline(Point{0.5f, 0.5f}, Point{}, Point{1, 1})};
  EXPECT_FALSE(curve.setSplineArray(gap));
  EXPECT_FALSE(curve.setSplineArray({}));
  EXPECT_EQ(curve.splineArray(), rising);
}

}  // namespace

namespace {

// The evaluation worked out here over a plain copy of the curve: the phase
// wrapped in double, the first segment holding it, the curve maths, the
// offsets and the clamp.
struct PlainResult {
  float x = 0;
  float value = 0;
};

PlainResult plainEvaluation(const QKSingleSpline& curve, float phase) {
  const float u = CurveMath::wrappedPhase(double(phase) - double(curve.hOffset()));
  CurveMath::Sample sample;
  for (const QKQuadraticSpline& s : curve.splineArray()) {
    const Point q = s.absoluteControlPoint();
    const CurveMath::Segment segment{s.start().x, s.start().y,        q.x, q.y, s.end().x,
                                     s.end().y,   s.useControlPoint()};
    if (CurveMath::contains(segment, u)) {
      sample = CurveMath::rawValue(segment, u);
      break;
    }
  }
  return {sample.x, CurveMath::output(sample.y, curve.vOffset(), curve.amplitude())};
}

std::vector<QKQuadraticSpline> bentSegments(int count) {
  std::vector<QKQuadraticSpline> segments;
  for (int i = 0; i < count; ++i) {
    QKQuadraticSpline segment(Point{float(i) / count, 0.5f + 0.4f * std::sin(i * 0.7f)},
                              Point{0.3f + 0.02f * i, 0.5f + 0.3f * std::cos(i * 1.3f)},
                              Point{float(i + 1) / count, 0.5f + 0.4f * std::sin((i + 1) * 0.7f)});
    segment.setUseControlPoint(i % 3 != 2);
    segments.push_back(segment);
  }
  return segments;
}

}  // namespace

// The published copy that other threads evaluate gives, bit for bit, what
// the curve's own segments give, in value and in lastEvalPoint: curves
// straight, bent and edited, under offsets that wrap and clamp, at phases
// on junctions, ends, negatives and beyond one.
TEST(CurveEvaluation, ThePublishedCopyGivesTheSameBitsAsTheSegments) {
  struct Shape {
    const char* name;
    std::function<void(QKSingleSpline&)> make;
  };
  const Shape shapes[] = {
      {"initial ramp", [](QKSingleSpline&) {}},
      {"sixteen segments",
       [](QKSingleSpline& c) { ASSERT_TRUE(c.setSplineArray(bentSegments(16))); }},
      {"forty segments",
       [](QKSingleSpline& c) { ASSERT_TRUE(c.setSplineArray(bentSegments(40))); }},
      {"edited by points",
       [](QKSingleSpline& c) {
         c.insertControlPointAtXLoc(0.3f);
         c.insertControlPointAtXLoc(0.8f);
         c.setMagnitudeForPoint(1, 0.9f);
         c.setHandleForPoint(0, 0.4f, 0.1f);
       }},
  };
  struct Offsets {
    float hOffset, vOffset, amplitude;
  };
  const Offsets offsets[] = {
      {0, 0, 1}, {0.1f, 0.05f, 0.9f}, {-0.37f, 0.6f, 0.7f}, {2.25f, -0.3f, 1.0f}};
  std::vector<float> phases = {0.0f, 0.25f, 0.5f, 1.0f, -1.0f, 1.5f, -0.0f, 1e-7f, 0.9999999f};
  for (int i = 0; i < 2000; ++i) phases.push_back(std::fmod(i * 0.618034f, 2.6f) - 0.65f);
  for (const Shape& shape : shapes)
    for (const Offsets& o : offsets) {
      QKSingleSpline curve;
      shape.make(curve);
      curve.setHOffset(o.hOffset);
      curve.setVOffset(o.vOffset);
      curve.setAmplitude(o.amplitude);
      int differences = 0;
      for (float phase : phases) {
        const float value = curve.evaluateAt(phase);
        const PlainResult want = plainEvaluation(curve, phase);
        if (std::bit_cast<std::uint32_t>(value) != std::bit_cast<std::uint32_t>(want.value) ||
            curve.lastEvalPoint() != QPointF(want.x, want.value))
          ++differences;
      }
      EXPECT_EQ(differences, 0) << shape.name << " under offsets " << o.hOffset << " " << o.vOffset
                                << " " << o.amplitude;
    }
}
