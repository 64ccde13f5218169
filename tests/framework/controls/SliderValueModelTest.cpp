#include "framework/controls/QKSliderCell.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/framework/controls/SliderFakes.h"

#include <QDialog>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

}  // namespace

TEST(SliderValueModel, NewCellStartsWithItsDefaultsAndRegisters) {
  QKSliderCell* announced = nullptr;
  int marker;
  NotificationCenter::defaultCenter().addObserver(
      &marker, QKSliderCell::QKSMNewSliderNotification, nullptr,
      [&](const Notification& n) { announced = static_cast<QKSliderCell*>(n.object); });
  auto cell = QKSliderCell::create();
  NotificationCenter::defaultCenter().removeObserver(&marker);

  EXPECT_EQ(announced, cell.get());
  EXPECT_EQ(cell->value(), 0.5f);
  EXPECT_EQ(cell->lastInputValue(), 0.5f);
  EXPECT_EQ(cell->lastReceivedDSValue(), -1.0f);
  EXPECT_EQ(cell->minEnv(), 0.0f);
  EXPECT_EQ(cell->maxEnv(), 1.0f);
  EXPECT_EQ(cell->syncArray(), (KeyPath{"Mouse", "X"}));
  EXPECT_EQ(cell->softTakeoverMode(), 3);
  EXPECT_FLOAT_EQ(cell->softTakeoverTolerance(), 0.05f);
  EXPECT_FLOAT_EQ(cell->softTakeoverSpeed(), 0.03f);
  EXPECT_FALSE(cell->selected());
  EXPECT_EQ(cell->envText().string(), "0.00 / 1.00");
  EXPECT_EQ(cell->syncText().string(), "Mouse/X");
  EXPECT_EQ(cell->description(), "<Slider Cell defaultName>");
  cell->prepareToBeDeleted();
}

