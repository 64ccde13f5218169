#include "framework/controls/QKSliderCell.h"
#include "tests/framework/controls/SliderFakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QVariantList numbers(std::initializer_list<double> values) {
  QVariantList list;
  for (double v : values) list.append(v);
  return list;
}

}  // namespace

TEST(SliderSnapshot, RoundTripKeepsTheSettings) {
  FakeSliderManager manager;
  auto chain = std::make_shared<FakeChain>([](float v) { return v; }, QStringLiteral("wobble"));
  manager.chains[QStringLiteral("wobble")] = chain;

  ViewedSlider original;
  original.cell->setSliderManager(&manager);
  original.cell->setSliderName(QStringLiteral("Opacity"));
  original.cell->setKey(QStringLiteral("opacity"));
  original.cell->setMinEnv(0.2f);
  original.cell->setMaxEnv(0.8f);
  original.cell->setValue(0.6f);
  original.cell->addInterestingPoint(0.3f);
  original.cell->addInterestingPoint(0.7f);
  original.cell->useThisSource(KeyPath{"OSC", "/layer/1/opacity"});
  original.cell->useBehaviorNamed(QStringLiteral("wobble"));
  original.cell->setBehaviorFlag(true);
  original.cell->setLockUIFlag(true);
  const QVariantMap snapshot = original.cell->createSnapshot();

  EXPECT_EQ(snapshot.value("sliderName").toString(), "Opacity");
  EXPECT_EQ(snapshot.value("key").toString(), "opacity");
  EXPECT_EQ(snapshot.value("syncArray").toList(), (QVariantList{"OSC", "/layer/1/opacity"}));
  EXPECT_FALSE(snapshot.contains("minRange"));

  ViewedSlider restored;
  restored.cell->setSliderManager(&manager);
  restored.cell->setMaxRange(50.0f);
  restored.cell->loadSnapshot(snapshot);
  EXPECT_FLOAT_EQ(restored.cell->minEnv(), 0.2f);
  EXPECT_FLOAT_EQ(restored.cell->maxEnv(), 0.8f);
  EXPECT_FLOAT_EQ(restored.cell->value(), 0.6f);
  EXPECT_EQ(restored.cell->interestingPoints(), (QList<float>{0.3f, 0.7f}));
  EXPECT_EQ(restored.cell->syncArray(), (KeyPath{"OSC", "/layer/1/opacity"}));
  EXPECT_EQ(restored.cell->syncText().string(), "OSC//layer/1/opacity");
  EXPECT_EQ(restored.cell->behaviorChain(), chain);
  EXPECT_TRUE(restored.cell->behaviorFlag());
  EXPECT_TRUE(restored.cell->lockUIFlag());
  EXPECT_EQ(restored.cell->maxRange(), 50.0f);  // the range is the owner's, not the snapshot's
  EXPECT_EQ(restored.cell->sliderName(), "defaultName");  // written, not read
  EXPECT_EQ(restored.cell->envText().string(), "10.00 / 40.00");
  EXPECT_EQ(restored.cell->valueText().string(), "30.00");
  EXPECT_EQ(restored.outputs, (std::vector<float>{0.6f}));  // the restored value is output
}

