#include "BehaviorFixture.h"

#include "framework/behaviors/Fall.h"
#include "framework/behaviors/NumberDelayBehavior.h"
#include "framework/behaviors/Smooth.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using BehaviorStateTest = BehaviorFixture;

// The first pass starts the slider's state at `start` and leaves the value;
// every later input gives the next output.
struct Sequence {
  std::string label;
  QString behavior;
  float start;
  std::vector<float> inputs;
  std::vector<float> outputs;
};

void PrintTo(const Sequence& s, std::ostream* os) { *os << s.label; }

class StateSequenceTest : public BehaviorFixture, public ::testing::WithParamInterface<Sequence> {};

TEST_P(StateSequenceTest, FirstPassLeavesTheValueThenFollowsTheFormula) {
  const Sequence& s = GetParam();
  auto behavior = this->behavior(s.behavior);
  QKSliderCell::Ptr slider = cell();
  EXPECT_EQ(pass(*behavior, *slider, s.start), s.start);
  for (std::size_t i = 0; i < s.inputs.size(); ++i)
    EXPECT_NEAR(pass(*behavior, *slider, s.inputs[i]), s.outputs[i], 1e-6f) << "pass " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, StateSequenceTest,
    ::testing::Values(
        Sequence{"SmoothEases", "Smooth", 0.0f, {1, 1, 1}, {0.5f, 0.75f, 0.875f}},
        Sequence{
            "SmoothWrapAcrossTheTopSeam", "SmoothWrap", 0.875f, {0.125f, 0.125f}, {1.0f, 0.0625f}},
        Sequence{"SmoothWrapAcrossTheBottomSeam",
                 "SmoothWrap",
                 0.125f,
                 {0.875f, 0.875f},
                 {0.0f, 0.9375f}},
        Sequence{"SmoothWrapTieGoesAcross", "SmoothWrap", 0.25f, {0.75f}, {0.0f}},
        Sequence{"SmoothWrapDirectWay", "SmoothWrap", 0.25f, {0.5f}, {0.375f}},
        Sequence{"FallDecaysWhileTheInputStands",
                 "Fall",
                 0.5f,
                 {0.5f, 0.5f, 0.5f},
                 {0.25f, 0.125f, 0.0625f}},
        Sequence{"FallTakesAHigherInputThenKeepsTheLargerDecay",
                 "Fall",
                 0.5f,
                 {0.375f, 0.125f},
                 {0.375f, 0.1875f}}),
    [](const auto& info) { return info.param.label; });

// Each stateful behaviour keeps one entry per slider and drops only the
// deleted slider's.
class SliderDeletionTest : public BehaviorFixture,
                           public ::testing::WithParamInterface<const char*> {};

std::size_t stateCount(Behavior& behavior) {
  if (auto* smooth = dynamic_cast<Smooth*>(&behavior)) return smooth->sliderStateCount();
  if (auto* fall = dynamic_cast<Fall*>(&behavior)) return fall->sliderStateCount();
  return dynamic_cast<NumberDelayBehavior&>(behavior).sliderStateCount();
}

TEST_P(SliderDeletionTest, DeletingASliderKeepsTheOthersState) {
  auto behavior = this->behavior(QString::fromLatin1(GetParam()));
  QKSliderCell::Ptr gone = cell();
  QKSliderCell::Ptr kept = cell();
  ASSERT_NE(gone->uniqueID(), kept->uniqueID());
  pass(*behavior, *gone, 0.8f);
  pass(*behavior, *kept, 0.8f);
  ASSERT_EQ(stateCount(*behavior), 2u);

  gone->prepareToBeDeleted();
  EXPECT_EQ(stateCount(*behavior), 1u);
  // The kept slider goes on from its state: a lower input is not passed
  // through unchanged as a first pass would.
  EXPECT_NE(pass(*behavior, *kept, 0.1f), 0.1f);
}

INSTANTIATE_TEST_SUITE_P(Stateful, SliderDeletionTest,
                         ::testing::Values("Smooth", "SmoothWrap", "Fall", "Delay"),
                         [](const auto& info) { return std::string(info.param); });

// Delay reads an injected steady clock.
class DelayTest : public BehaviorFixture {
 protected:
  void SetUp() override {
    delay_ = behavior<NumberDelayBehavior>(QStringLiteral("Delay"));
    delay_->setClock([this] { return now_; });
  }
  void setDelaySeconds(float seconds) {
    delay_->delaySlider()->setValueWithRangedValue(seconds, false);
    ASSERT_FLOAT_EQ(delay_->delay(), seconds);
  }

  double now_ = 5000.0;
  std::shared_ptr<NumberDelayBehavior> delay_;
};

TEST_F(DelayTest, ZeroDelayIsTheIdentity) {
  setDelaySeconds(0.0f);
  QKSliderCell::Ptr slider = cell();
  pass(*delay_, *slider, 0.1f);
  for (float input : {0.3f, 0.9f, 0.2f}) {
    now_ += 0.0222;
    EXPECT_EQ(pass(*delay_, *slider, input), input);
  }
}

TEST_F(DelayTest, AStepComesOutTenSecondsLater) {
  setDelaySeconds(10.0f);
  QKSliderCell::Ptr slider = cell();
  pass(*delay_, *slider, 0.2f);
  const double step = now_ + 1.0;
  double changed = -1.0;
  for (now_ += 0.0025; now_ < step + 11.0; now_ += 0.0025) {
    const float out = pass(*delay_, *slider, now_ < step ? 0.2f : 0.8f);
    if (out == 0.8f) {
      changed = now_;
      break;
    }
    ASSERT_FLOAT_EQ(out, 0.2f);
  }
  ASSERT_GT(changed, 0.0);
  EXPECT_NEAR(changed - step, 10.0, 0.01 + 1e-6);
}

TEST_F(DelayTest, AWallClockLikeJumpIsOneBoundedPush) {
  setDelaySeconds(0.5f);
  QKSliderCell::Ptr slider = cell();
  pass(*delay_, *slider, 0.2f);
  const auto ring = delay_->ringFor(slider->uniqueID());
  ASSERT_NE(ring, nullptr);
  const std::uint64_t before = ring->slotWrites();
  now_ += 3600.0;
  EXPECT_FLOAT_EQ(pass(*delay_, *slider, 0.7f), 0.7f);
  EXPECT_LE(ring->slotWrites() - before, static_cast<std::uint64_t>(NumberDelayElement::kSlots));
}

}  // namespace