// Input, envelope and behaviour chain on the way to the output.
TEST(SliderValueModel, ValuePipeline) {
  struct Case {
    const char* name;
    float minEnv, maxEnv;
    std::function<float(float)> chain;  // empty: no chain
    float input;
    float expectLastInput, expectValue;
    bool expectOutput;
  };
  const auto invert = [](float v) { return 1.0f - v; };
  const auto divideByZero = [](float v) { return v / 0.0f - v / 0.0f; };  // NaN
  const Case cases[] = {
      {"plain", 0, 1, {}, 0.3f, 0.3f, 0.3f, true},
      {"above the envelope", 0.2f, 0.8f, {}, 1.5f, 1.5f, 0.8f, true},
      {"below the envelope", 0.2f, 0.8f, {}, -3.0f, -3.0f, 0.2f, true},
      {"infinite input", 0.2f, 0.8f, {}, kInf, kInf, 0.8f, true},
      {"chain result clamped", 0.0f, 0.6f, invert, 0.1f, 0.1f, 0.6f, true},
      {"chain result kept", 0, 1, invert, 0.25f, 0.25f, 0.75f, true},
      {"chain that gives no number", 0.1f, 0.9f, divideByZero, 0.5f, 0.5f, 0.5f, true},
      {"input that is not a number", 0, 1, {}, kNaN, 0.5f, 0.5f, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ViewedSlider slider;
    slider.cell->setMinEnv(c.minEnv, false);
    slider.cell->setMaxEnv(c.maxEnv, false);
    std::shared_ptr<FakeChain> chain;
    if (c.chain) {
      chain = std::make_shared<FakeChain>(c.chain);
      slider.cell->useThisBehavior(chain);
      slider.cell->setBehaviorFlag(true);
    }
    slider.outputs.clear();
    slider.cell->setValue(c.input);
    EXPECT_EQ(slider.cell->lastInputValue(), c.expectLastInput);
    EXPECT_FLOAT_EQ(slider.cell->value(), c.expectValue);
    EXPECT_EQ(slider.outputs.size(), c.expectOutput ? 1u : 0u);
    if (c.expectOutput) {
      EXPECT_FLOAT_EQ(slider.outputs.front(), c.expectValue);
    }
    if (chain) {
      EXPECT_EQ(chain->passes, c.expectOutput ? 1 : 0);
    }
  }
}

TEST(SliderValueModel, RaisingTheUpperEnvelopeReevaluatesFromTheLastInput) {
  ViewedSlider slider;
  slider.cell->setMinEnv(0.2f);
  slider.cell->setMaxEnv(0.8f);
  slider.cell->setValue(1.5f);
  EXPECT_FLOAT_EQ(slider.cell->value(), 0.8f);
  slider.cell->setMaxEnv(0.9f);
  EXPECT_FLOAT_EQ(slider.cell->value(), 0.9f);
  slider.cell->setMaxEnv(1.0f);
  EXPECT_FLOAT_EQ(slider.cell->value(), 1.0f);
  EXPECT_EQ(slider.cell->lastInputValue(), 1.5f);
  EXPECT_EQ(slider.cell->envText().string(), "0.20 / 1.00");

  slider.cell->setValue(0.5f);
  slider.outputs.clear();
  slider.cell->setMaxEnv(0.7f);  // the value lies inside: no re-evaluation, no output
  EXPECT_TRUE(slider.outputs.empty());
  slider.cell->setMinEnv(0.6f, false);  // re-evaluated silently
  EXPECT_FLOAT_EQ(slider.cell->value(), 0.6f);
  EXPECT_TRUE(slider.outputs.empty());
}

TEST(SliderValueModel, EnvelopeSettersKeepTheBoundsApart) {
  struct Case {
    const char* name;
    float minEnv, maxEnv;  // before
    bool setUpper;
    float argument;
    float expectMin, expectMax;
  };
  const Case cases[] = {
      {"upper at the lower", 0.4f, 1.0f, true, 0.4f, 0.4f, 0.41f},
      {"upper below the lower", 0.4f, 1.0f, true, 0.1f, 0.4f, 0.41f},
      {"upper with the lower at 1", 1.0f, 1.0f, true, 0.5f, 1.0f, 1.0f},
      {"upper above 1", 0.0f, 0.5f, true, 3.0f, 0.0f, 1.0f},
      {"upper infinite", 0.0f, 0.5f, true, kInf, 0.0f, 1.0f},
      {"lower equal to the upper", 0.0f, 0.6f, false, 0.6f, 0.6f, 0.6f},
      {"lower above the upper", 0.0f, 0.6f, false, 0.9f, 0.59f, 0.6f},
      {"lower below 0", 0.3f, 0.6f, false, -1.0f, 0.0f, 0.6f},
      {"lower not a number", 0.3f, 0.6f, false, kNaN, 0.3f, 0.6f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cell = QKSliderCell::create();
    cell->justSetMaxenv(c.maxEnv);
    cell->justSetMinenv(c.minEnv);
    if (c.setUpper)
      cell->setMaxEnv(c.argument);
    else
      cell->setMinEnv(c.argument);
    EXPECT_FLOAT_EQ(cell->minEnv(), c.expectMin);
    EXPECT_FLOAT_EQ(cell->maxEnv(), c.expectMax);
    cell->prepareToBeDeleted();
  }
}

// The chain runs once; its result is stored and output, the input stays the
// last input.
TEST(SliderValueModel, SetValueAndOutputIfDifferentEvaluatesOnce) {
  ViewedSlider slider;
  auto doubling = std::make_shared<FakeChain>([](float v) { return v * 2.0f; });
  slider.cell->useThisBehavior(doubling);
  slider.cell->setBehaviorFlag(true);
  slider.cell->setValue(0.2f);
  ASSERT_FLOAT_EQ(slider.cell->value(), 0.4f);
  slider.outputs.clear();
  doubling->passes = 0;
  const int redrawsBefore = slider.redrawsAfterEvents();

  slider.cell->setValueAndOutputIfDifferent(0.2f);  // evaluates to 0.4 again
  EXPECT_TRUE(slider.outputs.empty());
  EXPECT_EQ(slider.redrawsAfterEvents(), redrawsBefore);
  EXPECT_EQ(doubling->passes, 1);

  slider.cell->setValueAndOutputIfDifferent(0.3f);
  EXPECT_EQ(doubling->passes, 2);
  ASSERT_EQ(slider.outputs.size(), 1u);
  EXPECT_FLOAT_EQ(slider.outputs.front(), 0.6f);  // not 1.0 (0.3 doubled twice and clamped)
  EXPECT_FLOAT_EQ(slider.cell->value(), 0.6f);
  EXPECT_FLOAT_EQ(slider.cell->lastInputValue(), 0.3f);
  EXPECT_GT(slider.redrawsAfterEvents(), redrawsBefore);
}

TEST(SliderValueModel, OutputNeedsAViewALivingTargetAndNoModalWindow) {
  ViewedSlider slider;
  slider.cell->setValue(0.1f);
  EXPECT_EQ(slider.outputs.size(), 1u);

  {
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    QCoreApplication::processEvents();
    const int redrawsBefore = slider.redrawsAfterEvents();
    slider.cell->setValue(0.2f);
    EXPECT_EQ(slider.outputs.size(), 1u);
    EXPECT_GT(slider.redrawsAfterEvents(), redrawsBefore);
    dialog.hide();
    QCoreApplication::processEvents();
  }
  EXPECT_FLOAT_EQ(slider.cell->value(), 0.2f);  // still moves

  slider.cell->setControlView(nullptr);
  slider.cell->setValue(0.3f);
  EXPECT_EQ(slider.outputs.size(), 1u);
  slider.cell->setControlView(&slider.view);

  slider.target.reset();
  slider.cell->setValue(0.4f);
  EXPECT_EQ(slider.outputs.size(), 1u);
  EXPECT_EQ(slider.cell->target(), nullptr);
}

TEST(SliderValueModel, RedrawRequestsFromOtherThreadsAreCoalescedOnTheMainThread) {
  ViewedSlider slider;
  slider.redrawsAfterEvents();
  const int before = slider.view.redraws;
  std::thread([&] {
    for (int i = 0; i < 100; ++i) slider.cell->setValue(i / 100.0f);
  }).join();
  EXPECT_EQ(slider.view.redraws, before);  // nothing drawn off the main thread
  EXPECT_EQ(slider.redrawsAfterEvents(), before + 1);
}

TEST(SliderValueModel, RangedValuesAndTheFlatRange) {
  auto cell = QKSliderCell::create();
  cell->setMinRange(-10.0f);
  cell->setMaxRange(30.0f);
  cell->setValueWithRangedValue(10.0f);
  EXPECT_FLOAT_EQ(cell->value(), 0.5f);
  EXPECT_FLOAT_EQ(cell->rangedValue(), 10.0f);
  EXPECT_EQ(cell->valueText().string(), "10.00");
  cell->jumpSliderByRangedValue(4.0f);
  EXPECT_FLOAT_EQ(cell->value(), 0.6f);
  cell->jumpSliderBy(0.1f);
  EXPECT_FLOAT_EQ(cell->rangedValue(), 18.0f);

  cell->setFillValueWithRangedValue(40.0f);  // outside the range: ignored
  EXPECT_EQ(cell->fillValue(), 0.0f);
  cell->setFillValueWithRangedValue(0.0f);
  EXPECT_FLOAT_EQ(cell->fillValue(), 0.25f);

  // A range with equal ends maps every ranged value to 0.
  cell->setMinRange(5.0f);
  cell->setMaxRange(5.0f);
  cell->setValueWithRangedValue(7.0f);
  EXPECT_EQ(cell->value(), 0.0f);
  cell->justSetValueWithRangedValue(5.0f);
  EXPECT_EQ(cell->value(), 0.0f);
  EXPECT_FLOAT_EQ(cell->rangedValue(), 5.0f);
  cell->setMaxRange(kInf);  // ignored
  EXPECT_EQ(cell->maxRange(), 5.0f);
  cell->prepareToBeDeleted();
}

TEST(SliderValueModel, MarksStaySortedAndClamped) {
  ViewedSlider slider;
  auto delegate = std::make_shared<RecordingDelegate>();
  slider.cell->setDelegate(delegate);
  slider.cell->addInterestingPoint(0.75f);
  slider.cell->addInterestingPoint(1.5f);
  slider.cell->addInterestingPoint(0.25f);
  slider.cell->addInterestingPoint(kNaN);
  EXPECT_EQ(slider.cell->interestingPoints(), (QList<float>{0.25f, 0.75f, 1.0f}));
  EXPECT_EQ(delegate->notices.size(), 3u);
  EXPECT_EQ(slider.cell->firstInterestingPointsValue(), 0.25f);
  EXPECT_EQ(slider.cell->lastInterestingPointsValue(), 1.0f);

  slider.cell->setValueForInterestingPointAtIndex(0.9f, 0);  // a drag: not sorted yet
  EXPECT_EQ(slider.cell->interestingPoints(), (QList<float>{0.9f, 0.75f, 1.0f}));
  slider.cell->setValueForInterestingPointAtIndex(std::nullopt, 1);
  slider.cell->setValueForInterestingPointAtIndex(0.1f, 7);
  slider.cell->sortInterestingPoints();
  EXPECT_EQ(slider.cell->interestingPoints(), (QList<float>{0.75f, 0.9f, 1.0f}));

  slider.cell->removeInterestingPoint(0.9f);
  EXPECT_EQ(slider.cell->interestingPoints(), (QList<float>{0.75f, 1.0f}));
  slider.cell->removeAllInterestingPoints();
  EXPECT_TRUE(slider.cell->interestingPoints().isEmpty());
  EXPECT_EQ(slider.cell->firstInterestingPointsValue(), 0.0f);
  EXPECT_EQ(delegate->notices.back(), "marks");
}

TEST(SliderValueModel, FindingMarks) {
  ViewedSlider slider;  // 200 points wide: "near" is closer than 0.02
  EXPECT_FALSE(slider.cell->findInterestingPointClosestToValue(0.5f));
  slider.cell->addInterestingPoint(0.25f);
  EXPECT_EQ(slider.cell->findInterestingPointClosestToValue(0.9f), 0.25f);
  slider.cell->addInterestingPoint(0.75f);
  EXPECT_EQ(slider.cell->findInterestingPointClosestToValue(0.5f), 0.25f);  // a tie: the lower
  EXPECT_EQ(slider.cell->findInterestingPointClosestToValue(0.6f), 0.75f);
  slider.cell->addInterestingPoint(0.8f);
  EXPECT_EQ(slider.cell->findInterestingPointClosestToValue(0.79f), 0.8f);

  EXPECT_EQ(slider.cell->findRelevantInterestingPointForValue(0.265f), 0.25f);
  EXPECT_FALSE(slider.cell->findRelevantInterestingPointForValue(0.271f));
  slider.cell->setControlView(nullptr);
  EXPECT_FALSE(slider.cell->findRelevantInterestingPointForValue(0.25f));
  slider.cell->setControlView(&slider.view);
}

TEST(SliderValueModel, BehaviourChainSelection) {
  FakeSliderManager manager;
  auto chain = std::make_shared<FakeChain>([](float v) { return v; }, QStringLiteral("Smooth it"));
  manager.chains[QStringLiteral("Smooth it")] = chain;
  ViewedSlider slider;
  slider.cell->setSliderManager(&manager);

  slider.cell->useBehaviorNamed(QStringLiteral("nothing by that name"));
  EXPECT_EQ(slider.cell->behaviorChain(), nullptr);
  slider.cell->useBehaviorNamed(QStringLiteral("Smooth it"));
  EXPECT_EQ(slider.cell->behaviorChain(), chain);
  EXPECT_EQ(slider.cell->behaviorName(), "Smooth it");
  slider.cell->setBehaviorFlag(true);

  slider.cell->useThisBehavior(nullptr);  // flag off, name kept
  EXPECT_FALSE(slider.cell->behaviorFlag());
  EXPECT_EQ(slider.cell->behaviorName(), "Smooth it");

  slider.cell->useThisBehavior(chain);
  slider.cell->setBehaviorFlag(true);
  const std::weak_ptr<FakeChain> weak = chain;
  manager.chains.clear();
  chain.reset();  // the chain is deleted: the slider holds it weakly
  EXPECT_TRUE(weak.expired());
  slider.cell->setValue(0.3f);
  EXPECT_FLOAT_EQ(slider.cell->value(), 0.3f);
}

// A consistently evaluated chain runs every tick on the raw input.
TEST(SliderValueModel, ContinuousChainRunsEveryTickOnTheRawInput) {
  ViewedSlider slider;
  auto addTenth = std::make_shared<FakeChain>([](float v) { return v + 0.1f; });
  slider.cell->useThisBehavior(addTenth);
  slider.cell->setBehaviorFlag(true);
  slider.cell->setValue(0.2f);
  slider.outputs.clear();

  slider.cell->evaluateBehaviors();  // neither time-based nor changed: nothing
  EXPECT_TRUE(slider.outputs.empty());

  addTenth->consistent = true;
  slider.cell->evaluateBehaviors();
  slider.cell->evaluateBehaviors();
  ASSERT_EQ(slider.outputs.size(), 2u);
  EXPECT_FLOAT_EQ(slider.outputs[0], 0.3f);
  EXPECT_FLOAT_EQ(slider.outputs[1], 0.3f);  // from the input again, not 0.4

  addTenth->consistent = false;
  addTenth->needsEval = true;
  slider.cell->setBehaviorFlag(false);
  slider.cell->evaluateBehaviors();
  EXPECT_EQ(slider.outputs.size(), 2u);
}

TEST(SliderValueModel, DeletedCellIgnoresItsSetters) {
  FakeSliderManager manager;
  auto cell = QKSliderCell::create();
  cell->setSliderManager(&manager);
  cell->setKey(QStringLiteral("speed"));
  cell->prepareToBeDeleted();
  cell->prepareToBeDeleted();
  EXPECT_EQ(manager.deleted, (std::vector<QKSliderCell*>{cell.get()}));
  cell->setValue(0.9f);
  cell->setMaxEnv(0.3f);
  cell->addInterestingPoint(0.5f);
  EXPECT_EQ(cell->value(), 0.5f);
  EXPECT_EQ(cell->maxEnv(), 1.0f);
  EXPECT_TRUE(cell->interestingPoints().isEmpty());
  EXPECT_TRUE(cell->key().isNull());
  EXPECT_EQ(cell->description(), "<Slider Cell -deleted!->");
}

TEST(SliderValueModel, ReleasedWithoutRetirementLogsAndRetires) {
  QStringList lines;
  auto previous = Log::setSink([&](const QString& line) { lines << line; });
  FakeSliderManager manager;
  {
    auto cell = QKSliderCell::create();
    cell->setSliderManager(&manager);
    cell->setSliderName(QStringLiteral("Opacity"));
  }
  Log::setSink(previous);
  EXPECT_TRUE(lines.contains("\t\tERROR: slider Opacity wasn't prepped for deletion!"));
  EXPECT_EQ(manager.deleted.size(), 1u);
}

TEST(SliderValueModel, CopyTakesNameKeyRangeFillAndValue) {
  auto previous = Log::setSink([](const QString&) {});
  auto cell = QKSliderCell::create();
  cell->setSliderName(QStringLiteral("Speed"));
  cell->setKey(QStringLiteral("speed"));
  cell->setMinRange(-2.0f);
  cell->setMaxRange(2.0f);
  cell->setFillValue(0.5f);
  cell->setMaxEnv(0.7f);
  cell->setValue(0.6f);
  auto copy = cell->copy();
  Log::setSink(previous);
  EXPECT_EQ(copy->sliderName(), "Speed");
  EXPECT_EQ(copy->key(), "speed");
  EXPECT_EQ(copy->minRange(), -2.0f);
  EXPECT_EQ(copy->maxRange(), 2.0f);
  EXPECT_EQ(copy->fillValue(), 0.5f);
  EXPECT_FLOAT_EQ(copy->value(), 0.6f);
  EXPECT_EQ(copy->maxEnv(), 1.0f);  // the envelope is not copied
  cell->prepareToBeDeleted();
  copy->prepareToBeDeleted();
}

// Values set from several threads at once: the cell stays consistent (and
// ThreadSanitizer sees no race).
TEST(SliderValueModel, SettersFromSeveralThreads) {
  ViewedSlider slider;
  slider.cell->setAction([](QKSliderCell&) {});
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        slider.cell->setValue(static_cast<float>((i + t) % 10) / 10.0f);
        if (i % 50 == 0) slider.cell->setMaxEnv(0.5f + t / 10.0f, false);
        if (i % 70 == 0) slider.cell->addInterestingPoint(t / 4.0f);
        slider.cell->evaluateBehaviors();
      }
    });
  }
  for (int i = 0; i < 200; ++i) {
    EXPECT_LE(slider.cell->value(), 1.0f);
    slider.cell->createSnapshot();
  }
  for (auto& t : threads) t.join();
  EXPECT_LE(slider.cell->value(), slider.cell->maxEnv());
  EXPECT_GE(slider.cell->value(), slider.cell->minEnv());
}