// Damaged or hand-edited snapshots: envelopes are put in order and into
// 0..1, marks clamped and sorted, mistyped entries left alone.
TEST(SliderSnapshot, LoadingNormalisesWhatItRestores) {
  struct Case {
    const char* name;
    QVariantMap snapshot;
    float expectMin, expectMax;
    QList<float> expectMarks;
  };
  const Case cases[] = {
      {"envelopes the wrong way round", {{"minenv", 0.9}, {"maxenv", 0.1}}, 0.1f, 0.9f, {}},
      {"envelopes outside 0..1", {{"minenv", -0.5}, {"maxenv", 7.0}}, 0.0f, 1.0f, {}},
      {"only the lower, above the upper", {{"minenv", 0.95}}, 0.7f, 0.95f, {}},
      {"mistyped envelope", {{"minenv", "0.3"}, {"maxenv", QVariantList{}}}, 0.2f, 0.7f, {}},
      {"unsorted marks outside 0..1",
       {{"interestingPoints", numbers({0.8, -0.2, 1.4, 0.3})}},
       0.2f,
       0.7f,
       {0.0f, 0.3f, 0.8f, 1.0f}},
      {"marks with entries that are not numbers",
       {{"interestingPoints", QVariantList{0.5, "x", std::nan(""), QVariantMap{}}}},
       0.2f,
       0.7f,
       {0.5f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cell = QKSliderCell::create();
    cell->setMinEnv(0.2f);
    cell->setMaxEnv(0.7f);
    cell->addInterestingPoint(0.45f);
    cell->loadSnapshot(c.snapshot);
    EXPECT_FLOAT_EQ(cell->minEnv(), c.expectMin);
    EXPECT_FLOAT_EQ(cell->maxEnv(), c.expectMax);
    if (c.snapshot.contains("interestingPoints")) {
      EXPECT_EQ(cell->interestingPoints(), c.expectMarks);
    } else {
      EXPECT_EQ(cell->interestingPoints(), (QList<float>{0.45f}));
    }
    EXPECT_LE(cell->minEnv(), cell->maxEnv());
    cell->prepareToBeDeleted();
  }
}

TEST(SliderSnapshot, LegacyBindingKeysAndTheInterfaceLock) {
  struct Case {
    QString generator, specific;
    KeyPath expect;
  };
  const Case cases[] = {
      {"Hardware", "h.mouse", {"Mouse", "X"}},
      {"Hardware", "v.mouse", {"Mouse", "Y"}},
      {"LFO 1", "sine", {"LFO 1", "sine"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.specific.toStdString());
    auto cell = QKSliderCell::create();
    cell->useThisSource(KeyPath{"MIDI", "x"});
    cell->setLockUIFlag(true);
    cell->loadSnapshot({{"syncGen", c.generator}, {"syncSpec", c.specific}});
    EXPECT_EQ(cell->syncArray(), c.expect);
    EXPECT_FALSE(cell->lockUIFlag());  // missing from the snapshot: cleared
    cell->prepareToBeDeleted();
  }
  // "syncArray" wins over the older keys; one older key alone is not enough.
  auto cell = QKSliderCell::create();
  cell->loadSnapshot(
      {{"syncArray", QVariantList{"Key", "a"}}, {"syncGen", "Hardware"}, {"syncSpec", "h.mouse"}});
  EXPECT_EQ(cell->syncArray(), (KeyPath{"Key", "a"}));
  cell->loadSnapshot({{"syncGen", "Hardware"}});
  EXPECT_EQ(cell->syncArray(), (KeyPath{"Key", "a"}));
  cell->prepareToBeDeleted();
}

TEST(SliderSnapshot, SnapshotNeverHoldsInfinityOrNaN) {
  auto cell = QKSliderCell::create();
  cell->setValue(std::numeric_limits<float>::infinity());
  cell->justSetValue(std::numeric_limits<float>::quiet_NaN());
  cell->justSetMaxenv(std::numeric_limits<float>::infinity());
  cell->setValueWithRangedValue(3.0f);
  cell->setMinRange(2.0f);
  cell->setMaxRange(2.0f);
  cell->justSetValueWithRangedValue(9.0f);
  const QVariantMap snapshot = cell->createSnapshot();
  for (const QString key : {"value", "minenv", "maxenv"})
    EXPECT_TRUE(std::isfinite(snapshot.value(key).toDouble())) << key.toStdString();
  cell->prepareToBeDeleted();
}

TEST(SliderArchive, DefaultsForMissingKeysAndRoundTrip) {
  auto plain = QKSliderCell::createWithCoder({});
  EXPECT_EQ(plain->sliderName(), "defaultName");
  EXPECT_TRUE(plain->key().isNull());
  EXPECT_EQ(plain->minRange(), 0.0f);
  EXPECT_EQ(plain->maxRange(), 1.0f);
  EXPECT_EQ(plain->value(), 0.5f);
  EXPECT_EQ(plain->lastInputValue(), 0.5f);
  EXPECT_EQ(plain->syncArray(), (KeyPath{"Mouse", "X"}));
  EXPECT_FALSE(plain->deleted());
  plain->prepareToBeDeleted();

  auto cell = QKSliderCell::create();
  cell->setSliderName(QStringLiteral("Rate"));
  cell->setKey(QStringLiteral("rate"));
  cell->setMinRange(-1.0f);
  cell->setMaxRange(4.0f);
  cell->setMinEnv(0.1f);
  cell->setMaxEnv(0.6f);
  cell->setFillValue(0.2f);
  cell->setValue(0.4f);
  QVariantMap coder;
  cell->encodeWithCoder(coder);
  EXPECT_TRUE(coder.contains("minEnv"));  // the archive's keys are spelled differently
  EXPECT_FALSE(coder.contains("minenv"));
  auto decoded = QKSliderCell::createWithCoder(coder);
  EXPECT_EQ(decoded->sliderName(), "Rate");
  EXPECT_EQ(decoded->key(), "rate");
  EXPECT_EQ(decoded->minRange(), -1.0f);
  EXPECT_EQ(decoded->maxRange(), 4.0f);
  EXPECT_FLOAT_EQ(decoded->minEnv(), 0.1f);
  EXPECT_FLOAT_EQ(decoded->maxEnv(), 0.6f);
  EXPECT_FLOAT_EQ(decoded->fillValue(), 0.2f);
  EXPECT_FLOAT_EQ(decoded->value(), 0.4f);
  EXPECT_EQ(decoded->envText().string(), "-0.50 / 2.00");
  cell->prepareToBeDeleted();
  decoded->prepareToBeDeleted();

  auto reversed = QKSliderCell::createWithCoder({{"minEnv", 0.8}, {"maxEnv", 0.3}});
  EXPECT_FLOAT_EQ(reversed->minEnv(), 0.3f);
  EXPECT_FLOAT_EQ(reversed->maxEnv(), 0.8f);
  reversed->prepareToBeDeleted();
}
