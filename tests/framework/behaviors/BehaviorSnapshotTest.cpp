#include "BehaviorFixture.h"

#include "framework/behaviors/LookupCurve.h"
#include "framework/behaviors/Threshold.h"

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
    if (it.key() == FXObject::kBypassButtonKey) continue;
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

TEST_F(BehaviorSnapshotEntriesTest, LookupCurveWritesBackTheCurveItLoaded) {
  const QVariantMap curve{{"points", QVariantList{0.0, 1.0, 1.0, 0.0}}, {"wrap", true}};
  auto current = behavior<LookupCurve>(QStringLiteral("LookupCurve"));
  QVariantMap snapshot = *current->createSnapshot();
  snapshot.insert(LookupCurve::kSplineViewKey, curve);
  current->loadSnapshot(snapshot);
  EXPECT_EQ(current->createSnapshot()->value(LookupCurve::kSplineViewKey).toMap(), curve);

  // The older form: the curve's keys at the top level.
  auto legacy = behavior<LookupCurve>(QStringLiteral("LookupCurve"));
  QVariantMap old = *legacy->createSnapshot();
  old.insert(curve);
  legacy->loadSnapshot(old);
  EXPECT_EQ(legacy->createSnapshot()->value(LookupCurve::kSplineViewKey).toMap(), curve);
}

}  // namespace
