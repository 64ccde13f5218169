#include "BehaviorFixture.h"

#include "framework/behaviors/LookupCurve.h"
#include "framework/behaviors/Threshold.h"
#include "framework/curves/QKSingleSpline.h"
#include "framework/curves/QKSingleSplineView.h"
#include "framework/curves/QKSplineViewBox.h"

#include <string>

namespace {

class BehaviorSnapshotTest : public BehaviorFixture,
                             public ::testing::WithParamInterface<const char*> {};

// Every parameter slider moved to 0.3 and the behaviour switched off, saved
// and loaded into a fresh behaviour of the same name: the same snapshot.
TEST_P(BehaviorSnapshotTest, RoundTripsItsSlidersAndItsOnOffButton) {
  const QString name = QString::fromLatin1(GetParam());
  auto original = behavior(name);
  std::optional<QVariantMap> edited = original->createSnapshot();
  ASSERT_TRUE(edited.has_value());
  for (auto it = edited->begin(); it != edited->end(); ++it) {
    if (it.key() == LookupCurve::kSplineViewKey) continue;  // the curve: no slider
    QVariantMap entry = it.value().toMap();
    if (it.key() == FXObject::kBypassButtonKey)
      entry.insert(QStringLiteral("buttonValue"), 0);
    else
      entry.insert(QStringLiteral("value"), 0.3);
    it.value() = entry;
  }
  original->loadSnapshot(*edited);
  const std::optional<QVariantMap> saved = original->createSnapshot();
  ASSERT_TRUE(saved.has_value());
  EXPECT_TRUE(original->bypass());

  auto restored = behavior(name);
  restored->loadSnapshot(*saved);
  EXPECT_EQ(restored->createSnapshot(), saved);
  EXPECT_TRUE(restored->bypass());
  for (auto it = saved->begin(); it != saved->end(); ++it) {
    if (it.key() == FXObject::kBypassButtonKey || it.key() == LookupCurve::kSplineViewKey) continue;
    EXPECT_NEAR(it.value().toMap().value(QStringLiteral("value")).toDouble(), 0.3, 1e-6)
        << it.key().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Behaviours, BehaviorSnapshotTest,
                         ::testing::Values("AverageWith", "Crop", "Delay", "Fall", "Invert",
                                           "LookupCurve", "MinMax", "Modulus", "Multiply", "Offset",
                                           "OffsetWrap", "Randomize", "RangedMultiply", "Scale",
                                           "Smooth", "SmoothWrap", "Snap", "Threshold",
                                           "Trianglize"),
                         [](const auto& info) { return std::string(info.param); });

using BehaviorSnapshotEntriesTest = BehaviorFixture;

TEST_F(BehaviorSnapshotEntriesTest, AnEntryOfTheWrongTypeLeavesItsParameter) {
  auto threshold = behavior<Threshold>(QStringLiteral("Threshold"));
  threshold->setThreshold(0.3f);
  QVariantMap snapshot = *threshold->createSnapshot();
  snapshot.insert(QStringLiteral("threshSlider"), QStringLiteral("0.9"));
  threshold->loadSnapshot(snapshot);
  EXPECT_FLOAT_EQ(threshold->threshold(), 0.3f);
}

// The curve as the stand-in box stored it (the curve's own snapshot under
// "splineView", or its keys at the top level in the older form) loads into
// the real curve, which the behaviour then evaluates and saves.
TEST_F(BehaviorSnapshotEntriesTest, LookupCurveLoadsTheStoredCurve) {
  QKSingleSpline drawn;
  drawn.insertControlPointAtXLoc(0.3f);
  drawn.setHandleForPoint(0, 0.5f, 0.9f);
  drawn.setVOffset(0.125f);
  const QVariantMap curve = drawn.createSnapshot();

  auto current = behavior<LookupCurve>(QStringLiteral("LookupCurve"));
  QVariantMap snapshot = *current->createSnapshot();
  snapshot.insert(LookupCurve::kSplineViewKey, curve);
  current->loadSnapshot(snapshot);
  EXPECT_EQ(current->createSnapshot()->value(LookupCurve::kSplineViewKey).toMap(), curve);
  auto slider = cell();
  EXPECT_FLOAT_EQ(pass(*current, *slider, 0.2f), drawn.evaluateAt(0.2f));

  auto legacy = behavior<LookupCurve>(QStringLiteral("LookupCurve"));
  QVariantMap old = *legacy->createSnapshot();
  old.remove(LookupCurve::kSplineViewKey);
  old.insert(curve);
  legacy->loadSnapshot(old);
  EXPECT_EQ(legacy->createSnapshot()->value(LookupCurve::kSplineViewKey).toMap(), curve);

  // A broken curve entry leaves the curve as it was.
  legacy->loadSnapshot({{LookupCurve::kSplineViewKey,
                         QVariantMap{{QStringLiteral("splineSnapsArray"), QVariantList()}}}});
  EXPECT_EQ(legacy->createSnapshot()->value(LookupCurve::kSplineViewKey).toMap(), curve);
}

// The panel's curve box edits the very curve the behaviour evaluates.
TEST_F(BehaviorSnapshotEntriesTest, LookupCurvePanelEditsTheEvaluatedCurve) {
  auto lookup = behavior<LookupCurve>(QStringLiteral("LookupCurve"));
  QKSplineViewBox* box = lookup->waveformBox();
  ASSERT_NE(box, nullptr);
  ASSERT_NE(box->splineView(), nullptr);
  EXPECT_EQ(box->splineView()->theSpline(), lookup->curve());
  box->splineView()->theSpline()->setVOffset(-0.5f);
  auto slider = cell();
  EXPECT_FLOAT_EQ(pass(*lookup, *slider, 0.25f), 0.25f);  // 0.75 − 0.5
}

}  // namespace
